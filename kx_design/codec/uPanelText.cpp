#include "uPanelText.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

QByteArray KxBase64Lines(const QByteArray& bytes)
{
    const QByteArray flat = bytes.toBase64();
    QByteArray out;
    out.reserve(flat.size() + flat.size() / 76 * 2);
    for (qsizetype i = 0; i < flat.size(); i += 76) {
        if (i > 0)
            out.append("\r\n");
        out.append(flat.mid(i, 76));
    }
    return out;
}

bool KxBase64Decode(const QByteArray& text, QByteArray* out)
{
    QByteArray clean;
    clean.reserve(text.size());
    for (char c : text)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '=')
            clean.append(c);
    auto result = QByteArray::fromBase64Encoding(clean, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return false;
    *out = *result;
    return true;
}

QByteArray KxWritePanelText(const TKxPanelText& panel)
{
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.writeStartDocument(QStringLiteral("1.0"));
    w.writeStartElement(QStringLiteral("Root"));
    w.writeTextElement(QStringLiteral("width"), QString::number(panel.Width));
    w.writeTextElement(QStringLiteral("height"), QString::number(panel.Height));
    w.writeTextElement(QStringLiteral("module"), QString::fromLatin1(KxBase64Lines(panel.Module)));
    w.writeEndElement();
    w.writeEndDocument();
    return KxBase64Lines(xml);
}

bool KxReadPanelText(const QByteArray& text, TKxPanelText* panel, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = QStringLiteral("查询面板数据无法读取：") + why;
        return false;
    };
    QByteArray xml;
    if (!KxBase64Decode(text, &xml))
        return fail(QStringLiteral("不是 Base64 文本"));
    QXmlStreamReader r(xml);
    // A DOCTYPE could declare entities the reader would expand: refused, as every reader here
    // refuses it.
    while (!r.atEnd() && r.readNext() != QXmlStreamReader::StartElement)
        if (r.tokenType() == QXmlStreamReader::DTD)
            return fail(QStringLiteral("含有 DOCTYPE 声明，已拒绝"));
    if (r.tokenType() != QXmlStreamReader::StartElement || r.name() != u"Root")
        return fail(r.hasError() ? r.errorString() : QStringLiteral("缺少 Root 元素"));
    QString width, height, module;
    bool haveW = false, haveH = false, haveM = false;
    while (r.readNextStartElement()) {
        const QString name = r.name().toString();
        const QString value = r.readElementText(QXmlStreamReader::IncludeChildElements);
        if (name == u"width")
            width = value, haveW = true;
        else if (name == u"height")
            height = value, haveH = true;
        else if (name == u"module")
            module = value, haveM = true;
    }
    if (r.hasError())
        return fail(r.errorString());
    if (!haveW || !haveH || !haveM)
        return fail(QStringLiteral("缺少 width、height 或 module 元素"));
    bool okW, okH;
    TKxPanelText p;
    p.Width = width.trimmed().toInt(&okW);
    p.Height = height.trimmed().toInt(&okH);
    if (!okW || !okH)
        return fail(QStringLiteral("宽度或高度不是整数"));
    if (!KxBase64Decode(module.toLatin1(), &p.Module))
        return fail(QStringLiteral("module 不是 Base64 文本"));
    *panel = std::move(p);
    return true;
}
