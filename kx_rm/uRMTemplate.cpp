#include "uRMTemplate.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <pugixml.hpp>

namespace {

constexpr int kFormatVersion = 1;
constexpr double kMaxLength = 5000; // mm; anything longer is a damaged file, not a sheet

struct BandTypeInfo {
    TRMBandType type;
    const char* name;
    const char16_t* caption;
    int rank; // printing order group
};

const BandTypeInfo kBandTypes[] = {
    {TRMBandType::Title, "title", u"报表标题", 0},
    {TRMBandType::PageHeader, "pageheader", u"页眉", 1},
    {TRMBandType::MasterData, "masterdata", u"主项数据", 2},
    {TRMBandType::DetailHeader, "detailheader", u"明细表头", 2},
    {TRMBandType::DetailData, "detaildata", u"明细数据", 2},
    {TRMBandType::DetailFooter, "detailfooter", u"明细表尾", 2},
    {TRMBandType::Summary, "summary", u"报表合计", 3},
    {TRMBandType::PageFooter, "pagefooter", u"页脚", 4},
};

const BandTypeInfo& infoOf(TRMBandType type)
{
    for (const auto& i : kBandTypes)
        if (i.type == type)
            return i;
    return kBandTypes[2];
}

const char* const kObjectTags[] = {"memo", "picture", "barcode", "angledlabel"};
const char* const kBarcodeNames[] = {"code128", "ean13", "qrcode"};

std::string num(double v)
{
    QString s = QString::number(v, 'f', 3);
    while (s.endsWith(u'0'))
        s.chop(1);
    if (s.endsWith(u'.'))
        s.chop(1);
    return s.toStdString();
}

std::string str(const QString& s) { return s.toStdString(); }
QString qstr(const char* s) { return QString::fromUtf8(s); }

void setAttr(pugi::xml_node n, const char* name, const QString& v)
{
    if (!v.isEmpty())
        n.append_attribute(name) = str(v).c_str();
}

void setFlag(pugi::xml_node n, const char* name, bool v)
{
    if (v)
        n.append_attribute(name) = "1";
}

void setNum(pugi::xml_node n, const char* name, double v) { n.append_attribute(name) = num(v).c_str(); }

std::string colorName(const QColor& c)
{
    return str(c.alpha() == 255 ? c.name(QColor::HexRgb) : c.name(QColor::HexArgb));
}

void writeBase64(pugi::xml_node n, const QByteArray& data)
{
    if (!data.isEmpty())
        n.append_child(pugi::node_pcdata).set_value(data.toBase64().constData());
}

// Reading: every failure sets the message once and leaves the rest to the caller.
struct Reader {
    QString error;

    bool fail(const QString& text)
    {
        if (error.isEmpty())
            error = text;
        return false;
    }

    double length(pugi::xml_node n, const char* name, double def, double min = 0)
    {
        const pugi::xml_attribute a = n.attribute(name);
        if (!a)
            return def;
        bool ok = false;
        const double v = QString::fromUtf8(a.value()).toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < min || v > kMaxLength) {
            fail(QStringLiteral("<%1> 的 %2=\"%3\" 不是有效的长度").arg(qstr(n.name()), qstr(name), qstr(a.value())));
            return def;
        }
        return v;
    }

    bool flag(pugi::xml_node n, const char* name, bool def = false)
    {
        const pugi::xml_attribute a = n.attribute(name);
        return a ? a.as_bool() : def;
    }

    QColor color(pugi::xml_node n, const char* name, const QColor& def)
    {
        const pugi::xml_attribute a = n.attribute(name);
        if (!a)
            return def;
        const QColor c = QColor::fromString(qstr(a.value()));
        if (!c.isValid())
            fail(QStringLiteral("<%1> 的颜色 \"%2\" 无效").arg(qstr(n.name()), qstr(a.value())));
        return c.isValid() ? c : def;
    }

    QByteArray base64(pugi::xml_node n)
    {
        const QByteArray text = QByteArray(n.child_value()).trimmed();
        if (text.isEmpty())
            return {};
        auto r = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
        if (!r)
            fail(QStringLiteral("<%1> 的图片数据损坏").arg(qstr(n.name())));
        return r ? *r : QByteArray();
    }
};

Qt::Alignment alignFrom(const QString& h, const QString& v)
{
    Qt::Alignment a = h == u"center" ? Qt::AlignHCenter : h == u"right" ? Qt::AlignRight : Qt::AlignLeft;
    a |= v == u"top" ? Qt::AlignTop : v == u"bottom" ? Qt::AlignBottom : Qt::AlignVCenter;
    return a;
}

const char* halignName(Qt::Alignment a)
{
    return (a & Qt::AlignHCenter) ? "center" : (a & Qt::AlignRight) ? "right" : "left";
}

const char* valignName(Qt::Alignment a)
{
    return (a & Qt::AlignTop) ? "top" : (a & Qt::AlignBottom) ? "bottom" : "center";
}

QString frameName(int f)
{
    QString s;
    if (f & frLeft) s += u'l';
    if (f & frTop) s += u't';
    if (f & frRight) s += u'r';
    if (f & frBottom) s += u'b';
    return s;
}

int frameFrom(const QString& s)
{
    int f = 0;
    if (s.contains(u'l')) f |= frLeft;
    if (s.contains(u't')) f |= frTop;
    if (s.contains(u'r')) f |= frRight;
    if (s.contains(u'b')) f |= frBottom;
    return f;
}

} // namespace

QString RMBandTypeName(TRMBandType type) { return qstr(infoOf(type).name); }
QString RMBandTypeCaption(TRMBandType type) { return QString::fromUtf16(infoOf(type).caption); }

bool RMBandTypeFromName(const QString& name, TRMBandType* type)
{
    for (const auto& i : kBandTypes)
        if (name == QLatin1String(i.name)) {
            *type = i.type;
            return true;
        }
    return false;
}

QString RMBarcodeTypeName(TRMBarcodeType type) { return qstr(kBarcodeNames[int(type)]); }

bool RMBarcodeTypeFromName(const QString& name, TRMBarcodeType* type)
{
    for (int i = 0; i < 3; ++i)
        if (name == QLatin1String(kBarcodeNames[i])) {
            *type = TRMBarcodeType(i);
            return true;
        }
    return false;
}

QByteArray TRMTemplate::ToXml() const
{
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("kxreport");
    root.append_attribute("version") = kFormatVersion;

    pugi::xml_node p = root.append_child("page");
    setNum(p, "width", page.width);
    setNum(p, "height", page.height);
    setNum(p, "left", page.left);
    setNum(p, "top", page.top);
    setNum(p, "right", page.right);
    setNum(p, "bottom", page.bottom);
    p.append_attribute("orientation") = page.landscape ? "landscape" : "portrait";
    if (!page.backgroundFile.isEmpty() || !page.backgroundData.isEmpty()) {
        pugi::xml_node bg = p.append_child("background");
        setAttr(bg, "file", page.backgroundFile);
        if (!page.backgroundRect.isEmpty()) {
            setNum(bg, "x", page.backgroundRect.x());
            setNum(bg, "y", page.backgroundRect.y());
            setNum(bg, "width", page.backgroundRect.width());
            setNum(bg, "height", page.backgroundRect.height());
        }
        if (!page.backgroundPrinted)
            bg.append_attribute("print") = "0";
        writeBase64(bg, page.backgroundData);
    }

    for (const TRMBand& b : bands) {
        pugi::xml_node bn = root.append_child("band");
        bn.append_attribute("type") = infoOf(b.type).name;
        setAttr(bn, "name", b.name);
        setNum(bn, "height", b.height);
        setFlag(bn, "stretch", b.stretch);
        setFlag(bn, "newpage", b.newPageAfter);
        setAttr(bn, "dataset", b.dataSet);
        setAttr(bn, "master", b.master);
        setAttr(bn, "masterfields", b.masterFields);
        setAttr(bn, "detailfields", b.detailFields);
        for (const TRMObject& o : b.objects) {
            pugi::xml_node on = bn.append_child(kObjectTags[int(o.kind)]);
            setAttr(on, "name", o.name);
            setNum(on, "x", o.rect.x());
            setNum(on, "y", o.rect.y());
            setNum(on, "width", o.rect.width());
            setNum(on, "height", o.rect.height());
            if (o.kind == TRMObjectKind::Picture) {
                setAttr(on, "file", o.pictureFile);
                if (o.frame) {
                    on.append_attribute("frame") = str(frameName(o.frame)).c_str();
                    setNum(on, "framewidth", o.frameWidth);
                }
                writeBase64(on, o.pictureData);
                continue;
            }
            on.append_attribute("font") = str(o.fontFamily).c_str();
            setNum(on, "size", o.fontSize);
            setFlag(on, "bold", o.bold);
            setFlag(on, "italic", o.italic);
            setFlag(on, "underline", o.underline);
            on.append_attribute("color") = colorName(o.color).c_str();
            if (o.kind == TRMObjectKind::BarCode) {
                on.append_attribute("symbology") = kBarcodeNames[int(o.barcode)];
                on.append_attribute("showtext") = o.showText ? "1" : "0";
            } else {
                if (o.fill.isValid())
                    on.append_attribute("fill") = colorName(o.fill).c_str();
                on.append_attribute("halign") = halignName(o.align);
                on.append_attribute("valign") = valignName(o.align);
                on.append_attribute("wrap") = o.wordWrap ? "1" : "0";
                setFlag(on, "stretch", o.stretch);
                if (o.kind == TRMObjectKind::AngledLabel)
                    setNum(on, "angle", o.angle);
            }
            if (o.frame) {
                on.append_attribute("frame") = str(frameName(o.frame)).c_str();
                setNum(on, "framewidth", o.frameWidth);
            }
            on.append_child(pugi::node_pcdata).set_value(str(o.text).c_str());
        }
    }

    struct Writer : pugi::xml_writer {
        QByteArray out;
        void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), qsizetype(size)); }
    } w;
    doc.save(w, "  ", pugi::format_indent, pugi::encoding_utf8);
    return w.out;
}

bool TRMTemplate::FromXml(const QByteArray& xml, QString* error)
{
    Reader r;
    pugi::xml_document doc;
    // Default options: no DOCTYPE processing, only the predefined entities.
    const pugi::xml_parse_result res = doc.load_buffer(xml.constData(), size_t(xml.size()),
                                                       pugi::parse_default | pugi::parse_ws_pcdata_single,
                                                       pugi::encoding_utf8);
    TRMTemplate t;
    t.bands.clear();
    const pugi::xml_node root = doc.document_element();
    if (!res)
        r.fail(QStringLiteral("XML 格式错误：%1（位置 %2）").arg(qstr(res.description())).arg(res.offset));
    else if (std::string_view(root.name()) != "kxreport")
        r.fail(QStringLiteral("不是报表模板（根元素为 <%1>）").arg(qstr(root.name())));
    else if (root.attribute("version").as_int(0) < 1 || root.attribute("version").as_int(0) > kFormatVersion)
        r.fail(QStringLiteral("不支持的模板版本 \"%1\"").arg(qstr(root.attribute("version").value())));

    if (r.error.isEmpty()) {
        const pugi::xml_node p = root.child("page");
        if (!p)
            r.fail(QStringLiteral("缺少 <page>"));
        t.page.width = r.length(p, "width", 210, 1);
        t.page.height = r.length(p, "height", 297, 1);
        t.page.left = r.length(p, "left", 10);
        t.page.top = r.length(p, "top", 10);
        t.page.right = r.length(p, "right", 10);
        t.page.bottom = r.length(p, "bottom", 10);
        t.page.landscape = std::string_view(p.attribute("orientation").value()) == "landscape";
        if (const pugi::xml_node bg = p.child("background")) {
            t.page.backgroundFile = qstr(bg.attribute("file").value());
            if (bg.attribute("width") || bg.attribute("height"))
                t.page.backgroundRect = QRectF(r.length(bg, "x", 0), r.length(bg, "y", 0), r.length(bg, "width", 0, 0.1),
                                               r.length(bg, "height", 0, 0.1));
            t.page.backgroundPrinted = r.flag(bg, "print", true);
            t.page.backgroundData = r.base64(bg);
        }
        if (t.page.left + t.page.right >= t.page.width || t.page.top + t.page.bottom >= t.page.height)
            r.fail(QStringLiteral("页边距超出纸张"));
    }

    for (pugi::xml_node bn = root.child("band"); r.error.isEmpty() && bn; bn = bn.next_sibling("band")) {
        TRMBand b;
        if (!RMBandTypeFromName(qstr(bn.attribute("type").value()), &b.type)) {
            r.fail(QStringLiteral("未知的带区类型 \"%1\"").arg(qstr(bn.attribute("type").value())));
            break;
        }
        b.name = qstr(bn.attribute("name").value());
        b.height = r.length(bn, "height", 10, 0);
        b.stretch = r.flag(bn, "stretch");
        b.newPageAfter = r.flag(bn, "newpage");
        b.dataSet = qstr(bn.attribute("dataset").value());
        b.master = qstr(bn.attribute("master").value());
        b.masterFields = qstr(bn.attribute("masterfields").value());
        b.detailFields = qstr(bn.attribute("detailfields").value());
        for (pugi::xml_node on = bn.first_child(); on; on = on.next_sibling()) {
            if (on.type() != pugi::node_element)
                continue;
            TRMObject o;
            const auto tag = std::find_if(std::begin(kObjectTags), std::end(kObjectTags),
                                          [&](const char* t) { return std::string_view(on.name()) == t; });
            if (tag == std::end(kObjectTags)) {
                r.fail(QStringLiteral("未知的对象 <%1>").arg(qstr(on.name())));
                break;
            }
            o.kind = TRMObjectKind(tag - std::begin(kObjectTags));
            o.name = qstr(on.attribute("name").value());
            o.rect = QRectF(r.length(on, "x", 0), r.length(on, "y", 0), r.length(on, "width", 30),
                            r.length(on, "height", 6));
            o.frame = frameFrom(qstr(on.attribute("frame").value()));
            o.frameWidth = r.length(on, "framewidth", 0.2);
            if (o.kind == TRMObjectKind::Picture) {
                o.pictureFile = qstr(on.attribute("file").value());
                o.pictureData = r.base64(on);
            } else {
                if (on.attribute("font"))
                    o.fontFamily = qstr(on.attribute("font").value());
                o.fontSize = r.length(on, "size", 10, 1);
                o.bold = r.flag(on, "bold");
                o.italic = r.flag(on, "italic");
                o.underline = r.flag(on, "underline");
                o.color = r.color(on, "color", Qt::black);
                o.fill = r.color(on, "fill", QColor());
                o.align = alignFrom(qstr(on.attribute("halign").value()), qstr(on.attribute("valign").value()));
                o.wordWrap = r.flag(on, "wrap", true);
                o.stretch = r.flag(on, "stretch");
                o.angle = on.attribute("angle").as_double(0);
                if (!std::isfinite(o.angle))
                    o.angle = 0;
                if (on.attribute("symbology")
                    && !RMBarcodeTypeFromName(qstr(on.attribute("symbology").value()), &o.barcode))
                    r.fail(QStringLiteral("未知的条码类型 \"%1\"").arg(qstr(on.attribute("symbology").value())));
                o.showText = r.flag(on, "showtext", true);
                o.text = qstr(on.child_value());
            }
            b.objects.push_back(std::move(o));
        }
        t.bands.push_back(std::move(b));
    }

    if (!r.error.isEmpty()) {
        if (error)
            *error = r.error;
        return false;
    }
    *this = std::move(t);
    return true;
}

TRMBand* TRMTemplate::FindBand(const QString& name)
{
    for (TRMBand& b : bands)
        if (b.name == name)
            return &b;
    return nullptr;
}

const TRMBand* TRMTemplate::FindBand(const QString& name) const
{
    return const_cast<TRMTemplate*>(this)->FindBand(name);
}

const TRMBand* TRMTemplate::FindBandOfType(TRMBandType type) const
{
    for (const TRMBand& b : bands)
        if (b.type == type)
            return &b;
    return nullptr;
}

TRMObject* TRMTemplate::FindObject(const QString& name, int* bandIndex)
{
    for (size_t i = 0; i < bands.size(); ++i)
        for (TRMObject& o : bands[i].objects)
            if (o.name == name) {
                if (bandIndex)
                    *bandIndex = int(i);
                return &o;
            }
    return nullptr;
}

QString TRMTemplate::UniqueName(const QString& prefix) const
{
    for (int n = 1;; ++n) {
        const QString name = prefix + QString::number(n);
        bool used = false;
        for (const TRMBand& b : bands) {
            used = used || b.name == name;
            for (const TRMObject& o : b.objects)
                used = used || o.name == name;
        }
        if (!used)
            return name;
    }
}

void TRMTemplate::SortBands()
{
    std::stable_sort(bands.begin(), bands.end(),
                     [](const TRMBand& a, const TRMBand& b) { return infoOf(a.type).rank < infoOf(b.type).rank; });
}

QStringList TRMTemplate::Expressions() const
{
    static const QRegularExpression re(QStringLiteral("\\[([^\\[\\]]*)\\]"));
    QStringList out;
    for (const TRMBand& b : bands)
        for (const TRMObject& o : b.objects)
            for (const auto& m : re.globalMatch(o.text)) {
                const QString e = m.captured(1).trimmed();
                if (!out.contains(e))
                    out.append(e);
            }
    return out;
}
