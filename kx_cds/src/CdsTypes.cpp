#include "CdsTypes.h"
#include "TDecimal.h"

#include <QMetaType>
#include <QMutex>

namespace {

struct TypeName
{
    TFieldType type;
    const char* name;
};

constexpr TypeName kTypeNames[] = {
    {ftString, "string"},   {ftMemo, "memo"},       {ftInteger, "integer"},
    {ftLargeint, "largeint"}, {ftDecimal, "decimal"}, {ftFloat, "float"},
    {ftBoolean, "boolean"}, {ftDate, "date"},       {ftTime, "time"},
    {ftDateTime, "datetime"},
};

QMutex reporterMutex;
std::function<void(const QString&)>& reporterSlot()
{
    static std::function<void(const QString&)> reporter;
    return reporter;
}

// TDecimal in a QVariant converts to text and double, so generic code (SQL binding,
// item views) can use it without knowing the type.
void registerDecimalConverters()
{
    QMetaType::registerConverter<TDecimal, QString>(&TDecimal::ToString);
    QMetaType::registerConverter<TDecimal, double>(&TDecimal::ToDouble);
}
Q_CONSTRUCTOR_FUNCTION(registerDecimalConverters)

} // namespace

QString FieldTypeName(TFieldType type)
{
    for (const auto& t : kTypeNames)
        if (t.type == type)
            return QString::fromLatin1(t.name);
    return QStringLiteral("unknown");
}

TFieldType FieldTypeFromName(QStringView name)
{
    for (const auto& t : kTypeNames)
        if (name == QLatin1StringView(t.name))
            return t.type;
    return ftUnknown;
}

TFieldDef& TFieldDefs::Add(const QString& name, TFieldType type, int size)
{
    return Add(name, type, size, 0, 0);
}

TFieldDef& TFieldDefs::Add(const QString& name, TFieldType type, int size, int precision, int scale)
{
    m_defs.append(TFieldDef{name, type, size, precision, scale});
    return m_defs.last();
}

int TFieldDefs::IndexOf(const QString& name) const
{
    for (int i = 0; i < m_defs.size(); ++i)
        if (m_defs[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void KxSetDataSetErrorReporter(std::function<void(const QString&)> reporter)
{
    QMutexLocker lock(&reporterMutex);
    reporterSlot() = std::move(reporter);
}

void KxReportDataSetError(const QString& message)
{
    std::function<void(const QString&)> reporter;
    {
        QMutexLocker lock(&reporterMutex);
        reporter = reporterSlot();
    }
    if (reporter)
        reporter(message);
    else
        qWarning("%s", qUtf8Printable(message));
}
