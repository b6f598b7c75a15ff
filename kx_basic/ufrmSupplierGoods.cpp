#include "ufrmSupplierGoods.h"

#include "uCallModule.h"
#include "uFrmSelect.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {
const QString kSupplierPick = QStringLiteral("Select.Supplier");
const QString kInUse = QStringLiteral("status=1");
const char* const kGoodsFields[] = {"goodscode", "goodsname", "norms", "units", "propstyle"};
}

TfrmSupplierGoods::TfrmSupplierGoods(QWidget* owner)
    : TfrmMasterList(owner)
    , m_supplier(new QLineEdit(this))
    , m_pick(new QToolButton(this))
    , m_supplierName(new QLabel(this))
{
    for (const char* f : kGoodsFields)
        AddColumn(QString::fromLatin1(f), TGridEditor::Text, true);

    InsertTools(KxTool::New, {{KxTool::Insert, "插 入", [this] { dxBL_InsertClick(); }}});
    Tool(KxTool::New)->hide();

    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(new QLabel(QStringLiteral("供应商编码："), header));
    m_supplier->setObjectName(QStringLiteral("suppliercode"));
    m_supplier->setFixedWidth(160);
    row->addWidget(m_supplier);
    m_pick->setText(QStringLiteral("…"));
    row->addWidget(m_pick);
    m_supplierName->setObjectName(QStringLiteral("suppliername"));
    m_supplierName->setMinimumWidth(200);
    row->addWidget(m_supplierName);
    row->addStretch();
    SetHeader(header);

    connect(m_pick, &QToolButton::clicked, this, &TfrmSupplierGoods::SupplierButtonClick);
    connect(m_supplier, &QLineEdit::returnPressed, this, &TfrmSupplierGoods::SupplierEntered);
    // A typed code is not the named supplier until it is looked up.
    connect(m_supplier, &QLineEdit::textEdited, m_supplierName, &QLabel::clear);
}

QList<TKxRight> TfrmSupplierGoods::RightsTable() const
{
    QList<TKxRight> rights = TfrmMasterList::RightsTable();
    rights[0].tools << KxTool::Insert;
    return rights;
}

void TfrmSupplierGoods::SupplierButtonClick()
{
    TPClientDataSet rows;
    if (KxPick(this, kSupplierPick, {kInUse}, &rows))
        setSupplier(rows.FieldByName(QStringLiteral("suppliercode"))->AsString(),
                    rows.FieldByName(QStringLiteral("suppliername"))->AsString());
}

void TfrmSupplierGoods::SupplierEntered()
{
    TPClientDataSet rows;
    const TKxLookupResult found
        = KxLookup(this, kSupplierPick, {kInUse, QStringLiteral("suppliercode=") + m_supplier->text().trimmed()}, &rows);
    if (found == TKxLookupResult::Failed)
        return;
    if (found == TKxLookupResult::NotFound) {
        setSupplier(QString(), QString());
        return;
    }
    setSupplier(rows.FieldByName(QStringLiteral("suppliercode"))->AsString(),
                rows.FieldByName(QStringLiteral("suppliername"))->AsString());
}

void TfrmSupplierGoods::setSupplier(const QString& code, const QString& name)
{
    // Another supplier's rows replace these: changes not yet saved would go unnoticed.
    if (HasUnsavedChanges() && !KxAskOkCancel(QStringLiteral("数据有未保存的修改，确定不保存就刷新吗？")))
        return;
    m_supplier->setText(code);
    m_supplierName->setText(name);
    const QStringList none;
    Search(&none, 1);
}

void TfrmSupplierGoods::BeforeSearch()
{
    // The supplier goes after the search's conditions, ahead of the module's fixed ones.
    QStringList& fixed = FixedConditions();
    if (const qsizetype at = fixed.indexOf(m_supplierLine); !m_supplierLine.isNull() && at >= 0)
        fixed.removeAt(at);
    m_supplierLine = QStringLiteral("suppliercode=") + m_supplier->text().trimmed();
    fixed.prepend(m_supplierLine);
}

void TfrmSupplierGoods::NewRecord()
{
    if (TField* f = ListData()->FindField(QStringLiteral("suppliercode")))
        f->SetAsString(m_supplier->text().trimmed());
}

void TfrmSupplierGoods::dxBL_InsertClick()
{
    TPClientDataSet* list = ListData();
    if (!list->Active())
        return;
    list->Append();
    StampNewRow(list);
    TPClientDataSet goods;
    if (!KxPick(this, QStringLiteral("Select.Goods"), {QStringLiteral("is_del=0")}, &goods, {QStringLiteral("multiselect=true")}))
        return;
    for (goods.First(); !goods.Eof(); goods.Next()) {
        if (goods.RecNo() > 1) {
            list->Append();
            StampNewRow(list);
        }
        for (const char* f : kGoodsFields) {
            TField* to = list->FindField(QString::fromLatin1(f));
            // The goods picker names the unit "unit".
            TField* from = goods.FindField(QString::fromLatin1(f));
            if (!from && qstrcmp(f, "units") == 0)
                from = goods.FindField(QStringLiteral("unit"));
            if (to && from)
                to->SetValue(from->Value());
        }
    }
    list->Post();
}

KX_REGISTER_CLASS(TfrmSupplierGoods)
