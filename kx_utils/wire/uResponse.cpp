#include "uResponse.h"
#include "uAnswerCodec.h"
#include "uConfig.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <pugixml.hpp>

namespace {
const QByteArray kErrorRoot("error_response");
const QByteArray kLfCr("\n\r");

// Direct text and CDATA of an element; null when it has none.
bool elementText(const pugi::xml_node& e, QByteArray& out)
{
    bool any = false;
    for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
            out += c.value();
            any = true;
        }
    }
    return any;
}
}

bool KxXmlToUtf8(const QByteArray& in, QByteArray& out, QString& error)
{
    if (in.startsWith("\xEF\xBB\xBF")) {
        out = in.mid(3);
        return true;
    }
    if (in.startsWith("\xFF\xFE") || in.startsWith("\xFE\xFF")) {
        auto dec = QStringDecoder(in.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        QString text = dec.decode(in.mid(2));
        out = text.toUtf8();
        return true;
    }
    // The declaration is ASCII in every encoding we accept.
    static const QRegularExpression decl(QStringLiteral(R"(^\s*<\?xml[^>]*encoding\s*=\s*["']([A-Za-z0-9._-]+)["'])"));
    const QString head = QString::fromLatin1(in.left(200));
    const auto m = decl.match(head);
    const QString enc = m.hasMatch() ? m.captured(1).toLower() : QString();
    if (enc.isEmpty() || enc == u"utf-8" || enc == u"utf8" || enc == u"us-ascii" || enc == u"ascii") {
        out = in;
        return true;
    }
    // gb2312 and GBK are subsets of GB18030: read every one of them with GB18030.
    const QString name = (enc == u"gb2312" || enc == u"gbk" || enc == u"cp936") ? QStringLiteral("GB18030") : enc;
    QStringDecoder dec(name.toLatin1().constData());
    if (!dec.isValid()) {
        error = QStringLiteral("XML 文档的编码 %1 无法识别。").arg(enc);
        return false;
    }
    const QString text = dec.decode(in);
    if (dec.hasError()) {
        error = QStringLiteral("XML 文档不是有效的 %1 编码文本。").arg(enc);
        return false;
    }
    out = text.toUtf8();
    return true;
}

bool TResponse::DataReceive(const QByteArray& wire)
{
    QByteArray xml;
    QString error;
    if (wire.isEmpty()) {
        m_body.clear();
        throw EKXServiceError(QStringLiteral("服务没有返回任何数据。"));
    }
    if (!KxDecodeAnswer(wire, xml, error))
        throw EKXServiceError(error);
    return ParseXml(xml);
}

bool TResponse::ParseXml(const QByteArray& xmlIn)
{
    m_body = xmlIn;
    QByteArray xml;
    QString error;
    if (!KxXmlToUtf8(xmlIn, xml, error))
        throw EKXServiceError(error);

    pugi::xml_document doc;
    // parse_doctype is on only so that a DOCTYPE can be seen and refused; entities are
    // never expanded beyond the five predefined ones.
    const unsigned opts = pugi::parse_default | pugi::parse_doctype;
    const pugi::xml_parse_result r = doc.load_buffer(xml.constData(), size_t(xml.size()), opts, pugi::encoding_utf8);
    if (!r)
        throw EKXServiceError(QStringLiteral("服务返回的 XML 无法解析：%1（位置 %2）")
                                  .arg(QString::fromUtf8(r.description()))
                                  .arg(r.offset));
    pugi::xml_node root;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_doctype)
            throw EKXServiceError(QStringLiteral("服务返回的 XML 含有 DOCTYPE 声明，已拒绝。"));
        if (n.type() == pugi::node_element && !root)
            root = n;
    }
    if (!root)
        throw EKXServiceError(QStringLiteral("服务返回的 XML 没有根元素。"));

    if (kErrorRoot != root.name()) {
        for (pugi::xml_node c = root.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element)
                continue;
            QByteArray value;
            if (elementText(c, value))
                m_params.emplace_back(QByteArray(c.name()), std::move(value));
        }
        return true;
    }

    QString text;
    int code = 0;
    gcallurl.clear();
    QByteArray v;
    if (elementText(root.child("code"), v)) {
        text = QStringLiteral("错误号：") + QString::fromUtf8(v) + QString::fromLatin1(kLfCr + kLfCr);
        code = v.trimmed().toInt();
    }
    v.clear();
    if (elementText(root.child("msg"), v))
        text += QStringLiteral("错误信息：") + QString::fromUtf8(v);
    v.clear();
    if (elementText(root.child("callurl"), v))
        gcallurl = QString::fromUtf8(v);
    throw EKXServiceError(text, code);
}

QString TResponse::GetParam(const QString& name) const
{
    return QString::fromUtf8(GetParamUtf8(name));
}

QByteArray TResponse::GetParamUtf8(const QString& name) const
{
    const QByteArray n = name.toUtf8();
    for (const auto& [k, v] : m_params)
        if (k == n)
            return v;
    return {};
}

bool TResponse::HasParam(const QString& name) const
{
    const QByteArray n = name.toUtf8();
    for (const auto& p : m_params)
        if (p.first == n)
            return true;
    return false;
}

QString TResponse::GetReceive() const
{
    QByteArray utf8;
    QString error;
    return KxXmlToUtf8(m_body, utf8, error) ? QString::fromUtf8(utf8) : QString();
}

void TResponse::AddParams(const QString& name, const QString& value)
{
    m_params.emplace_back(name.toUtf8(), value.toUtf8());
}

void TResponse::Clear()
{
    m_params.clear();
    m_body.clear();
}
