#pragma once
// One incoming call: the form fields and text attachments of the multipart body, in body
// order, checked and decoded.
#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

struct TRawPart {
    std::string name, filename;
    QByteArray content;
};

struct TCallField {
    QString name;
    QString value;
};

class TCall {
public:
    // Takes the parts in body order. The client ends its body with an empty line before the
    // closing delimiter, so the last part carries one CRLF that is not content: exactly one is
    // removed. Attachments keep their buffers (moved, not copied). Throws TServiceError for a
    // body the service cannot accept.
    static TCall fromParts(std::vector<TRawPart>&& parts, const QString& remoteAddr);

    QString param(const QString& name) const;   // empty when absent
    bool hasParam(const QString& name) const;
    const QByteArray* file(const QString& name) const; // null when absent
    // An attachment's bytes moved out, for a reader that parses them in place; the attachment
    // stays, empty, so that a handler still sees it was sent. Empty when absent.
    QByteArray takeFile(const QString& name);
    QString method() const { return param(QStringLiteral("module")); }
    const std::vector<TCallField>& fields() const { return m_fields; }
    const std::vector<std::pair<QString, QByteArray>>& files() const { return m_files; }
    const QString& remoteAddr() const { return m_remote; }
    // The X-Forwarded-For header as the HTTP front received it (empty without one). Only
    // the dispatcher decides whether to believe it.
    const QString& forwardedFor() const { return m_forwardedFor; }
    void setForwardedFor(const QString& header) { m_forwardedFor = header; }

    // True when "sign" is the signature of the other fields under the secret; the comparison
    // takes the same time wherever the texts differ.
    bool signatureValid(const QString& secret) const;

    // For tests and tools: a call made directly from fields.
    void setField(const QString& name, const QString& value);

private:
    std::vector<TCallField> m_fields;
    std::vector<std::pair<QString, QByteArray>> m_files;
    QString m_remote;
    QString m_forwardedFor;
};
