#pragma once
// The named values of a service answer.
#include "uRequest.h"

#include <QByteArray>
#include <QString>
#include <stdexcept>
#include <vector>

// A failed call: an error answer, an answer that cannot be read, or a transport failure.
// The message is what the operator is shown.
class EKXServiceError : public std::runtime_error {
public:
    explicit EKXServiceError(const QString& msg, int code = 0)
        : std::runtime_error(msg.toStdString()), Message(msg), Code(code) {}
    QString Message;
    int Code; // the error answer's "code"; 0 for every other failure
};

// The error code of an answer to a call whose session is unknown, expired or replaced: the
// operator must log in again.
inline constexpr int kKxSessionExpired = 14;

class TResponse {
public:
    // Reads a wire answer (length + zlib + XML). True on success; an error answer or any
    // unreadable answer raises EKXServiceError with the text to show.
    bool DataReceive(const QByteArray& wire);
    // Same for an answer already inflated (the service's own tests, tools).
    bool ParseXml(const QByteArray& xml);

    QString GetParam(const QString& name) const;        // first of that name; empty if none
    QByteArray GetParamUtf8(const QString& name) const; // same, without a text conversion
    bool HasParam(const QString& name) const;
    QString GetReceive() const;                         // the inflated XML of the last answer
    const QByteArray& Body() const { return m_body; }
    void AddParams(const QString& name, const QString& value);
    void Clear();
    int ParamCount() const { return int(m_params.size()); }
    QString ParamName(int i) const { return QString::fromUtf8(m_params.at(size_t(i)).first); }

private:
    std::vector<std::pair<QByteArray, QByteArray>> m_params; // UTF-8 name, value
    QByteArray m_body;
};

// Turns XML bytes in any declared encoding (UTF-8, UTF-16 with BOM, GBK/GB18030/GB2312) into
// UTF-8 with the declaration left as it was; false with a message for an unknown encoding.
bool KxXmlToUtf8(const QByteArray& in, QByteArray& out, QString& error);
