#include "uMarketDown.h"

#include "uConfig.h"
#include "uHttpWeb.h"
#include "uKxDownPages.h"
#include "uUiHooks.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const int kDays[] = {1, 3, 7, 30, 90};

QStringList accounts()
{
    return QStringList{gNickName} + gSubNicks;
}
}

TKxMarketDown::TKxMarketDown(const TKxDownDef& def, QWidget* owner)
    : TfrmBase(owner)
    , m_def(def)
    , m_nicks(new QListWidget(this))
    , m_all(new QCheckBox(QString::fromUtf8(def.all.caption), this))
    , m_days(new QComboBox(this))
    , m_progress(new QProgressBar(this))
    , m_status(new QLabel(this))
    , m_singleNick(new QComboBox(this))
    , m_number(new QLineEdit(this))
{
    setWindowTitle(m_def.title);
    auto* tabs = new QTabWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);

    auto* batch = new QWidget(tabs);
    auto* grid = new QGridLayout(batch);
    grid->addWidget(new QLabel(QStringLiteral("掌柜名称"), batch), 0, 0);
    grid->addWidget(m_nicks, 1, 0, 4, 1);
    for (const QString& nick : accounts()) {
        auto* item = new QListWidgetItem(nick, m_nicks);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    auto* states = new QGroupBox(batch);
    auto* stateLayout = new QGridLayout(states);
    int i = 0;
    for (const TKxDownState& s : m_def.states) {
        auto* box = new QCheckBox(QString::fromUtf8(s.caption), states);
        m_states << box;
        stateLayout->addWidget(box, i / 2, i % 2);
        ++i;
    }
    stateLayout->addWidget(m_all, i / 2, i % 2);
    connect(m_all, &QCheckBox::toggled, this, [this](bool on) {
        for (QCheckBox* box : m_states)
            box->setChecked(on);
    });
    grid->addWidget(states, 1, 1);
    auto* time = new QGroupBox(QStringLiteral("下载时间"), batch);
    auto* timeLayout = new QHBoxLayout(time);
    timeLayout->addWidget(new QLabel(m_def.timeCaption, time));
    m_days->addItems({QStringLiteral("最后一天"), QStringLiteral("最后三天"), QStringLiteral("最后一周"), QStringLiteral("最后一月"),
                      QStringLiteral("最后三月")});
    timeLayout->addWidget(m_days);
    grid->addWidget(time, 2, 1);
    auto* buttons = new QHBoxLayout;
    auto* down = new QPushButton(QStringLiteral("下  载"), batch);
    auto* exit = new QPushButton(QStringLiteral("退  出"), batch);
    buttons->addWidget(down);
    buttons->addWidget(exit);
    grid->addLayout(buttons, 3, 1);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    grid->addWidget(m_progress, 5, 0, 1, 2);
    grid->addWidget(m_status, 6, 0, 1, 2);
    tabs->addTab(batch, QStringLiteral("批量下载"));

    auto* single = new QWidget(tabs);
    auto* form = new QGridLayout(single);
    form->addWidget(new QLabel(QStringLiteral("掌柜名称："), single), 0, 0);
    m_singleNick->setEditable(true);
    m_singleNick->addItems(accounts());
    m_singleNick->setCurrentIndex(0);
    form->addWidget(m_singleNick, 0, 1);
    form->addWidget(new QLabel(m_def.numberCaption, single), 1, 0);
    form->addWidget(m_number, 1, 1);
    auto* downOne = new QPushButton(QStringLiteral("下      载"), single);
    form->addWidget(downOne, 2, 1);
    tabs->addTab(single, QStringLiteral("逐单下载"));

    connect(down, &QPushButton::clicked, this, [this] { btnDownClick(); });
    connect(downOne, &QPushButton::clicked, this, [this] { btnDownOneClick(); });
    connect(exit, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); close(); });
}

QCheckBox* TKxMarketDown::StateBox(const QString& caption) const
{
    if (caption == m_all->text())
        return m_all;
    for (QCheckBox* box : m_states)
        if (box->text() == caption)
            return box;
    return nullptr;
}

int TKxMarketDown::DayNum() const
{
    const int i = m_days->currentIndex();
    return i >= 0 && i < int(std::size(kDays)) ? kDays[i] : 1;
}

bool TKxMarketDown::downState(const QString& account, const QString& status)
{
    TKxDownPages down;
    down.method = m_def.pagesMethod;
    down.params = {{QStringLiteral("detailnick"), account}, {QStringLiteral("status"), status},
                   {QStringLiteral("daynum"), QString::number(DayNum())}};
    return KxDownPages(down, m_progress, [] { QCoreApplication::processEvents(); });
}

void TKxMarketDown::btnDownClick()
{
    const bool all = std::all_of(m_states.begin(), m_states.end(), [](QCheckBox* b) { return b->isChecked(); });
    for (int n = 0; n < m_nicks->count(); ++n) {
        if (m_nicks->item(n)->checkState() != Qt::Checked)
            continue;
        const QString account = m_nicks->item(n)->text();
        QList<const TKxDownState*> todo;
        if (all)
            todo << &m_def.all;
        else
            for (int i = 0; i < m_states.size(); ++i)
                if (m_states[i]->isChecked())
                    todo << &m_def.states[i];
        for (const TKxDownState* s : todo) {
            m_status->setText(m_def.accountOpen + account + QString::fromUtf8(s->before));
            QCoreApplication::processEvents();
            const bool ok = downState(account, QString::fromLatin1(s->status));
            m_status->setText(m_def.accountOpen + account + QString::fromUtf8(ok ? s->done : s->failed));
        }
    }
}

void TKxMarketDown::btnDownOneClick()
{
    THttpWeb web;
    web.setModule(m_def.oneMethod);
    web.Request()->AddParams(QStringLiteral("detailnick"), m_singleNick->currentText().trimmed());
    web.Request()->AddParams(m_def.numberParam, m_number->text().trimmed());
    if (web.SendData())
        KxShowInfo(m_def.oneDone);
}

