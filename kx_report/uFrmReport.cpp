#include "uFrmReport.h"

#include "uCallModule.h"
#include "uGridView.h"
#include "uHttpWeb.h"
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

TFrmReport::TFrmReport(QWidget* owner) : TKxPagedList(QStringLiteral("记录数：0， 第1页/共1页"), owner)
{
    resize(845, 626);
    AddTools({{KxTool::Search, "查 询", [this] { dxBL_SearchClick(); }},
              {KxTool::Refresh, "刷 新", [this] { dxBL_RefreshClick(); }},
              {KxTool::Export, "导出Excel", [this] { dxBL_ExportClick(); }},
              {KxTool::Print, "打 印", [this] { dxBL_PrintClick(); }},
              {KxTool::Preview, "预 览", [this] { dxBL_PreviewClick(); }},
              {KxTool::PrintReport, "票据打印", [this] { dxBL_PrintReportClick(); }},
              {KxTool::Columns, "显示列设置", [this] { dxBL_ColumnsClick(); }},
              {KxTool::Exit, "退 出", {}}});
    for (QPushButton* b : m_buttons)
        if (b->objectName().startsWith(QLatin1String("dxBL_")))
            b->setMinimumHeight(40);

    KeywordEdit()->setObjectName(QStringLiteral("findText"));
    Grid()->setObjectName(QStringLiteral("cxGrid1"));
    DataSet()->setObjectName(QStringLiteral("PClientDataSet1"));
    // Read-only, and the rows stay in the order the service sent them.
    Grid()->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid()->setSortingEnabled(false);
    Grid()->horizontalHeader()->setSectionsMovable(false);
    Grid()->verticalHeader()->setVisible(true);
    connect(Grid(), &QAbstractItemView::doubleClicked, this, [this] { cxGrid1DblClick(); });
}

void TFrmReport::FormOpen()
{
    if (isWindow())
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    ApplyRights({{"isprint", {KxTool::Print, KxTool::Preview, KxTool::PrintReport}},
                 {"isoutput", {KxTool::Export}},
                 {"iscolumn", {KxTool::Columns}}},
                false);
    ShowTitle();
    Search(nullptr, -1);
    SetGridColumn(DataSet(), Grid());
    TableViewDispay(Grid(), GetParam(QStringLiteral("fieldlabels")));
    DisTableViewDispay(Grid(), GetParam(QStringLiteral("disfieldlabels")));
    GetGridColumnVisible(windowTitle(), Grid());
    const QPointer<TFrmReport> self(this);
    QTimer::singleShot(100, this, [self] {
        if (self)
            self->autoSearch();
    });
}

void TFrmReport::autoSearch()
{
    // A report opened for a row (fixed conditions) already shows that row's data.
    if (Tool(KxTool::Search)->isEnabled() && FixedConditions().isEmpty())
        dxBL_SearchClick();
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
    GetReportEx()->AddCDataSet(DataSet(), QStringLiteral("数据表"), GetParam(QStringLiteral("fieldlabels")));
    GetReportEx()->PreviewReport();
}

QStringList TFrmReport::DrillDownLines() const
{
    QStringList lines;
    if (!DataSet()->Active() || DataSet()->IsEmpty())
        return lines;
    const QStringList keys = GetParam(QStringLiteral("keyfields")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& key : keys)
        if (const TField* f = DataSet()->FindField(key))
            lines << key + QLatin1Char('=') + f->AsString();
    return lines;
}

void TFrmReport::cxGrid1DblClick()
{
    const QString module = GetParam(QStringLiteral("module"));
    if (!DataSet()->Active() || DataSet()->IsEmpty() || module.isEmpty()
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
