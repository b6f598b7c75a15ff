// Orders to picking lists: 1,000 orders of the "未拣货" tab (two lines each, every third buyer
// ordering twice to one address) ticked in the orders window and turned into merged picking
// lists in one call. The service's share is its own figure from the access log. SQLite, and
// PostgreSQL (the _pg figures) when KX_PG_URL is set.
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uUtils.h"
#include "ufrmTrade.h"
#include "ufrmTrade2Pick.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
constexpr int kOrders = 1000;

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

// The orders and their lines, written straight into the books.
void seedOrders(TServiceFixture& fx)
{
    QSqlDatabase db = fx.db();
    TTransaction t(fx.service->store(), db, true);
    for (const char* table : {"kx_trade", "kx_trade_order", "kx_picking", "kx_picking_line"})
        KxExec(db, QStringLiteral("DELETE FROM %1 WHERE nickid = '1001'").arg(QLatin1String(table)));
    const QString code = KxScalar(db, QStringLiteral("SELECT MIN(commoditycode) FROM kx_commodity WHERE nickid = '1001'")).toString();
    const QDateTime start = QDateTime::currentDateTime().addDays(-3);
    for (int i = 0; i < kOrders; ++i) {
        const QString tid = QString::number(5000000000000LL + i);
        // Every third order is a repeat of the buyer before it, to the same address.
        const int buyer = i % 3 == 2 ? i - 1 : i;
        const QString when = start.addSecs(i * 60).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        KxExec(db, QStringLiteral("INSERT INTO kx_trade (nickid, tid, seller_nick, buyer_nick, status, payment, created, modified, pay_time,"
                                  " receiver_name, receiver_state, receiver_city, receiver_district, address, receiver_mobile, buyer_message,"
                                  " seller_memo, downloaded) VALUES ('1001', ?, 'varnoq_demo', ?, 'WAIT_SELLER_SEND_GOODS', 99, ?, ?, ?,"
                                  " '张伟', '浙江省', '杭州市', '西湖区', ?, '13700000000', '请尽快发货🚚', '', ?)"),
               {tid, QStringLiteral("buyer_%1").arg(buyer), when, when, when, QStringLiteral("幸福路%1号").arg(buyer), when});
        for (int l = 1; l <= 2; ++l)
            KxExec(db, QStringLiteral("INSERT INTO kx_trade_order (nickid, oid, tid, num_iid, sku_id, sku_properties_name, title, price, num,"
                                      " total_fee, payment, commoditycode, status) VALUES ('1001', ?, ?, '520000000001', '4200000000101',"
                                      " '颜色分类:红;尺码:M', '纯棉T恤', 49.50, ?, ?, ?, ?, 'WAIT_SELLER_SEND_GOODS')"),
                   {tid + QString::number(l), tid, l, 49.5 * l, 49.5 * l, l == 1 ? code : QString()});
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
    seedOrders(fx);
    const QString log = fx.dir.filePath(QStringLiteral("service.log"));

    std::unique_ptr<TfrmTrade> form(qobject_cast<TfrmTrade*>(CallModule(nullptr, QStringLiteral("Trade.Module"))));
    if (!form)
        return false;
    form->show();
    while (form->CurPage() < form->PageCount())
        form->btnNextClick();
    KxTickAll(form->Orders(), QStringLiteral("ischeck"));
    TTradeToPicking& pick = TTradeToPicking::Of(form.get());
    const QList<TTradeWork> work = pick.Collect();
    if (work.size() != kOrders) {
        std::fprintf(stderr, "%lld of %d orders ticked\n", qlonglong(work.size()), kOrders);
        return false;
    }
    if (!pick.LoadStructures())
        return false;
    const qint64 from = QFileInfo(log).size();
    QElapsedTimer timer;
    timer.start();
    fx.ui.clear();
    if (!pick.Create(work, true, QStringLiteral("CK01"))) {
        std::fprintf(stderr, "picking failed: %s\n", qPrintable(fx.ui.last()));
        return false;
    }
    const qint64 ms = timer.elapsed();
    const int pickings = fx.scalar("SELECT COUNT(*) FROM kx_picking WHERE nickid = '1001'").toInt();
    const int lines = fx.scalar("SELECT COUNT(*) FROM kx_picking_line WHERE nickid = '1001'").toInt();
    std::printf("BENCH trade_to_picking%s orders=%d pickings=%d lines=%d ms=%lld service_ms=%lld\n", suffix, kOrders, pickings, lines, ms,
                serviceMs(log, from, QStringLiteral("Trade.UpdatePicking")));
    std::fflush(stdout);
    form.reset();
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
