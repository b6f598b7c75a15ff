#include "uPanelStream.h"

#include <QtEndian>

namespace {

constexpr char kSignature[4] = {'K', 'X', 'C', '1'};
constexpr quint8 kEnd = 0;
constexpr int kMaxDepth = 32; // nested panels deeper than this are damaged streams

enum ValueTag : quint8 { tagInt = 1, tagBool = 2, tagDouble = 3, tagString = 4, tagStrings = 5, tagBytes = 6 };

class Writer {
public:
    QByteArray out;

    void u8(quint8 v) { out.append(char(v)); }
    void u32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    }
    void bytes(const QByteArray& b)
    {
        u32(quint32(b.size()));
        out.append(b);
    }
    void str(const QString& s) { bytes(s.toUtf8()); }

    void record(const TKxComponentRecord& r)
    {
        out.append(kSignature, 4);
        str(r.ClassName);
        str(r.Name);
        for (const auto& [name, value] : r.Properties)
            property(name, value);
        u8(kEnd);
        for (const auto& child : r.Children)
            record(child);
        u8(kEnd);
    }

    void property(const QString& name, const QVariant& value)
    {
        Writer payload;
        quint8 tag;
        switch (value.typeId()) {
        case QMetaType::Bool:
            tag = tagBool;
            payload.u8(value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
            tag = tagInt;
            payload.out.resize(8);
            qToLittleEndian(value.toLongLong(), payload.out.data());
            break;
        case QMetaType::Double:
            tag = tagDouble;
            payload.out.resize(8);
            qToLittleEndian(value.toDouble(), payload.out.data());
            break;
        case QMetaType::QStringList: {
            tag = tagStrings;
            const QStringList list = value.toStringList();
            payload.u32(quint32(list.size()));
            for (const QString& s : list)
                payload.str(s);
            break;
        }
        case QMetaType::QByteArray:
            tag = tagBytes;
            payload.out = value.toByteArray();
            break;
        default:
            tag = tagString;
            payload.out = value.toString().toUtf8();
            break;
        }
        u8(tag);
        str(name);
        bytes(payload.out);
    }
};

class Reader {
public:
    explicit Reader(const QByteArray& b) : m_b(b) {}
    QString error;

    bool atEnd() const { return m_pos >= m_b.size(); }

    bool u8(quint8* v)
    {
        if (m_pos + 1 > m_b.size())
            return fail(QStringLiteral("数据在第 %1 字节处意外结束").arg(m_pos));
        *v = quint8(m_b[m_pos++]);
        return true;
    }
    bool u32(quint32* v)
    {
        if (m_pos + 4 > m_b.size())
            return fail(QStringLiteral("数据在第 %1 字节处意外结束").arg(m_pos));
        *v = qFromLittleEndian<quint32>(m_b.constData() + m_pos);
        m_pos += 4;
        return true;
    }
    bool bytes(QByteArray* out)
    {
        quint32 n;
        if (!u32(&n))
            return false;
        // The length is checked against what is left before anything is allocated.
        if (n > quint32(m_b.size() - m_pos))
            return fail(QStringLiteral("第 %1 字节处的长度 %2 超出数据").arg(m_pos - 4).arg(n));
        *out = m_b.mid(m_pos, n);
        m_pos += n;
        return true;
    }
    bool str(QString* out)
    {
        QByteArray b;
        if (!bytes(&b))
            return false;
        *out = QString::fromUtf8(b);
        return true;
    }
    bool peekEnd()
    {
        if (m_pos < m_b.size() && quint8(m_b[m_pos]) == kEnd) {
            ++m_pos;
            return true;
        }
        return false;
    }

    // Records up to and including an end marker.
    bool list(QList<TKxComponentRecord>* out, int depth)
    {
        if (depth > kMaxDepth)
            return fail(QStringLiteral("控件嵌套超过 %1 层").arg(kMaxDepth));
        while (!peekEnd()) {
            TKxComponentRecord r;
            if (!record(&r, depth))
                return false;
            out->append(std::move(r));
        }
        return true;
    }

    bool record(TKxComponentRecord* r, int depth)
    {
        if (m_pos + 4 > m_b.size() || memcmp(m_b.constData() + m_pos, kSignature, 4) != 0)
            return fail(QStringLiteral("第 %1 字节处不是控件记录的开头").arg(m_pos));
        m_pos += 4;
        if (!str(&r->ClassName) || !str(&r->Name))
            return false;
        if (r->ClassName.isEmpty())
            return fail(QStringLiteral("第 %1 字节处的控件没有类名").arg(m_pos));
        while (!peekEnd()) {
            quint8 tag;
            QString name;
            QByteArray payload;
            if (!u8(&tag) || !str(&name) || !bytes(&payload))
                return false;
            QVariant value;
            if (!decode(tag, payload, &value))
                return false;
            if (value.isValid())
                r->Properties.append({name, value});
        }
        return list(&r->Children, depth + 1);
    }

private:
    bool decode(quint8 tag, const QByteArray& p, QVariant* value)
    {
        switch (tag) {
        case tagBool:
            if (p.size() != 1)
                return fail(QStringLiteral("逻辑值长度错误"));
            *value = p[0] != 0;
            return true;
        case tagInt:
            if (p.size() != 8)
                return fail(QStringLiteral("整数长度错误"));
            {
                const qint64 v = qFromLittleEndian<qint64>(p.constData());
                *value = (v >= INT_MIN && v <= INT_MAX) ? QVariant(int(v)) : QVariant(v);
            }
            return true;
        case tagDouble:
            if (p.size() != 8)
                return fail(QStringLiteral("浮点数长度错误"));
            *value = qFromLittleEndian<double>(p.constData());
            return true;
        case tagString:
            *value = QString::fromUtf8(p);
            return true;
        case tagBytes:
            *value = p;
            return true;
        case tagStrings: {
            Reader inner(p);
            quint32 n;
            if (!inner.u32(&n))
                return fail(inner.error);
            if (n > quint32(p.size()) / 4)
                return fail(QStringLiteral("字符串列表长度错误"));
            QStringList list;
            for (quint32 i = 0; i < n; ++i) {
                QString s;
                if (!inner.str(&s))
                    return fail(inner.error);
                list << s;
            }
            *value = list;
            return true;
        }
        default:
            return true; // a value type of a later writer: its length lets it be skipped
        }
    }

    bool fail(const QString& message)
    {
        if (error.isEmpty())
            error = message;
        return false;
    }

    const QByteArray& m_b;
    qsizetype m_pos = 0;
};

} // namespace

QVariant TKxComponentRecord::Property(const QString& name) const
{
    for (const auto& p : Properties)
        if (p.first == name)
            return p.second;
    return {};
}

void TKxComponentRecord::SetProperty(const QString& name, const QVariant& value)
{
    for (auto& p : Properties)
        if (p.first == name) {
            p.second = value;
            return;
        }
    Properties.append({name, value});
}

QByteArray KxWriteComponents(const QList<TKxComponentRecord>& records)
{
    Writer w;
    for (const auto& r : records)
        w.record(r);
    w.u8(kEnd);
    return w.out;
}

bool KxReadComponents(const QByteArray& bytes, QList<TKxComponentRecord>* out, QString* error)
{
    Reader r(bytes);
    QList<TKxComponentRecord> records;
    bool ok = r.list(&records, 0);
    if (ok && !r.atEnd()) {
        ok = false;
        r.error = QStringLiteral("结束标记之后还有多余的数据");
    }
    if (!ok) {
        out->clear();
        if (error)
            *error = QStringLiteral("面板数据已损坏：") + r.error;
        return false;
    }
    *out = std::move(records);
    return true;
}

const QStringList& KxDesignClassNames()
{
    static const QStringList names = {
        QStringLiteral("TPEdit"),      QStringLiteral("TPButtonEdit"),  QStringLiteral("TPCheckBox"),
        QStringLiteral("TPDateEdit"),  QStringLiteral("TPTimeEdit"),    QStringLiteral("TPComboBox"),
        QStringLiteral("TPCheckListBox"), QStringLiteral("TPRadioGroup"), QStringLiteral("TPLabel"),
        QStringLiteral("TPBevel"),     QStringLiteral("TPPanel"),       QStringLiteral("TPImage"),
        QStringLiteral("TPGroupBox"),
    };
    return names;
}
