#include "Answer.h"

namespace {
const char kRoot[] = "response";

void appendName(QByteArray& out, const QString& name)
{
    for (QChar c : name) {
        const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
                        || c == u'_' || c == u'-' || c == u'.';
        out += ok ? char(c.unicode()) : '_';
    }
}

bool xmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
           || (c >= 0x10000 && c <= 0x10FFFF);
}
}

void KxAppendEscaped(QByteArray& out, const QString& text)
{
    // Plain ASCII runs are copied as they are; the rest goes through UTF-8 per code point.
    const QChar* p = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = p[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && p[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(p[i], p[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD;
        }
        switch (c) {
        case '&': out += "&amp;"; continue;
        case '<': out += "&lt;"; continue;
        case '>': out += "&gt;"; continue;
        case '\r': out += "&#13;"; continue;
        default: break;
        }
        if (!xmlChar(c))
            c = 0xFFFD;
        if (c < 0x80) {
            out += char(c);
        } else {
            const QString s = QString::fromUcs4(&c, 1);
            out += s.toUtf8();
        }
    }
}

TAnswer::TAnswer()
{
    m_body.reserve(256);
    m_body += "<?xml version=\"1.0\" encoding=\"UTF-8\"?><";
    m_body += kRoot;
    m_body += '>';
}

void TAnswer::add(const QString& name, const QString& value)
{
    m_body += '<';
    appendName(m_body, name);
    m_body += '>';
    KxAppendEscaped(m_body, value);
    m_body += "</";
    appendName(m_body, name);
    m_body += '>';
}

void TAnswer::addPacket(const QString& name, const QByteArray& packet)
{
    m_body.reserve(m_body.size() + packet.size() + 64);
    m_body += '<';
    appendName(m_body, name);
    m_body += "><![CDATA[";
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = packet.indexOf("]]>", from);
        if (at < 0)
            break;
        // "]]>" cannot stand inside one section: end it after "]]" and go on in a new one.
        m_body.append(packet.constData() + from, at + 2 - from);
        m_body += "]]><![CDATA[";
        from = at + 2;
    }
    m_body.append(packet.constData() + from, packet.size() - from);
    m_body += "]]></";
    appendName(m_body, name);
    m_body += '>';
}

QByteArray TAnswer::take()
{
    m_body += "</";
    m_body += kRoot;
    m_body += '>';
    QByteArray out = std::exchange(m_body, QByteArray());
    *this = TAnswer();
    return out;
}

QByteArray TAnswer::errorXml(int code, const QString& msg, const QString& callurl)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><error_response><code>";
    out += QByteArray::number(code);
    out += "</code><msg>";
    KxAppendEscaped(out, msg);
    out += "</msg>";
    if (!callurl.isEmpty()) {
        out += "<callurl>";
        KxAppendEscaped(out, callurl);
        out += "</callurl>";
    }
    out += "</error_response>";
    return out;
}
