#pragma once
// Sellers created from a seller file of kxservice/seed/ such as demo.json (accounts,
// operators and rights, master data, marketplace), on the built-in module catalogue
// (Catalogue.h).
#include "Catalogue.h"
#include "SeedFile.h"

#include <QDate>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QString>

class TDatabase;

// A new seller's marketplace as its seller file plans it. The store only reads the plan; the
// simulator (market/, which builds on the store) opens it.
struct TMarketPlan {
    quint64 seed = 0;
    int trades = 0;          // orders placed before the seller's first day
    QDate from;              // the first of those days
    QString sellerNick;      // the main shop account
    int livePerDay = 0;      // orders a day while the service runs; 0: the marketplace stands still
};
// Runs in the seeder's transaction.
using TKxMarketOpener = void (*)(QSqlDatabase& db, const QString& nickid, const TMarketPlan& plan);

// Creates the seller a seller file describes, in one transaction. False when a seller with
// that nickid or master nick exists already (nothing is changed then). A file that plans a
// marketplace needs an opener (KxOpenMarket); without one it is refused before any write.
bool KxSeedSeller(TDatabase& store, const QJsonObject& seller, TKxMarketOpener openMarket = nullptr);
