// Loading a service answer into a data set: 100,000 rows of 25 fields (about 54 MB of XML,
// a fifth of the values Chinese), sent the way the service sends every answer: a 4-byte
// little-endian length and a zlib stream of <response><xmldata><![CDATA[packet]]></xmldata>…
//
// Each path runs in a child process of its own (so that its peak memory is its own), three
// times, and the best time counts:
//   floor    inflate + parse the answer + parse the packet + copy every attribute into plain
//            typed vectors (attribute names matched the cheap way, by position first): the
//            least any loader has to do with pugixml;
//   ours     inflate + parse the answer + TPClientDataSet::SetKXXMLDataInPlace on the CDATA;
//   qstring  the same through a QString, as when the answer value is held as text.

#include "DataPacket.h"
#include "uPClientDataSet.h"

#include <pugixml.hpp>
#include <zlib.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kRows = 100000;
constexpr int kFields = 25;

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

long peakKb()
{
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// --- the answer ---------------------------------------------------------------------------

struct Rng
{
    quint64 s = 0x9E3779B97F4A7C15ull;
    quint64 next()
    {
        s += 0x9E3779B97F4A7C15ull;
        quint64 z = s;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % quint64(n)); }
};

const char* const kHan[] = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴", "徐", "孙",
                            "上海", "北京", "广州", "深圳", "杭州", "路", "号", "室", "连衣裙", "男士",
                            "夏季", "新款", "包邮", "纯棉", "短袖", "T恤", "加厚", "请尽快发货"};

std::string han(Rng& r, int words)
{
    std::string s;
    for (int i = 0; i < words; ++i)
        s += kHan[r.below(int(std::size(kHan)))];
    return s;
}

// One row's values, made before the writer is timed.
struct RowValues
{
    std::string text[10];
    bool hasMemo = false;
    int num = 0, refund = 0, shop = 0;
    qint64 numIid = 0;
    qint64 cents[4] = {};
    double weight = 0;
    bool rated = false, checked = false;
    std::string created, payTime, consignTime, payDate;   // as SQL text gives them
};

std::string sqlDateTime(qint64 secs, bool withTime)
{
    const QDate d = QDate(2026, 1, 1).addDays(secs / 86400);
    char buf[32];
    const int t = int(secs % 86400);
    if (withTime)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(), t / 3600, t / 60 % 60, t % 60);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year(), d.month(), d.day());
    return buf;
}

std::vector<RowValues> makeRows()
{
    static const char* const statuses[] = {"WAIT_BUYER_PAY", "WAIT_SELLER_SEND_GOODS", "WAIT_BUYER_CONFIRM_GOODS", "TRADE_FINISHED", "TRADE_CLOSED"};
    Rng r;
    std::vector<RowValues> rows(kRows);
    for (int i = 0; i < kRows; ++i) {
        RowValues& v = rows[size_t(i)];
        v.text[0] = "T2026" + std::to_string(10000000 + i);
        v.text[1] = r.below(2) ? "buyer_" + std::to_string(r.below(1000000)) : han(r, 3);
        v.text[2] = han(r, 2);
        v.text[3] = han(r, 6);
        v.text[4] = "13" + std::to_string(100000000 + r.below(900000000));
        v.text[5] = statuses[r.below(5)];
        v.text[6] = r.below(3) ? "NOT_PICKING" : "PICKINGED";
        v.hasMemo = r.below(3) == 0;
        v.text[7] = v.hasMemo ? han(r, 2) : std::string();
        v.text[8] = han(r, 5);
        v.text[9] = "SKU-" + std::to_string(r.below(100000));
        v.num = 1 + r.below(5);
        v.numIid = 600000000000LL + r.below(1000000000);
        v.cents[0] = 100 + r.below(100000);
        v.cents[1] = v.cents[0] + 1000;
        v.cents[2] = r.below(2) ? 0 : 1000;
        v.cents[3] = r.below(500);
        v.weight = r.below(10000) / 100.0;
        v.refund = r.below(10) == 0;
        v.rated = r.below(2);
        v.checked = r.below(2);
        const qint64 created = r.below(300 * 86400);
        v.created = sqlDateTime(created, true);
        v.payTime = sqlDateTime(created + r.below(3600), true);
        v.consignTime = r.below(2) ? sqlDateTime(created + 86400 + r.below(86400), true) : std::string();
        v.payDate = sqlDateTime(created, false);
        v.shop = 1 + r.below(3);
    }
    return rows;
}

// The packet as the service writes it.
QByteArray writePacket(const std::vector<RowValues>& rows)
{
    TDataPacketWriter w;
    w.AddField("tid", ftString, 20);
    w.AddField("buyer_nick", ftString, 32);
    w.AddField("receiver_name", ftString, 32);
    w.AddField("receiver_address", ftString, 128);
    w.AddField("receiver_mobile", ftString, 16);
    w.AddField("status", ftString, 32);
    w.AddField("dbstatus", ftString, 16);
    w.AddField("seller_memo", ftMemo);
    w.AddField("title", ftString, 60);
    w.AddField("outer_iid", ftString, 20);
    w.AddField("num", ftInteger);
    w.AddField("num_iid", ftLargeint);
    w.AddField("price", ftDecimal, 0, 18, 2);
    w.AddField("payment", ftDecimal, 0, 18, 2);
    w.AddField("post_fee", ftDecimal, 0, 18, 2);
    w.AddField("discount_fee", ftDecimal, 0, 18, 2);
    w.AddField("weight", ftFloat);
    w.AddField("refund", ftInteger);
    w.AddField("seller_rate", ftBoolean);
    w.AddField("ischeck", ftBoolean);
    w.AddField("created", ftDateTime);
    w.AddField("pay_time", ftDateTime);
    w.AddField("consign_time", ftDateTime);
    w.AddField("pay_date", ftDate);
    w.AddField("shop_id", ftInteger);
    for (const RowValues& v : rows) {
        w.BeginRow();
        for (int f = 0; f < 10; ++f)
            if (f != 7 || v.hasMemo)
                w.SetUtf8(f, v.text[f]);
        w.SetInteger(10, v.num);
        w.SetInteger(11, v.numIid);
        for (int k = 0; k < 4; ++k)
            w.SetDecimal(12 + k, TDecimal::FromMantissa(v.cents[k], 2));
        w.SetFloat(16, v.weight);
        w.SetInteger(17, v.refund);
        w.SetBoolean(18, v.rated);
        w.SetBoolean(19, v.checked);
        w.SetUtf8(20, v.created);
        w.SetUtf8(21, v.payTime);
        if (!v.consignTime.empty())
            w.SetUtf8(22, v.consignTime);
        w.SetUtf8(23, v.payDate);
        w.SetInteger(24, v.shop);
        w.EndRow();
    }
    return w.Finish();
}

std::string makeWireAnswer(const QByteArray& packet)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><response><xmldata><![CDATA[";
    xml.append(packet.constData(), size_t(packet.size()));
    xml += "]]></xmldata><recordcount>" + std::to_string(kRows) + "</recordcount></response>";
    uLongf zlen = compressBound(uLong(xml.size()));
    std::string wire(4 + zlen, '\0');
    const quint32 n = quint32(xml.size());
    for (int i = 0; i < 4; ++i)
        wire[size_t(i)] = char((n >> (8 * i)) & 0xff);
    compress2(reinterpret_cast<Bytef*>(&wire[4]), &zlen, reinterpret_cast<const Bytef*>(xml.data()), uLong(xml.size()), Z_DEFAULT_COMPRESSION);
    wire.resize(4 + zlen);
    return wire;
}

// --- shared by every path ----------------------------------------------------------------

std::unique_ptr<char[]> inflateAnswer(const std::string& wire, size_t& len)
{
    len = size_t(quint8(wire[0])) | size_t(quint8(wire[1])) << 8 | size_t(quint8(wire[2])) << 16 | size_t(quint8(wire[3])) << 24;
    std::unique_ptr<char[]> buf(new char[len + 1]);
    uLongf out = uLongf(len);
    if (uncompress(reinterpret_cast<Bytef*>(buf.get()), &out, reinterpret_cast<const Bytef*>(wire.data() + 4), uLong(wire.size() - 4)) != Z_OK || out != len) {
        std::fprintf(stderr, "inflate failed\n");
        std::exit(1);
    }
    return buf;
}

// The CDATA text of <xmldata>; parsing in place leaves it NUL-terminated inside `buf`.
char* packetText(pugi::xml_document& answer, char* buf, size_t len, size_t& packetLen)
{
    if (!answer.load_buffer_inplace(buf, len, pugi::parse_default, pugi::encoding_utf8)) {
        std::fprintf(stderr, "answer does not parse\n");
        std::exit(1);
    }
    const char* text = answer.child("response").child("xmldata").first_child().value();
    packetLen = std::strlen(text);
    return buf + (text - buf);   // the same bytes, writable: the buffer is ours
}

// --- the floor ---------------------------------------------------------------------------

enum class PlainType { Int32, Int64, Float, Boolean, Decimal, DateTime, Text };

struct PlainColumn
{
    PlainType type = PlainType::Text;
    int scale = 0;
    std::vector<char> isNull;
    std::vector<qint32> i32;
    std::vector<qint64> i64;
    std::vector<double> f64;
    std::vector<quint32> off;
    std::string text;
};

PlainType plainType(std::string_view t)
{
    if (t == "integer")
        return PlainType::Int32;
    if (t == "largeint")
        return PlainType::Int64;
    if (t == "float")
        return PlainType::Float;
    if (t == "boolean")
        return PlainType::Boolean;
    if (t == "decimal")
        return PlainType::Decimal;
    if (t == "datetime" || t == "date")
        return PlainType::DateTime;
    return PlainType::Text;
}

qint64 plainDecimal(const char* s, int scale)
{
    bool neg = *s == '-';
    if (neg)
        ++s;
    qint64 v = 0;
    int frac = -1;
    for (; *s; ++s) {
        if (*s == '.') {
            frac = 0;
            continue;
        }
        if (frac >= scale)
            break;
        v = v * 10 + (*s - '0');
        if (frac >= 0)
            ++frac;
    }
    for (frac = frac < 0 ? 0 : frac; frac < scale; ++frac)
        v *= 10;
    return neg ? -v : v;
}

qint64 plainDateTime(const char* s)
{
    auto num = [&](int at, int n) {
        int v = 0;
        for (int i = 0; i < n && s[at + i]; ++i)
            v = v * 10 + (s[at + i] - '0');
        return v;
    };
    const int y = num(0, 4), m = num(5, 2), d = num(8, 2);
    const qint64 days = QDate(y, m, d).toJulianDay();
    const qint64 secs = std::strlen(s) > 10 ? num(11, 2) * 3600 + num(14, 2) * 60 + num(17, 2) : 0;
    return days * 86400000 + secs * 1000;
}

size_t floorLoad(char* packet, size_t len)
{
    pugi::xml_document doc;
    if (!doc.load_buffer_inplace(packet, len, pugi::parse_default, pugi::encoding_utf8))
        std::exit(1);
    const pugi::xml_node root = doc.child("datapacket");
    std::vector<PlainColumn> cols;
    std::unordered_map<std::string_view, int> index;
    for (pugi::xml_node f : root.child("fields").children("field")) {
        index[f.attribute("name").value()] = int(cols.size());
        PlainColumn c;
        c.type = plainType(f.attribute("type").value());
        c.scale = f.attribute("scale").as_int();
        cols.push_back(std::move(c));
    }
    size_t rows = 0;
    for (pugi::xml_node r = root.child("rows").first_child(); r; r = r.next_sibling())
        ++rows;
    for (auto& c : cols) {
        c.isNull.assign(rows, 1);
        switch (c.type) {
        case PlainType::Int32:
        case PlainType::Boolean: c.i32.resize(rows); break;
        case PlainType::Float: c.f64.resize(rows); break;
        case PlainType::Text: c.off.resize(rows); break;
        default: c.i64.resize(rows); break;
        }
    }
    std::vector<std::string> names(cols.size());
    for (const auto& [name, i] : index)
        names[size_t(i)] = name;
    size_t row = 0;
    for (pugi::xml_node r = root.child("rows").first_child(); r; r = r.next_sibling(), ++row) {
        size_t next = 0;
        for (pugi::xml_attribute a = r.first_attribute(); a; a = a.next_attribute()) {
            // Attributes come in field order: try the next field before the map.
            const size_t i = next < names.size() && names[next] == a.name() ? next : size_t(index.at(a.name()));
            next = i + 1;
            PlainColumn& c = cols[i];
            const char* v = a.value();
            c.isNull[row] = 0;
            const size_t n = std::strlen(v);
            switch (c.type) {
            case PlainType::Int32: std::from_chars(v, v + n, c.i32[row]); break;
            case PlainType::Int64: std::from_chars(v, v + n, c.i64[row]); break;
            case PlainType::Float: std::from_chars(v, v + n, c.f64[row]); break;
            case PlainType::Boolean: c.i32[row] = *v == '1'; break;
            case PlainType::Decimal: c.i64[row] = plainDecimal(v, c.scale); break;
            case PlainType::DateTime: c.i64[row] = plainDateTime(v); break;
            case PlainType::Text:
                c.off[row] = quint32(c.text.size());
                c.text.append(v, n);
                break;
            }
        }
    }
    return rows * cols.size();
}

// --- a child: one path, three times ---------------------------------------------------------

int runChild(const std::string& mode, const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string wire((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    double best = 1e99;
    size_t retained = 0, cells = 0;
    for (int run = 0; run < 3; ++run) {
        auto ds = std::make_unique<TPClientDataSet>();
        const double t0 = nowMs();
        size_t len = 0, packetLen = 0;
        std::unique_ptr<char[]> buf = inflateAnswer(wire, len);
        pugi::xml_document answer;
        char* packet = packetText(answer, buf.get(), len, packetLen);
        if (mode == "floor") {
            cells = floorLoad(packet, packetLen);
        } else if (mode == "ours") {
            if (!ds->SetKXXMLDataInPlace(packet, packetLen))
                return 1;
        } else {
            const QString text = QString::fromUtf8(packet, qsizetype(packetLen));
            if (!ds->SetKXXMLData(text))
                return 1;
        }
        best = std::min(best, nowMs() - t0);
        if (mode != "floor") {
            cells = size_t(ds->RecordCount()) * size_t(ds->FieldCount());
            retained = ds->MemoryUsage();
        }
    }
    std::printf("%.1f %ld %zu %zu\n", best, peakKb(), retained, cells);
    return 0;
}

struct Figures
{
    double ms = 0;
    double peakMb = 0;
    size_t retained = 0, cells = 0;
};

Figures runPath(const std::string& self, const char* mode, const std::string& file)
{
    const std::string cmd = "'" + self + "' --child " + mode + " '" + file + "'";
    FILE* p = popen(cmd.c_str(), "r");
    Figures f;
    long kb = 0;
    if (!p || std::fscanf(p, "%lf %ld %zu %zu", &f.ms, &kb, &f.retained, &f.cells) != 4) {
        std::fprintf(stderr, "child %s failed\n", mode);
        std::exit(1);
    }
    pclose(p);
    f.peakMb = kb * 1024.0 / 1e6;
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--child")
        return runChild(argv[2], argv[3]);

    const std::vector<RowValues> rows = makeRows();
    const double w0 = nowMs();
    const QByteArray packet = writePacket(rows);
    const double writeMs = nowMs() - w0;
    const std::string wire = makeWireAnswer(packet);
    const double xmlMb = packet.size() / 1e6;

    char tmpl[] = "/tmp/bench_dataset_load_XXXXXX";
    const int fd = mkstemp(tmpl);
    if (fd < 0 || write(fd, wire.data(), wire.size()) != ssize_t(wire.size()))
        return 1;
    close(fd);
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return 1;

    const Figures floor = runPath(self, "floor", tmpl);
    const Figures ours = runPath(self, "ours", tmpl);
    const Figures viaText = runPath(self, "qstring", tmpl);
    unlink(tmpl);

    auto line = [&](const char* name, const Figures& f) {
        std::printf("BENCH %s rows=%d fields=%d xml_mb=%.1f ms=%.0f mb_s=%.0f floor_ms=%.0f floor_mb_s=%.0f "
                    "ratio_to_floor=%.2f bytes_per_cell=%.1f peak_mb=%.0f peak_to_xml=%.2f\n",
                    name, kRows, kFields, xmlMb, f.ms, xmlMb / (f.ms / 1000), floor.ms, xmlMb / (floor.ms / 1000),
                    f.ms / floor.ms, double(f.retained) / double(f.cells), f.peakMb, f.peakMb / xmlMb);
    };
    line("dataset_load", ours);
    line("dataset_load_qstring", viaText);
    std::printf("BENCH dataset_load_floor rows=%d fields=%d xml_mb=%.1f ms=%.0f mb_s=%.0f peak_mb=%.0f peak_to_xml=%.2f\n",
                kRows, kFields, xmlMb, floor.ms, xmlMb / (floor.ms / 1000), floor.peakMb, floor.peakMb / xmlMb);
    std::printf("BENCH dataset_write rows=%d fields=%d xml_mb=%.1f ms=%.0f mb_s=%.0f wire_mb=%.1f\n",
                kRows, kFields, xmlMb, writeMs, xmlMb / (writeMs / 1000), wire.size() / 1e6);
    return 0;
}
