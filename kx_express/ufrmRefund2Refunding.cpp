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
const QString kRefundId = QStringLiteral("refund_id");

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

QString groupKey(const TRefundWork& w)
{
    return w.buyer_nick + QChar(0) + w.seller_nick;
}

QSet<QString> refundIds(const QList<TRefundWork>& work)
{
    QSet<QString> ids;
    for (const TRefundWork& w : work)
        for (const TRefundWorkLine& l : w.lines)
            ids.insert(l.refund_id);
    return ids;
}
}

TRefundToRefunding::TRefundToRefunding(TfrmRefund* form)
    : QObject(form)
    , m_form(form)
    , m_master(new TPClientDataSet(this))
    , m_lines(new TPClientDataSet(this))
    , m_storages(new TPClientDataSet(this))
{
    setObjectName(QStringLiteral("RefundToRefunding"));
}

TRefundToRefunding& TRefundToRefunding::Of(TfrmRefund* form)
{
    auto* p = form->findChild<TRefundToRefunding*>(QStringLiteral("RefundToRefunding"), Qt::FindDirectChildrenOnly);
    return p ? *p : *new TRefundToRefunding(form);
}

bool TRefundToRefunding::LoadStructures()
{
    if (m_loaded)
        return true;
    m_loaded = KxLoadEmptyDocs(m_form, QStringLiteral("searchrefunding"), QStringLiteral("refunding"), m_master, m_lines);
    return m_loaded;
}

QList<TRefundWork> TRefundToRefunding::Collect()
{
    QList<TRefundWork> work;
    TPClientDataSet* refunds = m_form->Refunds();
    if (refunds->State() == dsEdit || refunds->State() == dsInsert)
        refunds->Post();
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

void TRefundToRefunding::Fill(const QList<TRefundWork>& work, bool merge, const QString& storageid)
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

    m_master->EmptyDataSet();
    m_lines->EmptyDataSet();
    const QString stamp = QLatin1Char('[') + gOperId + QLatin1Char(']') + gOperName;
    for (const TRefundWork& g : groups) {
        m_master->Append();
        put(m_master, "md5_key", GetMd5_Key());
        put(m_master, "shopcode", gShopId);
        put(m_master, "storageid", storageid);
        put(m_master, "buyer_nick", g.buyer_nick);
        put(m_master, "seller_nick", g.seller_nick);
        put(m_master, "refundingmoney", g.total);
        put(m_master, "inputren", stamp);
        put(m_master, "inputtime", KxNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        if (TField* f = m_master->FindField(QStringLiteral("status")))
            f->SetAsInteger(0);
        m_master->Post();
        const QString key = text(m_master, "md5_key"), id = text(m_master, "refundingid");
        int seq = 0;
        for (const TRefundWorkLine& l : g.lines) {
            m_lines->Append();
            put(m_lines, "md5_key", key);
            put(m_lines, "refundingid", id);
            if (TField* f = m_lines->FindField(QStringLiteral("seq")))
                f->SetAsInteger(++seq);
            put(m_lines, "refund_id", l.refund_id);
            if (TField* f = m_lines->FindField(QStringLiteral("has_good_return")))
                f->SetAsBoolean(l.has_good_return);
            put(m_lines, "commoditycode", l.commoditycode);
            put(m_lines, "title", l.title);
            put(m_lines, "num", l.num);
            put(m_lines, "total_fee", l.total_fee);
            put(m_lines, "refund_fee", l.refund_fee);
            put(m_lines, "num_iid", l.num_iid);
            put(m_lines, "sku_id", l.sku_id);
            put(m_lines, "sku_properties_name", l.sku_properties_name);
            put(m_lines, "seller_nick", l.seller_nick);
            m_lines->Post();
        }
    }

    // Only the marks go to the service, not what changed in the list before.
    TPClientDataSet* refunds = m_form->Refunds();
    refunds->MergeChangeLog();
    KxChangeRows(refunds, kRefundId, refundIds(work),
                 [](TPClientDataSet* r) { r->FieldByName(QStringLiteral("dbstatus"))->SetAsString(QStringLiteral("REFUNDINGED")); });
}

bool TRefundToRefunding::Create(const QList<TRefundWork>& work, bool merge, const QString& storageid)
{
    Fill(work, merge, storageid);
    TPClientDataSet* refunds = m_form->Refunds();
    if (!KxSaveGenerated(m_form->GetParam(QStringLiteral("updatepicking")), refunds, m_master, m_lines,
                         QStringLiteral("真的需要批量生成退款单吗？"), QStringLiteral("退款单数据提交成功！")))
        return false;
    KxChangeRows(refunds, kRefundId, refundIds(work),
                 [](TPClientDataSet* r) { r->FieldByName(QStringLiteral("ischeck"))->SetAsBoolean(false); });
    refunds->MergeChangeLog();
    // The refunds turned into receipts leave the tab they were ticked in.
    m_form->ApplyFilter();
    return true;
}

void TRefundToRefunding::dxBL_GenerateClick()
{
    TPClientDataSet* refunds = m_form->Refunds();
    if (refunds->State() == dsEdit || refunds->State() == dsInsert)
        refunds->Post();
    if (!LoadStructures())
        return;
    TfrmRefund2Refunding dialog(m_form);
    if (KxLoadLookupList(m_form, QStringLiteral("storage"), {QStringLiteral("storagetype=3")}, m_storages))
        dialog.SetStorages(m_storages);
    const QList<TRefundWork> work = Collect();
    dialog.SetCounts(int(work.size()), GroupCount(work));
    dialog.SetOnCreate([&](bool merge, const QString& storageid) { return Create(work, merge, storageid); });
    if (dialog.ShowModule() == mrOk)
        KxShowGenerated(m_form, QStringLiteral("listrefunding"), m_master, QStringLiteral("refundingid"));
}
