#include "ufrmGoods.h"

#include "uCallModule.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "ufrmGoodsDown.h"
#include "ufrmGoodsEdit.h"

#include <QStyleOptionViewItem>

namespace {
const QString kListed = QStringLiteral("已上架");
}

TfrmGoods::TfrmGoods(QWidget* owner)
    : TfrmMasterList(owner, {{"dxBL_Down", "下 载", [this] { dxBL_DownClick(); }}})
    , m_brands(new TPClientDataSet(this))
{
    AddColumn(QStringLiteral("goodscode"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("goodsname"));
    AddLookupColumn(QStringLiteral("brand_id"), m_brands, QStringLiteral("brand_id"), QStringLiteral("brand_name"));
    AddColumn(QStringLiteral("listingstatus"), TGridEditor::Text, true);
    for (const char* f : {"norms", "units", "propstyle", "memo"})
        AddColumn(QString::fromLatin1(f));
    for (const char* f : {"saleprice", "wholesale", "costprice"})
        AddColumn(QString::fromLatin1(f), TGridEditor::Amount);
    AddColumn(QStringLiteral("is_del"), TGridEditor::Check);

    AddSideList(m_brands, QStringLiteral("brand"));
    SetEditForm([this] {
        auto* form = new TfrmGoodsEdit(this);
        form->Attach(this);
        return form;
    });
    m_listing = AddMenuItem(QStringLiteral("宝贝上架"), [this] { ListingClick(true); });
    m_delisting = AddMenuItem(QStringLiteral("宝贝下架"), [this] { ListingClick(false); });
    // An item not on sale stands out.
    AddCellPainter(QStringLiteral("listingstatus"), [](int, QStyleOptionViewItem& option) {
        if (option.text == kListed)
            return;
        option.font.setBold(true);
        option.palette.setColor(QPalette::Text, Qt::red);
        option.palette.setColor(QPalette::HighlightedText, Qt::red);
    });
}

void TfrmGoods::dxBL_DownClick()
{
    TfrmGoodsDown down(this);
    KxUi().ShowModal(&down);
}

void TfrmGoods::ListingClick(bool listed)
{
    if (!ListData()->Active() || ListData()->IsEmpty())
        return;
    THttpWeb web;
    web.setModule(listed ? QStringLiteral("NetShop.UpdateListing") : QStringLiteral("NetShop.UpdateDelisting"));
    web.Request()->AddParams(QStringLiteral("goodscode"), ListData()->FieldByName(QStringLiteral("goodscode"))->AsString());
    if (!web.SendData())
        return;
    ListData()->Edit();
    ListData()->FieldByName(QStringLiteral("listingstatus"))->SetAsString(listed ? kListed : QStringLiteral("已下架"));
    ListData()->Post();
    KxShowInfo(listed ? QStringLiteral("数据提交上架成功！") : QStringLiteral("数据提交下架成功！"));
}

KX_REGISTER_CLASS(TfrmGoods)
