#include "ufrmCommoditySku.h"

#include "uCallModule.h"
#include "uGridView.h"
#include "uPClientDataSet.h"
#include "ufrmCommoditySkuEdit.h"

#include <QPushButton>

TfrmCommoditySku::TfrmCommoditySku(QWidget* owner)
    : TfrmMasterList(owner)
{
    for (const char* f : {"commoditycode", "commodityname", "nick", "num_iidsku", "title", "sku_properties_name"})
        AddColumn(QString::fromLatin1(f), TGridEditor::Text, true);
    Tool(KxTool::Delete)->hide();
    Tool(KxTool::Save)->hide();
    SetEditForm([this] { return new TfrmCommoditySkuEdit(this); });
}

QString TfrmCommoditySku::SearchMethod() const
{
    return GetParam(QStringLiteral("listsearch"));
}

void TfrmCommoditySku::dxBL_NewClick()
{
    dxBL_EditClick();
}

KX_REGISTER_CLASS(TfrmCommoditySku)
