#include "History.h"

#include "BulkWrite.h"
#include "LocalClock.h"
#include "TDecimal.h"

#include <QHash>
#include <atomic>
#include <mutex>
#include <optional>

namespace {
// Values are kept whole up to this; a longer text (a pasted memo) keeps its start.
constexpr qsizetype kValueMax = 1000;

QString clip(const QString& v)
{
    return v.size() > kValueMax ? v.left(kValueMax - 1) + QChar(0x2026) : v;
}

struct TAreas {
    std::mutex m;
    QHash<QString, THistoryArea> byArea;
};

TAreas& areas()
{
    static TAreas a;
    return a;
}
}

namespace {
std::atomic<bool> gWriting{true};
}

THistory::THistory(TContext& ctx, const QString& table) : m_ctx(ctx), m_table(table), m_enabled(gWriting.load())
{
}

void THistory::SetWriting(bool on)
{
    gWriting = on;
}

void THistory::begin(const QString& key, const QString& action)
{
    if (m_enabled)
        m_entries.push_back({key, action, {}});
}

void THistory::field(const QString& name, const QString& caption, const QString& oldValue, const QString& newValue)
{
    if (!m_enabled || m_entries.empty() || oldValue == newValue)
        return;
    m_entries.back().changes.push_back({0, QString(), THistoryChange::Changed, name, caption, oldValue, newValue});
}

void THistory::line(THistoryChange::EKind kind, int line, const QString& item, const QString& summary)
{
    if (!m_enabled || m_entries.empty())
        return;
    m_entries.back().changes.push_back({line, item, kind, QString(), QString(),
                                        kind == THistoryChange::Removed ? summary : QString(),
                                        kind == THistoryChange::Removed ? QString() : summary});
}

void THistory::lineField(int line, const QString& item, const QString& name, const QString& caption, const QString& oldValue,
                         const QString& newValue)
{
    if (!m_enabled || m_entries.empty() || oldValue == newValue)
        return;
    m_entries.back().changes.push_back({line, item, THistoryChange::Changed, name, caption, oldValue, newValue});
}

void THistory::write()
{
    if (!m_enabled || m_entries.empty())
        return;
    QSqlDatabase& db = m_ctx.db;
    const QString opername = KxScalar(db, QStringLiteral("SELECT opername FROM kx_operator WHERE nickid = ? AND operid = ?"),
                                      {m_ctx.nickid, m_ctx.operid}).toString();
    const QString when = KxLocalNowText();
    // The numbers are taken last, just before the commit: the seller's counter row is then
    // held only for these inserts.
    const qint64 count = qint64(m_entries.size());
    KxExec(db, QStringLiteral("INSERT INTO kx_counter (nickid, name, value) VALUES (?, 'history', 0) ON CONFLICT DO NOTHING"), {m_ctx.nickid});
    KxExec(db, QStringLiteral("UPDATE kx_counter SET value = value + ? WHERE nickid = ? AND name = 'history'"), {count, m_ctx.nickid});
    qint64 id = KxScalar(db, QStringLiteral("SELECT value FROM kx_counter WHERE nickid = ? AND name = 'history'"), {m_ctx.nickid}).toLongLong()
                - count + 1;
    TBulkInsert entries(db, QStringLiteral("kx_history"));
    TBulkInsert changes(db, QStringLiteral("kx_history_change"));
    for (const TEntry& e : m_entries) {
        entries.add({{QStringLiteral("nickid"), m_ctx.nickid}, {QStringLiteral("histid"), id}, {QStringLiteral("tablename"), m_table},
                     {QStringLiteral("recordkey"), e.key}, {QStringLiteral("action"), e.action}, {QStringLiteral("operid"), m_ctx.operid},
                     {QStringLiteral("opername"), opername}, {QStringLiteral("client"), m_ctx.clientAddr}, {QStringLiteral("created"), when},
                     {QStringLiteral("changes"), qint64(e.changes.size())}});
        int n = 0;
        for (const THistoryChange& c : e.changes)
            changes.add({{QStringLiteral("nickid"), m_ctx.nickid}, {QStringLiteral("histid"), id}, {QStringLiteral("n"), ++n},
                         {QStringLiteral("line"), c.line}, {QStringLiteral("item"), c.item}, {QStringLiteral("kind"), QString(QChar::fromLatin1(c.kind))},
                         {QStringLiteral("field"), c.field}, {QStringLiteral("caption"), c.caption},
                         {QStringLiteral("oldvalue"), clip(c.oldValue)}, {QStringLiteral("newvalue"), clip(c.newValue)}});
        ++id;
    }
    entries.flush();
    changes.flush();
    m_entries.clear();
}

QString KxHistoryCaption(const QString& field)
{
    static const QHash<QString, QString> captions = {
        {QStringLiteral("shopcode"), QStringLiteral("门店")},
        {QStringLiteral("suppliercode"), QStringLiteral("供应商编码")},
        {QStringLiteral("suppliername"), QStringLiteral("供应商")},
        {QStringLiteral("vipid"), QStringLiteral("会员卡号")},
        {QStringLiteral("vipname"), QStringLiteral("会员名称")},
        {QStringLiteral("storageid"), QStringLiteral("仓库")},
        {QStringLiteral("out_storageid"), QStringLiteral("调出仓库")},
        {QStringLiteral("in_storageid"), QStringLiteral("调入仓库")},
        {QStringLiteral("in_shopcode"), QStringLiteral("调入门店")},
        {QStringLiteral("memo"), QStringLiteral("备注")},
        {QStringLiteral("adjusttype"), QStringLiteral("调整类型")},
        {QStringLiteral("status"), QStringLiteral("状态")},
        {QStringLiteral("receivemoney"), QStringLiteral("金额")},
        {QStringLiteral("outputmoney"), QStringLiteral("金额")},
        {QStringLiteral("wholemoney"), QStringLiteral("金额")},
        {QStringLiteral("resultmoney"), QStringLiteral("金额")},
        {QStringLiteral("pickingmoney"), QStringLiteral("货款金额")},
        {QStringLiteral("refundingmoney"), QStringLiteral("退款金额")},
        {QStringLiteral("commoditycode"), QStringLiteral("商品编码")},
        {QStringLiteral("goodscode"), QStringLiteral("商品编码")},
        {QStringLiteral("receivenum"), QStringLiteral("数量")},
        {QStringLiteral("outputnum"), QStringLiteral("数量")},
        {QStringLiteral("wholenum"), QStringLiteral("数量")},
        {QStringLiteral("resultnum"), QStringLiteral("数量")},
        {QStringLiteral("allocatenum"), QStringLiteral("数量")},
        {QStringLiteral("adjustnum"), QStringLiteral("数量")},
        {QStringLiteral("checknum"), QStringLiteral("盘点数量")},
        {QStringLiteral("num"), QStringLiteral("数量")},
        {QStringLiteral("costprice"), QStringLiteral("进价")},
        {QStringLiteral("saleprice"), QStringLiteral("售价")},
        {QStringLiteral("wholesale"), QStringLiteral("批发价")},
        {QStringLiteral("disprice"), QStringLiteral("折扣")},
        {QStringLiteral("newprice"), QStringLiteral("新价")},
        {QStringLiteral("newwhole"), QStringLiteral("新批发价")},
        {QStringLiteral("price"), QStringLiteral("单价")},
        {QStringLiteral("total_fee"), QStringLiteral("金额")},
        {QStringLiteral("refund_fee"), QStringLiteral("退款金额")},
        {QStringLiteral("has_good_return"), QStringLiteral("退货")},
        {QStringLiteral("tid"), QStringLiteral("订单号")},
        {QStringLiteral("oid"), QStringLiteral("子订单号")},
        {QStringLiteral("title"), QStringLiteral("宝贝名称")},
        {QStringLiteral("refund_id"), QStringLiteral("退款编号")},
        {QStringLiteral("sku_properties_name"), QStringLiteral("销售属性")},
        {QStringLiteral("seller_nick"), QStringLiteral("掌柜名称")},
        {QStringLiteral("buyer_nick"), QStringLiteral("买家会员")},
        {QStringLiteral("receiver_name"), QStringLiteral("收货人")},
        {QStringLiteral("receiver_address"), QStringLiteral("收货地址")},
        {QStringLiteral("receiver_mobile"), QStringLiteral("手机")},
        {QStringLiteral("receiver_phone"), QStringLiteral("电话")},
        {QStringLiteral("receiver_zip"), QStringLiteral("邮编")},
        {QStringLiteral("buyer_message"), QStringLiteral("客户留言")},
        {QStringLiteral("seller_memo"), QStringLiteral("客服备注")},
        {QStringLiteral("company_code"), QStringLiteral("快递公司")},
        {QStringLiteral("out_sid"), QStringLiteral("快递单号")},
        {QStringLiteral("out_fee"), QStringLiteral("快递运费")},
        {QStringLiteral("post_fee"), QStringLiteral("邮费")},
        {QStringLiteral("checkcode"), QStringLiteral("盘点批次号")},
    };
    return captions.value(field, field);
}

QString KxHistoryNumber(const QVariant& v)
{
    const QString t = v.isValid() && !v.isNull() ? v.toString().trimmed() : QString();
    const std::optional<TDecimal> d = v.metaType() == QMetaType::fromType<TDecimal>() ? std::optional<TDecimal>(v.value<TDecimal>())
                                                                                        : TDecimal::Parse(t);
    if (!d)
        return t;
    QString s = d->ToString();
    if (s.contains(u'.')) {
        while (s.endsWith(u'0'))
            s.chop(1);
        if (s.endsWith(u'.'))
            s.chop(1);
    }
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

QString KxHistorySummary(const QList<QPair<QString, QString>>& values)
{
    QStringList parts;
    for (const auto& [caption, value] : values)
        if (!value.isEmpty())
            parts << caption + u' ' + value;
    return parts.join(QStringLiteral("，"));
}

void KxHistoryArea(const QString& area, const QString& table, const QString& readMethod)
{
    TAreas& a = areas();
    std::lock_guard lock(a.m);
    a.byArea.insert(area, {table, readMethod});
}

THistoryArea KxHistoryAreaOf(const QString& area)
{
    TAreas& a = areas();
    std::lock_guard lock(a.m);
    return a.byArea.value(area);
}
