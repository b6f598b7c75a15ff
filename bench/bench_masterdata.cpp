// The property-value list of a seller with 20,000 values, loaded page by page through the
// form against the real service (SQLite), then 1,000 edited rows saved in one delta. Then a
// 110,000-row brand save (30 MB) while a second client saves one brand again and again: its
// longest wait is how long the big save holds SQLite's write lock.
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uPClientDataSet.h"
#include "ufrmMasterList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {
// New brands with 60-character names, keys left to the service, as the grid sends them.
QString brandInserts(int rows, const QString& tag)
{
    TPClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("brand_id"), ftString, 20);
    ds.FieldDefs().Add(QStringLiteral("brand_name"), ftString, 100);
    ds.FieldDefs().Add(QStringLiteral("md5_key"), ftString, 32);
    ds.CreateDataSet();
    const QString name = QString(60, QChar(0x54c1));
    for (int i = 0; i < rows; ++i) {
        ds.Append();
        ds.FieldByName(QStringLiteral("brand_name"))->SetAsString(name + tag + QString::number(i));
        ds.FieldByName(QStringLiteral("md5_key"))->SetAsString(QStringLiteral("%1%2").arg(tag).arg(i, 30, 10, QLatin1Char('0')).right(32));
        ds.Post();
    }
    return ds.GetKXXMLDelta();
}

void bigSave(TServiceFixture& fx, const TCaller& admin)
{
    constexpr int kBig = 110000;
    const QString big = brandInserts(kBig, QStringLiteral("b"));
    const double mb = double(big.toUtf8().size()) / (1 << 20);
    QElapsedTimer t;
    t.start();
    fx.call(admin, QStringLiteral("Brand.Update"), {}, {{QStringLiteral("delta"), brandInserts(1, QStringLiteral("a"))}});
    const qint64 alone = t.elapsed();

    std::atomic<bool> done{false};
    qint64 bigMs = 0;
    bool ok = false;
    QString refusal;
    std::thread bigCall([&] {
        QElapsedTimer b;
        b.start();
        const TCallResult r = fx.call(admin, QStringLiteral("Brand.Update"), {}, {{QStringLiteral("delta"), big}});
        bigMs = b.elapsed();
        ok = r.ok && r.value(QStringLiteral("xmldata")).count(QStringLiteral("<row ")) == kBig;
        refusal = r.error.left(200);
        done = true;
    });
    qint64 worst = 0;
    int saves = 0;
    while (!done) {
        QElapsedTimer s;
        s.start();
        fx.call(admin, QStringLiteral("Brand.Update"), {}, {{QStringLiteral("delta"), brandInserts(1, QStringLiteral("w%1_").arg(++saves))}});
        worst = qMax(worst, s.elapsed());
    }
    bigCall.join();
    std::printf("BENCH masterdata_big_save rows=%d mb=%.1f ms=%lld writer_alone_ms=%lld writer_wait_ms=%lld writer_saves=%d ok=%d\n",
                kBig, mb, bigMs, alone, worst, saves, ok ? 1 : 0);
    if (!ok)
        std::fprintf(stderr, "big save: %s\n", qPrintable(refusal));
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kRows = 20000, kEdited = 1000;
    TServiceFixture fx(QStringLiteral("sqlite"), qint64(64) << 20);
    KxSetServiceUrl(fx.url());
    {
        QSqlDatabase db = fx.db();
        const int seeded = KxScalar(db, QStringLiteral("SELECT COUNT(*) FROM kx_prop WHERE nickid = '1001'")).toInt();
        db.transaction();
        for (int i = seeded; i < kRows; ++i)
            KxExec(db, QStringLiteral("INSERT INTO kx_prop (nickid, propid, proptype, propname, isuse, md5_key) VALUES ('1001', ?, 'color', ?, 1, ?)"),
                   {QStringLiteral("G%1").arg(i, 6, 10, QLatin1Char('0')), QStringLiteral("颜色 %1").arg(i),
                    QStringLiteral("%1").arg(i, 32, 16, QLatin1Char('0'))});
        db.commit();
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
    gShopId = QStringLiteral("S01");

    auto* form = qobject_cast<TfrmMasterList*>(CallModule(nullptr, QStringLiteral("Prop.Module")));
    if (!form)
        return 1;
    form->setAttribute(Qt::WA_DontShowOnScreen);
    form->show(); // the first page
    QElapsedTimer t;
    t.start();
    form->Search(nullptr, 1);
    form->btnRemainClick();
    const qint64 listMs = t.elapsed();
    TPClientDataSet* ds = form->ListData();
    std::printf("BENCH masterdata_list rows=%d ms=%lld\n", ds->RecordCount(), listMs);

    ds->First();
    for (int i = 0; i < kEdited; ++i, ds->Next()) {
        ds->Edit();
        ds->FieldByName(QStringLiteral("propname"))->SetAsString(QStringLiteral("改 %1").arg(i));
        ds->Post();
    }
    t.restart();
    form->dxBL_SaveClick(); // the fixture's UI answers the question with OK
    const qint64 saveMs = t.elapsed();
    if (ds->ChangeCount() != 0 || fx.ui.last() != QStringLiteral("数据提交成功！")) {
        std::fprintf(stderr, "save failed: %s\n", qPrintable(fx.ui.last()));
        return 1;
    }
    std::printf("BENCH masterdata_save rows=%d ms=%lld\n", kEdited, saveMs);
    delete form;
    std::fflush(stdout);
    bigSave(fx, {QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")});
    return 0;
}
