#include "uFrmHistory.h"

#include "uHttpWeb.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"

#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
enum { ColWhen, ColWho, ColFrom, ColAction, ColChanges, ColumnCount };

QString shown(const QString& v)
{
    return v.isEmpty() ? QStringLiteral("（空）") : v;
}
}

TFrmHistory::TFrmHistory(const QString& method, const QString& area, const QString& key, const QString& title, QWidget* owner)
    : QDialog(owner)
    , m_method(method)
    , m_area(area)
    , m_key(key)
    , m_table(new QTableWidget(0, ColumnCount, this))
    , m_label(new QLabel(this))
    , m_pager(new TKxPager(this))
{
    setWindowTitle(QStringLiteral("修改记录 - %1【%2】").arg(title, key));
    resize(900, 560);
    m_table->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("操作员"), QStringLiteral("来源"), QStringLiteral("操作"),
                                        QStringLiteral("修改内容")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(true);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(ColWhen, 150);
    m_table->setColumnWidth(ColWho, 130);
    m_table->setColumnWidth(ColFrom, 110);
    m_table->setColumnWidth(ColAction, 60);

    auto* next = new QPushButton(QStringLiteral("下一页"), this);
    auto* remaining = new QPushButton(QStringLiteral("剩余页"), this);
    auto* pause = new QPushButton(QStringLiteral("暂 停"), this);
    auto* close = new QPushButton(QStringLiteral("关 闭"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    m_pager->SetFetchPage([this](int page) { return fetch(page); });
    m_pager->Bind(m_label, next, remaining, pause);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_label, 1);
    bottom->addWidget(next);
    bottom->addWidget(remaining);
    bottom->addWidget(pause);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);
}

bool TFrmHistory::Open()
{
    return fetch(1);
}

bool TFrmHistory::fetch(int page)
{
    THttpWeb web;
    web.setModule(m_method);
    web.Request()->AddParams(QStringLiteral("area"), m_area);
    web.Request()->AddParams(QStringLiteral("recordkey"), m_key);
    web.Request()->AddParams(QStringLiteral("curpage"), QString::number(page));
    if (!web.SendData())
        return false;
    TPClientDataSet entries, changes;
    entries.SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldata")));
    changes.SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldetail")));
    if (page == 1)
        m_table->setRowCount(0);
    append(entries, changes);
    m_pager->PageLoaded(page, web.Response()->GetParam(QStringLiteral("pagecount")), web.Response()->GetParam(QStringLiteral("recordcount")),
                        m_table->rowCount());
    return true;
}

void TFrmHistory::append(TPClientDataSet& entries, TPClientDataSet& changes)
{
    QHash<qint64, QStringList> texts;
    if (changes.Active())
        for (changes.First(); !changes.Eof(); changes.Next())
            texts[changes.FieldByName(QStringLiteral("histid"))->AsLargeInt()]
                << ChangeText(changes.FieldByName(QStringLiteral("line"))->AsInteger(), changes.FieldByName(QStringLiteral("kind"))->AsString(),
                              changes.FieldByName(QStringLiteral("item"))->AsString(), changes.FieldByName(QStringLiteral("caption"))->AsString(),
                              changes.FieldByName(QStringLiteral("oldvalue"))->AsString(),
                              changes.FieldByName(QStringLiteral("newvalue"))->AsString());
    if (!entries.Active())
        return;
    for (entries.First(); !entries.Eof(); entries.Next()) {
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        const auto field = [&](const char* name) { return entries.FieldByName(QString::fromLatin1(name))->AsString(); };
        const QString who = QStringLiteral("[%1]%2").arg(field("operid"), field("opername"));
        const QStringList lines = texts.value(entries.FieldByName(QStringLiteral("histid"))->AsLargeInt());
        const QString values[] = {field("created"), who, field("client"), field("action"), lines.join(u'\n')};
        for (int c = 0; c < ColumnCount; ++c) {
            auto* item = new QTableWidgetItem(values[c]);
            item->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (c == ColAction)
                item->setForeground(field("action") == QStringLiteral("删除") ? QColor(0xb0, 0x20, 0x20) : QColor(0x1f, 0x4e, 0x9a));
            m_table->setItem(row, c, item);
        }
    }
    m_table->resizeRowsToContents();
}

QString TFrmHistory::ChangeText(int line, const QString& kind, const QString& item, const QString& caption, const QString& oldValue,
                                const QString& newValue)
{
    if (line <= 0)
        return QStringLiteral("%1: %2 → %3").arg(caption, shown(oldValue), shown(newValue));
    const QString where = item.isEmpty() ? QStringLiteral("第 %1 行").arg(line) : QStringLiteral("第 %1 行 %2").arg(line).arg(item);
    if (kind == QLatin1String("A"))
        return QStringLiteral("%1 新增：%2").arg(where, newValue);
    if (kind == QLatin1String("R"))
        return QStringLiteral("%1 删除：%2").arg(where, oldValue);
    return QStringLiteral("%1 %2: %3 → %4").arg(where, caption, shown(oldValue), shown(newValue));
}

void KxShowHistory(QWidget* owner, const QString& method, const QString& area, const QString& key, const QString& title)
{
    if (key.trimmed().isEmpty()) {
        KxShowInfo(QStringLiteral("这条记录还没有保存，没有修改记录。"));
        return;
    }
    TFrmHistory window(method, area, key.trimmed(), title, owner);
    if (window.Open())
        KxUi().ShowModal(&window);
}

QString KxRecordArea(const QString& method)
{
    return method.section(QLatin1Char('.'), 0, 0);
}
