// Editing records and the change log it fills: inserts, updates with their original values,
// deletes; cancelling and merging them, and a saved log read back.

#include "DataSetImpl.h"

#include <algorithm>

using namespace kxcds;

// --- the implementation's share ------------------------------------------------------------

void TPClientDataSet::Impl::insertRecord(bool atEnd)
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

void TPClientDataSet::Impl::removeAt(int pos, bool fromRows)
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

bool TPClientDataSet::Impl::buildLog(const Packet& p, std::vector<Change>& outLog, std::vector<quint32>& outBase, QString& err) const
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

// --- change log --------------------------------------------------------------------------

bool TPClientDataSet::GetEmptyDelta() const
{
    return d->liveChanges == 0;
}

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
