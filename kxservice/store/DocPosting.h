#pragma once
// What an audit posts: stock moves with their ledger rows, and price changes with their
// history rows. All inside the caller's transaction.
#include "DocKind.h"
#include "dispatch/Context.h"

#include <vector>

namespace KxDoc {

// Takes `count` numbers of a per-seller series at once; returns the first.
qint64 takeNumbers(TContext& ctx, const QString& series, qint64 count);

// A stored line as the audit reads it.
struct TPost {
    int seq;
    QString code;
    qint64 quantity;
    QString costprice;     // the line's, when the kind keeps one
    QList<QVariant> editable;
};

// One posting: a signed quantity of a product into or out of a storage, for one line.
struct TMove {
    QString storage;
    const TPost* line;
    qint64 quantity;
};

// Moves the stock: each (storage, product) once, many to a statement, and one ledger row per
// move with the stock after it, in line order. Stock may go negative.
void postStock(TContext& ctx, const TDocKind& k, const QString& id, const std::vector<TMove>& moves, const QString& when);

struct TPriceChange {
    QString table, keyField, code, field, oldValue, newValue;
    int seq;
};

// The receipt's moving cost prices (read before its stock moves).
std::vector<TPriceChange> movingCosts(TContext& ctx, const std::vector<TPost>& posts);
// A price document's new prices onto the goods and every SKU of them, or onto single SKUs.
std::vector<TPriceChange> setPrices(TContext& ctx, const TDocKind& k, const std::vector<TPost>& posts);
// Writes the changes and a history row for each.
void writePriceChanges(TContext& ctx, const TDocKind& k, const QString& id, const std::vector<TPriceChange>& changes, const QString& when);

} // namespace KxDoc
