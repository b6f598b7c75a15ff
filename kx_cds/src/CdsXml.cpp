#include "CdsXml.h"

#include "CdsWire.h"

#include <pugixml.hpp>

#include <QHash>
#include <QSet>

#include <charconv>
#include <cstring>
#include <unordered_map>

namespace kxcds {

// ---------------------------------------------------------------------------------------
// Table

void Table::init(const std::vector<TFieldDef>& defs)
{
    cols.assign(defs.size(), Column());
    for (size_t i = 0; i < defs.size(); ++i)
        cols[i].init(defs[i].DataType, defs[i].Scale);
    rows = 0;
}

quint32 Table::addRow()
{
    const quint32 r = rows++;
    for (auto& c : cols)
        c.resize(rows);
    return r;
}

void Table::copyRow(quint32 from, quint32 to, int nCols)
{
    for (int i = 0; i < nCols; ++i)
        cols[size_t(i)].copyCell(from, to);
}

bool Table::rowsEqual(quint32 a, quint32 b, int nCols) const
{
    for (int i = 0; i < nCols; ++i)
        if (!cols[size_t(i)].cellEquals(a, b))
            return false;
    return true;
}

size_t Table::memoryUsage() const
{
    size_t n = sizeof(Table) + cols.capacity() * sizeof(Column);
    for (const auto& c : cols)
        n += c.memoryUsage() - sizeof(Column);
    return n;
}

// ---------------------------------------------------------------------------------------
// Field definitions

static bool isNameStart(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

static bool isNameChar(unsigned char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool checkFieldDef(const TFieldDef& d, QString& err)
{
    const QByteArray name = d.Name.toUtf8();
    bool ok = !name.isEmpty() && isNameStart(uchar(name[0]));
    for (qsizetype i = 1; ok && i < name.size(); ++i)
        ok = isNameChar(uchar(name[i]));
    if (!ok) {
        err = QStringLiteral("'%1' is not a valid field name").arg(d.Name);
        return false;
    }
    if (d.DataType == ftUnknown || d.DataType > ftDateTime) {
        err = QStringLiteral("field '%1' has no known type").arg(d.Name);
        return false;
    }
    if (d.Size < 0) {
        err = QStringLiteral("field '%1' has a negative size").arg(d.Name);
        return false;
    }
    if (d.DataType == ftDecimal
        && (d.Precision < 0 || d.Precision > TDecimal::MaxScale || d.Scale < 0 || d.Scale > precisionOf(d))) {
        err = QStringLiteral("decimal field '%1' has precision %2 and scale %3 (at most 18 digits, scale within precision)")
                  .arg(d.Name)
                  .arg(d.Precision)
                  .arg(d.Scale);
        return false;
    }
    if (d.DataType != ftDecimal && d.Scale != 0) {
        err = QStringLiteral("field '%1' is not a decimal but has a scale").arg(d.Name);
        return false;
    }
    return true;
}

namespace {

bool readIntAttr(const pugi::xml_node& n, const char* name, int& out)
{
    const pugi::xml_attribute a = n.attribute(name);
    if (!a)
        return true;
    const char* v = a.value();
    const char* end = v + std::strlen(v);
    const auto res = std::from_chars(v, end, out);
    return res.ec == std::errc() && res.ptr == end && out >= 0;
}

bool readFields(const pugi::xml_node& fields, std::vector<TFieldDef>& out, QString& err)
{
    for (pugi::xml_node f = fields.first_child(); f; f = f.next_sibling()) {
        if (f.type() != pugi::node_element)
            continue;
        if (std::strcmp(f.name(), "field") != 0) {
            err = QStringLiteral("unexpected element <%1> in <fields>").arg(QString::fromUtf8(f.name()));
            return false;
        }
        if (out.size() >= size_t(kMaxFields)) {
            err = QStringLiteral("more than %1 fields").arg(kMaxFields);
            return false;
        }
        TFieldDef d;
        d.Name = QString::fromUtf8(f.attribute("name").value());
        const char* type = f.attribute("type").value();
        d.DataType = FieldTypeFromName(QString::fromUtf8(type));
        if (d.DataType == ftUnknown) {
            err = QStringLiteral("field '%1' has the unknown type '%2'").arg(d.Name, QString::fromUtf8(type));
            return false;
        }
        if (!readIntAttr(f, "size", d.Size) || !readIntAttr(f, "precision", d.Precision)
            || !readIntAttr(f, "scale", d.Scale)) {
            err = QStringLiteral("field '%1' has a bad size, precision or scale").arg(d.Name);
            return false;
        }
        if (!checkFieldDef(d, err))
            return false;
        out.push_back(d);
    }
    // Field names are compared without regard to case elsewhere, so they must differ so.
    QSet<QString> seen;
    for (const auto& d : out) {
        const QString key = d.Name.toLower();
        if (seen.contains(key)) {
            err = QStringLiteral("the field name '%1' appears twice").arg(d.Name);
            return false;
        }
        seen.insert(key);
    }
    return true;
}

// Fills typed cells from row elements, matching attribute names to the document's fields.
class RowReader
{
public:
    RowReader(const std::vector<TFieldDef>& docFields, const std::vector<int>& map, Table& t)
        : m_map(map), m_table(t), m_seen(docFields.size(), 0)
    {
        m_names.reserve(docFields.size());
        for (const auto& d : docFields)
            m_names.push_back(d.Name.toStdString());
        for (size_t i = 0; i < m_names.size(); ++i)
            m_index.emplace(m_names[i], int(i));
    }

    bool read(const pugi::xml_node& row, quint32 phys, const QString& where, QString& err)
    {
        ++m_stamp;
        const int n = int(m_names.size());
        int next = 0;
        for (pugi::xml_attribute a = row.first_attribute(); a; a = a.next_attribute()) {
            const char* name = a.name();
            int f;
            // Writers put attributes in field order, so the next field is the first guess.
            if (next < n && std::strcmp(m_names[size_t(next)].c_str(), name) == 0) {
                f = next;
            } else {
                const auto it = m_index.find(std::string_view(name));
                if (it == m_index.end()) {
                    err = QStringLiteral("%1 is wider than its fields: '%2' is not a field").arg(where, QString::fromUtf8(name));
                    return false;
                }
                f = it->second;
            }
            next = f + 1;
            if (m_seen[size_t(f)] == m_stamp) {
                err = QStringLiteral("%1 gives field '%2' twice").arg(where, QString::fromUtf8(name));
                return false;
            }
            m_seen[size_t(f)] = m_stamp;
            const int col = m_map[size_t(f)];
            if (col < 0)
                continue;
            Column& c = m_table.cols[size_t(col)];
            const char* v = a.value();
            if (!parseWire(c, phys, v, std::strlen(v))) {
                err = c.storage == Storage::Text
                    ? QStringLiteral("%1: the text of field '%2' passes 4 GiB").arg(where, QString::fromUtf8(name))
                    : QStringLiteral("%1, field '%2': '%3' is not a valid %4")
                          .arg(where, QString::fromUtf8(name), QString::fromUtf8(v), FieldTypeName(c.type));
                return false;
            }
        }
        return true;
    }

private:
    const std::vector<int>& m_map;
    Table& m_table;
    std::vector<std::string> m_names;
    std::unordered_map<std::string_view, int> m_index;
    std::vector<quint32> m_seen;
    quint32 m_stamp = 0;
};

bool readIndexAttr(const pugi::xml_node& n, const char* name, qint64& out)
{
    const pugi::xml_attribute a = n.attribute(name);
    if (!a)
        return true;
    const char* v = a.value();
    const char* end = v + std::strlen(v);
    const auto res = std::from_chars(v, end, out);
    return res.ec == std::errc() && res.ptr == end && out >= 0;
}

} // namespace

bool parsePacket(char* buf, size_t len, RootKind rootKind, const std::vector<TFieldDef>* target,
                 bool withChanges, Packet& out, QString& err)
{
    out = Packet();
    if (len == 0) {
        err = QStringLiteral("the document is empty");
        return false;
    }
    pugi::xml_document doc;
    // parse_doctype only keeps a DOCTYPE node so that it can be refused; pugixml never
    // expands entities other than the five predefined ones and character references.
    const unsigned flags = pugi::parse_escapes | pugi::parse_wconv_attribute | pugi::parse_eol | pugi::parse_doctype;
    const pugi::xml_parse_result res = doc.load_buffer_inplace(buf, len, flags, pugi::encoding_utf8);
    if (!res) {
        err = QStringLiteral("malformed XML at byte %1: %2").arg(res.offset).arg(QString::fromUtf8(res.description()));
        return false;
    }
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_doctype) {
            err = QStringLiteral("documents with a DOCTYPE are not accepted");
            return false;
        }
    }
    const char* rootName = rootKind == RootKind::DataPacket ? "datapacket" : "delta";
    const pugi::xml_node root = doc.document_element();
    if (!root || std::strcmp(root.name(), rootName) != 0) {
        err = QStringLiteral("the document element is <%1>, not <%2>")
                  .arg(QString::fromUtf8(root ? root.name() : ""), QLatin1StringView(rootName));
        return false;
    }
    pugi::xml_node fields, rows, changes;
    for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
        if (n.type() != pugi::node_element)
            continue;
        pugi::xml_node* slot = nullptr;
        if (std::strcmp(n.name(), "fields") == 0)
            slot = &fields;
        else if (std::strcmp(n.name(), "rows") == 0 && rootKind == RootKind::DataPacket)
            slot = &rows;
        else if (std::strcmp(n.name(), "changes") == 0)
            slot = &changes;
        if (!slot || *slot) {
            err = QStringLiteral("unexpected element <%1> in <%2>").arg(QString::fromUtf8(n.name()), QLatin1StringView(rootName));
            return false;
        }
        *slot = n;
    }
    if (!fields) {
        err = QStringLiteral("the document has no <fields>");
        return false;
    }
    if (!withChanges)
        changes = pugi::xml_node();
    if (!readFields(fields, out.fields, err))
        return false;

    const std::vector<TFieldDef>& defs = target ? *target : out.fields;
    std::vector<int> map(out.fields.size(), -1);
    QHash<QString, int> targetIndex;
    for (size_t j = 0; target && j < defs.size(); ++j)
        targetIndex.insert(defs[j].Name.toLower(), int(j));
    for (size_t i = 0; i < out.fields.size(); ++i)
        map[i] = target ? targetIndex.value(out.fields[i].Name.toLower(), -1) : int(i);

    // Count first: one allocation per column, and the size check before any of it.
    quint64 rowCount = 0, changeRows = 0;
    for (pugi::xml_node r = rows.first_child(); r; r = r.next_sibling()) {
        if (r.type() != pugi::node_element)
            continue;
        if (std::strcmp(r.name(), "row") != 0) {
            err = QStringLiteral("unexpected element <%1> in <rows>").arg(QString::fromUtf8(r.name()));
            return false;
        }
        ++rowCount;
    }
    for (pugi::xml_node c = changes.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        for (pugi::xml_node v = c.first_child(); v; v = v.next_sibling())
            changeRows += v.type() == pugi::node_element;
    }
    const quint64 total = rowCount + changeRows;
    const quint64 budget = std::max<quint64>(kMinCellBudget, quint64(len) * kCellsPerInputByte);
    if (total >= kNoRow || total * std::max<quint64>(defs.size(), 1) > budget) {
        err = QStringLiteral("the document holds %1 rows of %2 fields, more than its size allows").arg(total).arg(defs.size());
        return false;
    }

    out.table.init(defs);
    for (auto& c : out.table.cols)
        c.resize(quint32(total));
    out.table.rows = quint32(total);
    out.rowCount = quint32(rowCount);

    RowReader reader(out.fields, map, out.table);
    quint32 phys = 0;
    for (pugi::xml_node r = rows.first_child(); r; r = r.next_sibling()) {
        if (r.type() != pugi::node_element)
            continue;
        if (!reader.read(r, phys, QStringLiteral("row %1").arg(phys + 1), err))
            return false;
        ++phys;
    }

    int changeNo = 0;
    for (pugi::xml_node c = changes.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        ++changeNo;
        const QString where = QStringLiteral("change %1").arg(changeNo);
        ParsedChange pc;
        if (std::strcmp(c.name(), "insert") == 0)
            pc.kind = ukInsert;
        else if (std::strcmp(c.name(), "update") == 0)
            pc.kind = ukModify;
        else if (std::strcmp(c.name(), "delete") == 0)
            pc.kind = ukDelete;
        else {
            err = QStringLiteral("%1: unknown change <%2>").arg(where, QString::fromUtf8(c.name()));
            return false;
        }
        if (!readIndexAttr(c, "row", pc.rowAttr) || !readIndexAttr(c, "base", pc.baseAttr)) {
            err = QStringLiteral("%1: bad row or base index").arg(where);
            return false;
        }
        for (pugi::xml_node v = c.first_child(); v; v = v.next_sibling()) {
            if (v.type() != pugi::node_element)
                continue;
            quint32* slot = std::strcmp(v.name(), "old") == 0 ? &pc.oldRow
                          : std::strcmp(v.name(), "new") == 0 ? &pc.newRow
                                                             : nullptr;
            if (!slot || *slot != kNoRow) {
                err = QStringLiteral("%1: unexpected element <%2>").arg(where, QString::fromUtf8(v.name()));
                return false;
            }
            *slot = phys;
            if (!reader.read(v, phys, where, err))
                return false;
            ++phys;
        }
        out.changes.push_back(pc);
    }
    for (auto& c : out.table.cols)
        c.shrink();
    return true;
}

// ---------------------------------------------------------------------------------------
// Writing

QByteArray utf8ForParse(QStringView text)
{
    const char16_t* p = text.utf16();
    const char16_t* end = p + text.size();
    qsizetype n = 0;
    for (const char16_t* q = p; q < end; ++q)
        n += *q < 0x80 ? 1 : (*q < 0x800 ? 2 : 3);   // a surrogate pair: 3 + 3 >= 4
    QByteArray out(n, Qt::Uninitialized);
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    while (p < end) {
        const char32_t c = *p++;
        if (c < 0x80) {
            *o++ = static_cast<unsigned char>(c);
        } else if (c < 0x800) {
            *o++ = static_cast<unsigned char>(0xC0 | (c >> 6));
            *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c < 0xDC00 && p < end && *p >= 0xDC00 && *p < 0xE000) {
            const char32_t cp = 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00);
            *o++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
            *o++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        } else {
            const char32_t cp = (c >= 0xD800 && c < 0xE000) ? 0xFFFD : c;
            *o++ = static_cast<unsigned char>(0xE0 | (cp >> 12));
            *o++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        }
    }
    out.truncate(reinterpret_cast<char*>(o) - out.data());
    return out;
}

void appendEscaped(std::string& out, std::string_view s)
{
    // '>' is escaped too, so that a packet can travel inside a CDATA section.
    const char* p = s.data();
    const char* end = p + s.size();
    const char* run = p;
    for (; p < end; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != '&' && c != '<' && c != '>' && c != '"')
            continue;
        out.append(run, size_t(p - run));
        run = p + 1;
        switch (c) {
        case '&': out.append("&amp;"); break;
        case '<': out.append("&lt;"); break;
        case '>': out.append("&gt;"); break;
        case '"': out.append("&quot;"); break;
        case 0: break;   // XML cannot carry NUL
        default: {
            // Control characters as references, or the parser would turn them into spaces.
            char buf[8] = {'&', '#'};
            auto r = std::to_chars(buf + 2, buf + 6, int(c));
            *r.ptr++ = ';';
            out.append(buf, size_t(r.ptr - buf));
        }
        }
    }
    out.append(run, size_t(end - run));
}

void writeFields(std::string& out, const std::vector<TFieldDef>& defs)
{
    out += "<fields>";
    for (const auto& d : defs) {
        out += "<field name=\"";
        appendEscaped(out, d.Name.toStdString());
        out += "\" type=\"";
        out += FieldTypeName(d.DataType).toStdString();
        out += '"';
        if (d.Size > 0)
            out += " size=\"" + std::to_string(d.Size) + '"';
        if (d.DataType == ftDecimal)
            out += " precision=\"" + std::to_string(precisionOf(d)) + "\" scale=\"" + std::to_string(d.Scale) + '"';
        out += "/>";
    }
    out += "</fields>";
}

void writeRow(std::string& out, const char* element, const std::vector<TFieldDef>& defs,
              const std::vector<std::string>& names, const Table& t, quint32 row)
{
    out += '<';
    out += element;
    for (size_t i = 0; i < defs.size(); ++i) {
        const Column& c = t.cols[i];
        if (c.isNull(row))
            continue;
        out += ' ';
        out += names[i];
        out += "=\"";
        if (c.storage == Storage::Text) {
            appendEscaped(out, c.text(row));
        } else {
            appendWire(c, row, out);
        }
        out += '"';
    }
    out += "/>";
}

} // namespace kxcds
