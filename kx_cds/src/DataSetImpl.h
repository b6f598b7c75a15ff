#pragma once

// The state behind TPClientDataSet and the steps its members share. Internal to kx_cds.

#include "uPClientDataSet.h"

#include "CdsFilter.h"
#include "CdsXml.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kxcds {

// One pending change. Rows are physical rows of the table. An update keeps the row's values
// from before its first edit in `orig`; a delete keeps the values to send in `orig` (the row
// itself, or the snapshot of an update that came before).
struct Change
{
    TUpdateKind kind = ukModify;
    quint32 row = kNoRow;
    quint32 orig = kNoRow;
    bool live = true;
};

// "a; b;" -> {"a", "b"}
QStringList splitNames(const QString& names);

} // namespace kxcds

struct TPClientDataSet::Impl
{
    using Column = kxcds::Column;
    using Table = kxcds::Table;
    using Change = kxcds::Change;

    explicit Impl(TPClientDataSet* owner) : q(owner) {}

    TPClientDataSet* q;
    std::unique_ptr<Table> store;          // null while closed; data columns, then calculated
    std::vector<TFieldDef> dataDefs;       // the structure of the data columns
    TFieldDefs fieldDefs;
    std::vector<std::unique_ptr<TField>> fields;   // data fields, then calculated and lookup
    QHash<QString, TField*> byName;        // lower-case name
    std::unique_ptr<TField> inertField;    // what FieldByName gives for a missing name

    // Row identity: physical rows never move; these lists order them.
    std::vector<quint32> rows;       // the current rows in order
    std::vector<quint32> baseRows;   // the rows as loaded or merged, once a change exists
    bool baseValid = false;
    std::vector<quint32> visible;    // the rows the filter lets through, while it is on

    int cur = -1;   // position in view()
    bool bof = true, eof = true;
    TDataSetState state = dsInactive;
    bool modified = false;
    quint32 scratch = kxcds::kNoRow;   // the record as it was before Edit

    std::vector<Change> log;
    std::unordered_map<quint32, quint32> logIndex;   // present row -> its insert/update
    int liveChanges = 0;

    std::function<void(TPClientDataSet&)> onCalc;
    std::vector<quint64> calcFresh;
    quint32 calcRow = kxcds::kNoRow;

    QString filterText;
    bool filtered = false;
    TFilterOptions filterOptions;
    kxcds::FilterAst filterAst;
    kxcds::FilterProgram program;
    bool filterBroken = false;   // the filter does not fit the loaded fields: nothing shows

    int disableCount = 0;
    bool pendingReset = false, pendingCursor = false, pendingState = false;
    quint64 generation = 1;
    mutable QString lastError;

    // --- basics ------------------------------------------------------------------------
    bool filterOn() const { return filtered && (filterBroken || !program.empty()); }
    const std::vector<quint32>& view() const { return filterOn() ? visible : rows; }
    quint32 curPhys() const { return cur >= 0 ? view()[size_t(cur)] : kxcds::kNoRow; }
    quint32 activeRow() const { return state == dsCalcFields ? calcRow : curPhys(); }
    int dataCount() const { return int(dataDefs.size()); }
    bool editing() const { return state == dsEdit || state == dsInsert; }
    // A row's values as last posted: while a record is edited, its old values are in scratch.
    quint32 posted(quint32 row) const { return state == dsEdit && row == curPhys() && scratch != kxcds::kNoRow ? scratch : row; }

    bool fail(const QString& msg) const { return kxcds::failWith(lastError, msg); }

    // --- notifications (held back while controls are disabled) --------------------------
    void beginReset()
    {
        if (disableCount)
            pendingReset = true;
        else
            emit q->aboutToReset();
    }
    void endReset()
    {
        if (!disableCount)
            emit q->reset();
    }
    void beginInsert(int f, int l)
    {
        if (disableCount)
            pendingReset = true;
        else
            emit q->rowsAboutToBeInserted(f, l);
    }
    void endInsert(int f, int l)
    {
        if (!disableCount)
            emit q->rowsInserted(f, l);
    }
    void beginRemove(int f, int l)
    {
        if (disableCount)
            pendingReset = true;
        else
            emit q->rowsAboutToBeRemoved(f, l);
    }
    void endRemove(int f, int l)
    {
        if (!disableCount)
            emit q->rowsRemoved(f, l);
    }
    void rowChangedAt(int pos)
    {
        if (disableCount)
            pendingReset = true;
        else if (pos >= 0)
            emit q->rowChanged(pos);
    }
    void cursorMoved()
    {
        if (disableCount)
            pendingCursor = true;
        else
            emit q->currentRowChanged(cur);
    }
    void setState(TDataSetState s)
    {
        if (state == s)
            return;
        state = s;
        if (disableCount)
            pendingState = true;
        else
            emit q->stateChanged(s);
    }

    // --- fields (DataSetImpl.cpp) --------------------------------------------------------
    TField* findField(const QString& name) const { return byName.value(name.toLower(), nullptr); }
    void reindex();
    // New data fields from `dataDefs`, reusing the field objects of the same names.
    void rebuildFields();
    void addCalcColumns();

    // --- cells ---------------------------------------------------------------------------
    quint32 newPhysRow()
    {
        const quint32 r = store->addRow();
        calcFresh.resize((size_t(store->rows) + 63) / 64, 0);
        return r;
    }
    void markCalcStale(quint32 row)
    {
        if (row != kxcds::kNoRow && row / 64 < calcFresh.size())
            calcFresh[row / 64] &= ~(quint64(1) << (row & 63));
    }
    void ensureCalc(quint32 row);
    // The column and row holding a field's value in physical row `phys`; null for null.
    const Column* cellOf(const TField* f, quint32 phys, quint32& row)
    {
        if (!store || phys == kxcds::kNoRow || !f || f->m_ds != q)
            return nullptr;
        if (f->m_kind == fkData && f->m_column >= 0) {
            row = phys;
            return &store->cols[size_t(f->m_column)];
        }
        return derivedCellOf(f, phys, row);
    }
    // cellOf for calculated and lookup fields.
    const Column* derivedCellOf(const TField* f, quint32 phys, quint32& row);
    // Position in view() of the first row whose fields equal the values; -1 when none.
    int findRow(const QStringList& names, const QVariantList& values, TLocateOptions opts, QString* why = nullptr);

    // --- filter and cursor ---------------------------------------------------------------
    kxcds::FilterField resolveFilterField(const QString& name) const;
    bool bindProgram(const kxcds::FilterAst& ast, TFilterOptions opts, kxcds::FilterProgram& out, QString& err) const;
    // After the structure changed: the filter text must fit the new fields.
    void rebindFilter();
    bool matches(quint32 row);
    void refilterAll();
    void toFirst()
    {
        cur = view().empty() ? -1 : 0;
        bof = true;
        eof = view().empty();
    }
    void clampCursor();

    // --- structure -----------------------------------------------------------------------
    // Replaces everything; called between beginReset and endReset.
    void install(std::vector<TFieldDef> defs, Table&& table, quint32 rowCount);

    // --- data packets both ways (DataSetXml.cpp) -----------------------------------------
    bool loadPacket(char* buf, size_t len, bool withChanges);
    bool appendPacket(char* buf, size_t len);
    std::string deltaXml() const;
    std::string dataXml() const;

    // --- editing and the change log (ChangeLog.cpp) -------------------------------------
    void resetLog()
    {
        log.clear();
        logIndex.clear();
        liveChanges = 0;
        baseRows.clear();
        baseValid = false;
    }
    void ensureBase()
    {
        if (!baseValid) {
            baseRows = rows;
            baseValid = true;
        }
    }
    // A saved data set's changes: validated completely before anything is replaced.
    bool buildLog(const kxcds::Packet& p, std::vector<Change>& outLog, std::vector<quint32>& outBase, QString& err) const;
    void insertRecord(bool atEnd);
    // Row removal shared by Delete, Cancel and Post.
    void removeAt(int pos, bool fromRows);
};
