#pragma once
// The marketplace while the service runs: buyers keep placing orders with the seller's shop
// accounts (a steady rate per account, more at the busy hours of the day) and go on with them
// as buyers do: most pay within minutes or hours, the others' orders are closed unpaid after a
// day; cash-on-delivery orders wait for shipment at once; some open a refund on a line; a
// shipped order is confirmed received some days after shipping; goods of an agreed refund are
// sent back. All of it follows from the seller's seed and the marketplace's clock, so the
// marketplace is the same whenever it is looked at; it is brought up to its clock each time a
// download reads it. A seller whose marketplace was never started stays as it is.
#include "Simulator.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

class TLiveMarket {
public:
    TLiveMarket(QSqlDatabase& db, const QString& nickid, TMarketSimulator& market) : m_db(db), m_nick(nickid), m_market(market) {}

    // Orders arrive from `from` on, about `perDay` a day for the main account and half that for
    // each sub-account.
    void start(quint64 seed, int perDay, const QDateTime& from);
    // Everything that happened at the marketplace up to its clock now. Returns that time (whole
    // seconds): what changed is stamped no later, and nothing later is there yet; a change the
    // seller makes afterwards is stamped later. Every seller's marketplace is read through it.
    QDateTime catchUp();

private:
    void arrive(quint64 seed, int perDay, const QDateTime& after, const QDateTime& until);
    void moveOn(const QString& until);

    QSqlDatabase& m_db;
    QString m_nick;
    TMarketSimulator& m_market;
    int m_offset = 0;   // the clock's time zone offset while the marketplace is brought up to it
};

// A refund's state as the order line shows it; the order counts as changed at `at`.
void KxMarkRefundOnOrder(QSqlDatabase& db, const QString& nickid, const QString& refundId, const QString& at);
