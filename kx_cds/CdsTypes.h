#pragma once

#include "kxcds_global.h"

#include <QFlags>
#include <QList>
#include <QString>

#include <functional>

// Field types of a data set, with their names in the data packet ("string", "decimal", ...).
enum TFieldType : quint8 {
    ftUnknown = 0,
    ftString,     // UTF-8 text
    ftMemo,       // long text; stored like ftString
    ftInteger,    // 32-bit
    ftLargeint,   // 64-bit
    ftDecimal,    // exact, Precision digits of which Scale after the point (Precision <= 18)
    ftFloat,      // double
    ftBoolean,
    ftDate,
    ftTime,
    ftDateTime,
};

enum TFieldKind : quint8 {
    fkData,         // stored and sent
    fkCalculated,   // filled by the data set's OnCalcFields callback, never sent
    fkLookup,       // read from another data set by key, read-only, never sent
};

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };

enum TUpdateKind { ukModify, ukInsert, ukDelete };
enum TUpdateStatus { usUnmodified, usModified, usInserted };

enum TLocateOption { loCaseInsensitive = 0x1, loPartialKey = 0x2 };
Q_DECLARE_FLAGS(TLocateOptions, TLocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TLocateOptions)

enum TFilterOption { foCaseInsensitive = 0x1 };
Q_DECLARE_FLAGS(TFilterOptions, TFilterOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFilterOptions)

// "string", "memo", "integer", "largeint", "decimal", "float", "boolean", "date", "time",
// "datetime"; FieldTypeFromName gives ftUnknown for anything else (exact, lower case).
KXCDS_EXPORT QString FieldTypeName(TFieldType type);
KXCDS_EXPORT TFieldType FieldTypeFromName(QStringView name);

struct KXCDS_EXPORT TFieldDef
{
    QString Name;
    TFieldType DataType = ftString;
    int Size = 0;        // text length hint for string fields
    int Precision = 0;   // decimal: total digits (0 means 18)
    int Scale = 0;       // decimal: digits after the point

    bool operator==(const TFieldDef&) const = default;
};

// The structure a data set is created from (CreateDataSet) and the one it was loaded with.
class KXCDS_EXPORT TFieldDefs
{
public:
    TFieldDef& Add(const QString& name, TFieldType type, int size = 0);
    TFieldDef& Add(const QString& name, TFieldType type, int size, int precision, int scale);
    void Clear() { m_defs.clear(); }
    int Count() const { return int(m_defs.size()); }
    const TFieldDef& operator[](int i) const { return m_defs[i]; }
    TFieldDef& Items(int i) { return m_defs[i]; }
    int IndexOf(const QString& name) const;   // without regard to letter case; -1 when absent
    void Assign(const TFieldDefs& other) { m_defs = other.m_defs; }
    const QList<TFieldDef>& List() const { return m_defs; }
    bool operator==(const TFieldDefs&) const = default;

private:
    QList<TFieldDef> m_defs;
};

// Every failed load, parse or misuse of a data set is reported here as well as returned.
// The UI connects its message box; the default writes a qWarning. Pass nullptr to restore it.
KXCDS_EXPORT void KxSetDataSetErrorReporter(std::function<void(const QString&)> reporter);
KXCDS_EXPORT void KxReportDataSetError(const QString& message);
