// Stock documents at the service: a 500-line transfer saved through the protocol as its edit
// form sends it, then audited (out of one storage, into another: 1,000 stock postings and
// ledger rows). The service's share is its own figure from the access log (the time between
// reading a call and having its answer); the round trip adds the client's packet work and
// the transport. SQLite, and PostgreSQL (names ending in "_pg") when KX_PG_URL is set.
#include "BenchEngines.h"
#include "ServiceFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

namespace {

qint64 median(std::vector<qint64> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// `suffix` ends the line's name: "" on SQLite, "_pg" on PostgreSQL.
int run(const QString& kind, const char* suffix)
{
    constexpr int kLines = 500, kRuns = 5;
    TServiceFixture fx(kind);
    KxSetServiceUrl(fx.url());
    const TCaller admin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
    const TCallResult login = fx.call({admin.nick, {}, {}}, QStringLiteral("PowerMger.Login"),
                                      {{QStringLiteral("shopcode"), admin.shop}, {QStringLiteral("usercode"), admin.oper},
                                       {QStringLiteral("password"), QStringLiteral("admin888")}});
    if (!login.ok) {
        std::fprintf(stderr, "login failed: %s\n", qPrintable(login.error));
        return 1;
    }
    QStringList codes;
    {
        QSqlDatabase db = fx.db();
        QSqlQuery q = KxExec(db, QStringLiteral("SELECT commoditycode FROM kx_commodity WHERE nickid = '1001' ORDER BY commoditycode"));
        while (q.next())
            codes << q.value(0).toString();
    }
    const QString log = fx.dir.filePath(QStringLiteral("service.log"));
    std::vector<qint64> saveService, auditService, saveTotal, auditTotal;
    for (int r = 0; r < kRuns; ++r) {
        const TCallResult empty = fx.call(admin, QStringLiteral("Allocate.Load"), {{QStringLiteral("allocateid"), QString()}});
        TPClientDataSet master, detail;
        master.SetKXXMLData(empty.value(QStringLiteral("xmlmaster")));
        detail.SetKXXMLData(empty.value(QStringLiteral("xmldetail")));
        const QString key = QUuid::createUuid().toString(QUuid::Id128);
        master.Append();
        master.FieldByName(QStringLiteral("md5_key"))->SetAsString(key);
        master.FieldByName(QStringLiteral("out_storageid"))->SetAsString(QStringLiteral("CK01"));
        master.FieldByName(QStringLiteral("in_shopcode"))->SetAsString(QStringLiteral("S02"));
        master.FieldByName(QStringLiteral("in_storageid"))->SetAsString(QStringLiteral("CK02"));
        master.FieldByName(QStringLiteral("status"))->SetAsInteger(0);
        master.Post();
        for (int i = 0; i < kLines; ++i) {
            detail.Append();
            detail.FieldByName(QStringLiteral("md5_key"))->SetAsString(key);
            detail.FieldByName(QStringLiteral("seq"))->SetAsInteger(i + 1);
            detail.FieldByName(QStringLiteral("commoditycode"))->SetAsString(codes[i % codes.size()]);
            detail.FieldByName(QStringLiteral("allocatenum"))->SetAsInteger(1 + i % 7);
            detail.Post();
        }
        qint64 from = QFileInfo(log).size();
        QElapsedTimer t;
        t.start();
        const TCallResult saved = fx.call(admin, QStringLiteral("Allocate.Update"), {},
                                          {{QStringLiteral("deltamaster"), master.GetKXXMLDelta()}, {QStringLiteral("deltadetail"), detail.GetKXXMLDelta()}});
        saveTotal.push_back(t.elapsed());
        if (!saved.ok) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(saved.error));
            return 1;
        }
        saveService.push_back(KxServiceMs(log, from, QStringLiteral("Allocate.Update")));
        master.SetKXXMLData(saved.value(QStringLiteral("xmlmaster")));
        master.Edit();
        master.FieldByName(QStringLiteral("status"))->SetAsInteger(2);
        master.Post();
        from = QFileInfo(log).size();
        t.restart();
        const TCallResult audited = fx.call(admin, QStringLiteral("Allocate.Audit"), {}, {{QStringLiteral("deltamaster"), master.GetKXXMLDelta()}});
        auditTotal.push_back(t.elapsed());
        if (!audited.ok) {
            std::fprintf(stderr, "audit failed: %s\n", qPrintable(audited.error));
            return 1;
        }
        auditService.push_back(KxServiceMs(log, from, QStringLiteral("Allocate.Audit")));
    }
    std::printf("BENCH doc_transfer%s lines=%d save_ms=%lld audit_ms=%lld save_roundtrip_ms=%lld audit_roundtrip_ms=%lld runs=%d\n", suffix, kLines,
                median(saveService), median(auditService), median(saveTotal), median(auditTotal), kRuns);
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
