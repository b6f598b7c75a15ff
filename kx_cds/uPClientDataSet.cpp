#include "uPClientDataSet.h"

#include "CdsFilter.h"
#include "CdsXml.h"

#include <QFile>
#include <QHash>
#include <QIODevice>

#include <algorithm>
#include <numeric>
#include <unordered_map>

using namespace kxcds;

QString KxQuote(const QString& value)
{
    QString q = value;
    q.replace(u'\'', QStringLiteral("''"));
    return u'\'' + q + u'\'';
}

namespace {

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

thread_local int lookupDepth = 0;   // lookups through lookup fields, against cycles

QStringList splitNames(const QString& names)
{
    QStringList out;
    for (const QString& n : names.split(u';', Qt::SkipEmptyParts)) {
        const QString t = n.trimmed();
        if (!t.isEmpty())
            out << t;
    }
    return out;
}

std::vector<std::string> utf8Names(const std::vector<TFieldDef>& defs)
{
    std::vector<std::string> names;
    names.reserve(defs.size());
    for (const auto& d : defs)
        names.push_back(d.Name.toStdString());
    return names;
}

} // namespace

struct TPClientDataSet::Impl
{
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
    quint32 scratch = kNoRow;   // the record as it was before Edit

    std::vector<Change> log;
    std::unordered_map<quint32, quint32> logIndex;   // present row -> its insert/update
    int liveChanges = 0;

    std::function<void(TPClientDataSet&)> onCalc;
    std::vector<quint64> calcFresh;
    quint32 calcRow = kNoRow;

    QString filterText;
    bool filtered = false;
    TFilterOptions filterOptions;
    FilterAst filterAst;
    FilterProgram program;
    bool filterBroken = false;   // the filter does not fit the loaded fields: nothing shows

    int disableCount = 0;
    bool pendingReset = false, pendingCursor = false, pendingState = false;
    quint64 generation = 1;
    mutable QString lastError;

    // --- basics ------------------------------------------------------------------------
    bool filterOn() const { return filtered && (filterBroken || !program.empty()); }
    const std::vector<quint32>& view() const { return filterOn() ? visible : rows; }
    quint32 curPhys() const { return cur >= 0 ? view()[size_t(cur)] : kNoRow; }
    quint32 activeRow() const { return state == dsCalcFields ? calcRow : curPhys(); }
    int dataCount() const { return int(dataDefs.size()); }
    bool editing() const { return state == dsEdit || state == dsInsert; }
    // A row's values as last posted: while a record is edited, its old values are in scratch.
    quint32 posted(quint32 row) const { return state == dsEdit && row == curPhys() && scratch != kNoRow ? scratch : row; }

    bool fail(const QString& msg) const
    {
        return failWith(lastError, msg);
    }

    // --- notifications -----------------------------------------------------------------
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

    // --- fields ------------------------------------------------------------------------
    TField* findField(const QString& name) const { return byName.value(name.toLower(), nullptr); }

    void reindex()
    {
        byName.clear();
        int column = dataCount();
        for (size_t i = 0; i < fields.size(); ++i) {
            TField* f = fields[i].get();
            f->m_index = int(i);
            if (f->m_kind == fkData)
                f->m_column = int(i);
            else if (f->m_kind == fkCalculated)
                f->m_column = column++;
            else
                f->m_column = -1;
            byName.insert(f->m_def.Name.toLower(), f);
        }
    }

    // New data fields from `defs`, reusing the field objects of the same names.
    void rebuildFields()
    {
        QHash<QString, TField*> old;
        std::vector<std::unique_ptr<TField>> extras;
        for (auto& f : fields) {
            if (f->m_kind == fkData) {
                const QString key = f->m_def.Name.toLower();
                old.insert(key, f.release());
            } else
                extras.push_back(std::move(f));
        }
        fields.clear();
        for (const auto& def : dataDefs) {
            TField* f = old.take(def.Name.toLower());
            if (f)
                f->m_def = def;
            else
                f = new TField(q, def, fkData);
            fields.emplace_back(f);
        }
        qDeleteAll(old);
        QSet<QString> dataNames;
        for (const auto& def : dataDefs)
            dataNames.insert(def.Name.toLower());
        for (auto& e : extras) {
            if (dataNames.contains(e->m_def.Name.toLower())) {
                fail(QStringLiteral("The data field '%1' replaces the calculated or lookup field of that name").arg(e->m_def.Name));
                continue;
            }
            fields.push_back(std::move(e));
        }
        reindex();
    }

    void addCalcColumns()
    {
        for (const auto& f : fields) {
            if (f->m_kind != fkCalculated)
                continue;
            Column c;
            c.init(f->m_def.DataType, f->m_def.Scale);
            c.resize(store->rows);
            store->cols.push_back(std::move(c));
        }
    }

    bool hasCalcFields() const
    {
        return std::any_of(fields.begin(), fields.end(), [](const auto& f) { return f->m_kind == fkCalculated; });
    }

    // --- rows --------------------------------------------------------------------------
    quint32 newPhysRow()
    {
        const quint32 r = store->addRow();
        calcFresh.resize((size_t(store->rows) + 63) / 64, 0);
        return r;
    }

    void ensureBase()
    {
        if (!baseValid) {
            baseRows = rows;
            baseValid = true;
        }
    }

    void markCalcStale(quint32 row)
    {
        if (row != kNoRow && row / 64 < calcFresh.size())
            calcFresh[row / 64] &= ~(quint64(1) << (row & 63));
    }

    void ensureCalc(quint32 row)
    {
        if (!onCalc || row / 64 >= calcFresh.size())
            return;
        quint64& word = calcFresh[row / 64];
        const quint64 bit = quint64(1) << (row & 63);
        if (word & bit)
            return;
        word |= bit;   // before the callback, which reads the fields it fills
        for (const auto& f : fields)
            if (f->m_kind == fkCalculated)
                store->cols[size_t(f->m_column)].setNull(row);
        const TDataSetState savedState = state;
        const quint32 savedRow = calcRow;
        state = dsCalcFields;
        calcRow = row;
        struct Restore
        {
            Impl* d;
            TDataSetState s;
            quint32 r;
            ~Restore()
            {
                d->state = s;
                d->calcRow = r;
            }
        } restore{this, savedState, savedRow};
        onCalc(*q);
    }

    // The column and row holding a field's value in physical row `phys`; null for null.
    const Column* cellOf(const TField* f, quint32 phys, quint32& row)
    {
        if (!store || phys == kNoRow || !f || f->m_ds != q)
            return nullptr;
        if (f->m_kind == fkData && f->m_column >= 0) {
            row = phys;
            return &store->cols[size_t(f->m_column)];
        }
        if (f->m_kind == fkCalculated) {
            ensureCalc(phys);
            row = phys;
            return &store->cols[size_t(f->m_column)];
        }
        if (f->m_kind != fkLookup || !f->m_lookupDs || lookupDepth > 8)
            return nullptr;
        ++lookupDepth;
        struct Depth
        {
            ~Depth() { --lookupDepth; }
        } depth;
        QVariantList keys;
        for (const QString& name : splitNames(f->m_keyFields)) {
            TField* k = findField(name);
            if (!k)
                return nullptr;
            quint32 kr = 0;
            const Column* kc = cellOf(k, phys, kr);
            keys << (kc ? cellVariant(*kc, kr) : QVariant());
        }
        Impl* other = f->m_lookupDs->d.get();
        const int hit = other->findRow(splitNames(f->m_lookupKeyFields), keys, {});
        TField* result = other->findField(f->m_lookupResult);
        if (hit < 0 || !result)
            return nullptr;
        return other->cellOf(result, other->view()[size_t(hit)], row);
    }

    // Position in view() of the first row whose fields equal the values; -1 when none.
    int findRow(const QStringList& names, const QVariantList& values, TLocateOptions opts, QString* why = nullptr)
    {
        if (names.isEmpty() || names.size() != values.size()) {
            if (why)
                *why = QStringLiteral("%1 key fields but %2 values").arg(names.size()).arg(values.size());
            return -1;
        }
        struct KeyField
        {
            TField* field;
            bool asText;
            QString text;
            Key key;
        };
        std::vector<KeyField> keys;
        for (qsizetype i = 0; i < names.size(); ++i) {
            TField* f = findField(names[i]);
            if (!f) {
                if (why)
                    *why = QStringLiteral("the field '%1' does not exist").arg(names[i]);
                return -1;
            }
            KeyField k{f, false, QString(), Key()};
            const bool textField = isTextType(f->m_def.DataType);
            if (f->m_kind == fkLookup || (textField && (opts & (loCaseInsensitive | loPartialKey)))) {
                k.asText = true;
                k.text = values[i].toString();
            } else {
                QString ignored;
                if (!k.key.set(f->m_def.DataType, f->m_def.Scale, values[i], ignored))
                    return -1;   // a value the field cannot hold matches nothing
            }
            keys.push_back(std::move(k));
        }
        const Qt::CaseSensitivity cs = opts.testFlag(loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        const auto& v = view();
        for (size_t pos = 0; pos < v.size(); ++pos) {
            bool all = true;
            for (auto& k : keys) {
                quint32 r = 0;
                const Column* c = cellOf(k.field, v[pos], r);
                if (k.asText) {
                    const QString s = c ? cellString(*c, r) : QString();
                    all = opts.testFlag(loPartialKey) ? s.startsWith(k.text, cs) : s.compare(k.text, cs) == 0;
                } else if (!c) {
                    all = k.key.isNull();
                } else {
                    all = compareCells(*c, r, k.key.col, 0) == 0;
                }
                if (!all)
                    break;
            }
            if (all)
                return int(pos);
        }
        return -1;
    }

    // --- filter ------------------------------------------------------------------------
    FilterField resolveFilterField(const QString& name) const
    {
        FilterField ff;
        if (const TField* f = findField(name)) {
            ff.column = f->m_column;
            ff.type = f->m_def.DataType;
            ff.scale = f->m_def.Scale;
            ff.calculated = f->m_kind == fkCalculated;
            ff.lookup = f->m_kind == fkLookup;
        }
        return ff;
    }

    bool bindProgram(const FilterAst& ast, TFilterOptions opts, FilterProgram& out, QString& err) const
    {
        return out.bind(ast, [this](const QString& n) { return resolveFilterField(n); }, opts, err);
    }

    // After the structure changed: the filter text must fit the new fields.
    void rebindFilter()
    {
        filterBroken = false;
        program = FilterProgram();
        QString err;
        if (filterAst.root >= 0 && !bindProgram(filterAst, filterOptions, program, err)) {
            filterBroken = true;
            fail(QStringLiteral("Filter \"%1\" no longer fits the data set, no record shows: %2").arg(filterText, err));
        }
    }

    bool matches(quint32 row)
    {
        if (filterBroken)
            return false;
        if (program.usesCalculated())
            ensureCalc(row);
        return program.match(*store, row);
    }

    void refilterAll()
    {
        visible.clear();
        if (!filterOn())
            return;
        for (quint32 r : rows)
            if (matches(r))
                visible.push_back(r);
    }

    void toFirst()
    {
        cur = view().empty() ? -1 : 0;
        bof = true;
        eof = view().empty();
    }

    void clampCursor()
    {
        const int n = int(view().size());
        if (n == 0) {
            cur = -1;
            bof = eof = true;
        } else if (cur >= n || cur < 0) {
            cur = cur < 0 ? 0 : n - 1;
        }
    }

    // --- structure and loading ---------------------------------------------------------
    void resetLog()
    {
        log.clear();
        logIndex.clear();
        liveChanges = 0;
        baseRows.clear();
        baseValid = false;
    }

    // Replaces everything; called between beginReset and endReset.
    void install(std::vector<TFieldDef> defs, Table&& table, quint32 rowCount)
    {
        dataDefs = std::move(defs);
        fieldDefs.Clear();
        for (const auto& def : dataDefs)
            fieldDefs.Add(def.Name, def.DataType, def.Size, def.Precision, def.Scale);
        store = std::make_unique<Table>(std::move(table));
        rebuildFields();
        addCalcColumns();
        rows.resize(rowCount);
        std::iota(rows.begin(), rows.end(), 0u);
        resetLog();
        scratch = kNoRow;
        modified = false;
        calcFresh.assign((size_t(store->rows) + 63) / 64, 0);
        ++generation;
        setState(dsBrowse);
        rebindFilter();
        refilterAll();
        toFirst();
    }

    // A saved data set's changes: validated completely before anything is replaced.
    bool buildLog(const Packet& p, std::vector<Change>& outLog, std::vector<quint32>& outBase, QString& err) const
    {
        std::vector<char> used(p.rowCount, 0);
        qint64 inserts = 0, deletes = 0;
        for (const auto& c : p.changes) {
            if (c.kind == ukDelete) {
                ++deletes;
                if (c.oldRow == kNoRow || c.baseAttr < 0) {
                    err = QStringLiteral("a delete needs its old values and its base position");
                    return false;
                }
                continue;
            }
            if (c.rowAttr < 0 || c.rowAttr >= p.rowCount || used[size_t(c.rowAttr)]) {
                err = QStringLiteral("a change names row %1, which is missing or changed twice").arg(c.rowAttr);
                return false;
            }
            used[size_t(c.rowAttr)] = 1;
            if (c.kind == ukModify && c.oldRow == kNoRow) {
                err = QStringLiteral("an update of row %1 has no old values").arg(c.rowAttr);
                return false;
            }
            inserts += c.kind == ukInsert;
        }
        const qint64 baseCount = qint64(p.rowCount) - inserts + deletes;
        outBase.assign(size_t(baseCount), kNoRow);
        outLog.clear();
        std::vector<char> inserted(p.rowCount, 0);
        for (const auto& c : p.changes) {
            Change ch;
            ch.kind = c.kind;
            if (c.kind == ukDelete) {
                if (c.baseAttr >= baseCount || outBase[size_t(c.baseAttr)] != kNoRow) {
                    err = QStringLiteral("a delete has the base position %1, which is out of range or taken").arg(c.baseAttr);
                    return false;
                }
                outBase[size_t(c.baseAttr)] = c.oldRow;
                ch.row = ch.orig = c.oldRow;
            } else {
                ch.row = quint32(c.rowAttr);
                ch.orig = c.kind == ukModify ? c.oldRow : kNoRow;
                inserted[size_t(c.rowAttr)] = c.kind == ukInsert;
            }
            outLog.push_back(ch);
        }
        size_t slot = 0;
        for (quint32 r = 0; r < p.rowCount; ++r) {
            if (inserted[r])
                continue;
            while (slot < outBase.size() && outBase[slot] != kNoRow)
                ++slot;
            outBase[slot++] = r;   // counts add up: every slot is filled exactly once
        }
        return true;
    }

    bool loadPacket(char* buf, size_t len, bool withChanges)
    {
        Packet p;
        QString err;
        if (!parsePacket(buf, len, RootKind::DataPacket, nullptr, withChanges, p, err))
            return fail(QStringLiteral("Data packet: ") + err);
        std::vector<Change> newLog;
        std::vector<quint32> newBase;
        if (!p.changes.empty() && !buildLog(p, newLog, newBase, err))
            return fail(QStringLiteral("Data packet: ") + err);
        beginReset();
        install(std::move(p.fields), std::move(p.table), p.rowCount);
        if (!newLog.empty()) {
            log = std::move(newLog);
            for (size_t i = 0; i < log.size(); ++i)
                if (log[i].kind != ukDelete)
                    logIndex[log[i].row] = quint32(i);
            liveChanges = int(log.size());
            baseRows = std::move(newBase);
            baseValid = true;
        }
        endReset();
        return true;
    }

    bool appendPacket(char* buf, size_t len)
    {
        if (!store)
            return loadPacket(buf, len, false);
        if (editing() && !q->Post())
            return false;
        Packet p;
        QString err;
        if (!parsePacket(buf, len, RootKind::DataPacket, &dataDefs, false, p, err))
            return fail(QStringLiteral("Data packet: ") + err);
        const quint32 first = store->rows;
        const quint32 n = p.rowCount;
        if (quint64(first) + n >= kNoRow)
            return fail(QStringLiteral("Data packet: too many rows"));
        for (int i = 0; i < dataCount(); ++i)
            if (store->cols[size_t(i)].arena.size() + p.table.cols[size_t(i)].arena.size() > 0xFFFFFFF0u)
                return fail(QStringLiteral("Data packet: the text of field '%1' passes 4 GiB").arg(dataDefs[size_t(i)].Name));
        for (int i = 0; i < dataCount(); ++i)
            store->cols[size_t(i)].appendRows(p.table.cols[size_t(i)], first, n);
        store->rows = first + n;
        for (size_t i = size_t(dataCount()); i < store->cols.size(); ++i)
            store->cols[i].resize(store->rows);
        calcFresh.resize((size_t(store->rows) + 63) / 64, 0);

        std::vector<quint32> shown;
        if (filterOn())
            for (quint32 r = first; r < first + n; ++r)
                if (matches(r))
                    shown.push_back(r);
        const int at = int(view().size());
        const int count = filterOn() ? int(shown.size()) : int(n);
        if (count)
            beginInsert(at, at + count - 1);
        for (quint32 r = first; r < first + n; ++r) {
            rows.push_back(r);
            if (baseValid)
                baseRows.push_back(r);
        }
        visible.insert(visible.end(), shown.begin(), shown.end());
        if (count)
            endInsert(at, at + count - 1);
        if (cur < 0 && !view().empty()) {
            toFirst();
            cursorMoved();
        }
        return true;
    }

    // --- writing -----------------------------------------------------------------------
    std::string deltaXml() const
    {
        std::string out;
        const auto names = utf8Names(dataDefs);
        out += "<delta>";
        writeFields(out, dataDefs);
        out += "<changes>";
        for (const Change& c : log) {
            if (!c.live)
                continue;
            switch (c.kind) {
            case ukInsert:
                out += "<insert>";
                writeRow(out, "new", dataDefs, names, *store, posted(c.row));
                out += "</insert>";
                break;
            case ukModify:
                out += "<update>";
                writeRow(out, "old", dataDefs, names, *store, c.orig);
                writeRow(out, "new", dataDefs, names, *store, posted(c.row));
                out += "</update>";
                break;
            case ukDelete:
                out += "<delete>";
                writeRow(out, "old", dataDefs, names, *store, c.orig);
                out += "</delete>";
                break;
            }
        }
        out += "</changes></delta>";
        return out;
    }

    std::string dataXml() const
    {
        std::string out;
        const auto names = utf8Names(dataDefs);
        out += "<datapacket>";
        writeFields(out, dataDefs);
        out += "<rows>";
        const quint32 unposted = state == dsInsert ? curPhys() : kNoRow;
        std::vector<quint32> written;
        if (liveChanges && store)
            written.assign(store->rows, kNoRow);
        quint32 k = 0;
        for (quint32 r : rows) {
            if (r == unposted)
                continue;
            writeRow(out, "row", dataDefs, names, *store, posted(r));
            if (!written.empty())
                written[r] = k;
            ++k;
        }
        out += "</rows>";
        if (liveChanges) {
            std::unordered_map<quint32, size_t> basePos;
            for (size_t i = 0; i < baseRows.size(); ++i)
                basePos.emplace(baseRows[i], i);
            out += "<changes>";
            for (const Change& c : log) {
                if (!c.live)
                    continue;
                switch (c.kind) {
                case ukInsert:
                    out += "<insert row=\"" + std::to_string(written[c.row]) + "\"/>";
                    break;
                case ukModify:
                    out += "<update row=\"" + std::to_string(written[c.row]) + "\">";
                    writeRow(out, "old", dataDefs, names, *store, c.orig);
                    out += "</update>";
                    break;
                case ukDelete:
                    out += "<delete base=\"" + std::to_string(basePos[c.row]) + "\">";
                    writeRow(out, "old", dataDefs, names, *store, c.orig);
                    out += "</delete>";
                    break;
                }
            }
            out += "</changes>";
        }
        out += "</datapacket>";
        return out;
    }

    void insertRecord(bool atEnd)
    {
        if (!store) {
            fail(QStringLiteral("Insert: the data set is closed"));
            return;
        }
        if (editing() && !q->Post())
            return;
        ensureBase();
        const quint32 phys = newPhysRow();
        const auto& v = view();
        int pos;
        size_t rowsPos;
        if (atEnd || cur < 0) {
            pos = int(v.size());
            rowsPos = rows.size();
        } else {
            pos = cur;
            rowsPos = size_t(std::find(rows.begin(), rows.end(), v[size_t(pos)]) - rows.begin());
        }
        beginInsert(pos, pos);
        rows.insert(rows.begin() + qsizetype(rowsPos), phys);
        if (filterOn())
            visible.insert(visible.begin() + pos, phys);
        endInsert(pos, pos);
        cur = pos;
        bof = eof = false;
        modified = false;
        setState(dsInsert);
        cursorMoved();
    }

    // --- row removal shared by Delete, Cancel and Post ----------------------------------
    void removeAt(int pos, bool fromRows)
    {
        const quint32 phys = view()[size_t(pos)];
        beginRemove(pos, pos);
        if (fromRows) {
            rows.erase(std::find(rows.begin(), rows.end(), phys));
        }
        if (filterOn())
            visible.erase(visible.begin() + pos);
        endRemove(pos, pos);
    }
};

// ===========================================================================================
// TField

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

// ===========================================================================================
// TPClientDataSet

TPClientDataSet::TPClientDataSet(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this))
{
    d->inertField.reset(new TField(this, TFieldDef{}, fkData));
}

TPClientDataSet::~TPClientDataSet() = default;

// --- loading and saving ------------------------------------------------------------------

bool TPClientDataSet::SetKXXMLData(const QString& xml)
{
    QByteArray u = utf8ForParse(xml);
    return d->loadPacket(u.data(), size_t(u.size()), false);
}

bool TPClientDataSet::SetKXXMLData(const QByteArray& utf8)
{
    QByteArray copy(utf8.constData(), utf8.size());
    return d->loadPacket(copy.data(), size_t(copy.size()), false);
}

bool TPClientDataSet::SetKXXMLDataInPlace(char* utf8, size_t size)
{
    return d->loadPacket(utf8, size, false);
}

bool TPClientDataSet::KXAppendData(const QString& xml, bool)
{
    QByteArray u = utf8ForParse(xml);
    return d->appendPacket(u.data(), size_t(u.size()));
}

bool TPClientDataSet::KXAppendData(const QByteArray& utf8, bool)
{
    QByteArray copy(utf8.constData(), utf8.size());
    return d->appendPacket(copy.data(), size_t(copy.size()));
}

QString TPClientDataSet::GetKXXMLDelta() const
{
    return QString::fromUtf8(DeltaUtf8());
}

QByteArray TPClientDataSet::DeltaUtf8() const
{
    if (!d->store)
        return QByteArrayLiteral("<delta><fields></fields><changes></changes></delta>");
    const std::string s = d->deltaXml();
    return QByteArray(s.data(), qsizetype(s.size()));
}

bool TPClientDataSet::GetEmptyDelta() const
{
    return d->liveChanges == 0;
}

QString TPClientDataSet::XMLData() const
{
    return QString::fromUtf8(XMLDataUtf8());
}

QByteArray TPClientDataSet::XMLDataUtf8() const
{
    if (!d->store)
        return QByteArrayLiteral("<datapacket><fields></fields><rows></rows></datapacket>");
    const std::string s = d->dataXml();
    return QByteArray(s.data(), qsizetype(s.size()));
}

bool TPClientDataSet::SetXMLData(const QString& xml)
{
    QByteArray u = utf8ForParse(xml);
    return d->loadPacket(u.data(), size_t(u.size()), true);
}

bool TPClientDataSet::SetXMLData(const QByteArray& utf8)
{
    QByteArray copy(utf8.constData(), utf8.size());
    return d->loadPacket(copy.data(), size_t(copy.size()), true);
}

bool TPClientDataSet::SaveToStream(QIODevice* device) const
{
    if (!device || !device->isWritable())
        return d->fail(QStringLiteral("SaveToStream: the stream is not open for writing"));
    const QByteArray data = XMLDataUtf8();
    if (device->write(data) != data.size())
        return d->fail(QStringLiteral("SaveToStream: writing failed: %1").arg(device->errorString()));
    return true;
}

bool TPClientDataSet::LoadFromStream(QIODevice* device)
{
    if (!device || !device->isReadable())
        return d->fail(QStringLiteral("LoadFromStream: the stream is not open for reading"));
    QByteArray data = device->readAll();
    return d->loadPacket(data.data(), size_t(data.size()), true);
}

bool TPClientDataSet::SaveToFile(const QString& fileName) const
{
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return d->fail(QStringLiteral("Cannot write %1: %2").arg(fileName, f.errorString()));
    return SaveToStream(&f);
}

bool TPClientDataSet::LoadFromFile(const QString& fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return d->fail(QStringLiteral("Cannot read %1: %2").arg(fileName, f.errorString()));
    return LoadFromStream(&f);
}

// --- life --------------------------------------------------------------------------------

bool TPClientDataSet::Active() const
{
    return d->store != nullptr;
}

bool TPClientDataSet::Open()
{
    if (d->store)
        return true;
    if (d->fieldDefs.Count() == 0)
        return d->fail(QStringLiteral("Open: the data set has no fields"));
    return CreateDataSet();
}

void TPClientDataSet::Close()
{
    if (!d->store)
        return;
    d->beginReset();
    d->store.reset();
    d->rows.clear();
    d->visible.clear();
    d->resetLog();
    d->scratch = kNoRow;
    d->modified = false;
    d->calcFresh.clear();
    d->cur = -1;
    d->bof = d->eof = true;
    ++d->generation;
    d->setState(dsInactive);
    d->endReset();
}

TFieldDefs& TPClientDataSet::FieldDefs()
{
    return d->fieldDefs;
}

const TFieldDefs& TPClientDataSet::FieldDefs() const
{
    return d->fieldDefs;
}

bool TPClientDataSet::CreateDataSet()
{
    const auto& list = d->fieldDefs.List();
    if (list.isEmpty())
        return d->fail(QStringLiteral("CreateDataSet: no field definitions"));
    if (list.size() > kMaxFields)
        return d->fail(QStringLiteral("CreateDataSet: more than %1 fields").arg(kMaxFields));
    std::vector<TFieldDef> defs(list.begin(), list.end());
    QSet<QString> names;
    QString err;
    for (const auto& def : defs) {
        if (!checkFieldDef(def, err))
            return d->fail(QStringLiteral("CreateDataSet: ") + err);
        if (names.contains(def.Name.toLower()))
            return d->fail(QStringLiteral("CreateDataSet: the field name '%1' appears twice").arg(def.Name));
        names.insert(def.Name.toLower());
    }
    Table t;
    t.init(defs);
    d->beginReset();
    d->install(std::move(defs), std::move(t), 0);
    d->endReset();
    return true;
}

TDataSetState TPClientDataSet::State() const
{
    return d->state;
}

// --- cursor ------------------------------------------------------------------------------

void TPClientDataSet::First()
{
    if (d->editing() && !Post())
        return;
    d->toFirst();
    d->cursorMoved();
}

void TPClientDataSet::Last()
{
    if (d->editing() && !Post())
        return;
    d->cur = int(d->view().size()) - 1;
    d->eof = true;
    d->bof = d->view().empty();
    d->cursorMoved();
}

void TPClientDataSet::Next()
{
    if (d->editing() && !Post())
        return;
    if (d->cur + 1 < int(d->view().size())) {
        ++d->cur;
        d->bof = d->eof = false;
        d->cursorMoved();
    } else {
        d->eof = true;
    }
}

void TPClientDataSet::Prior()
{
    if (d->editing() && !Post())
        return;
    if (d->cur > 0) {
        --d->cur;
        d->bof = d->eof = false;
        d->cursorMoved();
    } else {
        d->bof = true;
    }
}

bool TPClientDataSet::Eof() const
{
    return d->eof || d->view().empty();
}

bool TPClientDataSet::Bof() const
{
    return d->bof || d->view().empty();
}

int TPClientDataSet::RecordCount() const
{
    return d->store ? int(d->view().size()) : 0;
}

int TPClientDataSet::RecNo() const
{
    return d->cur + 1;
}

void TPClientDataSet::SetRecNo(int recNo)
{
    const int n = int(d->view().size());
    if (n == 0 || (d->editing() && !Post()))
        return;
    d->cur = std::clamp(recNo, 1, n) - 1;
    d->bof = d->eof = false;
    d->cursorMoved();
}

TBookmark TPClientDataSet::GetBookmark() const
{
    const quint32 r = d->curPhys();
    return r == kNoRow ? TBookmark() : TBookmark{r, d->generation};
}

bool TPClientDataSet::BookmarkValid(const TBookmark& b) const
{
    if (b.IsNull() || b.generation != d->generation)
        return false;
    const auto& v = d->view();
    return std::find(v.begin(), v.end(), b.row) != v.end();
}

bool TPClientDataSet::GotoBookmark(const TBookmark& b)
{
    if (!BookmarkValid(b)) {
        d->lastError = QStringLiteral("GotoBookmark: the record no longer exists");
        return false;
    }
    if (d->editing() && !Post())
        return false;
    const auto& v = d->view();
    d->cur = int(std::find(v.begin(), v.end(), b.row) - v.begin());
    d->bof = d->eof = false;
    d->cursorMoved();
    return true;
}

static QVariantList keyList(const QStringList& names, const QVariant& values)
{
    if (names.size() == 1) {
        if (values.typeId() == QMetaType::QVariantList && values.toList().size() == 1)
            return values.toList();
        return QVariantList{values};
    }
    return values.toList();
}

bool TPClientDataSet::Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options)
{
    if (!d->store)
        return false;
    if (d->editing() && !Post())
        return false;
    const QStringList names = splitNames(keyFields);
    QString why;
    const int pos = d->findRow(names, keyList(names, keyValues), options, &why);
    if (pos < 0) {
        if (!why.isEmpty())
            d->fail(QStringLiteral("Locate: ") + why);
        return false;
    }
    d->cur = pos;
    d->bof = d->eof = false;
    d->cursorMoved();
    return true;
}

QVariant TPClientDataSet::Lookup(const QString& keyFields, const QVariant& keyValues, const QString& resultField) const
{
    if (!d->store)
        return QVariant();
    const QStringList names = splitNames(keyFields);
    QString why;
    const int pos = d->findRow(names, keyList(names, keyValues), {}, &why);
    TField* result = d->findField(resultField);
    if (!why.isEmpty() || !result) {
        d->fail(QStringLiteral("Lookup: ") + (why.isEmpty() ? QStringLiteral("the field '%1' does not exist").arg(resultField) : why));
        return QVariant();
    }
    if (pos < 0)
        return QVariant();
    quint32 r = 0;
    const Column* c = d->cellOf(result, d->view()[size_t(pos)], r);
    return c ? cellVariant(*c, r) : QVariant();
}

// --- fields ------------------------------------------------------------------------------

TField* TPClientDataSet::FieldByName(const QString& name) const
{
    if (TField* f = d->findField(name))
        return f;
    d->fail(QStringLiteral("Field '%1' not found").arg(name));
    d->inertField->m_def.Name = name;
    return d->inertField.get();
}

TField* TPClientDataSet::FindField(const QString& name) const
{
    return d->findField(name);
}

int TPClientDataSet::FieldCount() const
{
    return int(d->fields.size());
}

TField* TPClientDataSet::Fields(int index) const
{
    return index >= 0 && index < int(d->fields.size()) ? d->fields[size_t(index)].get() : nullptr;
}

TField* TPClientDataSet::AddCalcField(const QString& name, TFieldType type, int size, int precision, int scale)
{
    QString err;
    const TFieldDef def{name, type, size, precision, scale};
    if (d->findField(name)) {
        d->fail(QStringLiteral("AddCalcField: a field named '%1' exists").arg(name));
        return nullptr;
    }
    if (!checkFieldDef(def, err)) {
        d->fail(QStringLiteral("AddCalcField: ") + err);
        return nullptr;
    }
    if (d->store)
        d->beginReset();
    auto* f = new TField(this, def, fkCalculated);
    d->fields.emplace_back(f);
    d->reindex();
    if (d->store) {
        Column c;
        c.init(type, scale);
        c.resize(d->store->rows);
        d->store->cols.push_back(std::move(c));
        std::fill(d->calcFresh.begin(), d->calcFresh.end(), 0);
        d->endReset();
    }
    return f;
}

TField* TPClientDataSet::AddLookupField(const QString& name, TFieldType type, int size, const QString& keyFields,
                                        TPClientDataSet* lookupDataSet, const QString& lookupKeyFields,
                                        const QString& lookupResultField)
{
    QString err;
    const TFieldDef def{name, type, size, 0, 0};
    if (d->findField(name)) {
        d->fail(QStringLiteral("AddLookupField: a field named '%1' exists").arg(name));
        return nullptr;
    }
    if (!checkFieldDef(def, err) || !lookupDataSet
        || splitNames(keyFields).size() != splitNames(lookupKeyFields).size() || splitNames(keyFields).isEmpty()) {
        d->fail(QStringLiteral("AddLookupField '%1': %2").arg(name, err.isEmpty() ? QStringLiteral("needs a lookup data set and as many key fields on both sides") : err));
        return nullptr;
    }
    if (d->store)
        d->beginReset();
    auto* f = new TField(this, def, fkLookup);
    f->m_keyFields = keyFields;
    f->m_lookupDs = lookupDataSet;
    f->m_lookupKeyFields = lookupKeyFields;
    f->m_lookupResult = lookupResultField;
    d->fields.emplace_back(f);
    d->reindex();
    if (d->store)
        d->endReset();
    return f;
}

void TPClientDataSet::SetOnCalcFields(std::function<void(TPClientDataSet&)> onCalcFields)
{
    d->onCalc = std::move(onCalcFields);
    RefreshCalcFields();
}

void TPClientDataSet::RefreshCalcFields()
{
    std::fill(d->calcFresh.begin(), d->calcFresh.end(), 0);
    if (!d->store)
        return;
    d->beginReset();
    if (d->program.usesCalculated()) {
        d->refilterAll();
        d->clampCursor();
    }
    d->endReset();
}

// --- editing -----------------------------------------------------------------------------

void TPClientDataSet::Append()
{
    d->insertRecord(true);
}

void TPClientDataSet::Insert()
{
    d->insertRecord(false);
}

void TPClientDataSet::Edit()
{
    if (!d->store) {
        d->fail(QStringLiteral("Edit: the data set is closed"));
        return;
    }
    if (d->editing())
        return;
    if (d->view().empty()) {
        Append();
        return;
    }
    if (d->scratch == kNoRow)
        d->scratch = d->newPhysRow();
    d->store->copyRow(d->curPhys(), d->scratch, d->dataCount());
    d->modified = false;
    d->setState(dsEdit);
}

bool TPClientDataSet::Post()
{
    if (!d->editing())
        return d->fail(QStringLiteral("Post: the data set is not in Edit or Insert state"));
    const quint32 row = d->curPhys();
    if (d->state == dsInsert) {
        d->log.push_back(Change{ukInsert, row, kNoRow, true});
        d->logIndex[row] = quint32(d->log.size() - 1);
        ++d->liveChanges;
    } else if (d->modified) {
        d->ensureBase();
        const auto it = d->logIndex.find(row);
        if (it == d->logIndex.end()) {
            // The first change of a loaded row: its values before the edit are the originals.
            if (!d->store->rowsEqual(row, d->scratch, d->dataCount())) {
                d->log.push_back(Change{ukModify, row, d->scratch, true});
                d->logIndex[row] = quint32(d->log.size() - 1);
                ++d->liveChanges;
                d->scratch = kNoRow;
            }
        } else {
            // Edited back to every original value: no longer a change.
            Change& c = d->log[it->second];
            if (c.kind == ukModify && d->store->rowsEqual(row, c.orig, d->dataCount())) {
                c.live = false;
                --d->liveChanges;
                d->logIndex.erase(it);
            }
        }
    }
    d->modified = false;
    d->setState(dsBrowse);
    if (d->filterOn() && !d->matches(row)) {
        d->removeAt(d->cur, false);
        d->clampCursor();
        d->cursorMoved();
    } else {
        d->rowChangedAt(d->cur);
    }
    return true;
}

void TPClientDataSet::Cancel()
{
    if (d->state == dsEdit) {
        const quint32 row = d->curPhys();
        d->store->copyRow(d->scratch, row, d->dataCount());
        d->markCalcStale(row);
        d->modified = false;
        d->setState(dsBrowse);
        d->rowChangedAt(d->cur);
    } else if (d->state == dsInsert) {
        d->removeAt(d->cur, true);
        d->modified = false;
        d->setState(dsBrowse);
        d->clampCursor();
        d->cursorMoved();
    }
}

void TPClientDataSet::Delete()
{
    if (!d->store) {
        d->fail(QStringLiteral("Delete: the data set is closed"));
        return;
    }
    if (d->state == dsInsert) {
        Cancel();
        return;
    }
    if (d->state == dsEdit)
        Cancel();
    if (d->view().empty()) {
        d->fail(QStringLiteral("Delete: the data set is empty"));
        return;
    }
    const quint32 row = d->curPhys();
    d->ensureBase();
    const auto it = d->logIndex.find(row);
    if (it == d->logIndex.end()) {
        d->log.push_back(Change{ukDelete, row, row, true});
        ++d->liveChanges;
    } else {
        Change& c = d->log[it->second];
        d->logIndex.erase(it);
        if (c.kind == ukInsert) {
            c.live = false;   // never reached the service: nothing to send
            --d->liveChanges;
        } else {
            c.kind = ukDelete;   // keeps the first original values
        }
    }
    d->removeAt(d->cur, true);
    const int n = int(d->view().size());
    if (d->cur >= n) {
        d->cur = n - 1;
        d->eof = true;
    }
    if (n == 0)
        d->bof = true;
    d->cursorMoved();
}

TUpdateStatus TPClientDataSet::UpdateStatus() const
{
    const auto it = d->logIndex.find(d->curPhys());
    if (it == d->logIndex.end())
        return usUnmodified;
    return d->log[it->second].kind == ukInsert ? usInserted : usModified;
}

void TPClientDataSet::DisableControls()
{
    ++d->disableCount;
}

void TPClientDataSet::EnableControls()
{
    if (d->disableCount == 0 || --d->disableCount > 0)
        return;
    if (d->pendingReset) {
        emit aboutToReset();
        emit reset();
    } else if (d->pendingCursor) {
        emit currentRowChanged(d->cur);
    }
    if (d->pendingState)
        emit stateChanged(d->state);
    d->pendingReset = d->pendingCursor = d->pendingState = false;
}

bool TPClientDataSet::ControlsDisabled() const
{
    return d->disableCount > 0;
}

// --- change log --------------------------------------------------------------------------

int TPClientDataSet::ChangeCount() const
{
    return d->liveChanges;
}

void TPClientDataSet::CancelUpdates()
{
    if (!d->store)
        return;
    if (d->editing())
        Cancel();
    if (!d->baseValid)
        return;
    d->beginReset();
    const int n = d->dataCount();
    for (const Change& c : d->log) {
        if (!c.live || c.kind == ukInsert)
            continue;
        if (c.orig != c.row)
            d->store->copyRow(c.orig, c.row, n);
        d->markCalcStale(c.row);
    }
    d->rows = d->baseRows;
    d->resetLog();
    d->refilterAll();
    d->clampCursor();
    d->endReset();
}

void TPClientDataSet::MergeChangeLog()
{
    if (d->editing() && !Post())
        return;
    d->resetLog();
}

void TPClientDataSet::EmptyDataSet()
{
    if (!d->store)
        return;
    if (d->editing())
        Cancel();
    Table t;
    t.init(d->dataDefs);
    d->beginReset();
    d->install(d->dataDefs, std::move(t), 0);
    d->endReset();
}

// --- filter ------------------------------------------------------------------------------

QString TPClientDataSet::Filter() const
{
    return d->filterText;
}

bool TPClientDataSet::SetFilter(const QString& filter)
{
    FilterAst ast;
    FilterProgram program;
    QString err;
    if (!parseFilter(filter, ast, err) || (d->store && !d->bindProgram(ast, d->filterOptions, program, err)))
        return d->fail(QStringLiteral("Filter \"%1\": %2").arg(filter, err));
    if (d->editing() && !Post())
        return false;
    const bool refresh = d->store && (d->filtered || d->filterBroken);
    if (refresh)
        d->beginReset();
    d->filterText = filter;
    d->filterAst = std::move(ast);
    d->program = std::move(program);
    d->filterBroken = false;
    if (refresh) {
        d->refilterAll();
        d->toFirst();
        d->endReset();
    }
    return true;
}

bool TPClientDataSet::Filtered() const
{
    return d->filtered;
}

void TPClientDataSet::SetFiltered(bool filtered)
{
    if (d->filtered == filtered || (d->editing() && !Post()))
        return;
    if (d->store)
        d->beginReset();
    d->filtered = filtered;
    if (d->store) {
        d->refilterAll();
        d->toFirst();
        d->endReset();
    }
}

TFilterOptions TPClientDataSet::FilterOptions() const
{
    return d->filterOptions;
}

bool TPClientDataSet::SetFilterOptions(TFilterOptions options)
{
    FilterProgram program;
    QString err;
    if (d->store && !d->bindProgram(d->filterAst, options, program, err))
        return d->fail(QStringLiteral("Filter \"%1\": %2").arg(d->filterText, err));
    d->filterOptions = options;
    if (!d->store)
        return true;
    d->beginReset();
    d->program = std::move(program);
    d->refilterAll();
    d->toFirst();
    d->endReset();
    return true;
}

// --- views -------------------------------------------------------------------------------

QString TPClientDataSet::DisplayTextAt(int recIndex, const TField* field) const
{
    if (recIndex < 0 || recIndex >= RecordCount())
        return QString();
    quint32 r = 0;
    const Column* c = d->cellOf(field, d->view()[size_t(recIndex)], r);
    return c ? cellString(*c, r) : QString();
}

QVariant TPClientDataSet::ValueAt(int recIndex, const TField* field) const
{
    if (recIndex < 0 || recIndex >= RecordCount())
        return QVariant();
    quint32 r = 0;
    const Column* c = d->cellOf(field, d->view()[size_t(recIndex)], r);
    return c ? cellVariant(*c, r) : QVariant();
}

bool TPClientDataSet::IsNullAt(int recIndex, const TField* field) const
{
    if (recIndex < 0 || recIndex >= RecordCount())
        return true;
    quint32 r = 0;
    const Column* c = d->cellOf(field, d->view()[size_t(recIndex)], r);
    return !c || c->isNull(r);
}

QString TPClientDataSet::LastError() const
{
    return d->lastError;
}

size_t TPClientDataSet::MemoryUsage() const
{
    size_t n = d->store ? d->store->memoryUsage() : 0;
    n += (d->rows.capacity() + d->baseRows.capacity() + d->visible.capacity()) * sizeof(quint32);
    n += d->log.capacity() * sizeof(Change) + d->logIndex.size() * 32 + d->calcFresh.capacity() * 8;
    return n;
}
