#pragma once
// Values of a document's lines as the engine reads them from deltas and the database:
// quantities, typed prices, money. Refusals name the line.
#include "DocKind.h"

#include "TDecimal.h"

#include <QString>
#include <QVariant>
#include <optional>

namespace KxDoc {

// Names and texts of a description (field names in ASCII, titles and messages in UTF-8).
inline QString L(const char* s)
{
    return QString::fromUtf8(s);
}

// Quantities and typed prices stay far inside NUMERIC(18,4) and a 64-bit mantissa, whatever a
// client sends; money totals must fit NUMERIC(18,4).
constexpr qint64 kQuantityMax = 99999999;
inline const TDecimal kPriceMax = TDecimal::FromMantissa(9999999999, 2);       // 99,999,999.99
inline const TDecimal kMoneyMax = TDecimal::FromMantissa(999999999999999999, 4); // < 10^14

std::optional<TDecimal> decimalOf(const QVariant& v);
// Equal as numbers; blank counts as 0.
bool sameDecimal(const QVariant& a, const QVariant& b);
// Stock is kept in whole pieces. Outbound, receipt and transfer quantities are positive;
// adjustments carry their sign; only a kind that counts (a count sheet) may hold 0.
qint64 quantityOf(const TDocKind& k, const QVariant& v, int seq);
// A typed price or discount: a number from 0 up to kPriceMax, kept to 4 decimals.
QString priceOf(const QString& field, const QVariant& v, int seq);
QString moneyText(const TDecimal& d);

} // namespace KxDoc
