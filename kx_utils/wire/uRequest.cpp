#include "uRequest.h"
#include "uConfig.h"

#include <QCryptographicHash>
#include <algorithm>

void TRequest::AddParams(const QString& name, const QString& value)
{
    if (THashTable* p = GetParam(name)) {
        p->Value = value;
        return;
    }
    m_params.push_back(std::make_unique<THashTable>(name, value));
}

void TRequest::AddParamLines(const QStringList& lines)
{
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        AddParams(eq < 0 ? line : line.left(eq), eq < 0 ? QString() : line.mid(eq + 1));
    }
}

void TRequest::AddFiles(const QString& name, const QString& text)
{
    THashFile* f = GetFile(name);
    if (!f) {
        m_files.push_back(std::make_unique<THashFile>(name));
        f = m_files.back().get();
    }
    f->Append(text);
}

THashTable* TRequest::GetParam(const QString& name) const
{
    for (const auto& p : m_params)
        if (p->Name == name)
            return p.get();
    return nullptr;
}

THashFile* TRequest::GetFile(const QString& name) const
{
    for (const auto& f : m_files)
        if (f->Name == name)
            return f.get();
    return nullptr;
}

QString TRequest::ParamValue(const QString& name) const
{
    const THashTable* p = GetParam(name);
    return p ? p->Value : QString();
}

QString TRequest::GetSign() const
{
    return GetSign(Secret);
}

QString TRequest::GetSign(const QString& secret) const
{
    QList<QPair<QString, QString>> pairs;
    pairs.reserve(int(m_params.size()));
    for (const auto& p : m_params)
        pairs.append({p->Name, p->Value});
    return KxSignature(pairs, secret);
}

void TRequest::Clear()
{
    m_params.clear();
    m_files.clear();
}

QString KxTrimLow(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 32)
        ++b;
    while (e > b && s.at(e - 1).unicode() <= 32)
        --e;
    return s.mid(b, e - b);
}

QByteArray KxTrimLow(const QByteArray& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && uchar(s.at(b)) <= 32)
        ++b;
    while (e > b && uchar(s.at(e - 1)) <= 32)
        --e;
    return s.mid(b, e - b);
}

namespace {
QByteArray keyOf(const QString& line)
{
    const qsizetype eq = line.indexOf(u'=');
    return (eq < 0 ? line : line.left(eq)).toUtf8();
}
}

int SortCompare(const QString& a, const QString& b)
{
    const QByteArray ka = keyOf(a), kb = keyOf(b);
    // QByteArray's compare is unsigned and byte-wise, a prefix sorting first.
    return ka.compare(kb);
}

QString KxSignature(const QList<QPair<QString, QString>>& params, const QString& secret)
{
    QStringList lines;
    for (const auto& [name, value] : params)
        if (!KxTrimLow(name).isEmpty() && !KxTrimLow(value).isEmpty())
            lines.append(name + u'=' + value);
    std::sort(lines.begin(), lines.end(),
              [](const QString& a, const QString& b) { return SortCompare(a, b) < 0; });

    QString text = secret;
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        const QString value = line.mid(eq + 1);
        // A name holding "=" splits at its first "=": the rest joins the value.
        if (!KxTrimLow(value).isEmpty())
            text += line.left(eq) + value;
    }
    text += secret;
    const QByteArray bytes = KxTrimLow(text.toUtf8());
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toUpper());
}
