// The data set's inside: fields, cells of calculated and lookup fields, Locate, the filter
// and the structure.

#include "DataSetImpl.h"

#include "CdsCells.h"

#include <QSet>

#include <algorithm>
#include <numeric>

using namespace kxcds;

namespace {
thread_local int lookupDepth = 0;   // lookups through lookup fields, against cycles
}

QStringList kxcds::splitNames(const QString& names)
{
    QStringList out;
    for (const QString& n : names.split(u';', Qt::SkipEmptyParts)) {
        const QString t = n.trimmed();
        if (!t.isEmpty())
            out << t;
    }
    return out;
}

// --- fields --------------------------------------------------------------------------------

void TPClientDataSet::Impl::reindex()
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

void TPClientDataSet::Impl::rebuildFields()
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

void TPClientDataSet::Impl::addCalcColumns()
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

void TPClientDataSet::Impl::ensureCalc(quint32 row)
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

const Column* TPClientDataSet::Impl::derivedCellOf(const TField* f, quint32 phys, quint32& row)
{
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

int TPClientDataSet::Impl::findRow(const QStringList& names, const QVariantList& values, TLocateOptions opts, QString* why)
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

// --- filter and cursor ---------------------------------------------------------------------

FilterField TPClientDataSet::Impl::resolveFilterField(const QString& name) const
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

bool TPClientDataSet::Impl::bindProgram(const FilterAst& ast, TFilterOptions opts, FilterProgram& out, QString& err) const
{
    return out.bind(ast, [this](const QString& n) { return resolveFilterField(n); }, opts, err);
}

void TPClientDataSet::Impl::rebindFilter()
{
    filterBroken = false;
    program = FilterProgram();
    QString err;
    if (filterAst.root >= 0 && !bindProgram(filterAst, filterOptions, program, err)) {
        filterBroken = true;
        fail(QStringLiteral("Filter \"%1\" no longer fits the data set, no record shows: %2").arg(filterText, err));
    }
}

bool TPClientDataSet::Impl::matches(quint32 row)
{
    if (filterBroken)
        return false;
    if (program.usesCalculated())
        ensureCalc(row);
    return program.match(*store, row);
}

void TPClientDataSet::Impl::refilterAll()
{
    visible.clear();
    if (!filterOn())
        return;
    for (quint32 r : rows)
        if (matches(r))
            visible.push_back(r);
}

void TPClientDataSet::Impl::clampCursor()
{
    const int n = int(view().size());
    if (n == 0) {
        cur = -1;
        bof = eof = true;
    } else if (cur >= n || cur < 0) {
        cur = cur < 0 ? 0 : n - 1;
    }
}

// --- structure ---------------------------------------------------------------------------

void TPClientDataSet::Impl::install(std::vector<TFieldDef> defs, Table&& table, quint32 rowCount)
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
