#pragma once
// The marketplace as the seller's shops see it, simulated per seller: items and SKUs listed
// from the seller's goods, buyers' orders in every status, refund requests, and a record of
// what the seller did there (shipments, ratings, listing changes, stock and price pushes,
// refund decisions). Generation is deterministic: the same seed gives the same marketplace.
#include <QDate>
#include <QSqlDatabase>
#include <QString>

class TMarketSimulator {
public:
    TMarketSimulator(QSqlDatabase& db, const QString& nickid) : m_db(db), m_nick(nickid) {}

    // Lists every goods item and product of the seller and generates `trades` orders placed
    // from `from` on, with their lines and refunds. Runs in the caller's transaction.
    void populate(quint64 seed, int trades, const QDate& from, const QString& sellerNick);

    // The seller's actions. Each checks the marketplace's rules, changes the simulated state
    // and records an event; a refused action throws TServiceError and changes nothing.
    void ship(const QString& tid, const QString& companyCode, const QString& outSid);
    void rate(const QString& tid, const QString& result, const QString& content);
    void setListing(const QString& numIid, bool onSale);
    void pushStock(const QString& skuId, int quantity);
    void pushPrice(const QString& skuId, const QString& price);
    void agreeRefund(const QString& refundId);
    void refuseRefund(const QString& refundId, const QString& reason);

    // Appends an event; returns its sequence number (per seller, from 1).
    qint64 record(const QString& kind, const QString& target, const QString& detail);

private:
    QString now() const;
    QSqlDatabase& m_db;
    QString m_nick;
};
