#pragma once
// The master-data table engine: one description per table (key, fields, checks, what stops a
// delete), a page of rows by conditions, and a checked save of a grid's change log
// (MasterTable.cpp). Simple tables are described in MasterData.cpp and served by it whole;
// larger ones (goods, products, mappings, bundles) declare their table and call its parts.
#include "dispatch/Context.h"
#include "store/Packet.h"

#include <QStringList>
#include <vector>

struct TMdField {
    const char* name;
    TPacketColumn::Kind kind;
    int size;          // text: longest accepted
    const char* caption;
    bool required;
    // A password typed in the grid: written only as a hash into `pwhash`, read back as null.
    bool secret = false;
    // Shown, never written: computed or kept by the service. `expr` is its SQL (over the
    // table's FROM); a plain field's is its column.
    bool readOnly = false;
    const char* expr = nullptr;
    // A text condition on it matches the whole value, not a part.
    bool exact = false;
};

// A row that must not go while other data still points at it: a query taking (nickid, key)
// that finds such data, and the refusal naming the row.
struct TMdRef {
    const char* exists;
    const char* refusal;
};

// Something that uses a row, counted by a query taking (nickid, key): a delete is refused
// naming every kind of use with its count ("采购入库单 2 张").
struct TMdUse {
    const char* count;
    const char* what;   // "采购入库单"
    const char* unit;   // "张"
};

struct TMdTable {
    const char* area;
    const char* table;
    const char* key;         // with keyParts: the name the joined parts answer under
    const char* keyCaption;
    const char* prefix;      // new codes; null: the client gives the key
    std::vector<TMdField> fields;
    std::vector<TMdRef> refs = {};
    // Checks (and may complete) the columns about to be written; `insert` for new rows.
    void (*check)(TContext& ctx, QVariantMap& row, bool insert) = nullptr;
    void (*beforeDelete)(TContext& ctx, const QString& key) = nullptr;
    // Reads over joins: the FROM part with the table as "t"; null: the table alone.
    const char* from = nullptr;
    // A key of several columns (fields of the table), joined by "/" into one key text; a blank
    // part after the first takes the first's value.
    std::vector<const char*> keyParts = {};
    // Uses that stop a delete, named all at once; `usedBy` is the row's kind in the refusal.
    std::vector<TMdUse> uses = {};
    const char* usedBy = nullptr;
    // How a row that is used is retired instead, after the refusal; null: the deleted mark.
    const char* retire = nullptr;
    // Digits of the number after `prefix` in a new code.
    int codeWidth = 3;
    // The refusal for a new key that exists: (ctx, key) -> message; null: "…已存在".
    QString (*taken)(TContext& ctx, const QString& key) = nullptr;
    // Conditions beyond the fields' (a parameter read its own way).
    void (*conditions)(TContext& ctx, QString& where, QVariantList& args) = nullptr;
    // The condition a key parameter makes, its value bound to every "?"; null: the key equals it.
    const char* keyCondition = nullptr;
};

// The answer's columns: the key, the fields, md5_key.
QList<TPacketColumn> KxMdColumns(const TMdTable& t);
// One page of the table by the call's conditions (answer "xmldata", counts).
void KxMdSearch(TContext& ctx, const TMdTable& t);
// Checks and writes a save in the caller's write transaction; returns the keys written.
QStringList KxMdSave(TContext& ctx, const TMdTable& t, const QList<TDeltaChange>& changes);
// The rows of these keys as they are now, as the answer value `name`.
void KxMdAnswerRows(TContext& ctx, const TMdTable& t, QStringList keys, const QString& name);
// The refusal naming every use of the row, or empty when nothing uses it.
QString KxMdUsesOf(TContext& ctx, const TMdTable& t, const QString& key);
