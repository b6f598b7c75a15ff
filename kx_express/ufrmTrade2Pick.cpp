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

#include <QSet>


TfrmTrade2Pick::TfrmTrade2Pick(QWidget* owner)
    : TKxGenerateDialog({QStringLiteral("生成拣货单"), QStringLiteral("拣货发货仓库："), QStringLiteral("拣货"),
                         QStringLiteral("逐单拣货(%1单)"), QStringLiteral("合并拣货(%1单)"),
                         QStringLiteral("只有当买家会员名称,收货人姓名和收货人地址完全相同时,进行合并拣货.")},
                        owner)
{
}

// ---------------------------------------------------------------- the engine

namespace {
using KxGen::amount;
using KxGen::put;
using KxGen::text;

TDecimal plus(const TDecimal& a, const TDecimal& b)
{
    return a.Add(b).value_or(a);
}

struct TGroup {
    TTradeWork head;   // the last member's texts, joined memos, summed amounts
    QList<TTradeWorkLine> lines;
};

QString groupKey(const TTradeWork& w)
{
    return w.buyer_nick + QChar(0) + w.receiver_name + QChar(0) + w.address;
}
}

TTradeToPicking::TTradeToPicking(TfrmTrade* form)
    : TKxGenerator(form,
                   {"TradeToPicking", QStringLiteral("searchpicking"), QStringLiteral("pickingid"), QStringLiteral("1"),
                    QStringLiteral("updatepicking"), QStringLiteral("真的需要批量生成拣货单吗？"), QStringLiteral("拣货单数据提交成功！"),
                    QStringLiteral("tid"), QStringLiteral("dbstatus"), QStringLiteral("PICKINGED"), QStringLiteral("listpicking"),
                    QStringLiteral("pickingid")},
                   [form] { form->ApplyFilter(); })
    , m_form(form)
{
}

TTradeToPicking& TTradeToPicking::Of(TfrmTrade* form)
{
    return KxGeneratorOf<TTradeToPicking>(form);
}

QSet<QString> TTradeToPicking::Keys(const QList<TTradeWork>& work) const
{
    QSet<QString> tids;
    for (const TTradeWork& w : work)
        tids.insert(w.tid);
    return tids;
}

QList<TTradeWork> TTradeToPicking::Collect()
{
    QList<TTradeWork> work;
    TPClientDataSet* orders = m_form->Orders();
    TPClientDataSet* lines = m_form->Lines();
    PostSource();
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

void TTradeToPicking::FillDocs(const QList<TTradeWork>& work, bool merge, const QString& storageid)
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

    Master()->EmptyDataSet();
    Lines()->EmptyDataSet();
    const QString stamp = QLatin1Char('[') + gOperId + QLatin1Char(']') + gOperName;
    for (const TGroup& g : groups) {
        const TTradeWork& h = g.head;
        Master()->Append();
        if (TField* f = Master()->FindField(QStringLiteral("ischeck")))
            f->SetAsBoolean(false);
        put(Master(), "md5_key", GetMd5_Key());
        put(Master(), "shopcode", gShopId);
        put(Master(), "storageid", storageid);
        put(Master(), "buyer_nick", h.buyer_nick);
        put(Master(), "seller_nick", h.seller_nick);
        put(Master(), "receiver_name", h.receiver_name);
        put(Master(), "receiver_state", h.receiver_state);
        put(Master(), "receiver_city", h.receiver_city);
        put(Master(), "receiver_district", h.receiver_district);
        put(Master(), "receiver_address", h.address);
        put(Master(), "receiver_zip", h.receiver_zip);
        put(Master(), "receiver_mobile", h.receiver_mobile);
        put(Master(), "receiver_phone", h.receiver_phone);
        put(Master(), "buyer_email", h.buyer_email);
        put(Master(), "buyer_message", h.buyer_message.trimmed());
        put(Master(), "seller_memo", h.seller_memo.trimmed());
        put(Master(), "cod_fee", h.cod_fee);
        put(Master(), "seller_cod_fee", h.seller_cod_fee);
        put(Master(), "buyer_cod_fee", h.buyer_cod_fee);
        put(Master(), "pickingmoney", h.goodsTotal);
        put(Master(), "post_fee", TDecimal::FromInteger(0));
        put(Master(), "inputren", stamp);
        put(Master(), "inputtime", KxNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        if (TField* f = Master()->FindField(QStringLiteral("status")))
            f->SetAsInteger(0);
        Master()->Post();
        const QString key = text(Master(), "md5_key"), id = text(Master(), "pickingid");
        int seq = 0;
        for (const TTradeWorkLine& l : g.lines) {
            Lines()->Append();
            put(Lines(), "md5_key", key);
            put(Lines(), "pickingid", id);
            if (TField* f = Lines()->FindField(QStringLiteral("seq")))
                f->SetAsInteger(++seq);
            put(Lines(), "tid", l.tid);
            put(Lines(), "oid", l.oid);
            put(Lines(), "commoditycode", l.commoditycode);
            put(Lines(), "title", l.title);
            put(Lines(), "num", l.num);
            put(Lines(), "price", l.price);
            put(Lines(), "total_fee", l.total_fee);
            put(Lines(), "num_iid", l.num_iid);
            put(Lines(), "sku_id", l.sku_id);
            put(Lines(), "sku_properties_name", l.sku_properties_name);
            put(Lines(), "seller_nick", l.seller_nick);
            Lines()->Post();
        }
    }
}
