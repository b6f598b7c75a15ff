// A field's getters and setters on the current record, its caption and visibility.

#include "DataSetImpl.h"

#include "CdsCells.h"

#include <limits>

using namespace kxcds;

template<typename Getter>
auto TField::read(Getter get, const char* what) const
{
    auto* d = m_ds->d.get();
    quint32 r = 0;
    const Column* c = d->cellOf(this, d->activeRow(), r);
    bool ok = true;
    const auto v = get(c, r, ok);
    if (!ok)
        d->fail(QStringLiteral("Field '%1': '%2' cannot be read as %3").arg(m_def.Name, c ? cellString(*c, r) : QString(), QLatin1StringView(what)));
    return v;
}

template<typename Setter>
bool TField::write(Setter set)
{
    auto* d = m_ds->d.get();
    if (m_kind == fkLookup)
        return d->fail(QStringLiteral("Field '%1' is a lookup field and cannot be changed").arg(m_def.Name));
    if (m_index < 0)
        return d->fail(QStringLiteral("Field '%1' not found").arg(m_def.Name));
    if (!d->store)
        return d->fail(QStringLiteral("Field '%1' cannot be changed: the data set is closed").arg(m_def.Name));
    quint32 row;
    if (m_kind == fkCalculated) {
        if (d->state != dsCalcFields)
            return d->fail(QStringLiteral("Calculated field '%1' can only be set in OnCalcFields").arg(m_def.Name));
        row = d->calcRow;
    } else {
        if (!d->editing())
            return d->fail(QStringLiteral("Field '%1' cannot be changed: the data set is not in Edit or Insert state").arg(m_def.Name));
        if (m_readOnly)
            return d->fail(QStringLiteral("Field '%1' is read-only").arg(m_def.Name));
        row = d->curPhys();
    }
    QString why;
    if (!set(d->store->cols[size_t(m_column)], row, why))
        return d->fail(QStringLiteral("Field '%1': %2").arg(m_def.Name, why));
    if (m_kind == fkData) {
        d->modified = true;
        d->markCalcStale(row);
        d->rowChangedAt(d->cur);
    }
    return true;
}

bool TField::IsNull() const
{
    auto* d = m_ds->d.get();
    quint32 r = 0;
    const Column* c = d->cellOf(this, d->activeRow(), r);
    return !c || c->isNull(r);
}

QString TField::AsString() const
{
    auto* d = m_ds->d.get();
    quint32 r = 0;
    const Column* c = d->cellOf(this, d->activeRow(), r);
    return c ? cellString(*c, r) : QString();
}

QVariant TField::Value() const
{
    auto* d = m_ds->d.get();
    quint32 r = 0;
    const Column* c = d->cellOf(this, d->activeRow(), r);
    return c ? cellVariant(*c, r) : QVariant();
}

qint32 TField::AsInteger() const
{
    const qint64 v = AsLargeInt();
    if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max()) {
        m_ds->d->fail(QStringLiteral("Field '%1': %2 is out of the range of an integer").arg(m_def.Name).arg(v));
        return 0;
    }
    return qint32(v);
}

qint64 TField::AsLargeInt() const
{
    return read([](const Column* c, quint32 r, bool& ok) { return c ? cellInt(*c, r, ok) : qint64(0); }, "an integer");
}

double TField::AsFloat() const
{
    return read([](const Column* c, quint32 r, bool& ok) { return c ? cellFloat(*c, r, ok) : 0.0; }, "a number");
}

TDecimal TField::AsDecimal() const
{
    return read([](const Column* c, quint32 r, bool& ok) { return c ? cellDecimal(*c, r, ok) : TDecimal(); }, "a decimal");
}

bool TField::AsBoolean() const
{
    return read([](const Column* c, quint32 r, bool& ok) { return c ? cellBool(*c, r, ok) : false; }, "a Boolean");
}

QDateTime TField::AsDateTime() const
{
    return read([](const Column* c, quint32 r, bool& ok) { return c ? cellDateTime(*c, r, ok) : QDateTime(); }, "a date-time");
}

bool TField::SetAsString(const QString& v)
{
    return write([&](Column& c, quint32 r, QString& why) { return assignString(c, r, v, why); });
}

bool TField::SetAsInteger(qint32 v)
{
    return SetAsLargeInt(v);
}

bool TField::SetAsLargeInt(qint64 v)
{
    return write([&](Column& c, quint32 r, QString& why) { return assignInt(c, r, v, why); });
}

bool TField::SetAsFloat(double v)
{
    return write([&](Column& c, quint32 r, QString& why) { return assignFloat(c, r, v, why); });
}

bool TField::SetAsDecimal(const TDecimal& v)
{
    return write([&](Column& c, quint32 r, QString& why) { return assignDecimal(c, r, v, why); });
}

bool TField::SetAsBoolean(bool v)
{
    return write([&](Column& c, quint32 r, QString& why) { return assignBool(c, r, v, why); });
}

bool TField::SetAsDateTime(const QDateTime& v)
{
    return write([&](Column& c, quint32 r, QString& why) { return assignDateTime(c, r, v, why); });
}

bool TField::SetValue(const QVariant& v)
{
    return write([&](Column& c, quint32 r, QString& why) { return assignVariant(c, r, v, why); });
}

bool TField::Clear()
{
    return write([](Column& c, quint32 r, QString&) {
        c.setNull(r);
        return true;
    });
}

TPClientDataSet* TField::LookupDataSet() const
{
    return m_lookupDs;
}

void TField::SetDisplayLabel(const QString& label)
{
    if (m_label == label)
        return;
    m_label = label;
    if (m_index >= 0)
        emit m_ds->fieldsChanged();
}

void TField::SetVisible(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    if (m_index >= 0)
        emit m_ds->fieldsChanged();
}
