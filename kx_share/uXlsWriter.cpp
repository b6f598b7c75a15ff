#include "uXlsWriter.h"

#include <QHash>
#include <QSaveFile>
#include <QtEndian>

namespace {

class Bytes {
public:
    QByteArray b;
    void u8(quint8 v) { b.append(char(v)); }
    void u16(quint16 v)
    {
        char c[2];
        qToLittleEndian(v, c);
        b.append(c, 2);
    }
    void u32(quint32 v)
    {
        char c[4];
        qToLittleEndian(v, c);
        b.append(c, 4);
    }
    void f64(double v)
    {
        char c[8];
        qToLittleEndian(v, c);
        b.append(c, 8);
    }
    void utf16(const QString& s)
    {
        for (QChar ch : s)
            u16(ch.unicode());
    }
};

void record(QByteArray& out, quint16 id, const QByteArray& body)
{
    Bytes r;
    r.u16(id);
    r.u16(quint16(body.size()));
    out += r.b + body;
}

constexpr int kMaxRecordBody = 8224;
constexpr quint16 kCellXf = 15, kAmountXf = 16;

QByteArray bof(quint16 type)
{
    Bytes b;
    b.u16(0x0600);
    b.u16(type);
    b.u16(0x0DBB);
    b.u16(0x07CC);
    b.u32(0);
    b.u32(6);
    return b.b;
}

QByteArray xf(bool style, quint16 format)
{
    Bytes b;
    b.u16(0);                                        // font
    b.u16(format);                                   // number format
    b.u16(style ? 0xFFF5 : 0x0001);                  // style XF / locked cell XF, parent 0
    b.u8(0x20);                                      // bottom aligned
    b.u8(0);
    b.u8(0);
    b.u8(style ? 0xF4 : (format ? 0x04 : 0x00));     // attributes this XF sets
    b.u32(0);
    b.u32(0);
    b.u16(0x20C0);                                   // default pattern colours
    return b.b;
}

// The shared string table, split into CONTINUE records where it outgrows one record. A
// string's header never splits; its characters may, and the continuation repeats the flags.
void sst(QByteArray& out, const QStringList& strings, quint32 total)
{
    QList<QByteArray> bodies{QByteArray()};
    Bytes head;
    head.u32(total);
    head.u32(quint32(strings.size()));
    bodies.last() = head.b;
    for (const QString& s : strings) {
        if (bodies.last().size() + 3 + 2 > kMaxRecordBody)
            bodies.append(QByteArray());
        Bytes h;
        h.u16(quint16(s.size()));
        h.u8(0x01); // UTF-16LE
        bodies.last() += h.b;
        qsizetype at = 0;
        while (at < s.size()) {
            const qsizetype room = (kMaxRecordBody - bodies.last().size()) / 2;
            if (room <= 0) {
                bodies.append(QByteArray(1, '\x01'));
                continue;
            }
            const qsizetype n = qMin(room, s.size() - at);
            Bytes chars;
            chars.utf16(s.mid(at, n));
            bodies.last() += chars.b;
            at += n;
        }
    }
    record(out, 0x00FC, bodies[0]);
    for (int i = 1; i < bodies.size(); ++i)
        record(out, 0x003C, bodies[i]);
}

QByteArray shortName(const QString& name, bool unicode)
{
    Bytes b;
    b.u8(quint8(name.size()));
    b.u8(unicode ? 1 : 0);
    if (unicode)
        b.utf16(name);
    else
        b.b += name.toLatin1();
    return b.b;
}

// --- compound file -------------------------------------------------------------------------

constexpr quint32 kFree = 0xFFFFFFFF, kEndOfChain = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD, kDifSect = 0xFFFFFFFC;

QByteArray compoundFile(QByteArray stream)
{
    // Streams under 4096 bytes would belong in the mini stream; padding keeps one layout.
    if (stream.size() < 4096)
        stream.append(QByteArray(4096 - stream.size(), '\0'));
    const quint32 size = quint32(stream.size());
    const quint32 n = (size + 511) / 512;
    stream.append(QByteArray(n * 512 - size, '\0'));
    quint32 fat = 1, difat = 0;
    for (;;) {
        difat = fat > 109 ? (fat - 109 + 126) / 127 : 0;
        if (n + fat + difat + 1 <= fat * 128)
            break;
        ++fat;
    }
    const quint32 firstFat = n, firstDifat = n + fat, dirSector = n + fat + difat;

    QList<quint32> table(fat * 128, kFree);
    for (quint32 i = 0; i < n; ++i)
        table[i] = i + 1 < n ? i + 1 : kEndOfChain;
    for (quint32 i = 0; i < fat; ++i)
        table[firstFat + i] = kFatSect;
    for (quint32 i = 0; i < difat; ++i)
        table[firstDifat + i] = kDifSect;
    table[dirSector] = kEndOfChain;

    Bytes h;
    h.b += QByteArray::fromHex("D0CF11E0A1B11AE1");
    h.b += QByteArray(16, '\0');
    h.u16(0x003E);
    h.u16(0x0003);
    h.u16(0xFFFE);
    h.u16(9);
    h.u16(6);
    h.b += QByteArray(6, '\0');
    h.u32(0);
    h.u32(fat);
    h.u32(dirSector);
    h.u32(0);
    h.u32(4096);
    h.u32(kEndOfChain);
    h.u32(0);
    h.u32(difat ? firstDifat : kEndOfChain);
    h.u32(difat);
    for (quint32 i = 0; i < 109; ++i)
        h.u32(i < fat ? firstFat + i : kFree);

    Bytes body;
    body.b = stream;
    for (quint32 v : table)
        body.u32(v);
    for (quint32 d = 0; d < difat; ++d) {
        for (quint32 i = 0; i < 127; ++i) {
            const quint32 k = 109 + d * 127 + i;
            body.u32(k < fat ? firstFat + k : kFree);
        }
        body.u32(d + 1 < difat ? firstDifat + d + 1 : kEndOfChain);
    }
    auto entry = [&body](const QString& name, quint8 type, quint32 child, quint32 start, quint32 length) {
        Bytes e;
        e.utf16(name);
        e.b.append(QByteArray(64 - e.b.size(), '\0'));
        e.u16(quint16(name.isEmpty() ? 0 : (name.size() + 1) * 2));
        e.u8(type);
        e.u8(1); // black
        e.u32(kFree);
        e.u32(kFree);
        e.u32(child);
        e.b += QByteArray(16 + 4 + 16, '\0');
        e.u32(start);
        e.u32(length);
        e.u32(0);
        body.b += e.b;
    };
    entry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    entry(QStringLiteral("Workbook"), 2, kFree, 0, size);
    entry(QString(), 0, kFree, 0, 0);
    entry(QString(), 0, kFree, 0, 0);
    return h.b + body.b;
}

} // namespace

QByteArray TXlsWriter::workbookStream() const
{
    // Shared strings: captions and texts, each stored once.
    QStringList strings;
    QHash<QString, quint32> index;
    quint32 total = 0;
    auto sstIndex = [&](const QString& s) {
        ++total;
        auto it = index.constFind(s);
        if (it != index.cend())
            return *it;
        strings << s;
        return index[s] = quint32(strings.size() - 1);
    };
    const int sheets = qMax(1, int((m_rows.size() + MaxRowsPerSheet - 1) / MaxRowsPerSheet));
    QList<QByteArray> sheetBodies;
    const quint16 cols = quint16(qMin<qsizetype>(m_columns.size(), 256));
    for (int s = 0; s < sheets; ++s) {
        QByteArray sh;
        const int first = s * MaxRowsPerSheet;
        const int count = int(qMin<qsizetype>(MaxRowsPerSheet, m_rows.size() - first));
        Bytes dim;
        dim.u32(0);
        dim.u32(quint32(count + 1));
        dim.u16(0);
        dim.u16(cols);
        dim.u16(0);
        record(sh, 0x0200, dim.b);
        for (quint16 c = 0; c < cols; ++c) {
            Bytes ci;
            ci.u16(c);
            ci.u16(c);
            ci.u16(quint16(qBound(8, m_columns[c].WidthPx, 1000) * 256 / 7));
            ci.u16(kCellXf);
            ci.u16(0);
            ci.u16(0);
            record(sh, 0x007D, ci.b);
        }
        auto label = [&](quint16 row, quint16 col, const QString& text) {
            Bytes r;
            r.u16(row);
            r.u16(col);
            r.u16(kCellXf);
            r.u32(sstIndex(text));
            record(sh, 0x00FD, r.b);
        };
        for (quint16 c = 0; c < cols; ++c)
            label(0, c, m_columns[c].Caption);
        for (int i = 0; i < count; ++i) {
            const QList<QVariant>& row = m_rows[first + i];
            const quint16 r = quint16(i + 1);
            for (quint16 c = 0; c < cols && c < row.size(); ++c) {
                const QVariant& v = row[c];
                if (!v.isValid())
                    continue;
                Bytes cell;
                cell.u16(r);
                cell.u16(c);
                switch (v.typeId()) {
                case QMetaType::Bool:
                    cell.u16(kCellXf);
                    cell.u8(v.toBool() ? 1 : 0);
                    cell.u8(0);
                    record(sh, 0x0205, cell.b);
                    break;
                case QMetaType::Double:
                case QMetaType::Int:
                case QMetaType::LongLong:
                    cell.u16(m_columns[c].Amount ? kAmountXf : kCellXf);
                    cell.f64(v.toDouble());
                    record(sh, 0x0203, cell.b);
                    break;
                default:
                    label(r, c, v.toString());
                }
            }
        }
        Bytes w2;
        w2.u16(0x06B6);
        w2.u16(0);
        w2.u16(0);
        w2.u32(64);
        w2.u16(0);
        w2.u16(0);
        w2.u32(0);
        record(sh, 0x023E, w2.b);
        record(sh, 0x000A, {});
        sheetBodies << sh;
    }

    QByteArray globals;
    record(globals, 0x0809, bof(0x0005));
    Bytes cp;
    cp.u16(1200); // UTF-16
    record(globals, 0x0042, cp.b);
    Bytes w1;
    w1.u16(0), w1.u16(0), w1.u16(0x4000), w1.u16(0x2000), w1.u16(0x0038), w1.u16(0), w1.u16(0), w1.u16(1), w1.u16(0x0258);
    record(globals, 0x003D, w1.b);
    for (int i = 0; i < 4; ++i) {
        Bytes f;
        f.u16(220), f.u16(0), f.u16(0x7FFF), f.u16(400), f.u16(0), f.u8(0), f.u8(0), f.u8(0x86), f.u8(0);
        f.b += shortName(QStringLiteral("宋体"), true);
        record(globals, 0x0031, f.b);
    }
    for (int i = 0; i < 15; ++i)
        record(globals, 0x00E0, xf(true, 0));
    record(globals, 0x00E0, xf(false, 0));
    record(globals, 0x00E0, xf(false, 2)); // built-in format 2 is "0.00"
    Bytes style;
    style.u16(0x8000), style.u8(0), style.u8(0xFF);
    record(globals, 0x0293, style.b);

    // Sheet positions are known once the sheet records and the strings are laid out.
    QList<QByteArray> boundSheets;
    for (int s = 0; s < sheets; ++s)
        boundSheets << shortName(QStringLiteral("Sheet%1").arg(s + 1), false);
    QByteArray tail;
    sst(tail, strings, total);
    record(tail, 0x000A, {});
    qsizetype pos = globals.size() + tail.size();
    for (const QByteArray& b : boundSheets)
        pos += 4 + 6 + b.size();
    QByteArray out = globals;
    for (int s = 0; s < sheets; ++s) {
        Bytes bs;
        bs.u32(quint32(pos));
        bs.u16(0);
        bs.b += boundSheets[s];
        record(out, 0x0085, bs.b);
        pos += 4 + 16 + sheetBodies[s].size();
    }
    out += tail;
    for (const QByteArray& sh : sheetBodies) {
        record(out, 0x0809, bof(0x0010));
        out += sh;
    }
    return out;
}

QByteArray TXlsWriter::Build() const
{
    return compoundFile(workbookStream());
}

bool TXlsWriter::Save(const QString& fileName, QString* error) const
{
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly) || f.write(Build()) < 0 || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}
