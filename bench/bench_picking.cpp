// Picking lists in a warehouse's day: 1,000 saved picking lists (two lines each) audited in one
// batch from the list window, then 500 of them given a carrier and consecutive numbers in the
// shipping dialog and reported shipped, picking by picking, to the simulated marketplace. The
// service's share is its own figure from the access log. SQLite, and PostgreSQL (the _pg
// figures) when KX_PG_URL is set.
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uUtils.h"
#include "ufrmPicking.h"
#include "ufrmPickingSend.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <cstdio>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
constexpr int kPickings = 1000;
constexpr int kShipped = 500;

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

// Saved picking lists of yesterday with their lines, each line bound; the first kShipped pick
// one marketplace order each, waiting for shipment.
void seed(TServiceFixture& fx)
{
    QSqlDatabase db = fx.db();
    TTransaction t(fx.service->store(), db, true);
    for (const char* table : {"kx_picking", "kx_picking_line"})
        KxExec(db, QStringLiteral("DELETE FROM %1 WHERE nickid = '1001'").arg(QLatin1String(table)));
    QStringList codes;
    QSqlQuery c = KxExec(db, QStringLiteral("SELECT commoditycode FROM kx_commodity WHERE nickid = '1001' ORDER BY commoditycode LIMIT 20"));
    while (c.next())
        codes << c.value(0).toString();
    c.finish();
    const QString day = QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyyMMdd"));
    const QString when = QDateTime::currentDateTime().addDays(-1).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (int i = 0; i < kPickings; ++i) {
        const QString id = QStringLiteral("JH%1%2").arg(day).arg(i + 1, 6, 10, QLatin1Char('0'));
        const QString tid = i < kShipped ? QString::number(6000000000000LL + i) : QString();
        KxExec(db, QStringLiteral("INSERT INTO kx_picking (nickid, pickingid, md5_key, shopcode, storageid, pickingmoney, inputren, inputtime,"
                                  " status, buyer_nick, seller_nick, receiver_name, receiver_city, receiver_address)"
                                  " VALUES ('1001', ?, ?, 'S01', 'CK01', 99, '[admin]管理员', ?, 1, ?, 'varnoq_demo', '张伟', '杭州市', '幸福路1号')"),
               {id, QStringLiteral("bench-%1").arg(i), when, QStringLiteral("buyer_%1").arg(i)});
        for (int l = 1; l <= 2; ++l)
            KxExec(db, QStringLiteral("INSERT INTO kx_picking_line (nickid, pickingid, seq, md5_key, commoditycode, num, price, total_fee, tid, oid, title)"
                                      " VALUES ('1001', ?, ?, ?, ?, ?, 49.5, ?, ?, ?, '纯棉T恤')"),
                   {id, l, QStringLiteral("bench-%1").arg(i), codes.value((i + l) % codes.size()), l, 49.5 * l, tid,
                    tid.isEmpty() ? QString() : tid + QString::number(l)});
        if (tid.isEmpty())
            continue;
        KxExec(db, QStringLiteral("INSERT INTO kx_mk_trade (nickid, tid, seller_nick, buyer_nick, status, created, modified, pay_time,"
                                  " receiver_name, receiver_state, receiver_city, receiver_district, receiver_address, receiver_zip,"
                                  " receiver_mobile, post_fee, total_fee, payment) VALUES ('1001', ?, 'varnoq_demo', ?, 'WAIT_SELLER_SEND_GOODS',"
                                  " ?, ?, ?, '张伟', '浙江省', '杭州市', '西湖区', '幸福路1号', '310000', '13700000000', 0, 148.5, 148.5)"),
               {tid, QStringLiteral("buyer_%1").arg(i), when, when, when});
        for (int l = 1; l <= 2; ++l)
            KxExec(db, QStringLiteral("INSERT INTO kx_mk_order (nickid, oid, tid, num_iid, sku_id, outer_sku_id, title, sku_properties_name, num,"
                                      " price, total_fee, status) VALUES ('1001', ?, ?, '520000000001', '4200000000101', '', '纯棉T恤', '', ?, 49.5, ?,"
                                      " 'WAIT_SELLER_SEND_GOODS')"),
                   {tid + QString::number(l), tid, l, 49.5 * l});
    }
    t.commit();
}

bool run(const QString& kind, const char* suffix)
{
    TServiceFixture fx(kind);
    KxSetServiceUrl(fx.url());
    KxSetUi(&fx.ui);
    if (!fx.call({kAdmin.nick, QString(), QString()}, "PowerMger.Login",
                 {{"shopcode", kAdmin.shop}, {"usercode", kAdmin.oper}, {"password", "admin888"}}).ok)
        return false;
    seed(fx);
    const QString log = fx.dir.filePath(QStringLiteral("service.log"));

    // The list window on all of them, every one ticked, audited in one call.
    std::unique_ptr<TfrmPicking> list(qobject_cast<TfrmPicking*>(CallModule(nullptr, QStringLiteral("Picking.Module"))));
    if (!list)
        return false;
    list->FixedConditions() << QStringLiteral("pickingid1=JH") << QStringLiteral("pickingid2=JI");
    list->show();
    if (list->Documents()->RecordCount() != kPickings) {
        std::fprintf(stderr, "%d of %d pickings listed\n", list->Documents()->RecordCount(), kPickings);
        return false;
    }
    list->SelectAll(false);
    qint64 from = QFileInfo(log).size();
    QElapsedTimer timer;
    timer.start();
    fx.ui.clear();
    list->dxBL_AuditClick();
    const qint64 auditMs = timer.elapsed();
    const int audited = fx.scalar("SELECT COUNT(*) FROM kx_picking WHERE nickid = '1001' AND status = 2").toInt();
    if (audited != kPickings) {
        std::fprintf(stderr, "audit failed: %s\n", qPrintable(fx.ui.last()));
        return false;
    }
    std::printf("BENCH picking_audit%s pickings=%d lines=%d ms=%lld service_ms=%lld\n", suffix, kPickings, kPickings * 2, auditMs,
                serviceMs(log, from, QStringLiteral("Picking.Audit")));
    std::fflush(stdout);

    // The shipping dialog with the first kShipped: carrier, numbers, save, then ship.
    TfrmPickingSend send;
    if (!send.Prepare())
        return false;
    TPClientDataSet* docs = list->Documents();
    for (int r = docs->RecordCount(); r >= 1; --r) {
        docs->SetRecNo(r);
        if (docs->FieldByName(QStringLiteral("pickingid"))->AsString().right(6).toInt() <= kShipped)
            send.AddPicking(docs);
    }
    send.Rows()->MergeChangeLog();
    send.CarrierBox()->setCurrentIndex(send.CarrierBox()->findData(QStringLiteral("SF")));
    send.StartEdit()->setText(QStringLiteral("SF100000"));
    send.StepBox()->setCurrentIndex(0);
    from = QFileInfo(log).size();
    timer.restart();
    send.btnSaveClick();
    const qint64 saveMs = timer.elapsed();
    const qint64 saveService = serviceMs(log, from, QStringLiteral("PickingSend.Update"));
    from = QFileInfo(log).size();
    timer.restart();
    send.btnSendClick();
    const qint64 sendMs = timer.elapsed();
    const int shipped = fx.scalar("SELECT COUNT(*) FROM kx_mk_trade WHERE nickid = '1001' AND status = 'WAIT_BUYER_CONFIRM_GOODS' AND tid LIKE '6000%'").toInt();
    if (shipped != kShipped) {
        std::fprintf(stderr, "%d of %d shipped: %s\n", shipped, kShipped, qPrintable(fx.ui.last()));
        return false;
    }
    std::printf("BENCH picking_send%s pickings=%d ms=%lld service_ms=%lld save_ms=%lld save_service_ms=%lld\n", suffix, kShipped, sendMs,
                serviceMs(log, from, QStringLiteral("NetShop.PickingSend")), saveMs, saveService);
    std::fflush(stdout);
    list.reset();
    KxSetUi(nullptr);
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    gNickId = QStringLiteral("1001");
    gNickName = QStringLiteral("varnoq_demo");
    gOperId = QStringLiteral("admin");
    gOperName = QStringLiteral("管理员");
    gShopId = QStringLiteral("S01");
    if (!run(QStringLiteral("sqlite"), ""))
        return 1;
    if (!qEnvironmentVariableIsEmpty("KX_PG_URL") && !run(QStringLiteral("postgresql"), "_pg"))
        return 1;
    return 0;
}
