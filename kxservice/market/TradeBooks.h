#pragma once
// The seller's books of marketplace orders: what a download writes. An order already in the
// books takes the marketplace's current values; the seller's own state (dbstatus) stays, and a
// line's product stays bound once it is. A new line comes bound when an operator bound its SKU
// before, or when one of the seller's products carries the SKU.
#include "Simulator.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

class TTradeBooks {
public:
    TTradeBooks(QSqlDatabase& db, const QString& nickid, TMarketSimulator& market);

    // Stores the order the query stands on (TMarketSimulator::trades columns) with its lines.
    void store(const QSqlQuery& trade);

private:
    QSqlDatabase& m_db;
    QString m_nick;
    TMarketSimulator& m_market;
    QString m_now;  // marketplace time of the download
};

// True while a refund in this state is still open.
bool KxRefundRunning(const QString& refundStatus);
