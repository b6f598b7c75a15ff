// TPClientDataSet: life, cursor, Locate and Lookup, fields, notifications, filter, views.

#include "DataSetImpl.h"

#include "CdsCells.h"

#include <QSet>

#include <algorithm>

using namespace kxcds;

QString KxQuote(const QString& value)
{
    QString q = value;
    q.replace(u'\'', QStringLiteral("''"));
    return u'\'' + q + u'\'';
}

TPClientDataSet::TPClientDataSet(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this))
{
    d->inertField.reset(new TField(this, TFieldDef{}, fkData));
}

TPClientDataSet::~TPClientDataSet() = default;

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

int TPClientDataSet::UnfilteredCount() const
{
    return d->store ? int(d->rows.size()) : 0;
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

// --- notifications -----------------------------------------------------------------------

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
