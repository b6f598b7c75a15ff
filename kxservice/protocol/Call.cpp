#include "Call.h"

#include "ServiceError.h"
#include "uRequest.h"

#include <QStringDecoder>
#include <sodium.h>

namespace {
// A field name for a message: its bytes that are not UTF-8 written as \xNN, so the refusal
// itself stays readable text.
QString readableName(const std::string& name)
{
    const QByteArrayView bytes(name.data(), qsizetype(name.size()));
    QString out;
    for (qsizetype i = 0; i < bytes.size() && out.size() < 80;) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        const qsizetype n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const QByteArrayView c = bytes.sliced(i, qMin(n, bytes.size() - i));
        if (c.size() == n && c.isValidUtf8()) {
            out += QString::fromUtf8(c);
            i += n;
        } else {
            out += QStringLiteral("\\x%1").arg(uint(lead), 2, 16, QLatin1Char('0'));
            ++i;
        }
    }
    return out;
}

QString utf8(QByteArrayView bytes, const char* what, const std::string& name)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString s = dec(bytes);
    if (dec.hasError())
        throw TServiceError(kxBadRequest, QStringLiteral("请求格式错误：%1 %2 不是有效的 UTF-8 文本")
                                              .arg(QString::fromUtf8(what), readableName(name)));
    return s;
}

// Control characters other than tab, CR and LF cannot be stored and answered as XML text;
// they are refused instead of being silently changed.
void checkText(const QString& s, const QString& name)
{
    for (QChar c : s) {
        const ushort u = c.unicode();
        if ((u < 0x20 && u != 0x9 && u != 0xA && u != 0xD) || u == 0xFFFE || u == 0xFFFF)
            throw TServiceError(kxBadRequest, QStringLiteral("参数 %1 含有不允许的控制字符").arg(name));
    }
}
}

TCall TCall::fromParts(std::vector<TRawPart>&& parts, const QString& remoteAddr)
{
    TCall call;
    call.m_remote = remoteAddr;
    if (!parts.empty()) {
        QByteArray& last = parts.back().content;
        if (last.endsWith("\r\n"))
            last.chop(2);
    }
    for (TRawPart& p : parts) {
        const QString name = utf8(QByteArrayView(p.name.data(), qsizetype(p.name.size())), "字段名", p.name);
        if (name.isEmpty())
            throw TServiceError(kxBadRequest, QStringLiteral("请求格式错误：字段名为空"));
        if (!p.filename.empty()) {
            for (const auto& f : call.m_files)
                if (f.first == name)
                    throw TServiceError(kxBadRequest, QStringLiteral("请求格式错误：附件 %1 重复").arg(name));
            call.m_files.emplace_back(name, std::move(p.content));
            continue;
        }
        if (call.hasParam(name))
            throw TServiceError(kxBadRequest, QStringLiteral("请求格式错误：参数 %1 重复").arg(name));
        QString value = utf8(p.content, "参数", p.name);
        checkText(value, name);
        call.m_fields.push_back({name, std::move(value)});
    }
    return call;
}

QString TCall::param(const QString& name) const
{
    for (const auto& f : m_fields)
        if (f.name == name)
            return f.value;
    return QString();
}

bool TCall::hasParam(const QString& name) const
{
    for (const auto& f : m_fields)
        if (f.name == name)
            return true;
    return false;
}

const QByteArray* TCall::file(const QString& name) const
{
    for (const auto& f : m_files)
        if (f.first == name)
            return &f.second;
    return nullptr;
}

QByteArray TCall::takeFile(const QString& name)
{
    for (auto& f : m_files)
        if (f.first == name)
            return std::exchange(f.second, QByteArray());
    return QByteArray();
}

void TCall::setField(const QString& name, const QString& value)
{
    for (auto& f : m_fields)
        if (f.name == name) {
            f.value = value;
            return;
        }
    m_fields.push_back({name, value});
}

bool TCall::signatureValid(const QString& secret) const
{
    QList<QPair<QString, QString>> signedFields;
    signedFields.reserve(qsizetype(m_fields.size()));
    QString given;
    bool haveSign = false;
    for (const auto& f : m_fields) {
        if (f.name == QLatin1String("sign")) {
            given = f.value;
            haveSign = true;
        } else if (f.name != QLatin1String("end")) {
            signedFields.append({f.name, f.value});
        }
    }
    if (!haveSign)
        return false;
    const QByteArray expected = KxSignature(signedFields, secret).toLatin1();
    const QByteArray got = given.toLatin1();
    if (got.size() != expected.size())
        return false; // the length of a signature is public
    return sodium_memcmp(got.constData(), expected.constData(), size_t(expected.size())) == 0;
}
