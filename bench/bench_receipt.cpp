// Purchase receipts against the real service (SQLite, and PostgreSQL with "_pg" names when
// KX_PG_URL is set): the list of a seller with 10,000
// receipts opened and every page loaded with "剩余页", then 500-line receipts saved through the
// edit window. The service's share is its own figure from the access log (the time between
// reading a call and having its answer); the rest is the client's and the transport's.
#include "BenchEngines.h"
#include "ReceiptSeed.h"
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "ufrmReceive.h"
#include "ufrmReceiveEdit.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>

namespace {

qint64 logSize(const QString& log)
{
    return QFileInfo(log).size();
}

template <class T>
T median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// `suffix` ends the lines' names: "" on SQLite, "_pg" on PostgreSQL.
int run(const QString& kind, const char* suffix)
{
    constexpr int kDocuments = 10000, kLines = 500, kRuns = 3;
    TServiceFixture fx(kind);
    KxSetServiceUrl(fx.url());
    const QString log = fx.dir.filePath(QStringLiteral("service.log"));
    {
        QElapsedTimer seed;
        seed.start();
        KxSeedReceipts(fx.db(), QStringLiteral("1001"), kDocuments, 3);
        std::fprintf(stderr, "seeded %d receipts in %lld ms\n", kDocuments, seed.elapsed());
    }
    const TCallResult login = fx.call({QStringLiteral("1001"), {}, {}}, QStringLiteral("PowerMger.Login"),
                                      {{QStringLiteral("shopcode"), QStringLiteral("S01")}, {QStringLiteral("usercode"), QStringLiteral("admin")},
                                       {QStringLiteral("password"), QStringLiteral("admin888")}});
    if (!login.ok) {
        std::fprintf(stderr, "login failed: %s\n", qPrintable(login.error));
        return 1;
    }
    gNickId = QStringLiteral("1001");
    gOperId = QStringLiteral("admin");
    gOperName = QStringLiteral("管理员");
    gShopId = QStringLiteral("S01");

    // The list: opening (lookups, first page, lines of the first receipt), then every page.
    qint64 from = logSize(log);
    QElapsedTimer t;
    t.start();
    std::unique_ptr<TfrmReceive> list(qobject_cast<TfrmReceive*>(CallModule(nullptr, QStringLiteral("Receive.Module"))));
    if (!list)
        return 1;
    list->setAttribute(Qt::WA_DontShowOnScreen);
    list->show();
    const qint64 openMs = t.elapsed();
    t.restart();
    list->btnRemainClick();
    const qint64 pagesMs = t.elapsed();
    int searchCalls = 0;
    const qint64 listServiceMs = KxServiceMs(log, from, QStringLiteral("Receive.Search"), &searchCalls);
    const int loaded = list->Documents()->RecordCount();
    if (loaded < kDocuments) {
        std::fprintf(stderr, "only %d receipts loaded\n", loaded);
        return 1;
    }
    std::printf("BENCH receipt_list%s documents=%d pages=%d open_ms=%lld all_pages_ms=%lld service_ms=%lld page_service_ms=%.2f client_ms=%lld\n",
                suffix, loaded, searchCalls, openMs, pagesMs, listServiceMs, searchCalls ? double(listServiceMs) / searchCalls : 0.0,
                openMs + pagesMs - listServiceMs);
    std::fflush(stdout);
    list.reset();

    // 500-line receipts, entered line by line as the keyboard entry leaves them, then saved.
    QStringList codes;
    {
        QSqlDatabase db = fx.db();
        QSqlQuery q = KxExec(db, QStringLiteral("SELECT commoditycode FROM kx_commodity WHERE nickid = '1001' ORDER BY commoditycode"));
        while (q.next())
            codes << q.value(0).toString();
    }
    std::vector<qint64> totals, services;
    for (int run = 0; run < kRuns; ++run) {
        std::unique_ptr<TfrmReceiveEdit> edit(qobject_cast<TfrmReceiveEdit*>(CallModule(nullptr, QStringLiteral("Receive.Edit"))));
        if (!edit)
            return 1;
        edit->FixedConditions() << QStringLiteral("receiveid=");
        edit->setAttribute(Qt::WA_DontShowOnScreen);
        edit->show();
        edit->PartyEdit()->setText(QStringLiteral("GY001"));
        edit->PartyEnter();
        edit->StorageBox()->setCurrentIndex(0);
        emit edit->StorageBox()->activated(0);
        TPClientDataSet* lines = edit->Lines();
        for (int i = 0; i < kLines; ++i) {
            edit->AppendLine();
            lines->Edit();
            lines->FieldByName(QStringLiteral("commoditycode"))->SetAsString(codes[i % codes.size()]);
            lines->FieldByName(QStringLiteral("receivenum"))->SetAsInteger(1 + i % 7);
            lines->Post();
        }
        fx.ui.clear();
        from = logSize(log);
        t.restart();
        edit->dxBL_SaveClick(); // the fixture's UI answers the question with OK
        totals.push_back(t.elapsed());
        services.push_back(KxServiceMs(log, from, QStringLiteral("Receive.Update")));
        if (fx.ui.last() != QStringLiteral("数据提交成功！") || lines->RecordCount() != kLines) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(fx.ui.last()));
            return 1;
        }
    }
    const qint64 total = median(totals), service = median(services);
    std::printf("BENCH receipt_save%s lines=%d client_ms=%lld service_ms=%lld total_ms=%lld runs=%d\n", suffix, kLines, total - service,
                service, total, kRuns);
    std::fflush(stdout);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int rc = 0;
    for (const TBenchEngine& e : KxBenchEngines())
        rc |= run(e.kind, e.suffix);
    return rc;
}
