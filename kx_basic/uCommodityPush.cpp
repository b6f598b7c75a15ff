#include "uCommodityPush.h"

#include "uGridView.h"
#include "uHttpWeb.h"
#include "uQuietCalls.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <QLabel>
#include <QSet>
#include <QProgressBar>
#include <QStyleOptionViewItem>
#include <QTimer>

namespace {
const QString kDone = QStringLiteral("同步成功");
const QString kFailed = QStringLiteral("同步失败");
const QString kResult = QStringLiteral("errormsg");
const char* const kPushTool = "dxBL_Push";
// Rows a run sends to the service in one call (the service takes up to 100).
constexpr int kPushBatch = 100;
}

TfrmCommodityPush::TfrmCommodityPush(const TCommodityPushKind& kind, QWidget* owner)
    : TfrmMasterList(owner, {{kPushTool, kind.action, [this] { PushAllClick(); }}})
    , m_kind(kind)
    , m_panel(new QWidget(this))
    , m_progress(new QProgressBar(m_panel))
    , m_timer(new QTimer(this))
{
    AddColumn(QStringLiteral("commoditycode"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("commodityname"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("properties_name"), TGridEditor::Text, true);
    for (const QString& f : m_kind.figures)
        AddColumn(f, f == QLatin1String("saleprice") ? TGridEditor::Amount : TGridEditor::Text, true);
    AddColumn(kResult, TGridEditor::Text, true)->Width = 200;

    m_pushOne = AddMenuItem(QString::fromUtf8(m_kind.action), [this] { PushOneClick(); });
    // A row whose last push did not succeed stands out; one never pushed does not.
    AddCellPainter(kResult, [this](int rec, QStyleOptionViewItem& option) {
        const QString text = ListData()->ValueAt(rec, ListData()->FieldByName(kResult)).toString();
        if (text.isEmpty() || text == kDone)
            return;
        option.font.setBold(true);
        option.palette.setColor(QPalette::Text, Qt::red);
        option.palette.setColor(QPalette::HighlightedText, Qt::red);
    });

    auto* row = new QHBoxLayout(m_panel);
    row->setContentsMargins(8, 4, 8, 4);
    row->addWidget(new QLabel(QString::fromUtf8(m_kind.action) + QStringLiteral("："), m_panel));
    m_progress->setRange(0, 100);
    row->addWidget(m_progress, 1);
    // The panel stands under the rows (and the category tree).
    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(Grid()->parentWidget(), 1);
    column->addWidget(m_panel);
    SetBody(body);
    m_panel->hide();

    m_timer->setInterval(100);
    m_timer->setSingleShot(false);
    connect(m_timer, &QTimer::timeout, this, [this] { tick(); });

    connect(Grid(), &QAbstractItemView::doubleClicked, this, [this] { openProduct(); });
}

void TfrmCommodityPush::SetPushInterval(int ms)
{
    m_timer->setInterval(ms);
}

QList<TKxRight> TfrmCommodityPush::RightsTable() const
{
    QList<TKxRight> rights = TfrmMasterList::RightsTable();
    rights.append(TKxRight{"isaudit", {kPushTool}});
    return rights;
}

bool TfrmCommodityPush::pushRow()
{
    TPClientDataSet* list = ListData();
    THttpWeb web;
    web.setModule(m_kind.method);
    web.Request()->AddParams(QStringLiteral("commoditycode"), list->FieldByName(QStringLiteral("commoditycode"))->AsString());
    const bool ok = web.SendData();
    if (list->State() != dsEdit)
        list->Edit();
    list->FieldByName(kResult)->SetAsString(ok ? kDone : kFailed);
    return ok;
}

void TfrmCommodityPush::PushOneClick()
{
    if (!ListData()->Active() || ListData()->IsEmpty() || m_timer->isActive())
        return;
    pushRow();
}

void TfrmCommodityPush::PushAllClick()
{
    TPClientDataSet* list = ListData();
    if (!list->Active() || list->IsEmpty() || m_timer->isActive())
        return;
    if (KxUi().MessageBox(QStringLiteral("系统提示"), QStringLiteral("真的需要提交同步请求吗？"), TMsgIcon::Question, mbOK | mbCancel) != mrOk)
        return;
    list->First();
    m_progress->setValue(0);
    m_panel->show();
    m_timer->start();
}

void TfrmCommodityPush::tick()
{
    m_timer->stop();
    TPClientDataSet* list = ListData();
    if (!list->Active() || list->Eof() || list->IsEmpty()) {
        m_panel->hide();
        // The reasons of every row that failed, once at the end of the run.
        if (!m_failures.isEmpty())
            KxShowError(m_failures.join(QLatin1Char('\n')));
        m_failures.clear();
        return;
    }
    // The rows from the current one go in one call; each keeps its own result.
    const TField* codeField = list->FieldByName(QStringLiteral("commoditycode"));
    const int count = list->RecordCount();
    QStringList codes;
    for (int rec = list->CurrentIndex(); rec < count && codes.size() < kPushBatch; ++rec)
        codes << list->ValueAt(rec, codeField).toString().trimmed();
    THttpWeb web;
    web.setModule(m_kind.method);
    web.Request()->AddParams(QStringLiteral("commoditycode"), codes.join(QLatin1Char(',')));
    QSet<QString> pushed;
    TKxQuietCalls quiet;   // the run tells its failures once, at its end
    if (web.SendData()) {
        const bool many = web.Response()->HasParam(QStringLiteral("pushed"));
        for (const QString& c : many ? web.Response()->GetParam(QStringLiteral("pushed")).split(QLatin1Char(','), Qt::SkipEmptyParts) : codes)
            pushed.insert(c);
        m_failures << web.Response()->GetParam(QStringLiteral("refused")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    } else {
        const QString failure = quiet.Take();
        if (!failure.isEmpty())
            m_failures << failure;
    }
    for (qsizetype i = 0; i < codes.size() && !list->Eof(); ++i) {
        list->Edit();
        list->FieldByName(kResult)->SetAsString(pushed.contains(codes[i]) ? kDone : kFailed);
        list->Post();
        list->Next();
        m_progress->setValue(count > 0 ? std::clamp((list->Eof() ? count : list->RecNo() - 1) * 100 / count, 0, 100) : 100);
    }
    m_panel->repaint();
    m_timer->start();
}

void TfrmCommodityPush::openProduct()
{
    if (!ListData()->Active() || ListData()->IsEmpty())
        return;
    ShowLinkedModule(GetParam(QStringLiteral("module")),
                     {QStringLiteral("commoditycode=") + ListData()->FieldByName(QStringLiteral("commoditycode"))->AsString()});
}
