// The data set's XML both ways: data packets and pages loaded, deltas and whole saved data
// sets written.

#include "DataSetImpl.h"

#include <QFile>
#include <QIODevice>

#include <unordered_map>

using namespace kxcds;

namespace {

std::vector<std::string> utf8Names(const std::vector<TFieldDef>& defs)
{
    std::vector<std::string> names;
    names.reserve(defs.size());
    for (const auto& d : defs)
        names.push_back(d.Name.toStdString());
    return names;
}

} // namespace

// --- reading -------------------------------------------------------------------------------

bool TPClientDataSet::Impl::loadPacket(char* buf, size_t len, bool withChanges)
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

bool TPClientDataSet::Impl::appendPacket(char* buf, size_t len)
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

bool TPClientDataSet::LoadFromStream(QIODevice* device)
{
    if (!device || !device->isReadable())
        return d->fail(QStringLiteral("LoadFromStream: the stream is not open for reading"));
    QByteArray data = device->readAll();
    return d->loadPacket(data.data(), size_t(data.size()), true);
}

bool TPClientDataSet::LoadFromFile(const QString& fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return d->fail(QStringLiteral("Cannot read %1: %2").arg(fileName, f.errorString()));
    return LoadFromStream(&f);
}

// --- writing -------------------------------------------------------------------------------

std::string TPClientDataSet::Impl::deltaXml() const
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

std::string TPClientDataSet::Impl::dataXml() const
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

bool TPClientDataSet::SaveToStream(QIODevice* device) const
{
    if (!device || !device->isWritable())
        return d->fail(QStringLiteral("SaveToStream: the stream is not open for writing"));
    const QByteArray data = XMLDataUtf8();
    if (device->write(data) != data.size())
        return d->fail(QStringLiteral("SaveToStream: writing failed: %1").arg(device->errorString()));
    return true;
}

bool TPClientDataSet::SaveToFile(const QString& fileName) const
{
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return d->fail(QStringLiteral("Cannot write %1: %2").arg(fileName, f.errorString()));
    return SaveToStream(&f);
}
