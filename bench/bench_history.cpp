// What the history costs a save: a 500-line receipt saved new, then every line's quantity
// changed, on a service that writes the history and on one that does not, run by run in
// turn so that the machine's load falls on both alike. The service's own milliseconds from
// its access log, median of the runs. SQLite, and PostgreSQL ("_pg") when KX_PG_URL is set.
#include "BenchEngines.h"
#include "ServiceFixture.h"
#include "store/History.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
constexpr int kLines = 500, kRuns = 7;

qint64 median(std::vector<qint64> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct TSide {
    std::unique_ptr<TServiceFixture> fx;
    QStringList codes;
    std::vector<qint64> ms;
};

bool login(TSide& s)
{
    KxSetServiceUrl(s.fx->url());
    const TCallResult r = s.fx->call({kAdmin.nick, {}, {}}, QStringLiteral("PowerMger.Login"),
                                     {{QStringLiteral("shopcode"), kAdmin.shop}, {QStringLiteral("usercode"), kAdmin.oper},
                                      {QStringLiteral("password"), QStringLiteral("admin888")}});
    QSqlDatabase db = s.fx->db();
    QSqlQuery q = KxExec(db, QStringLiteral("SELECT commoditycode FROM kx_commodity WHERE nickid = '1001' ORDER BY commoditycode"));
    while (q.next())
        s.codes << q.value(0).toString();
    return r.ok;
}

// One run: the new receipt, then the edit of all its lines; the service's ms of both.
qint64 run(TSide& s)
{
    KxSetServiceUrl(s.fx->url());
    const QString log = s.fx->dir.filePath(QStringLiteral("service.log"));
    const TCallResult empty = s.fx->call(kAdmin, QStringLiteral("Receive.Load"), {{QStringLiteral("receiveid"), QString()}});
    TPClientDataSet master, detail;
    master.SetKXXMLData(empty.value(QStringLiteral("xmlmaster")));
    detail.SetKXXMLData(empty.value(QStringLiteral("xmldetail")));
    const QString key = QUuid::createUuid().toString(QUuid::Id128);
    master.Append();
    master.FieldByName(QStringLiteral("md5_key"))->SetAsString(key);
    master.FieldByName(QStringLiteral("suppliercode"))->SetAsString(QStringLiteral("GY001"));
    master.FieldByName(QStringLiteral("storageid"))->SetAsString(QStringLiteral("CK01"));
    master.FieldByName(QStringLiteral("status"))->SetAsInteger(0);
    master.Post();
    for (int i = 0; i < kLines; ++i) {
        detail.Append();
        detail.FieldByName(QStringLiteral("md5_key"))->SetAsString(key);
        detail.FieldByName(QStringLiteral("seq"))->SetAsInteger(i + 1);
        detail.FieldByName(QStringLiteral("commoditycode"))->SetAsString(s.codes[i % s.codes.size()]);
        detail.FieldByName(QStringLiteral("receivenum"))->SetAsInteger(1 + i % 7);
        detail.Post();
    }
    const qint64 from = QFileInfo(log).size();
    TCallResult r = s.fx->call(kAdmin, QStringLiteral("Receive.Update"), {},
                               {{QStringLiteral("deltamaster"), master.GetKXXMLDelta()}, {QStringLiteral("deltadetail"), detail.GetKXXMLDelta()}});
    if (!r.ok) {
        std::fprintf(stderr, "save failed: %s\n", qPrintable(r.error));
        return -1;
    }
    detail.SetKXXMLData(r.value(QStringLiteral("xmldetail")));
    for (detail.First(); !detail.Eof(); detail.Next()) {
        detail.Edit();
        detail.FieldByName(QStringLiteral("receivenum"))->SetAsInteger(detail.FieldByName(QStringLiteral("receivenum"))->AsInteger() + 1);
        detail.Post();
    }
    r = s.fx->call(kAdmin, QStringLiteral("Receive.Update"), {}, {{QStringLiteral("deltadetail"), detail.GetKXXMLDelta()}});
    if (!r.ok) {
        std::fprintf(stderr, "edit failed: %s\n", qPrintable(r.error));
        return -1;
    }
    return KxServiceMs(log, from, QStringLiteral("Receive.Update"));
}

int bench(const QString& kind, const char* suffix)
{
    TSide with, without;
    with.fx = std::make_unique<TServiceFixture>(kind);
    without.fx = std::make_unique<TServiceFixture>(kind);
    if (!login(with) || !login(without))
        return 1;
    // The two services run one after the other; the switch is the process's.
    const auto measure = [](TSide& s, bool history) {
        THistory::SetWriting(history);
        return run(s);
    };
    measure(with, true);   // warm both: statements prepared, pages cached
    measure(without, false);
    for (int i = 0; i < kRuns; ++i) {
        with.ms.push_back(measure(with, true));
        without.ms.push_back(measure(without, false));
    }
    THistory::SetWriting(true);
    const qint64 a = median(with.ms), b = median(without.ms);
    std::printf("BENCH doc_save_history%s lines=%d with_ms=%lld without_ms=%lld ratio=%.2f runs=%d\n", suffix, kLines, a, b,
                b > 0 ? double(a) / double(b) : 0.0, kRuns);
    return a < 0 || b < 0;
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int rc = 0;
    for (const TBenchEngine& e : KxBenchEngines())
        rc |= bench(e.kind, e.suffix);
    return rc;
}
