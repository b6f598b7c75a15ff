#include "DocValues.h"

#include "protocol/ServiceError.h"

namespace KxDoc {

std::optional<TDecimal> decimalOf(const QVariant& v)
{
    if (v.metaType() == QMetaType::fromType<TDecimal>())
        return v.value<TDecimal>();
    return TDecimal::Parse(v.toString().trimmed());
}

bool sameDecimal(const QVariant& a, const QVariant& b)
{
    const auto blank = [](const QVariant& v) { return !v.isValid() || v.isNull() || v.toString().trimmed().isEmpty(); };
    if (blank(a) || blank(b))
        return blank(a) == blank(b) || (blank(a) ? decimalOf(b) == TDecimal::FromInteger(0) : decimalOf(a) == TDecimal::FromInteger(0));
    const std::optional<TDecimal> x = decimalOf(a), y = decimalOf(b);
    return x && y ? *x == *y : a.toString() == b.toString();
}

qint64 quantityOf(const TDocKind& k, const QVariant& v, int seq)
{
    const QString shown = v.toString().left(20);
    const std::optional<TDecimal> d = v.isValid() && !v.isNull() ? decimalOf(v) : TDecimal::FromInteger(0);
    const std::optional<TDecimal> whole = d ? d->Rescaled(0) : std::nullopt;
    if (!d || !whole || *whole != *d || (!k.signedQuantity && whole->Mantissa() < 0))
        throw TServiceError(kxRefused, QStringLiteral("第 %1 行的数量【%2】无效：应为%3整数").arg(seq).arg(shown,
                                           k.signedQuantity ? QString() : k.zeroQuantity ? QStringLiteral("不小于零的") : QStringLiteral("大于零的")));
    if (whole->Mantissa() > kQuantityMax || whole->Mantissa() < -kQuantityMax)
        throw TServiceError(kxRefused, QStringLiteral("第 %1 行的数量【%2】超出范围（最大 %3）").arg(seq).arg(shown).arg(kQuantityMax));
    if (whole->Mantissa() == 0 && !k.zeroQuantity)
        throw TServiceError(kxRefused, QStringLiteral("第 %1 行的数量不能为 0").arg(seq));
    return whole->Mantissa();
}

QString priceOf(const QString& field, const QVariant& v, int seq)
{
    if (!v.isValid() || v.isNull() || v.toString().trimmed().isEmpty())
        return QStringLiteral("0");
    const std::optional<TDecimal> d = decimalOf(v);
    const std::optional<TDecimal> r = d ? d->Rescaled(4) : std::nullopt;
    if (!r)
        throw TServiceError(kxRefused, QStringLiteral("第 %1 行的【%2】不是有效的数字：%3").arg(seq).arg(field, v.toString().left(20)));
    if (r->Mantissa() < 0)
        throw TServiceError(kxRefused, QStringLiteral("第 %1 行的【%2】不能为负数：%3").arg(seq).arg(field, v.toString().left(20)));
    if (*r > kPriceMax)
        throw TServiceError(kxRefused, QStringLiteral("第 %1 行的【%2】超出范围：%3").arg(seq).arg(field, v.toString().left(20)));
    return r->ToString();
}

QString moneyText(const TDecimal& d)
{
    const std::optional<TDecimal> r = d.Rescaled(2);
    return r ? r->ToString() : d.ToString();
}

} // namespace KxDoc
