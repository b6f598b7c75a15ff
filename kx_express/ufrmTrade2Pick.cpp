#include "ufrmTrade2Pick.h"

#include "uCallModule.h"
#include "uClock.h"
#include "uConfig.h"
#include "uDocCommon.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"
#include "ufrmTrade.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QVBoxLayout>

#include <memory>

TfrmTrade2Pick::TfrmTrade2Pick(QWidget* owner)
    : TfrmBase(owner)
    , m_storage(new QComboBox(this))
    , m_choices(new QButtonGroup(this))
{
    // A dialog of the orders window, not a module of the service: it states its own title.
    InitModule(QStringLiteral("<response><moduletitle>生成拣货单</moduletitle><modal>true</modal></response>"));
    auto* layout = new QVBoxLayout(this);
    auto* storageRow = new QHBoxLayout;
    storageRow->addWidget(new QLabel(QStringLiteral("拣货发货仓库："), this));
    storageRow->addWidget(m_storage, 1);
    layout->addLayout(storageRow);
    auto* box = new QGroupBox(QStringLiteral("拣货"), this);
    auto* grid = new QGridLayout(box);
    for (int i = 0; i < 2; ++i) {
        auto* r = new QRadioButton(box);
        m_choices->addButton(r, i);
        grid->addWidget(r, 0, i);
    }
    layout->addWidget(box);
    auto* hint = new QLabel(QStringLiteral("只有当买家会员名称,收货人姓名和收货人地址完全相同时,进行合并拣货."), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* buttons = new QHBoxLayout;
    auto* create = new QPushButton(QStringLiteral("生  成"), this);
    auto* exit = new QPushButton(QStringLiteral("退  出"), this);
    create->setObjectName(QStringLiteral("btnCreate"));
    buttons->addWidget(create);
    buttons->addWidget(exit);
    layout->addLayout(buttons);
    connect(create, &QPushButton::clicked, this, [this] { btnCreateClick(); });
    connect(exit, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
}

void TfrmTrade2Pick::SetStorages(TPClientDataSet* storages)
{
    m_storage->clear();
    if (!storages->Active())
        return;
    TField* id = storages->FindField(QStringLiteral("storageid"));
    TField* name = storages->FindField(QStringLiteral("storagename"));
    if (!id || !name)
        return;
    for (storages->First(); !storages->Eof(); storages->Next())
        m_storage->addItem(name->AsString(), id->AsString());
    m_storage->setCurrentIndex(-1);
}

void TfrmTrade2Pick::SetCounts(int orders, int groups)
{
    Choice(0)->setText(QStringLiteral("逐单拣货(%1单)").arg(orders));
    Choice(1)->setText(QStringLiteral("合并拣货(%1单)").arg(groups));
    Choice(1)->setChecked(true);
}

QRadioButton* TfrmTrade2Pick::Choice(int i) const
{
    return qobject_cast<QRadioButton*>(m_choices->button(i));
}

void TfrmTrade2Pick::btnCreateClick()
{
    if (m_storage->currentIndex() < 0 || m_storage->currentText().isEmpty()) {
        KxShowInfo(QStringLiteral("拣货发货仓库不能为空，请选择！"));
        m_storage->setFocus();
        return;
    }
    const bool made = m_create && m_create(m_choices->checkedId() == 1, m_storage->currentData().toString());
    SetModalResult(made ? mrOk : mrCancel);
}

// ---------------------------------------------------------------- the engine

namespace {
QString text(TPClientDataSet* ds, const char* field)
{
    const TField* f = ds->FindField(QLatin1String(field));
    return f ? f->AsString() : QString();
}

TDecimal amount(TPClientDataSet* ds, const char* field)
{
    const TField* f = ds->FindField(QLatin1String(field));
    return f && !f->IsNull() ? f->AsDecimal() : TDecimal::FromInteger(0);
}

TDecimal plus(const TDecimal& a, const TDecimal& b)
{
    return a.Add(b).value_or(a);
}

// Sets a field the service's structure has; a structure without it is left as it is.
void put(TPClientDataSet* ds, const char* field, const QString& value)
{
    if (TField* f = ds->FindField(QLatin1String(field)))
        f->SetAsString(value);
}

void put(TPClientDataSet* ds, const char* field, const TDecimal& value)
{
    if (TField* f = ds->FindField(QLatin1String(field)))
        f->SetAsDecimal(value);
}

struct TGroup {
    TTradeWork head;   // the last member's texts, joined memos, summed amounts
    QList<TTradeWorkLine> lines;
};

QString groupKey(const TTradeWork& w)
{
    return w.buyer_nick + QChar(0) + w.receiver_name + QChar(0) + w.address;
}

// Changes the orders of `work` in one pass over the rows, the list's filter and views held
// meanwhile: a filtered list would test its filter again after every post, and the lines
// would follow every move.
void changeOrders(TPClientDataSet* orders, const QList<TTradeWork>& work, const std::function<void(TPClientDataSet*)>& change)
{
    QSet<QString> tids;
    for (const TTradeWork& w : work)
        tids.insert(w.tid);
    const TBookmark here = orders->GetBookmark();
    const bool filtered = orders->Filtered();
    orders->DisableControls();
    orders->SetFiltered(false);
    const TField* tid = orders->FieldByName(QStringLiteral("tid"));
    for (orders->First(); !orders->Eof(); orders->Next())
        if (tids.contains(tid->AsString())) {
            orders->Edit();
            change(orders);
            orders->Post();
        }
    orders->SetFiltered(filtered);
    orders->GotoBookmark(here);
    orders->EnableControls();
}
}

TTradeToPicking::TTradeToPicking(TfrmTrade* form)
    : QObject(form)
    , m_form(form)
    , m_master(new TPClientDataSet(this))
    , m_lines(new TPClientDataSet(this))
    , m_storages(new TPClientDataSet(this))
{
    setObjectName(QStringLiteral("TradeToPicking"));
}

TTradeToPicking& TTradeToPicking::Of(TfrmTrade* form)
{
    auto* p = form->findChild<TTradeToPicking*>(QStringLiteral("TradeToPicking"), Qt::FindDirectChildrenOnly);
    return p ? *p : *new TTradeToPicking(form);
}

bool TTradeToPicking::LoadStructures()
{
    if (m_loaded)
        return true;
    THttpWeb web;
    web.setModule(m_form->GetParam(QStringLiteral("searchpicking")));
    web.Request()->AddParams(QStringLiteral("pickingid"), QString());
    if (!web.SendData())
        return false;
    m_loaded = m_master->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmlmaster")))
               && m_lines->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldetail")));
    return m_loaded;
}

QList<TTradeWork> TTradeToPicking::Collect()
{
    QList<TTradeWork> work;
    TPClientDataSet* orders = m_form->Orders();
    TPClientDataSet* lines = m_form->Lines();
    if (orders->State() == dsEdit || orders->State() == dsInsert)
        orders->Post();
    TField* check = orders->FindField(QStringLiteral("ischeck"));
    if (!check || orders->RecordCount() == 0)
        return work;

    // The lines of every order, as the grid shows them under it.
    QHash<QString, QList<TTradeWorkLine>> linesOf;
    const bool filtered = lines->Filtered();
    const TBookmark lineAt = lines->GetBookmark();
    lines->DisableControls();
    lines->SetFiltered(false);
    for (lines->First(); !lines->Eof(); lines->Next()) {
        TTradeWorkLine l{text(lines, "tid"), text(lines, "oid"), text(lines, "commoditycode"), text(lines, "title"),
                         text(lines, "num_iid"), text(lines, "sku_id"), text(lines, "sku_properties_name"), QString(),
                         amount(lines, "num"), amount(lines, "price"), amount(lines, "total_fee")};
        linesOf[l.tid].append(l);
    }
    lines->SetFiltered(filtered);
    lines->GotoBookmark(lineAt);
    lines->EnableControls();

    const TBookmark at = orders->GetBookmark();
    orders->DisableControls();
    for (orders->First(); !orders->Eof(); orders->Next()) {
        if (!check->AsBoolean())
            continue;
        TTradeWork w{text(orders, "tid"), text(orders, "buyer_nick"), text(orders, "seller_nick"), text(orders, "receiver_name"),
                     text(orders, "receiver_state"), text(orders, "receiver_city"), text(orders, "receiver_district"),
                     text(orders, "address"), text(orders, "receiver_zip"), text(orders, "receiver_mobile"),
                     text(orders, "receiver_phone"), text(orders, "buyer_email"), text(orders, "buyer_message"),
                     text(orders, "seller_memo"), amount(orders, "cod_fee"), amount(orders, "seller_cod_fee"),
                     amount(orders, "buyer_cod_fee"), TDecimal::FromInteger(0), linesOf.value(text(orders, "tid"))};
        for (TTradeWorkLine& l : w.lines) {
            l.seller_nick = w.seller_nick;
            w.goodsTotal = plus(w.goodsTotal, l.total_fee);
        }
        work.append(w);
    }
    orders->GotoBookmark(at);
    orders->EnableControls();
    return work;
}

int TTradeToPicking::GroupCount(const QList<TTradeWork>& work)
{
    QSet<QString> keys;
    for (const TTradeWork& w : work)
        keys.insert(groupKey(w));
    return int(keys.size());
}

void TTradeToPicking::Fill(const QList<TTradeWork>& work, bool merge, const QString& storageid)
{
    // Groups in first-seen order; merged, a group's texts are its last member's.
    QList<TGroup> groups;
    QHash<QString, qsizetype> at;
    const QString separator = QStringLiteral("\n\r");
    for (const TTradeWork& w : work) {
        const QString key = groupKey(w);
        if (!merge || !at.contains(key)) {
            at.insert(key, groups.size());
            TGroup g;
            g.head = w;
            g.head.buyer_message = separator + w.buyer_message;
            g.head.seller_memo = separator + w.seller_memo;
            g.lines = w.lines;
            groups.append(g);
            continue;
        }
        TGroup& g = groups[at.value(key)];
        const TTradeWork before = g.head;
        g.head = w;
        g.head.buyer_message = before.buyer_message + separator + w.buyer_message;
        g.head.seller_memo = before.seller_memo + separator + w.seller_memo;
        g.head.cod_fee = plus(before.cod_fee, w.cod_fee);
        g.head.seller_cod_fee = plus(before.seller_cod_fee, w.seller_cod_fee);
        g.head.buyer_cod_fee = plus(before.buyer_cod_fee, w.buyer_cod_fee);
        g.head.goodsTotal = plus(before.goodsTotal, w.goodsTotal);
        g.lines += w.lines;
    }

    m_master->EmptyDataSet();
    m_lines->EmptyDataSet();
    const QString stamp = QLatin1Char('[') + gOperId + QLatin1Char(']') + gOperName;
    for (const TGroup& g : groups) {
        const TTradeWork& h = g.head;
        m_master->Append();
        if (TField* f = m_master->FindField(QStringLiteral("ischeck")))
            f->SetAsBoolean(false);
        put(m_master, "md5_key", GetMd5_Key());
        put(m_master, "shopcode", gShopId);
        put(m_master, "storageid", storageid);
        put(m_master, "buyer_nick", h.buyer_nick);
        put(m_master, "seller_nick", h.seller_nick);
        put(m_master, "receiver_name", h.receiver_name);
        put(m_master, "receiver_state", h.receiver_state);
        put(m_master, "receiver_city", h.receiver_city);
        put(m_master, "receiver_district", h.receiver_district);
        put(m_master, "receiver_address", h.address);
        put(m_master, "receiver_zip", h.receiver_zip);
        put(m_master, "receiver_mobile", h.receiver_mobile);
        put(m_master, "receiver_phone", h.receiver_phone);
        put(m_master, "buyer_email", h.buyer_email);
        put(m_master, "buyer_message", h.buyer_message.trimmed());
        put(m_master, "seller_memo", h.seller_memo.trimmed());
        put(m_master, "cod_fee", h.cod_fee);
        put(m_master, "seller_cod_fee", h.seller_cod_fee);
        put(m_master, "buyer_cod_fee", h.buyer_cod_fee);
        put(m_master, "pickingmoney", h.goodsTotal);
        put(m_master, "post_fee", TDecimal::FromInteger(0));
        put(m_master, "inputren", stamp);
        put(m_master, "inputtime", KxNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        if (TField* f = m_master->FindField(QStringLiteral("status")))
            f->SetAsInteger(0);
        m_master->Post();
        const QString key = text(m_master, "md5_key"), id = text(m_master, "pickingid");
        int seq = 0;
        for (const TTradeWorkLine& l : g.lines) {
            m_lines->Append();
            put(m_lines, "md5_key", key);
            put(m_lines, "pickingid", id);
            if (TField* f = m_lines->FindField(QStringLiteral("seq")))
                f->SetAsInteger(++seq);
            put(m_lines, "tid", l.tid);
            put(m_lines, "oid", l.oid);
            put(m_lines, "commoditycode", l.commoditycode);
            put(m_lines, "title", l.title);
            put(m_lines, "num", l.num);
            put(m_lines, "price", l.price);
            put(m_lines, "total_fee", l.total_fee);
            put(m_lines, "num_iid", l.num_iid);
            put(m_lines, "sku_id", l.sku_id);
            put(m_lines, "sku_properties_name", l.sku_properties_name);
            put(m_lines, "seller_nick", l.seller_nick);
            m_lines->Post();
        }
    }

    // Only the marks go to the service, not the edits made in the list before.
    TPClientDataSet* orders = m_form->Orders();
    orders->MergeChangeLog();
    changeOrders(orders, work, [](TPClientDataSet* o) { o->FieldByName(QStringLiteral("dbstatus"))->SetAsString(QStringLiteral("PICKINGED")); });
}

bool TTradeToPicking::save()
{
    TPClientDataSet* orders = m_form->Orders();
    THttpWeb web;
    web.setModule(m_form->GetParam(QStringLiteral("updatepicking")));
    if (!orders->GetEmptyDelta())
        web.Request()->AddFiles(QStringLiteral("delta"), orders->GetKXXMLDelta());
    if (!m_master->GetEmptyDelta())
        web.Request()->AddFiles(QStringLiteral("deltamaster"), m_master->GetKXXMLDelta());
    if (!m_lines->GetEmptyDelta())
        web.Request()->AddFiles(QStringLiteral("deltadetail"), m_lines->GetKXXMLDelta());
    if (KxAskOkCancel(QStringLiteral("真的需要批量生成拣货单吗？")) && web.SendData()) {
        UnionCDS(m_master, web.Response()->GetParam(QStringLiteral("xmlmaster")));
        UnionCDS(m_lines, web.Response()->GetParam(QStringLiteral("xmldetail")));
        KxShowInfo(QStringLiteral("拣货单数据提交成功！"));
        return true;
    }
    orders->CancelUpdates();
    return false;
}

bool TTradeToPicking::Create(const QList<TTradeWork>& work, bool merge, const QString& storageid)
{
    Fill(work, merge, storageid);
    if (!save())
        return false;
    TPClientDataSet* orders = m_form->Orders();
    changeOrders(orders, work, [](TPClientDataSet* o) { o->FieldByName(QStringLiteral("ischeck"))->SetAsBoolean(false); });
    orders->MergeChangeLog();
    // The picked orders leave the tab they were ticked in.
    m_form->ApplyFilter();
    return true;
}

void TTradeToPicking::dxBL_PickClick()
{
    TPClientDataSet* orders = m_form->Orders();
    if (orders->State() == dsEdit || orders->State() == dsInsert)
        orders->Post();
    if (!LoadStructures())
        return;
    TfrmTrade2Pick dialog(m_form);
    if (KxLoadLookupList(m_form, QStringLiteral("storage"), {QStringLiteral("storagetype=1")}, m_storages))
        dialog.SetStorages(m_storages);
    const QList<TTradeWork> work = Collect();
    dialog.SetCounts(int(work.size()), GroupCount(work));
    dialog.SetOnCreate([&](bool merge, const QString& storageid) { return Create(work, merge, storageid); });
    if (dialog.ShowModule() != mrOk || m_master->IsEmpty())
        return;

    std::unique_ptr<TfrmBase> list(CallModule(m_form, m_form->GetParam(QStringLiteral("listpicking"))));
    if (!list)
        return;
    m_master->First();
    list->FixedConditions() << QStringLiteral("pickingid1=") + text(m_master, "pickingid");
    m_master->Last();
    list->FixedConditions() << QStringLiteral("pickingid2=") + text(m_master, "pickingid");
    KxUi().ShowModal(list.get());
}
