#include "ufrmRefund2Refunding.h"

#include "uClock.h"
#include "uConfig.h"
#include "uDocCommon.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"
#include "ufrmRefund.h"

#include <QHash>
#include <QSet>

TfrmRefund2Refunding::TfrmRefund2Refunding(QWidget* owner)
    : TKxGenerateDialog({QStringLiteral("生成退款单"), QStringLiteral("退款退货仓库："), QStringLiteral("退款"),
                         QStringLiteral("逐单退款(%1单)"), QStringLiteral("合并退款(%1单)"),
                         QStringLiteral("只有当买家会员名称和卖家会员名称完全相同时,进行合并退款.")},
                        owner)
{
}

namespace {
using KxGen::amount;
using KxGen::put;
using KxGen::text;

QString groupKey(const TRefundWork& w)
{
    return w.buyer_nick + QChar(0) + w.seller_nick;
}
}

TRefundToRefunding::TRefundToRefunding(TfrmRefund* form)
    : TKxGenerator(form,
                   {"RefundToRefunding", QStringLiteral("searchrefunding"), QStringLiteral("refunding"), QStringLiteral("3"),
                    QStringLiteral("updatepicking"), QStringLiteral("真的需要批量生成退款单吗？"), QStringLiteral("退款单数据提交成功！"),
                    QStringLiteral("refund_id"), QStringLiteral("dbstatus"), QStringLiteral("REFUNDINGED"), QStringLiteral("listrefunding"),
                    QStringLiteral("refundingid")},
                   [form] { form->ApplyFilter(); })
    , m_form(form)
{
}

TRefundToRefunding& TRefundToRefunding::Of(TfrmRefund* form)
{
    return KxGeneratorOf<TRefundToRefunding>(form);
}

QSet<QString> TRefundToRefunding::Keys(const QList<TRefundWork>& work) const
{
    QSet<QString> ids;
    for (const TRefundWork& w : work)
        for (const TRefundWorkLine& l : w.lines)
            ids.insert(l.refund_id);
    return ids;
}

QList<TRefundWork> TRefundToRefunding::Collect()
{
    QList<TRefundWork> work;
    TPClientDataSet* refunds = m_form->Refunds();
    PostSource();
    TField* check = refunds->FindField(QStringLiteral("ischeck"));
    if (!check || refunds->RecordCount() == 0)
        return work;
    const TBookmark at = refunds->GetBookmark();
    refunds->DisableControls();
    for (refunds->First(); !refunds->Eof(); refunds->Next()) {
        if (!check->AsBoolean())
            continue;
        const TField* goods = refunds->FindField(QStringLiteral("has_good_return"));
        TRefundWorkLine l{text(refunds, "refund_id"), text(refunds, "commoditycode"), text(refunds, "title"),
                          text(refunds, "num_iid"), text(refunds, "sku_id"), text(refunds, "sku_properties_name"),
                          text(refunds, "seller_nick"), goods && goods->AsBoolean(), amount(refunds, "num"),
                          amount(refunds, "total_fee"), amount(refunds, "refund_fee")};
        work.append({text(refunds, "buyer_nick"), text(refunds, "seller_nick"), l.refund_fee, {l}});
    }
    refunds->GotoBookmark(at);
    refunds->EnableControls();
    return work;
}

int TRefundToRefunding::GroupCount(const QList<TRefundWork>& work)
{
    QSet<QString> keys;
    for (const TRefundWork& w : work)
        keys.insert(groupKey(w));
    return int(keys.size());
}

void TRefundToRefunding::FillDocs(const QList<TRefundWork>& work, bool merge, const QString& storageid)
{
    // Groups in first-seen order; a group sums its refunds and takes all their lines.
    QList<TRefundWork> groups;
    QHash<QString, qsizetype> at;
    for (const TRefundWork& w : work) {
        const QString key = groupKey(w);
        if (!merge || !at.contains(key)) {
            at.insert(key, groups.size());
            groups.append(w);
            continue;
        }
        TRefundWork& g = groups[at.value(key)];
        g.total = g.total.Add(w.total).value_or(g.total);
        g.lines += w.lines;
    }

    Master()->EmptyDataSet();
    Lines()->EmptyDataSet();
    const QString stamp = QLatin1Char('[') + gOperId + QLatin1Char(']') + gOperName;
    for (const TRefundWork& g : groups) {
        Master()->Append();
        put(Master(), "md5_key", GetMd5_Key());
        put(Master(), "shopcode", gShopId);
        put(Master(), "storageid", storageid);
        put(Master(), "buyer_nick", g.buyer_nick);
        put(Master(), "seller_nick", g.seller_nick);
        put(Master(), "refundingmoney", g.total);
        put(Master(), "inputren", stamp);
        put(Master(), "inputtime", KxNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        if (TField* f = Master()->FindField(QStringLiteral("status")))
            f->SetAsInteger(0);
        Master()->Post();
        const QString key = text(Master(), "md5_key"), id = text(Master(), "refundingid");
        int seq = 0;
        for (const TRefundWorkLine& l : g.lines) {
            Lines()->Append();
            put(Lines(), "md5_key", key);
            put(Lines(), "refundingid", id);
            if (TField* f = Lines()->FindField(QStringLiteral("seq")))
                f->SetAsInteger(++seq);
            put(Lines(), "refund_id", l.refund_id);
            if (TField* f = Lines()->FindField(QStringLiteral("has_good_return")))
                f->SetAsBoolean(l.has_good_return);
            put(Lines(), "commoditycode", l.commoditycode);
            put(Lines(), "title", l.title);
            put(Lines(), "num", l.num);
            put(Lines(), "total_fee", l.total_fee);
            put(Lines(), "refund_fee", l.refund_fee);
            put(Lines(), "num_iid", l.num_iid);
            put(Lines(), "sku_id", l.sku_id);
            put(Lines(), "sku_properties_name", l.sku_properties_name);
            put(Lines(), "seller_nick", l.seller_nick);
            Lines()->Post();
        }
    }

}
