#include "ufrmCommoditySkuEdit.h"

#include "uCallModule.h"
#include "uFormParts.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uKxPagedList.h"
#include "uPClientDataSet.h"
#include "uRecordBinder.h"
#include "uUiHooks.h"
#include "uUtils.h"
#include "ufrmCommodityItem.h"
#include "ufrmMasterList.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

TfrmCommoditySkuEdit::TfrmCommoditySkuEdit(TfrmMasterList* list, QWidget* owner)
    : TfrmBase(owner ? owner : list)
    , m_list(list)
    , m_mappings(new TPClientDataSet(this))
    , m_grid(new TGridView(this))
    , m_picture(new TKxPicturePanel(this))
    , m_binder(new TKxRecordBinder(m_mappings, this))
    , m_code(new QLineEdit(this))
    , m_name(new QPlainTextEdit(this))
{
    KxMakeDialog(this);
    build();
}

TfrmCommoditySkuEdit::TfrmCommoditySkuEdit(QWidget* owner)
    : TfrmCommoditySkuEdit(nullptr, owner)
{
}

QString TfrmCommoditySkuEdit::listParam(const char* name) const
{
    return m_list ? m_list->GetParam(QString::fromLatin1(name)) : GetParam(QString::fromLatin1(name));
}

void TfrmCommoditySkuEdit::build()
{
    resize(820, 480);
    auto* top = new QVBoxLayout(this);
    auto* head = new QGridLayout;
    int row = 0;
    for (const char* field : {"commoditycode", "commodityname"}) {
        auto* label = new QLabel(QString::fromLatin1(field), this);
        label->setObjectName(QString::fromLatin1(field));
        head->addWidget(label, row++, 0, Qt::AlignRight | Qt::AlignTop);
    }
    m_code->setReadOnly(true);
    m_name->setReadOnly(true);
    m_name->setFixedHeight(48);
    head->addWidget(m_code, 0, 1);
    head->addWidget(m_name, 1, 1);
    top->addLayout(head);

    auto* body = new QSplitter(Qt::Horizontal, this);
    body->addWidget(m_grid);
    m_picture->setMinimumWidth(170);
    body->addWidget(m_picture);
    body->setStretchFactor(0, 1);
    top->addWidget(body, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (const auto& [text, run] : {std::pair<const char*, void (TfrmCommoditySkuEdit::*)()>{"添 加", &TfrmCommoditySkuEdit::btnAddClick},
                                    {"删 除", &TfrmCommoditySkuEdit::btnDeleteClick},
                                    {"提交存盘", &TfrmCommoditySkuEdit::btnSaveClick}}) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, run);
        buttons->addWidget(b);
    }
    top->addLayout(buttons);

    m_grid->SetDataSet(m_mappings);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (const char* f : {"nick", "num_iidsku", "title", "sku_properties_name"}) {
        TGridColumn* c = m_grid->AddColumn(QString::fromLatin1(f));
        c->ReadOnly = true;
        c->Width = 120;
    }
    m_grid->ColumnsChanged();
    // A click on the one row shows it again (its row does not move then).
    connect(m_grid, &QAbstractItemView::clicked, this, [this] {
        if (m_mappings->RecordCount() == 1)
            m_binder->Refresh();
    });

    if (!m_list)
        return;
    setWindowTitle(m_list->TitleLabel()->text() + QStringLiteral("_编辑"));
    const TPClientDataSet* product = m_list->ListData();
    const auto text = [product](const char* f) {
        const TField* field = product->Active() ? product->FindField(QString::fromLatin1(f)) : nullptr;
        return field ? field->AsString() : QString();
    };
    m_code->setText(text("commoditycode"));
    m_name->setPlainText(text("commodityname"));
    const QString labels = listParam("fieldlabels");
    FormViewDispay(this, labels);
    TableViewDispay(m_grid, labels);
    DisTableViewDispay(m_grid, listParam("disfieldlabels"));
    m_binder->BindPicture(m_picture, listParam("itempage"), QStringLiteral("num_iid"), QStringLiteral("pic_path"),
                          QStringLiteral("sku_properties_name"));
}

void TfrmCommoditySkuEdit::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (!m_loaded) {
        m_loaded = true;
        LoadMappings();
    }
}

bool TfrmCommoditySkuEdit::LoadMappings()
{
    m_picture->clear();
    THttpWeb web;
    web.setModule(listParam("search"));
    web.Request()->AddParams(QStringLiteral("commoditycode"), m_code->text().trimmed());
    web.Request()->AddParams(QStringLiteral("curpage"), QStringLiteral("0"));
    if (!web.SendData())
        return false;
    m_mappings->Close();
    return m_mappings->KXAppendData(web.Response()->GetParamUtf8(QStringLiteral("xmldata")));
}

void TfrmCommoditySkuEdit::btnAddClick()
{
    if (!m_mappings->Active())
        return;
    TfrmCommodityItem picker(this);
    picker.setWindowTitle(windowTitle());
    if (KxUi().ShowModal(&picker) != mrOk)
        return;
    const auto set = [this](const char* f, const QString& value) {
        if (TField* field = m_mappings->FindField(QString::fromLatin1(f)))
            field->SetAsString(value);
    };
    for (const TKxPickedSku& sku : picker.Picked()) {
        m_mappings->Append();
        set("commoditycode", m_code->text().trimmed());
        set("num_iid", sku.numIid);
        set("sku_id", sku.skuId);
        set("num_iidsku", sku.numIid + QLatin1Char('/') + sku.skuId);
        set("nick", sku.nick);
        set("title", sku.title);
        set("sku_properties_name", sku.properties);
        set("pic_path", sku.picPath);
        set("md5_key", GetMd5_Key());
        m_mappings->Post();
    }
}

void TfrmCommoditySkuEdit::btnDeleteClick()
{
    if (m_mappings->Active() && !m_mappings->IsEmpty())
        m_mappings->Delete();
}

void TfrmCommoditySkuEdit::btnSaveClick()
{
    if (m_mappings->Active())
        KxSaveDelta(listParam("update"), m_mappings);
}

KX_REGISTER_CLASS(TfrmCommoditySkuEdit)
