#include "ufrmPackCommodityEdit.h"

#include "TDecimal.h"
#include "uCallModule.h"
#include "uFormParts.h"
#include "uFrmSelect.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uKxPagedList.h"
#include "uPClientDataSet.h"
#include "uProductFill.h"
#include "uRecordBinder.h"
#include "uUiHooks.h"
#include "uUtils.h"
#include "ufrmMasterList.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <vector>

namespace {
const QString kCode = QStringLiteral("subcommoditycode");
const QString kNum = QStringLiteral("num");
const QStringList kComponentConditions{QStringLiteral("is_del=0"), QStringLiteral("is_pack=0")};
// Master boxes in order; amounts marked.
const struct {
    const char* field;
    bool amount;
    bool pick;
} kBoxes[] = {{"goodscode", false, true},  {"commoditycode", false, false}, {"commodityname", false, false},
              {"propstyle", false, false}, {"saleprice", true, false},      {"wholesale", true, false},
              {"propcolor", false, true},  {"propsize", false, true}};
// A component takes these from the chosen product (component field, product field).
const std::pair<const char*, const char*> kFromProduct[] = {
    {"subcommoditycode", "commoditycode"}, {"subcommodityname", "commodityname"}, {"subpropstyle", "propstyle"},
    {"subpropcolor", "propcolor"},         {"subpropsize", "propsize"},           {"subsaleprice", "saleprice"},
    {"subwholesale", "wholesale"},         {"subcostprice", "costprice"}};

TDecimal decimalAt(const TPClientDataSet* ds, const char* field)
{
    const TField* f = ds->FindField(QString::fromLatin1(field));
    return f && !f->IsNull() ? f->AsDecimal() : TDecimal();
}
}

TfrmPackCommodityEdit::TfrmPackCommodityEdit(TfrmMasterList* list, QWidget* owner)
    : TfrmBase(owner ? owner : list)
    , m_list(list)
    , m_master(new TPClientDataSet(this))
    , m_detail(new TPClientDataSet(this))
    , m_binder(new TKxRecordBinder(m_master, this))
    , m_grid(new TGridView(this))
{
    KxMakeDialog(this);
    build();
}

TfrmPackCommodityEdit::TfrmPackCommodityEdit(QWidget* owner)
    : TfrmPackCommodityEdit(nullptr, owner)
{
}

QString TfrmPackCommodityEdit::listParam(const char* name) const
{
    return m_list ? m_list->GetParam(QString::fromLatin1(name)) : GetParam(QString::fromLatin1(name));
}

void TfrmPackCommodityEdit::build()
{
    resize(900, 520);
    if (m_list)
        setWindowTitle(m_list->TitleLabel()->text() + QStringLiteral("_编辑"));
    auto* top = new QVBoxLayout(this);
    auto* head = new QGridLayout;
    int i = 0;
    for (const auto& b : kBoxes) {
        const QString field = QString::fromLatin1(b.field);
        auto* label = new QLabel(field, this);
        label->setObjectName(field);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* edit = new QLineEdit(this);
        if (b.amount)
            edit->setAlignment(Qt::AlignRight);
        head->addWidget(label, i / 4, (i % 4) * 2);
        head->addWidget(edit, i / 4, (i % 4) * 2 + 1);
        m_edits.append({field, edit});
        ++i;
        if (b.pick) {
            QAction* a = edit->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), QLineEdit::TrailingPosition);
            connect(a, &QAction::triggered, this, [this, field] {
                if (field == u"goodscode")
                    GoodsButtonClick();
                else if (field == u"propcolor")
                    ColorButtonClick();
                else
                    SizeButtonClick();
            });
        }
        if (field == u"goodscode") {
            // Enter looks the code up and moves on only when something was found.
            connect(edit, &QLineEdit::returnPressed, this, &TfrmPackCommodityEdit::GoodsCodeEntered);
            m_binder->BindEdit(edit, field, false);
        } else {
            KxEnterMovesOn(edit);
            if (b.amount)
                m_binder->BindAmount(edit, field);
            else
                m_binder->BindEdit(edit, field);
        }
    }
    top->addLayout(head);
    m_binder->SetBeforeWrite([this] { return ensureMaster(); });

    m_grid->SetDataSet(m_detail);
    for (const char* f : {"commoditycode", "subcommoditycode", "subcommodityname", "num", "subpropstyle", "subpropcolor",
                          "subpropsize", "subsaleprice", "subwholesale", "subcostprice", "salerate", "wholerate"}) {
        TGridColumn* c = m_grid->AddColumn(QString::fromLatin1(f));
        c->Width = 100;
        c->ReadOnly = true;
        const QString name = QString::fromLatin1(f);
        if (name == kCode) {
            c->Editor = TGridEditor::Button;
            c->ReadOnly = false;
        } else if (name == kNum) {
            c->Editor = TGridEditor::Amount;
            c->ReadOnly = false;
        } else if (name.contains(QLatin1String("price")) || name.contains(QLatin1String("sale")) || name.endsWith(QLatin1String("rate"))) {
            c->Editor = TGridEditor::Amount;
        }
    }
    m_grid->ColumnsChanged();
    connect(m_grid, &TGridView::ButtonClicked, this, [this](TGridColumn*, int row) { ComponentButtonClick(row); });
    connect(m_grid->GridModel(), &TGridModel::cellEdited, this, &TfrmPackCommodityEdit::cellEdited);
    top->addWidget(m_grid, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (const auto& [text, run] : {std::pair<const char*, void (TfrmPackCommodityEdit::*)()>{"插   入", &TfrmPackCommodityEdit::btnInsertClick},
                                    {"删   除", &TfrmPackCommodityEdit::btnDeleteClick},
                                    {"保   存", &TfrmPackCommodityEdit::btnSaveClick},
                                    {"取   消", &TfrmPackCommodityEdit::btnCancelClick}}) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, run);
        buttons->addWidget(b);
        m_buttons << b;
    }
    top->addLayout(buttons);
}

QLineEdit* TfrmPackCommodityEdit::Edit(const QString& field) const
{
    for (const auto& [name, edit] : m_edits)
        if (name == field)
            return edit;
    return nullptr;
}

QPushButton* TfrmPackCommodityEdit::Button(const QString& text) const
{
    return KxFindButton(m_buttons, text);
}

bool TfrmPackCommodityEdit::LoadBundle(const QString& code)
{
    THttpWeb web;
    web.setModule(listParam("detailsearch"));
    web.Request()->AddParams(QStringLiteral("commoditycode"), code);
    if (!web.SendData())
        return false;
    m_master->Close();
    m_detail->Close();
    m_master->KXAppendData(web.Response()->GetParamUtf8(QStringLiteral("xmlmaster")));
    m_detail->KXAppendData(web.Response()->GetParamUtf8(QStringLiteral("xmldetail")));
    m_master->First();
    const TField* goods = m_master->FindField(QStringLiteral("goodscode"));
    Edit(QStringLiteral("goodscode"))->setEnabled(!(goods && !m_master->IsEmpty() && !goods->AsString().trimmed().isEmpty()));
    const QString labels = listParam("fieldlabels");
    FormViewDispay(this, labels);
    TableViewDispay(m_grid, labels);
    m_binder->Refresh();
    return true;
}

bool TfrmPackCommodityEdit::ensureMaster()
{
    if (!m_master->Active())
        return false;
    if (m_master->IsEmpty()) {
        m_master->Append();
        m_master->FieldByName(QStringLiteral("md5_key"))->SetAsString(GetMd5_Key());
        if (TField* pack = m_master->FindField(QStringLiteral("is_pack")))
            pack->SetAsBoolean(true);
    } else if (m_master->State() == dsBrowse) {
        m_master->Edit();
    }
    return true;
}

// --- Master ---------------------------------------------------------------------------------

void TfrmPackCommodityEdit::fillFromGoods(TPClientDataSet* goods)
{
    if (!ensureMaster())
        return;
    KxFillFromGoods(m_master, goods, {"goodscode", "propstyle", "saleprice", "wholesale"});
    m_binder->Refresh();
}

void TfrmPackCommodityEdit::GoodsButtonClick()
{
    TPClientDataSet goods;
    if (KxPickGoods(this, &goods))
        fillFromGoods(&goods);
}

void TfrmPackCommodityEdit::GoodsCodeEntered()
{
    QLineEdit* box = Edit(QStringLiteral("goodscode"));
    TPClientDataSet goods;
    if (!KxLookupGoods(this, box->text(), &goods))
        return;
    fillFromGoods(&goods);
    box->nextInFocusChain()->setFocus(Qt::TabFocusReason);
}

void TfrmPackCommodityEdit::pickProperty(const QString& module, const QString& field)
{
    const std::optional<QString> name = KxPickPropertyName(this, module);
    if (!name || !ensureMaster())
        return;
    if (TField* f = m_master->FindField(field))
        f->SetAsString(*name);
    m_binder->Refresh();
}

void TfrmPackCommodityEdit::ColorButtonClick()
{
    pickProperty(QStringLiteral("Select.PropColor"), QStringLiteral("propcolor"));
}

void TfrmPackCommodityEdit::SizeButtonClick()
{
    pickProperty(QStringLiteral("Select.PropSize"), QStringLiteral("propsize"));
}

// --- Components -----------------------------------------------------------------------------

void TfrmPackCommodityEdit::appendLine()
{
    if (!m_detail->Active() || !ensureMaster())
        return;
    if (m_master->State() != dsBrowse)
        m_master->Post();
    m_detail->Append();
    m_detail->FieldByName(QStringLiteral("md5_key"))->SetAsString(m_master->FieldByName(QStringLiteral("md5_key"))->AsString());
    if (TField* code = m_detail->FindField(QStringLiteral("commoditycode")))
        code->SetAsString(m_master->FieldByName(QStringLiteral("commoditycode"))->AsString());
    m_detail->FieldByName(kNum)->SetAsInteger(1);
    m_detail->Post();
}

void TfrmPackCommodityEdit::btnInsertClick()
{
    appendLine();
    focusCell(m_detail->RecNo() - 1, kCode);
}

void TfrmPackCommodityEdit::btnDeleteClick()
{
    if (m_detail->Active() && !m_detail->IsEmpty())
        m_detail->Delete();
}

void TfrmPackCommodityEdit::focusCell(int recIndex, const QString& field)
{
    TGridColumn* c = m_grid->ColumnByField(field);
    const int row = m_grid->GridModel()->RowOf(recIndex);
    if (!c || row < 0)
        return;
    const QModelIndex at = m_grid->GridModel()->index(row, m_grid->IndexOfColumn(c));
    m_grid->setCurrentIndex(at);
    m_grid->scrollTo(at);
    m_grid->setFocus();
}

void TfrmPackCommodityEdit::ComponentButtonClick(int row)
{
    if (row >= 0 && row < m_detail->RecordCount())
        m_detail->SetRecNo(row + 1);
    TPClientDataSet products;
    if (!KxPick(this, QStringLiteral("Select.Commodity"), kComponentConditions, &products, {QStringLiteral("multiselect=true")}))
        return;
    FillComponents(&products);
    m_grid->scrollToBottom();
}

void TfrmPackCommodityEdit::ComponentCodeEntered(int row)
{
    if (row < 0 || row >= m_detail->RecordCount())
        return;
    m_detail->SetRecNo(row + 1);
    const QString code = m_detail->FieldByName(kCode)->AsString().trimmed();
    TPClientDataSet products;
    const TKxLookupResult found = KxLookup(this, QStringLiteral("Select.Commodity"),
                                           kComponentConditions + QStringList{QStringLiteral("commoditycode=") + code}, &products);
    // A call that failed was shown by the service client; the line keeps what was typed.
    if (found == TKxLookupResult::Failed)
        return;
    FillComponents(&products);
    if (found == TKxLookupResult::Found)
        focusCell(row, kNum);
}

void TfrmPackCommodityEdit::FillComponents(TPClientDataSet* products)
{
    if (!m_detail->Active())
        return;
    m_placing = true;
    if (m_detail->IsEmpty())
        appendLine();
    if (products->IsEmpty()) {
        m_detail->Edit();
        for (const auto& [to, from] : kFromProduct)
            if (TField* f = m_detail->FindField(QString::fromLatin1(to)))
                f->Clear();
        m_detail->FieldByName(kNum)->Clear();
        m_detail->Post();
        m_placing = false;
        KxShowInfo(QStringLiteral("此信息不存在,请重新输入！"));
        return;
    }
    bool first = true;
    for (products->First(); !products->Eof(); products->Next()) {
        if (!first)
            appendLine();
        first = false;
        m_detail->Edit();
        for (const auto& [to, from] : kFromProduct)
            if (TField* f = m_detail->FindField(QString::fromLatin1(to)))
                if (const TField* p = products->FindField(QString::fromLatin1(from)))
                    f->SetValue(p->Value());
        m_detail->FieldByName(kNum)->SetAsInteger(1);
        m_detail->Post();
    }
    m_placing = false;
}

void TfrmPackCommodityEdit::QuantityEntered(int row)
{
    if (row + 1 < m_detail->RecordCount()) {
        focusCell(row + 1, kNum);
        return;
    }
    appendLine();
    focusCell(m_detail->RecordCount() - 1, kCode);
}

void TfrmPackCommodityEdit::cellEdited(int row, TGridColumn* column)
{
    if (m_placing || !column)
        return;
    if (column->FieldName == kCode)
        ComponentCodeEntered(row);
    else if (column->FieldName == kNum)
        QuantityEntered(row);
}

bool TfrmPackCommodityEdit::ComputeShares()
{
    TDecimal sale, whole;
    std::vector<std::pair<TDecimal, TDecimal>> parts;
    for (int r = 0; r < m_detail->RecordCount(); ++r) {
        m_detail->SetRecNo(r + 1);
        const TDecimal num = decimalAt(m_detail, "num");
        if (num.Compare(TDecimal()) <= 0) {
            KxShowInfo(QStringLiteral("组装数量不能小于零！"));
            focusCell(r, kNum);
            return false;
        }
        const TDecimal s = decimalAt(m_detail, "subsaleprice") * num;
        const TDecimal w = decimalAt(m_detail, "subwholesale") * num;
        parts.emplace_back(s, w);
        sale = sale + s;
        whole = whole + w;
    }
    const auto share = [](const TDecimal& part, const TDecimal& sum) {
        return part.IsZero() || sum.IsZero() ? TDecimal::FromMantissa(0, 4) : part.Div(sum, 4).value_or(TDecimal());
    };
    for (int r = 0; r < m_detail->RecordCount(); ++r) {
        m_detail->SetRecNo(r + 1);
        const TDecimal saleRate = share(parts[size_t(r)].first, sale);
        const TDecimal wholeRate = share(parts[size_t(r)].second, whole);
        TField* sr = m_detail->FindField(QStringLiteral("salerate"));
        TField* wr = m_detail->FindField(QStringLiteral("wholerate"));
        // Unchanged shares are not written, so a second save has nothing to send.
        const bool same = (!sr || (!sr->IsNull() && sr->AsDecimal() == saleRate)) && (!wr || (!wr->IsNull() && wr->AsDecimal() == wholeRate));
        if (same)
            continue;
        m_detail->Edit();
        if (sr)
            sr->SetAsDecimal(saleRate);
        if (wr)
            wr->SetAsDecimal(wholeRate);
        m_detail->Post();
    }
    return true;
}

void TfrmPackCommodityEdit::btnSaveClick()
{
    if (m_master->State() != dsBrowse && !m_master->Post())
        return;
    if (m_detail->State() != dsBrowse && !m_detail->Post())
        return;
    const bool lines = m_detail->Active() && !m_detail->IsEmpty();
    const bool master = m_master->Active() && !m_master->IsEmpty();
    if (lines || !master) {
        if (!ComputeShares())
            return;
    } else {
        // A bundle without components is no bundle.
        m_master->Delete();
    }
    KxSaveMasterDetail(listParam("update"), m_master, m_detail);
    m_binder->Refresh();
}

void TfrmPackCommodityEdit::btnCancelClick()
{
    SetModalResult(mrCancel);
}

KX_REGISTER_CLASS(TfrmPackCommodityEdit)
