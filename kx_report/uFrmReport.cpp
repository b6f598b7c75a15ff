#include "uFrmReport.h"

#include "uCallModule.h"
#include "uFormParts.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QVBoxLayout>

TFrmReport::TFrmReport(QWidget* owner)
    : TfrmBase(owner)
    , PClientDataSet1(new TPClientDataSet(this))
    , cxGrid1(new TGridView(this))
    , m_title(new QLabel(this))
    , m_recordLabel(new QLabel(QStringLiteral("记录数：0， 第1页/共1页"), this))
    , findText(new QLineEdit(this))
    , m_pager(new TKxPager(this))
{
    resize(845, 626);

    auto* tools = new QHBoxLayout;
    KxAddButtons(this, tools,
                 {{"查 询", [this] { dxBL_SearchClick(); }},
                  {"刷 新", [this] { dxBL_RefreshClick(); }},
                  {"导出Excel", [this] { dxBL_ExportClick(); }},
                  {"打 印", [this] { dxBL_PrintClick(); }},
                  {"预 览", [this] { dxBL_PreviewClick(); }},
                  {"票据打印", [this] { dxBL_PrintReportClick(); }},
                  {"显示列设置", [this] { dxBL_ColumnsClick(); }},
                  {"退 出", {}}},
                 m_buttons);
    for (QPushButton* b : m_buttons)
        b->setMinimumHeight(40);
    tools->addStretch();

    auto* strip = new QHBoxLayout;
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSize(titleFont.pointSize() + 4);
    m_title->setFont(titleFont);
    strip->addWidget(m_title);
    strip->addStretch();
    strip->addWidget(new QLabel(QStringLiteral("搜索关键字："), this));
    findText->setObjectName(QStringLiteral("findText"));
    strip->addWidget(findText);

    auto* paging = new QHBoxLayout;
    paging->addWidget(m_recordLabel);
    paging->addStretch();
    KxAddButtons(this, paging,
                 {{"下一页", [this] { btnNextClick(); }},
                  {"剩余页", [this] { btnRemainClick(); }},
                  {"暂 停", [this] { btnPauseClick(); }}},
                 m_buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addLayout(strip);
    layout->addWidget(cxGrid1, 1);
    layout->addLayout(paging);

    cxGrid1->setObjectName(QStringLiteral("cxGrid1"));
    PClientDataSet1->setObjectName(QStringLiteral("PClientDataSet1"));
    cxGrid1->SetDataSet(PClientDataSet1);
    // Read-only, and the rows stay in the order the service sent them.
    cxGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cxGrid1->setSortingEnabled(false);
    cxGrid1->horizontalHeader()->setSectionsMovable(false);
    cxGrid1->verticalHeader()->setVisible(true);
    connect(cxGrid1, &QAbstractItemView::doubleClicked, this, [this] { cxGrid1DblClick(); });

    m_pager->SetFetchPage([this](int page) { return Search(nullptr, page); });
    m_pager->Bind(m_recordLabel, nullptr, nullptr, nullptr);

    KxHighlightKeyword(cxGrid1, findText);
}

QPushButton* TFrmReport::Button(const QString& text) const
{
    return KxFindButton(m_buttons, text);
}

int TFrmReport::CurPage() const
{
    return m_pager->CurPage();
}

int TFrmReport::PageCount() const
{
    return m_pager->PageCount();
}

void TFrmReport::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (m_opened)
        return;
    m_opened = true;
    if (isWindow())
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    open();
}

void TFrmReport::applyRights()
{
    Button(QStringLiteral("查 询"))->setEnabled(!GetParam(QStringLiteral("searchfile")).isEmpty());
    const bool print = GetPower(QStringLiteral("isprint"));
    for (const char* text : {"打 印", "预 览", "票据打印"})
        Button(QString::fromUtf8(text))->setEnabled(print);
    Button(QStringLiteral("导出Excel"))->setEnabled(GetPower(QStringLiteral("isoutput")));
    Button(QStringLiteral("显示列设置"))->setEnabled(GetPower(QStringLiteral("iscolumn")));
}

void TFrmReport::open()
{
    applyRights();
    m_title->setText(GetParam(QStringLiteral("moduletitle")));
    Search(nullptr, -1);
    SetGridColumn(PClientDataSet1, cxGrid1);
    TableViewDispay(cxGrid1, GetParam(QStringLiteral("fieldlabels")));
    DisTableViewDispay(cxGrid1, GetParam(QStringLiteral("disfieldlabels")));
    GetGridColumnVisible(windowTitle(), cxGrid1);
    const QPointer<TFrmReport> self(this);
    QTimer::singleShot(100, this, [self] {
        if (self)
            self->autoSearch();
    });
}

void TFrmReport::autoSearch()
{
    // A report opened for a row (fixed conditions) already shows that row's data.
    if (Button(QStringLiteral("查 询"))->isEnabled() && FixedConditions().isEmpty())
        dxBL_SearchClick();
}

bool TFrmReport::Search(const QStringList* conditions, int page)
{
    if (conditions)
        m_conditions = *conditions;
    return KxSearchPage(this, GetParam(QStringLiteral("search")), m_conditions, page, PClientDataSet1, m_pager);
}

void TFrmReport::dxBL_SearchClick()
{
    QStringList conditions;
    if (KxAskSearchConditions(this, &conditions))
        Search(&conditions, 1);
}

void TFrmReport::dxBL_RefreshClick()
{
    Search(nullptr, 1);
}

void TFrmReport::dxBL_ExportClick()
{
    ExportGridToExcel(cxGrid1, true, true, true, QStringLiteral("xls"));
}

void TFrmReport::dxBL_PrintClick()
{
    GridPrint(cxGrid1);
}

void TFrmReport::dxBL_PreviewClick()
{
    GridPreview(cxGrid1);
}

void TFrmReport::dxBL_PrintReportClick()
{
    const QString rmf = GetParam(QStringLiteral("rmf"));
    if (rmf.isEmpty())
        return;
    // The name comes from the service; a path in it would reach outside rmf/.
    if (!KxIsPlainFileName(rmf)) {
        KxShowError(QStringLiteral("报表文件名不正确：%1").arg(rmf));
        return;
    }
    SetRePortFile(rmf);
    GetReportEx()->AddCDataSet(PClientDataSet1, QStringLiteral("数据表"), GetParam(QStringLiteral("fieldlabels")));
    GetReportEx()->PreviewReport();
}

void TFrmReport::dxBL_ColumnsClick()
{
    SetGridColumnVisible(windowTitle(), cxGrid1);
}

void TFrmReport::btnNextClick()
{
    m_pager->NextPage();
}

void TFrmReport::btnRemainClick()
{
    if (m_pager->RemainingPages() > 0)
        cxGrid1->viewport()->repaint();
}

void TFrmReport::btnPauseClick()
{
    m_pager->Pause();
}

QStringList TFrmReport::DrillDownLines() const
{
    QStringList lines;
    if (!PClientDataSet1->Active() || PClientDataSet1->IsEmpty())
        return lines;
    const QStringList keys = GetParam(QStringLiteral("keyfields")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& key : keys)
        if (const TField* f = PClientDataSet1->FindField(key))
            lines << key + QLatin1Char('=') + f->AsString();
    return lines;
}

void TFrmReport::cxGrid1DblClick()
{
    const QString module = GetParam(QStringLiteral("module"));
    if (!PClientDataSet1->Active() || PClientDataSet1->IsEmpty() || module.isEmpty()
        || GetParam(QStringLiteral("keyfields")).isEmpty())
        return;
    const QStringList lines = DrillDownLines();
    TfrmBase* window = CallModule(this, module, lines);
    if (!window)
        return;
    window->FixedConditions() << lines;
    KxUi().ShowModal(window);
    delete window;
}

KX_REGISTER_CLASS(TFrmReport)
