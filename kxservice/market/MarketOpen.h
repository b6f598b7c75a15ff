#pragma once
// A new seller's marketplace, opened as the seller file plans it: the seeder is handed this
// (store/Seeder.h), so the store does not depend on the simulator.
#include "store/Seeder.h"

// Lists the seller's goods, places the plan's orders and, with a daily rate, sets buyers
// ordering from the start of today.
void KxOpenMarket(QSqlDatabase& db, const QString& nickid, const TMarketPlan& plan);
