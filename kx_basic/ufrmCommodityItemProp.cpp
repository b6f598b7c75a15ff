#include "ufrmCommodityItemProp.h"
#include "uFormParts.h"

#include "uCallModule.h"
#include "uGridView.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TfrmCommodityItemProp::TfrmCommodityItemProp(QWidget* owner)
    : TfrmBase(owner)
    , m_skus(new TPClientDataSet(this))
    , m_grid(new TGridView(this))
{
    KxMakeDialog(this);
    setWindowTitle(QStringLiteral("宝贝属性"));
    resize(420, 320);
    m_grid->SetDataSet(m_skus);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (const auto& [field, caption] : {std::pair{"propcolor", "颜色属性"}, {"propsize", "尺码属性"}, {"price", "售价"}}) {
        TGridColumn* c = m_grid->AddColumn(QString::fromLatin1(field), QString::fromUtf8(caption));
        c->ReadOnly = true;
        c->Width = 120;
        if (qstrcmp(field, "price") == 0)
            c->Editor = TGridEditor::Amount;
    }
    m_grid->ColumnsChanged();
    auto* top = new QVBoxLayout(this);
    top->addWidget(m_grid, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* select = new QPushButton(QStringLiteral("选   择"), this);
    buttons->addWidget(select);
    top->addLayout(buttons);
    connect(select, &QPushButton::clicked, this, &TfrmCommodityItemProp::btnSelectClick);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, &TfrmCommodityItemProp::btnSelectClick);
}

bool TfrmCommodityItemProp::Load(const QByteArray& xml)
{
    return m_skus->SetKXXMLData(xml);
}

void TfrmCommodityItemProp::btnSelectClick()
{
    if (!m_skus->Active() || m_skus->IsEmpty())
        return;
    const auto text = [this](const char* f) {
        const TField* field = m_skus->FindField(QString::fromLatin1(f));
        return field ? field->AsString() : QString();
    };
    m_skuId = text("sku_id");
    m_properties = text("propcolor") + text("propsize");
    SetModalResult(mrOk);
}

KX_REGISTER_CLASS(TfrmCommodityItemProp)
