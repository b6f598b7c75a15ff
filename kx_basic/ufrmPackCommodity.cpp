#include "ufrmPackCommodity.h"

#include "uCallModule.h"
#include "uGridView.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "ufrmPackCommodityEdit.h"

#include <QPushButton>

TfrmPackCommodity::TfrmPackCommodity(QWidget* owner)
    : TfrmMasterList(owner)
{
    for (const char* f : {"goodscode", "commoditycode", "commodityname", "propstyle", "propcolor", "propsize"})
        AddColumn(QString::fromLatin1(f), TGridEditor::Text, true);
    for (const char* f : {"saleprice", "wholesale"})
        AddColumn(QString::fromLatin1(f), TGridEditor::Amount, true);
    for (const char* f : {"subcommoditycode", "subcommodityname"})
        AddColumn(QString::fromLatin1(f), TGridEditor::Text, true);
    AddColumn(QStringLiteral("num"), TGridEditor::Amount, true);
    for (const char* f : {"subpropstyle", "subpropcolor", "subpropsize"})
        AddColumn(QString::fromLatin1(f), TGridEditor::Text, true);
    for (const char* f : {"subsaleprice", "subwholesale", "subcostprice"})
        AddColumn(QString::fromLatin1(f), TGridEditor::Amount, true);
    Tool(KxTool::Save)->hide();
    // The dialog is made per bundle; the factory only marks that rows open a dialog.
    SetEditForm([] { return nullptr; });
}

void TfrmPackCommodity::dxBL_NewClick()
{
    openBundle(QString());
}

void TfrmPackCommodity::dxBL_EditClick()
{
    if (ListData()->Active() && !ListData()->IsEmpty())
        openBundle(ListData()->FieldByName(QStringLiteral("commoditycode"))->AsString());
}

void TfrmPackCommodity::dxBL_DeleteClick()
{
    if (!ListData()->Active() || ListData()->IsEmpty())
        return;
    ListData()->Delete();
    // Nothing of it is ever sent, so nothing stays pending either.
    ListData()->MergeChangeLog();
}

void TfrmPackCommodity::openBundle(const QString& code)
{
    TfrmPackCommodityEdit edit(this);
    if (edit.LoadBundle(code))
        KxUi().ShowModal(&edit);
}

KX_REGISTER_CLASS(TfrmPackCommodity)
