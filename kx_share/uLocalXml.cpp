#include "uLocalXml.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>

namespace {

QString decoderName(const QByteArray& bytes)
{
    static const QRegularExpression declared(QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([A-Za-z0-9._-]+)[\"']"));
    const auto m = declared.match(QString::fromLatin1(bytes.left(256)));
    if (!m.hasMatch())
        return QStringLiteral("UTF-8");
    const QString name = m.captured(1);
    // GB18030 reads everything gb2312 and GBK can say.
    if (name.compare(u"gb2312", Qt::CaseInsensitive) == 0 || name.compare(u"gbk", Qt::CaseInsensitive) == 0)
        return QStringLiteral("GB18030");
    return name;
}

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isNameChar(QChar c)
{
    return isNameStart(c) || c.isDigit() || c == u'-' || c == u'.' || c.category() == QChar::Mark_NonSpacing
           || c.category() == QChar::Mark_SpacingCombining;
}

bool looksEscaped(const QString& s, qsizetype i)
{
    static const QRegularExpression esc(QStringLiteral("^_x[0-9A-Fa-f]{4}_"));
    return esc.match(QStringView(s).mid(i)).hasMatch();
}

} // namespace

bool KxLoadLocalXml(const QString& fileName, QDomDocument* doc, QString* error)
{
    *doc = QDomDocument();
    QFile f(fileName);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("文件 %1 无法读取：%2").arg(fileName, f.errorString());
        return false;
    }
    const QByteArray bytes = f.readAll();
    QString text;
    if (auto bom = QStringConverter::encodingForData(bytes)) {
        QStringDecoder d(*bom);
        text = d(bytes);
    } else {
        const QString name = decoderName(bytes);
        QStringDecoder d(name.toLatin1().constData());
        if (!d.isValid()) {
            *error = QStringLiteral("文件 %1 的编码 %2 无法识别").arg(fileName, name);
            return false;
        }
        text = d(bytes);
    }
    // A DOCTYPE could declare entities that the DOM would expand: refused, as every reader
    // here refuses it.
    QXmlStreamReader probe(text);
    while (!probe.atEnd() && probe.readNext() != QXmlStreamReader::StartElement) {
        if (probe.tokenType() == QXmlStreamReader::DTD) {
            *error = QStringLiteral("文件 %1 含有 DOCTYPE 声明，已拒绝").arg(fileName);
            return false;
        }
    }
    QString message;
    int line = 0;
    if (!doc->setContent(text, &message, &line)) {
        *error = QStringLiteral("文件 %1 不是正确的 XML 文件（第 %2 行）：%3").arg(fileName).arg(line).arg(message);
        *doc = QDomDocument();
        return false;
    }
    return true;
}

bool KxSaveLocalXml(const QString& fileName, const QDomDocument& doc, QString* error)
{
    QString body;
    for (QDomNode n = doc.firstChild(); !n.isNull(); n = n.nextSibling()) {
        if (n.isProcessingInstruction() && n.nodeName() == u"xml")
            continue; // our own declaration replaces it
        QString part;
        QTextStream ts(&part);
        n.save(ts, 2);
        body += part;
    }
    QStringEncoder gb("GB18030");
    const QByteArray bytes = QByteArray("<?xml version=\"1.0\" encoding=\"gb2312\"?>\n") + QByteArray(gb(body));
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        *error = QStringLiteral("文件 %1 无法保存：%2").arg(fileName, f.errorString());
        return false;
    }
    return true;
}

QString KxEncodeXmlName(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool ok = i == 0 ? isNameStart(c) : isNameChar(c);
        if (c == u'_' && looksEscaped(text, i))
            out += QStringLiteral("_x005F_");
        else if (ok)
            out += c;
        else
            out += QStringLiteral("_x%1_").arg(c.unicode(), 4, 16, QChar(u'0')).toUpper().replace(QStringLiteral("_X"), QStringLiteral("_x"));
    }
    return out;
}

QString KxDecodeXmlName(const QString& name)
{
    static const QRegularExpression esc(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString out;
    qsizetype last = 0;
    for (auto it = esc.globalMatch(name); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(name).mid(last, m.capturedStart() - last);
        out += QChar(char16_t(m.captured(1).toUShort(nullptr, 16)));
        last = m.capturedEnd();
    }
    return out + name.mid(last);
}
