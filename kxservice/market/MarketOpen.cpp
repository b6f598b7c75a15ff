#include "MarketOpen.h"

#include "LiveMarket.h"
#include "Simulator.h"

void KxOpenMarket(QSqlDatabase& db, const QString& nickid, const TMarketPlan& plan)
{
    TMarketSimulator sim(db, nickid);
    sim.populate(plan.seed, plan.trades, plan.from, plan.sellerNick);
    // Buyers go on ordering from the start of the day the seller was created.
    if (plan.livePerDay > 0)
        TLiveMarket(db, nickid, sim).start(plan.seed, plan.livePerDay, QDate::currentDate().startOfDay());
}
