#include "ufrmCommodityItem.h"
#include "uFormParts.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "ufrmCommodityItemProp.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmCommodityItem::TfrmCommodityItem(QWidget* owner)
    : TfrmBase(owner)
    , m_account(new QComboBox(this))
    , m_keyword(new QLineEdit(this))
    , m_items(new TPClientDataSet(this))
    , m_grid(new TGridView(this))
{
    KxMakeDialog(this);
    resize(640, 460);
    m_account->setEditable(true);
    m_account->addItem(gNickName);
    m_account->addItems(gSubNicks);
    m_account->setCurrentIndex(-1);
    m_account->setEditText(QString());
    m_account->setMinimumWidth(160);

    auto* top = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("子店铺帐号："), this));
    bar->addWidget(m_account);
    bar->addWidget(new QLabel(QStringLiteral("检索关键字："), this));
    bar->addWidget(m_keyword, 1);
    auto* search = new QPushButton(QStringLiteral("检索"), this);
    bar->addWidget(search);
    top->addLayout(bar);

    m_grid->SetDataSet(m_items);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (const auto& [field, caption] : {std::pair{"num_iid", "宝贝编码"}, {"title", "宝贝名称"}}) {
        TGridColumn* c = m_grid->AddColumn(QString::fromLatin1(field), QString::fromUtf8(caption));
        c->ReadOnly = true;
        c->Width = qstrcmp(field, "title") == 0 ? 360 : 140;
    }
    m_grid->ColumnsChanged();
    top->addWidget(m_grid, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* select = new QPushButton(QStringLiteral("选   择"), this);
    buttons->addWidget(select);
    top->addLayout(buttons);

    connect(search, &QPushButton::clicked, this, &TfrmCommodityItem::btnSearchClick);
    connect(m_keyword, &QLineEdit::returnPressed, this, &TfrmCommodityItem::btnSearchClick);
    connect(select, &QPushButton::clicked, this, &TfrmCommodityItem::btnSelectClick);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, &TfrmCommodityItem::btnSelectClick);
}

void TfrmCommodityItem::btnSearchClick()
{
    const QString account = m_account->currentText().trimmed();
    const QString keyword = m_keyword->text().trimmed();
    if (account.isEmpty()) {
        KxShowInfo(QStringLiteral("子店铺帐号不能为空！"));
        m_account->setFocus();
        return;
    }
    if (keyword.isEmpty()) {
        KxShowInfo(QStringLiteral("检索关键字不能为空！"));
        m_keyword->setFocus();
        return;
    }
    THttpWeb web;
    web.setModule(QStringLiteral("NetShop.SearchItems"));
    web.Request()->AddParams(QStringLiteral("detailnick"), account);
    web.Request()->AddParams(QStringLiteral("q"), keyword);
    if (web.SendData())
        m_items->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata")));
}

void TfrmCommodityItem::btnSelectClick()
{
    if (!m_items->Active() || m_items->IsEmpty())
        return;
    const auto text = [this](const char* f) {
        const TField* field = m_items->FindField(QString::fromLatin1(f));
        return field ? field->AsString() : QString();
    };
    TKxPickedSku item{text("num_iid"), {}, text("pic_url"), {}, text("title"), text("nick")};
    THttpWeb web;
    web.setModule(QStringLiteral("NetShop.SearchSkus"));
    web.Request()->AddParams(QStringLiteral("detailnick"), item.nick);
    web.Request()->AddParams(QStringLiteral("num_iid"), item.numIid);
    if (!web.SendData())
        return;
    TfrmCommodityItemProp skus(this);
    skus.Load(web.Response()->GetParamUtf8(QStringLiteral("xmldata")));
    const TField* skuId = skus.Skus()->Active() ? skus.Skus()->FindField(QStringLiteral("sku_id")) : nullptr;
    // An item without SKUs answers itself as its one SKU.
    if (skus.Skus()->RecordCount() == 1 && skuId && skuId->AsString() == item.numIid) {
        item.skuId = item.numIid;
    } else {
        if (KxUi().ShowModal(&skus) != mrOk)
            return;
        item.skuId = skus.SkuId();
        item.properties = skus.Properties();
    }
    m_picked = {item};
    SetModalResult(mrOk);
}

KX_REGISTER_CLASS(TfrmCommodityItem)
