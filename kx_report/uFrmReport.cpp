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
    Grid()->setWordWrap(true);
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
    RemoveGridColumns(Grid(), GetParam(QStringLiteral("disfieldlabels")));
    applyColumnFormats();
    addUnnamedCodes(0);
    GetGridColumnVisible(windowTitle(), Grid());
    fitRows(0);
    const QPointer<TFrmReport> self(this);
    m_autoSearchPending = true;
    QTimer::singleShot(100, this, [self] {
        if (self)
            self->autoSearch();
    });
}

void TFrmReport::applyColumnFormats()
{
    for (const QString& name : GetParam(QStringLiteral("intfields")).split(u';', Qt::SkipEmptyParts))
        if (TGridColumn* c = Grid()->ColumnByField(name.trimmed()))
            c->Editor = TGridEditor::Integer;
    for (const QString& entry : GetParam(QStringLiteral("lookupfields")).split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = entry.indexOf(u'=');
        TGridColumn* c = eq > 0 ? Grid()->ColumnByField(entry.left(eq).trimmed()) : nullptr;
        if (!c)
            continue;
        auto* names = new TPClientDataSet(this);
        names->FieldDefs().Add(QStringLiteral("code"), ftString, 100);
        names->FieldDefs().Add(QStringLiteral("name"), ftString, 100);
        names->CreateDataSet();
        for (const QString& pair : entry.mid(eq + 1).split(u',', Qt::SkipEmptyParts)) {
            const qsizetype colon = pair.indexOf(u':');
            if (colon <= 0)
                continue;
            names->Append();
            names->FieldByName(QStringLiteral("code"))->SetAsString(pair.left(colon).trimmed());
            names->FieldByName(QStringLiteral("name"))->SetAsString(pair.mid(colon + 1).trimmed());
            names->Post();
        }
        c->Editor = TGridEditor::Lookup;
        c->LookupDataSet = names;
        c->LookupKeyField = QStringLiteral("code");
        c->LookupListField = QStringLiteral("name");
        m_lookupColumns << c;
    }
    // A totals row under the loaded rows for the quantities and money the report names.
    bool sums = false;
    for (const QString& name : GetParam(QStringLiteral("sumfields")).split(u';', Qt::SkipEmptyParts))
        if (TGridColumn* c = Grid()->ColumnByField(name.trimmed())) {
            c->Footer = TGridFooter::Sum;
            sums = true;
        }
    Grid()->ColumnsChanged();
    Grid()->SetFooterVisible(sums);
}

void TFrmReport::addUnnamedCodes(int fromRow)
{
    TPClientDataSet* ds = DataSet();
    for (TGridColumn* c : m_lookupColumns) {
        const TField* f = ds->FindField(c->FieldName);
        TPClientDataSet* names = c->LookupDataSet;
        if (!f || !names)
            continue;
        for (int r = fromRow; r < ds->RecordCount(); ++r) {
            const QString code = ds->DisplayTextAt(r, f);
            if (ds->IsNullAt(r, f) || names->Locate(QStringLiteral("code"), code, {}))
                continue;
            names->Append();
            names->FieldByName(QStringLiteral("code"))->SetAsString(code);
            names->FieldByName(QStringLiteral("name"))->SetAsString(code);
            names->Post();
        }
    }
}

void TFrmReport::fitRows(int fromRow)
{
    for (int r = fromRow; r < Grid()->model()->rowCount(); ++r)
        Grid()->resizeRowToContents(r);
}

void TFrmReport::BeforeSearch()
{
    m_rowsBefore = DataSet()->Active() ? DataSet()->RecordCount() : 0;
}

void TFrmReport::AfterSearch(int page)
{
    // Before the window opened, the columns are not made yet; FormOpen does it then.
    if (Grid()->ColumnCount() == 0)
        return;
    const int from = page > 1 ? m_rowsBefore : 0;
    addUnnamedCodes(from);
    fitRows(from);
}

void TFrmReport::autoSearch()
{
    m_autoSearchPending = false;
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
