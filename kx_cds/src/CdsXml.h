#pragma once

// Reading and writing data packets and deltas (docs/datapacket.md). Internal to kx_cds.

#include "CdsColumn.h"
#include "TDecimal.h"

#include <string>
#include <vector>

namespace kxcds {

// Limits that keep a hostile document from costing more than its size.
constexpr int kMaxFields = 4096;
constexpr quint64 kMinCellBudget = quint64(1) << 22;   // cells always allowed
constexpr quint64 kCellsPerInputByte = 4;              // beyond that, cells per byte of XML

struct Table
{
    std::vector<Column> cols;
    quint32 rows = 0;

    void init(const std::vector<TFieldDef>& defs);
    quint32 addRow();   // a new all-null row at the end
    void copyRow(quint32 from, quint32 to, int nCols);
    bool rowsEqual(quint32 a, quint32 b, int nCols) const;
    size_t memoryUsage() const;
};

struct ParsedChange
{
    TUpdateKind kind = ukModify;
    qint64 rowAttr = -1;    // "row": index into <rows> (saved data sets)
    qint64 baseAttr = -1;   // "base": index in the unchanged order (saved data sets)
    quint32 oldRow = kNoRow;   // physical rows in Packet::table
    quint32 newRow = kNoRow;
};

struct Packet
{
    std::vector<TFieldDef> fields;   // the document's own fields
    Table table;                     // the rows of <rows>, then the <old>/<new> rows of <changes>
    quint32 rowCount = 0;            // how many of them came from <rows>
    std::vector<ParsedChange> changes;
};

enum class RootKind { DataPacket, Delta };

// Parses `buf` (modified: pugixml parses in place). Cells go into columns typed by `target`
// (the fields of the data set a page is appended to, matched by name; document fields it
// lacks are skipped) or, when `target` is null, by the document's own fields. <changes> is
// read only with `withChanges`.
bool parsePacket(char* buf, size_t len, RootKind root, const std::vector<TFieldDef>* target,
                 bool withChanges, Packet& out, QString& err);

// Stores and reports a failure; false, for `return fail(...)`.
inline bool failWith(QString& lastError, const QString& message)
{
    lastError = message;
    KxReportDataSetError(message);
    return false;
}

// Checks a field definition as a data packet can carry it.
bool checkFieldDef(const TFieldDef& def, QString& err);
// Effective decimal precision (0 stands for the maximum).
inline int precisionOf(const TFieldDef& d) { return d.Precision > 0 ? d.Precision : TDecimal::MaxScale; }

// UTF-16 to UTF-8 for the parser: several times quicker than QString::toUtf8 on text that
// is largely not ASCII. Unpaired surrogates become U+FFFD.
QByteArray utf8ForParse(QStringView text);

void appendEscaped(std::string& out, std::string_view s);
void writeFields(std::string& out, const std::vector<TFieldDef>& defs);
// <element name="value" .../>: the non-null cells of `row` in the first defs.size() columns.
void writeRow(std::string& out, const char* element, const std::vector<TFieldDef>& defs,
              const std::vector<std::string>& utf8Names, const Table& t, quint32 row);

} // namespace kxcds
