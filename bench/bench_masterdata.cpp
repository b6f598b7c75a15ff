// The property-value list of a seller with 20,000 values, loaded page by page through the
// form against the real service (SQLite), then 1,000 edited rows saved in one delta.
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uPClientDataSet.h"
#include "ufrmMasterList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kRows = 20000, kEdited = 1000;
    TServiceFixture fx(QStringLiteral("sqlite"));
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
    return 0;
}
