#pragma once
// The history of every document and master record: who (operator), when (the service's clock),
// from where (the client's address), what was done and what changed (header fields and lines
// added, changed, removed, old and new values with the field's caption). Entries are gathered
// while a save runs and written at its end, in its transaction: a refused save leaves none.
// Read page by page through History.Search; no method changes or deletes them.
#include "dispatch/Context.h"

#include <QStringList>
#include <vector>

// What happened to a record, as a person reads it.
namespace KxHistoryAction {
inline const QString Create = QStringLiteral("新建");
inline const QString Change = QStringLiteral("修改");
inline const QString Audit = QStringLiteral("审核");
inline const QString Delete = QStringLiteral("删除");
}

// One field, or one whole line, of an entry. `line` 0 is the header (or a master row).
struct THistoryChange {
    enum EKind : char { Added = 'A', Changed = 'C', Removed = 'R' };
    int line = 0;
    QString item;      // the line's product (goods) code
    EKind kind = Changed;
    QString field, caption, oldValue, newValue;
};

// The entries one call writes, for one table (a document kind's header table, a master table).
class THistory {
public:
    THistory(TContext& ctx, const QString& table);

    // Starts the entry of record `key`; the changes below belong to it.
    void begin(const QString& key, const QString& action);
    // A header (or master) field; nothing when old and new are the same text.
    void field(const QString& name, const QString& caption, const QString& oldValue, const QString& newValue);
    // A whole line added or removed: its values summed up as "数量 5，进价 10".
    void line(THistoryChange::EKind kind, int line, const QString& item, const QString& summary);
    // A field of a kept line.
    void lineField(int line, const QString& item, const QString& name, const QString& caption, const QString& oldValue,
                   const QString& newValue);
    // Writes every entry begun (each even without changes: an audit changes no field).
    void write();

    bool enabled() const { return m_enabled; }

    // Whether saves write the history (on unless turned off). Off only where a benchmark
    // measures what the history costs: no configuration file, command line or method sets it.
    static void SetWriting(bool on);

private:
    struct TEntry {
        QString key, action;
        std::vector<THistoryChange> changes;
    };
    TContext& m_ctx;
    QString m_table;
    bool m_enabled;
    std::vector<TEntry> m_entries;
};

// A document field's caption for a person (header and line columns of every kind); an unknown
// field keeps its name.
QString KxHistoryCaption(const QString& field);

// A stored number as a person writes it: "10.5000" -> "10.5", "7.0000" -> "7"; blank stays
// blank, a text that is not a number stays as it is.
QString KxHistoryNumber(const QVariant& v);

// "数量 5，进价 10" of name/value pairs (blank values left out).
QString KxHistorySummary(const QList<QPair<QString, QString>>& values);

// Which table the history of an area's records is kept under ("Receive" -> kx_receive), and
// the method whose right lets an operator read it (the area's load or search). Filled as the
// method tables are built.
void KxHistoryArea(const QString& area, const QString& table, const QString& readMethod);
struct THistoryArea {
    QString table, readMethod;
};
THistoryArea KxHistoryAreaOf(const QString& area);
