// Refunds against the real service. refund_down: the marketplace holds 2,000 refunds of the
// last weeks and the download dialog's calls fetch them all (the probe, then pages of 50).
// refunding_generate: 500 finished refunds of many buyers turned into return receipts in the
// refund window's one call, merged per buyer and shop account. The service's share is its own
// figure from the access log. SQLite, and PostgreSQL (names ending in "_pg") when KX_PG_URL is set.
#include "ServiceFixture.h"
#include "market/Simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

qint64 serviceMs(const QString& log, qint64 from, const QString& method)
{
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(from))
        return -1;
    static const QRegularExpression re(QStringLiteral("call (\\S+) .* ms=(\\d+) ok"));
    qint64 ms = 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QRegularExpressionMatch m = re.match(QString::fromUtf8(line));
        if (m.hasMatch() && m.captured(1) == method)
            ms += m.captured(2).toLongLong();
    }
    return ms;
}

void set(TPClientDataSet& ds, const char* field, const QString& value)
{
    ds.FieldByName(QLatin1String(field))->SetAsString(value);
}

int run(const QString& kind, const char* suffix)
{
    TServiceFixture fx(kind);
    KxSetServiceUrl(fx.url());
    const TCallResult login = fx.call({kAdmin.nick, QString(), QString()}, "PowerMger.Login",
                                      {{"shopcode", kAdmin.shop}, {"usercode", kAdmin.oper}, {"password", "admin888"}});
    if (!login.ok) {
        std::fprintf(stderr, "login failed: %s\n", qPrintable(login.error));
        return 1;
    }
    const QString log = fx.dir.filePath(QStringLiteral("service.log"));

    // ---- refund_down
    constexpr int kRefunds = 2000;
    {
        QSqlDatabase db = fx.db();
        TTransaction t(fx.service->store(), db, true);
        for (const char* table : {"kx_mk_trade", "kx_mk_order", "kx_mk_refund", "kx_mk_item", "kx_mk_sku", "kx_refund", "kx_refund_sync"})
            KxExec(db, QStringLiteral("DELETE FROM %1 WHERE nickid = '1001'").arg(QLatin1String(table)));
        KxExec(db, QStringLiteral("DELETE FROM kx_subnick WHERE nickid = '1001'"));
        TMarketSimulator(db, QStringLiteral("1001")).populate(11, 3000, QDate::currentDate().addDays(-40), QStringLiteral("varnoq_demo"), 900);
        KxExec(db, QStringLiteral("DELETE FROM kx_mk_refund WHERE nickid = '1001'"));
        // One refund on each of the first 2,000 lines, finished, goods sent back, of many buyers.
        KxExec(db, QStringLiteral(
            "INSERT INTO kx_mk_refund (nickid, refund_id, tid, oid, buyer_nick, status, good_status, has_good_return, refund_fee, reason,"
            " desc1, created, modified, sid, company_name)"
            " SELECT o.nickid, '79' || o.oid, o.tid, o.oid, t.buyer_nick, 'SUCCESS', 'BUYER_RETURNED_GOODS', 1, o.total_fee, '质量问题',"
            " '收到的和图片不一样', t.created, t.modified, 'ZT' || o.oid, '中通快运'"
            " FROM kx_mk_order o JOIN kx_mk_trade t ON t.nickid = o.nickid AND t.tid = o.tid WHERE o.nickid = '1001'"
            " ORDER BY o.oid LIMIT %1").arg(kRefunds));
        t.commit();
    }
    if (fx.scalar("SELECT COUNT(*) FROM kx_mk_refund WHERE nickid = '1001'").toInt() != kRefunds) {
        std::fprintf(stderr, "the marketplace holds too few refunds\n");
        return 1;
    }
    const auto page = [&](int no, int size) {
        return fx.call(kAdmin, "NetShop.DownRefunds", {{"detailnick", "varnoq_demo"}, {"status", "REFUND_ALL"}, {"daynum", "90"},
                                                       {"page_no", QString::number(no)}, {"page_size", QString::number(size)}});
    };
    qint64 from = QFileInfo(log).size();
    QElapsedTimer timer;
    timer.start();
    const TCallResult probe = page(1, 1);
    const int total = probe.value("total_results").toInt();
    for (int p = 1; p <= (total + 49) / 50; ++p)
        if (!page(p, 50).ok)
            return 1;
    const qint64 downMs = timer.elapsed();
    const qint64 downService = serviceMs(log, from, QStringLiteral("NetShop.DownRefunds"));
    const int stored = fx.scalar("SELECT COUNT(*) FROM kx_refund WHERE nickid = '1001'").toInt();
    if (stored != kRefunds) {
        std::fprintf(stderr, "downloaded %d of %d refunds\n", stored, kRefunds);
        return 1;
    }
    std::printf("BENCH refund_down%s refunds=%d ms=%lld service_ms=%lld\n", suffix, kRefunds, downMs, downService);
    std::fflush(stdout);

    // ---- refunding_generate
    constexpr int kGenerate = 500;
    const TCallResult list = fx.call(kAdmin, "Refund.Search", {{"curpage", "0"}});
    const TCallResult shape = fx.call(kAdmin, "Refund.SearchRefunding", {{"refunding", ""}});
    TPClientDataSet refunds, master, detail;
    if (!list.ok || !shape.ok || !refunds.SetKXXMLData(list.value("xmldata")) || !master.SetKXXMLData(shape.value("xmlmaster"))
        || !detail.SetKXXMLData(shape.value("xmldetail")))
        return 1;
    QHash<QString, QString> keyOf;
    QHash<QString, int> seqOf;
    int n = 0;
    for (refunds.First(); !refunds.Eof() && n < kGenerate; refunds.Next(), ++n) {
        const QString pair = refunds.FieldByName("buyer_nick")->AsString() + '\n' + refunds.FieldByName("seller_nick")->AsString();
        QString key = keyOf.value(pair);
        if (key.isEmpty()) {
            key = QUuid::createUuid().toString(QUuid::Id128);
            keyOf.insert(pair, key);
            master.Append();
            set(master, "md5_key", key);
            set(master, "storageid", QStringLiteral("CK04"));
            set(master, "buyer_nick", refunds.FieldByName("buyer_nick")->AsString());
            set(master, "seller_nick", refunds.FieldByName("seller_nick")->AsString());
            master.Post();
        }
        detail.Append();
        set(detail, "md5_key", key);
        detail.FieldByName("seq")->SetAsInteger(++seqOf[key]);
        for (const char* f : {"refund_id", "has_good_return", "commoditycode", "title", "num", "total_fee", "refund_fee", "num_iid", "sku_id",
                              "sku_properties_name", "seller_nick"})
            set(detail, f, refunds.FieldByName(QLatin1String(f))->AsString());
        detail.Post();
        refunds.Edit();
        set(refunds, "dbstatus", QStringLiteral("REFUNDINGED"));
        refunds.Post();
    }
    from = QFileInfo(log).size();
    timer.restart();
    const TCallResult r = fx.call(kAdmin, "Refund.UpdateRefunding", {},
                                  {{"delta", refunds.GetKXXMLDelta()}, {"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", detail.GetKXXMLDelta()}});
    const qint64 genMs = timer.elapsed();
    if (!r.ok) {
        std::fprintf(stderr, "generation refused: %s\n", qPrintable(r.error));
        return 1;
    }
    std::printf("BENCH refunding_generate%s refunds=%d receipts=%lld ms=%lld service_ms=%lld\n", suffix, kGenerate, qint64(keyOf.size()), genMs,
                serviceMs(log, from, QStringLiteral("Refund.UpdateRefunding")));
    std::fflush(stdout);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    if (int rc = run(QStringLiteral("sqlite"), ""))
        return rc;
    if (!qEnvironmentVariableIsEmpty("KX_PG_URL"))
        return run(QStringLiteral("postgresql"), "_pg");
    return 0;
}
