// A stocktake of one storage holding 50,000 products at the service: the freeze (book stock
// recorded), the summary of 20 count sheets of 2,500 lines, and the adjustment of every
// difference (two in three products differ) into one audited stock adjustment. The figures
// are the service's own, from its access log. SQLite, and PostgreSQL (names ending in "_pg")
// when KX_PG_URL is set.
#include "BenchEngines.h"
#include "ServiceFixture.h"

#include "store/DocSql.h"
#include "store/Statistics.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

constexpr int kProducts = 50000, kSheets = 20, kLinesEach = kProducts / kSheets;
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

QString code(int i)
{
    return QStringLiteral("BX%1").arg(i, 6, 10, QLatin1Char('0'));
}

// 50,000 products with stock in CK02, which holds nothing else.
void arrange(TServiceFixture& fx)
{
    QSqlDatabase db = fx.db();
    KxExec(db, QStringLiteral("DELETE FROM kx_stock WHERE nickid = '1001' AND storageid = 'CK02'"));
    QVariantList products, stock;
    for (int i = 0; i < kProducts; ++i) {
        products << QStringLiteral("1001") << code(i) << QStringLiteral("BX") << code(i) << QStringLiteral("盘点商品%1").arg(i)
                 << QStringLiteral("%1.%2").arg(10 + i % 90).arg(i % 100, 2, 10, QLatin1Char('0')) << QStringLiteral("%1.90").arg(30 + i % 200);
        stock << QStringLiteral("1001") << QStringLiteral("CK02") << code(i) << 1 + i % 50;
    }
    db.transaction();
    KxDoc::insertRows(db, QStringLiteral("INSERT INTO kx_commodity (nickid, commoditycode, goodscode, barcode, commodityname, costprice, saleprice) VALUES "), 7, products);
    KxDoc::insertRows(db, QStringLiteral("INSERT INTO kx_stock (nickid, storageid, commoditycode, stocknum) VALUES "), 4, stock);
    db.commit();
    // Loaded in bulk, as an import would: the statistics follow.
    KxVacuumAnalyse(db, {QStringLiteral("kx_stock"), QStringLiteral("kx_commodity")});
}

bool ok(const TCallResult& r, const char* what)
{
    if (!r.ok)
        std::fprintf(stderr, "%s failed: %s\n", what, qPrintable(r.error));
    return r.ok;
}

// `suffix` ends the line's name: "" on SQLite, "_pg" on PostgreSQL.
int run(const QString& kind, const char* suffix)
{
    TServiceFixture fx(kind, qint64(256) << 20);
    KxSetServiceUrl(fx.url());
    if (!ok(fx.call({kAdmin.nick, {}, {}}, QStringLiteral("PowerMger.Login"),
                    {{QStringLiteral("shopcode"), kAdmin.shop}, {QStringLiteral("usercode"), kAdmin.oper}, {QStringLiteral("password"), QStringLiteral("admin888")}}),
            "login"))
        return 1;
    arrange(fx);
    const QString log = fx.dir.filePath(QStringLiteral("service.log"));

    TCallResult r = fx.call(kAdmin, QStringLiteral("CheckBatch.Search"), {{QStringLiteral("checkcode"), QStringLiteral("-")}, {QStringLiteral("curpage"), QStringLiteral("1")}});
    TPClientDataSet batches;
    batches.SetKXXMLData(r.value(QStringLiteral("xmldata")));
    batches.Append();
    batches.FieldByName(QStringLiteral("md5_key"))->SetAsString(QUuid::createUuid().toString(QUuid::Id128));
    batches.FieldByName(QStringLiteral("status"))->SetAsInteger(0);
    batches.Post();
    r = fx.call(kAdmin, QStringLiteral("CheckBatch.Update"), {}, {{QStringLiteral("delta"), batches.GetKXXMLDelta()}});
    if (!ok(r, "batch"))
        return 1;
    const QString batch = KxColumn(r.value(QStringLiteral("xmldata")), QStringLiteral("checkcode")).value(0);

    qint64 from = QFileInfo(log).size();
    if (!ok(fx.call(kAdmin, QStringLiteral("CheckBatch.FrozeStorage"), {{QStringLiteral("storageid"), QStringLiteral("CK02")}, {QStringLiteral("checkcode"), batch}}), "freeze"))
        return 1;
    const qint64 freezeMs = KxServiceMs(log, from, QStringLiteral("CheckBatch.FrozeStorage"));

    // Each product once; two in three counted one more or one less than the book.
    const TCallResult empty = fx.call(kAdmin, QStringLiteral("Check.Load"), {{QStringLiteral("checkid"), QString()}});
    for (int s = 0; s < kSheets; ++s) {
        TPClientDataSet master, detail;
        master.SetKXXMLData(empty.value(QStringLiteral("xmlmaster")));
        detail.SetKXXMLData(empty.value(QStringLiteral("xmldetail")));
        const QString key = QUuid::createUuid().toString(QUuid::Id128);
        master.Append();
        master.FieldByName(QStringLiteral("md5_key"))->SetAsString(key);
        master.FieldByName(QStringLiteral("checkcode"))->SetAsString(batch);
        master.FieldByName(QStringLiteral("storageid"))->SetAsString(QStringLiteral("CK02"));
        master.FieldByName(QStringLiteral("rackcode"))->SetAsString(QStringLiteral("R%1").arg(s));
        master.Post();
        for (int l = 0; l < kLinesEach; ++l) {
            const int i = s * kLinesEach + l;
            detail.Append();
            detail.FieldByName(QStringLiteral("md5_key"))->SetAsString(key);
            detail.FieldByName(QStringLiteral("seq"))->SetAsInteger(l + 1);
            detail.FieldByName(QStringLiteral("commoditycode"))->SetAsString(code(i));
            detail.FieldByName(QStringLiteral("checknum"))->SetAsInteger(1 + i % 50 + (i % 3) - 1);
            detail.Post();
        }
        if (!ok(fx.call(kAdmin, QStringLiteral("Check.Update"), {},
                        {{QStringLiteral("deltamaster"), master.GetKXXMLDelta()}, {QStringLiteral("deltadetail"), detail.GetKXXMLDelta()}}), "sheet"))
            return 1;
    }

    r = fx.call(kAdmin, QStringLiteral("Check.Search"), {{QStringLiteral("checkcode"), batch}, {QStringLiteral("curpage"), QStringLiteral("0")}});
    TPClientDataSet sheets;
    sheets.SetKXXMLData(r.value(QStringLiteral("xmldata")));
    for (sheets.First(); !sheets.Eof(); sheets.Next()) {
        sheets.Edit();
        sheets.FieldByName(QStringLiteral("auditren"))->SetAsString(QStringLiteral("[admin]"));
        sheets.Post();
    }
    from = QFileInfo(log).size();
    if (!ok(fx.call(kAdmin, QStringLiteral("Check.SumAudit"), {}, {{QStringLiteral("deltamaster"), sheets.GetKXXMLDelta()}}), "summary"))
        return 1;
    const qint64 summaryMs = KxServiceMs(log, from, QStringLiteral("Check.SumAudit"));

    r = fx.call(kAdmin, QStringLiteral("Check.AdjSearch"), {{QStringLiteral("checkcode"), batch}, {QStringLiteral("curpage"), QStringLiteral("0")}});
    TPClientDataSet diffs;
    diffs.SetKXXMLData(r.value(QStringLiteral("xmldata")));
    for (diffs.First(); !diffs.Eof(); diffs.Next()) {
        diffs.Edit();
        diffs.FieldByName(QStringLiteral("isadj"))->SetAsBoolean(true);
        diffs.FieldByName(QStringLiteral("status"))->SetAsBoolean(true);
        diffs.Post();
    }
    from = QFileInfo(log).size();
    if (!ok(fx.call(kAdmin, QStringLiteral("Check.AdjAudit"), {}, {{QStringLiteral("delta"), diffs.GetKXXMLDelta()}}), "adjust"))
        return 1;
    const qint64 adjustMs = KxServiceMs(log, from, QStringLiteral("Check.AdjAudit"));
    const qint64 lines = fx.scalar(QStringLiteral("SELECT COUNT(*) FROM kx_adjust_line a JOIN kx_adjust h ON h.nickid = a.nickid AND h.adjustid = a.adjustid"
                                                  " WHERE h.nickid = '1001' AND h.checkcode = ?"), {batch}).toLongLong();
    std::printf("BENCH stocktake%s products=%d sheets=%d lines_each=%d freeze_ms=%lld summary_ms=%lld adjust_ms=%lld adjusted_lines=%lld\n", suffix, kProducts,
                kSheets, kLinesEach, freezeMs, summaryMs, adjustMs, lines);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int rc = 0;
    for (const TBenchEngine& e : KxBenchEngines())
        rc |= run(e.kind, e.suffix);
    return rc;
}
