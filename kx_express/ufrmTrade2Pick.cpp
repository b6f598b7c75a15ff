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
    : TKxGenerateDialog({QStringLiteral("生成拣货单"), QStringLiteral("拣货发货仓库："), QStringLiteral("拣货"),
                         QStringLiteral("逐单拣货(%1单)"), QStringLiteral("合并拣货(%1单)"),
                         QStringLiteral("只有当买家会员名称,收货人姓名和收货人地址完全相同时,进行合并拣货.")},
                        owner)
{
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

void changeOrders(TPClientDataSet* orders, const QList<TTradeWork>& work, const std::function<void(TPClientDataSet*)>& change)
{
    QSet<QString> tids;
    for (const TTradeWork& w : work)
        tids.insert(w.tid);
    KxChangeRows(orders, QStringLiteral("tid"), tids, change);
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
    m_loaded = KxLoadEmptyDocs(m_form, QStringLiteral("searchpicking"), QStringLiteral("pickingid"), m_master, m_lines);
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
    return KxSaveGenerated(m_form->GetParam(QStringLiteral("updatepicking")), m_form->Orders(), m_master, m_lines,
                           QStringLiteral("真的需要批量生成拣货单吗？"), QStringLiteral("拣货单数据提交成功！"));
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
    if (dialog.ShowModule() == mrOk)
        KxShowGenerated(m_form, QStringLiteral("listpicking"), m_master, QStringLiteral("pickingid"));
}
