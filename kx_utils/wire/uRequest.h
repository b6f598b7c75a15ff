#pragma once
// The named parameters and text attachments of one service call, and their signature.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class THashTable {
public:
    THashTable(const QString& name, const QString& value) : Name(name), Value(value) {}
    QString Name;
    QString Value;
};

class THashFile {
public:
    explicit THashFile(const QString& name) : Name(name) {}
    QString Name;
    QByteArray Content; // UTF-8 text; attachments grow by appending
    void Append(const QString& text) { Content += text.toUtf8(); }
};

class TRequest {
public:
    // Replaces the value in place when the name exists, else appends (order is wire order).
    void AddParams(const QString& name, const QString& value);
    // Appends the text to an attachment of that name, creating it at the end when absent.
    void AddFiles(const QString& name, const QString& text);
    // Name=value lines (fixed and search conditions) as parameters: the name is the text
    // before the first "=", the value the rest; a line without "=" gives an empty value.
    void AddParamLines(const QStringList& lines);
    THashTable* GetParam(const QString& name) const;
    THashFile* GetFile(const QString& name) const;
    QString ParamValue(const QString& name) const; // empty when absent
    QString GetSign() const;                       // with the built-in secret
    QString GetSign(const QString& secret) const;
    void Clear();

    const std::vector<std::unique_ptr<THashTable>>& Params() const { return m_params; }
    const std::vector<std::unique_ptr<THashFile>>& Files() const { return m_files; }

private:
    std::vector<std::unique_ptr<THashTable>> m_params;
    std::vector<std::unique_ptr<THashFile>> m_files;
};

// Orders "name=value" lines by the bytes of the name part (text before the first "="),
// unsigned and ordinal, a prefix first. Returns <0, 0 or >0.
int SortCompare(const QString& a, const QString& b);

// Removes characters of code 32 or below from both ends (not QString::trimmed, which knows
// Unicode spaces and would sign differently from the service).
QString KxTrimLow(const QString& s);
QByteArray KxTrimLow(const QByteArray& s);

// The request signature over name/value pairs in any order: upper-case hex MD5 of
// secret + sorted name/value runs + secret, in UTF-8. Blank names or values do not take part.
// The service checks calls with this very function.
QString KxSignature(const QList<QPair<QString, QString>>& params, const QString& secret);
