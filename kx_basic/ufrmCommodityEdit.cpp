#include "ufrmCommodityEdit.h"

#include "uCallModule.h"
#include "uFrmSelect.h"
#include "uPClientDataSet.h"
#include "uProductFill.h"
#include "uRecordBinder.h"
#include "ufrmCommodity.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QStyle>

namespace {
const char* const kProductTexts[] = {"commoditycode", "barcode", "commodityname", "propstyle", "propcolor", "propsize"};
const char* const kAmounts[] = {"saleprice", "wholesale", "costprice", "maxstock", "minstock"};

// A box with a pick button at its right end.
void addPickButton(QLineEdit* edit, QObject* receiver, std::function<void()> pick)
{
    QAction* a = edit->addAction(edit->style()->standardIcon(QStyle::SP_FileDialogContentsView), QLineEdit::TrailingPosition);
    QObject::connect(a, &QAction::triggered, receiver, std::move(pick));
}
}

TfrmCommodityEdit::TfrmCommodityEdit(QWidget* owner)
    : TfrmMasterEdit(owner)
    , m_brand(new QComboBox(this))
    , m_deleted(new QCheckBox(QStringLiteral("is_del"), this))
{
    resize(600, 420);
    auto* goods = new QGroupBox(QStringLiteral("母商品信息"), this);
    auto* goodsGrid = new QGridLayout(goods);
    auto* goodsCode = new QLineEdit(this);
    m_edits.append({QStringLiteral("goodscode"), goodsCode});
    AddField(goodsGrid, 0, 0, QStringLiteral("goodscode"), goodsCode);
    AddField(goodsGrid, 0, 1, QStringLiteral("brand_id"), m_brand);
    addPickButton(goodsCode, this, [this] { GoodsButtonClick(); });
    connect(goodsCode, &QLineEdit::editingFinished, this, [this, goodsCode] {
        if (goodsCode->isModified() && !m_filling) {
            goodsCode->setModified(false);
            GoodsCodeEntered();
        }
    });

    auto* product = new QGroupBox(QStringLiteral("子商品信息"), this);
    auto* grid = new QGridLayout(product);
    int row = 0;
    for (const char* f : kProductTexts) {
        auto* edit = new QLineEdit(this);
        m_edits.append({QString::fromLatin1(f), edit});
        AddField(grid, row++, 0, QString::fromLatin1(f), edit);
    }
    row = 0;
    for (const char* f : kAmounts) {
        auto* edit = new QLineEdit(this);
        edit->setAlignment(Qt::AlignRight);
        m_edits.append({QString::fromLatin1(f), edit});
        AddField(grid, row++, 1, QString::fromLatin1(f), edit);
    }
    AddField(grid, row, 1, QStringLiteral("is_del"), m_deleted);
    addPickButton(Edit(QStringLiteral("propcolor")), this, [this] { ColorButtonClick(); });
    addPickButton(Edit(QStringLiteral("propsize")), this, [this] { SizeButtonClick(); });

    goods->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    Body()->addWidget(goods);
    Body()->addWidget(product);
    // The next colour or size of the same goods is entered quickly.
    SetContinue({QStringLiteral("goodscode"), QStringLiteral("brand_id"), QStringLiteral("commodityname"),
                 QStringLiteral("propstyle"), QStringLiteral("costprice"), QStringLiteral("saleprice"),
                 QStringLiteral("wholesale"), QStringLiteral("maxstock"), QStringLiteral("minstock")},
                Edit(QStringLiteral("barcode")));
}

QLineEdit* TfrmCommodityEdit::Edit(const QString& field) const
{
    for (const auto& [name, edit] : m_edits)
        if (name == field)
            return edit;
    return nullptr;
}

void TfrmCommodityEdit::BindEditors()
{
    // The goods box writes only through a found goods, so an unknown code leaves the row.
    Binder()->BindEdit(Edit(QStringLiteral("goodscode")), QStringLiteral("goodscode"), false);
    for (const char* f : kProductTexts)
        Binder()->BindEdit(Edit(QString::fromLatin1(f)), QString::fromLatin1(f));
    for (const char* f : kAmounts)
        Binder()->BindAmount(Edit(QString::fromLatin1(f)), QString::fromLatin1(f));
    Binder()->BindCheck(m_deleted, QStringLiteral("is_del"));
    if (auto* list = qobject_cast<TfrmCommodity*>(List()))
        Binder()->BindLookup(m_brand, QStringLiteral("brand_id"), list->Brands(), QStringLiteral("brand_id"),
                             QStringLiteral("brand_name"));
    for (auto signal : {&TPClientDataSet::currentRowChanged, &TPClientDataSet::rowChanged})
        connect(Data(), signal, this, &TfrmCommodityEdit::updateGoodsBox);
    connect(Data(), &TPClientDataSet::stateChanged, this, &TfrmCommodityEdit::updateGoodsBox);
    updateGoodsBox();
}

// The goods of an existing product cannot change.
void TfrmCommodityEdit::updateGoodsBox()
{
    const TField* code = Data() && Data()->Active() ? Data()->FindField(QStringLiteral("commoditycode")) : nullptr;
    Edit(QStringLiteral("goodscode"))->setEnabled(!code || code->AsString().trimmed().isEmpty());
}

void TfrmCommodityEdit::GoodsButtonClick()
{
    TPClientDataSet goods;
    if (KxPickGoods(this, &goods))
        FillFromGoods(&goods);
}

void TfrmCommodityEdit::GoodsCodeEntered()
{
    TPClientDataSet goods;
    if (KxLookupGoods(this, Edit(QStringLiteral("goodscode"))->text(), &goods))
        FillFromGoods(&goods);
}

void TfrmCommodityEdit::FillFromGoods(TPClientDataSet* goods)
{
    TPClientDataSet* ds = Data();
    if (!ds || goods->IsEmpty())
        return;
    m_filling = true;
    if (ds->State() == dsBrowse)
        ds->Edit();
    KxFillFromGoods(ds, goods, {"goodscode", "brand_id", "propstyle", "costprice", "saleprice", "wholesale"});
    Binder()->Refresh();
    m_filling = false;
}

void TfrmCommodityEdit::pickProperty(const QString& module, const QString& field)
{
    const std::optional<QString> name = KxPickPropertyName(this, module);
    if (!name || !Data())
        return;
    if (Data()->State() == dsBrowse)
        Data()->Edit();
    if (TField* f = Data()->FindField(field))
        f->SetAsString(*name);
    Binder()->Refresh();
}

void TfrmCommodityEdit::ColorButtonClick()
{
    pickProperty(QStringLiteral("Select.PropColor"), QStringLiteral("propcolor"));
}

void TfrmCommodityEdit::SizeButtonClick()
{
    pickProperty(QStringLiteral("Select.PropSize"), QStringLiteral("propsize"));
}

KX_REGISTER_CLASS(TfrmCommodityEdit)
