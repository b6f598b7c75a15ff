#pragma once
// Documents the service makes and audits itself, on the engine's tables (a stocktake's
// adjustments): numbered in the kind's series of the day, written with their lines and their
// stock posted, all in the caller's transaction.
#include "DocKind.h"
#include "dispatch/Context.h"

#include <QPair>
#include <QVariant>
#include <vector>

struct TGeneratedLine {
    QString code;
    qint64 quantity = 0;
    QVariantList prices;  // the kind's productPrices columns, in order, as stored
    QString unitCost;     // what the ledger keeps as the line's unit cost
};

struct TGeneratedDoc {
    QString key;          // md5_key; a new one when empty or already used
    QString storage;      // the kind's only storage
    QList<QPair<QString, QVariant>> fields; // further header columns
    std::vector<TGeneratedLine> lines;      // numbered 1..n in this order
};

// Writes `doc` as an audited document of kind `k` (status 2, entered and audited by `who`
// at `when`) and posts its stock; returns its number.
QString KxDocWriteAudited(TContext& ctx, const TDocKind& k, const TGeneratedDoc& doc, const QString& who, const QString& when);

// "[operid]name" of the calling operator, as the client stamps its documents.
QString KxOperatorStamp(TContext& ctx);
