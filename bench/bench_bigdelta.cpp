// A big master-data save and another writer: while one client sends a 30 MB delta, a second
// client saves one brand again and again; its longest wait shows whether the big save holds
// SQLite's write lock while its delta is read. The big save names rows that do not exist, so
// it is refused at its first row and its own writing costs nothing. Prints BENCH lines.
#include "ServiceFixture.h"

#include <QElapsedTimer>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {
// `rows` updates of brands that do not exist, as the client would write them.
QString bigDelta(int rows)
{
    QString d = QStringLiteral("<delta><fields><field name=\"brand_id\" type=\"string\" size=\"20\"/>"
                               "<field name=\"brand_name\" type=\"string\" size=\"100\"/>"
                               "<field name=\"md5_key\" type=\"string\" size=\"32\"/></fields><changes>");
    d.reserve(rows * 190 + 256);
    for (int i = 0; i < rows; ++i) {
        const QString id = QStringLiteral("ZZ%1").arg(i, 8, 10, QLatin1Char('0'));
        const QString key = QStringLiteral("%1").arg(i, 32, 16, QLatin1Char('0'));
        d += QStringLiteral("<update><old brand_id=\"%1\" brand_name=\"旧品牌名称 %1\" md5_key=\"%2\"/>"
                            "<new brand_id=\"%1\" brand_name=\"新品牌名称 %1\" md5_key=\"%2\"/></update>").arg(id, key);
    }
    return d + QStringLiteral("</changes></delta>");
}

QString oneBrand(int n)
{
    TPClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("brand_id"), ftString, 20);
    ds.FieldDefs().Add(QStringLiteral("brand_name"), ftString, 100);
    ds.FieldDefs().Add(QStringLiteral("md5_key"), ftString, 32);
    ds.CreateDataSet();
    ds.Append();
    ds.FieldByName(QStringLiteral("brand_name"))->SetAsString(QStringLiteral("品牌 %1").arg(n));
    ds.Post();
    return ds.GetKXXMLDelta();
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TServiceFixture fx(QStringLiteral("sqlite"), qint64(64) << 20);
    KxSetServiceUrl(fx.url());
    const TCaller admin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
    if (!fx.call({QStringLiteral("1001"), {}, {}}, QStringLiteral("PowerMger.Login"),
                 {{QStringLiteral("shopcode"), QStringLiteral("S01")}, {QStringLiteral("usercode"), QStringLiteral("admin")},
                  {QStringLiteral("password"), QStringLiteral("admin888")}}).ok) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }
    const QString big = bigDelta(150000);
    const double mb = double(big.toUtf8().size()) / (1 << 20);

    // The small save alone, for comparison.
    QElapsedTimer t;
    t.start();
    fx.call(admin, QStringLiteral("Brand.Update"), {}, {{QStringLiteral("delta"), oneBrand(0)}});
    const qint64 alone = t.elapsed();

    std::atomic<bool> done{false};
    qint64 bigMs = 0;
    QString refusal;
    std::thread bigCall([&] {
        QElapsedTimer b;
        b.start();
        const TCallResult r = fx.call(admin, QStringLiteral("Brand.Update"), {}, {{QStringLiteral("delta"), big}});
        bigMs = b.elapsed();
        refusal = r.error.section(QStringLiteral("错误信息："), 1).left(60);
        done = true;
    });
    qint64 worst = 0;
    int saves = 0;
    while (!done) {
        QElapsedTimer s;
        s.start();
        fx.call(admin, QStringLiteral("Brand.Update"), {}, {{QStringLiteral("delta"), oneBrand(++saves)}});
        worst = qMax(worst, s.elapsed());
    }
    bigCall.join();
    KxResetTransport();
    std::printf("BENCH big_delta_writer mb=%.1f big_ms=%lld writer_alone_ms=%lld writer_wait_ms=%lld writer_saves=%d\n", mb,
                bigMs, alone, worst, saves);
    std::fprintf(stderr, "big save answered: %s\n", qPrintable(refusal));
    return 0;
}
