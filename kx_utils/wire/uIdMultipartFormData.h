#pragma once
// The multipart/form-data body of a service call, produced on demand as a read-only stream
// whose length is known before the first byte is read.
#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>
#include <vector>

class EIdException : public std::runtime_error {
public:
    explicit EIdException(const QString& msg) : std::runtime_error(msg.toStdString()), Message(msg) {}
    QString Message;
};
class EIdInvalidObjectType : public EIdException {
public:
    EIdInvalidObjectType();
};
class EIdInvalidFieldName : public EIdException {
public:
    explicit EIdInvalidFieldName(const QString& what);
};
class EIdUnsupportedOperation : public EIdException {
public:
    EIdUnsupportedOperation() : EIdException(QStringLiteral("Unsupported operation.")) {}
};

// A list of text lines usable as a part's content; each line goes out ending in CRLF.
class TIdStrings : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    QStringList Lines;
    QByteArray Text() const;
};

class TIdFormDataField {
public:
    TIdFormDataField() = default;
    ~TIdFormDataField();
    TIdFormDataField(const TIdFormDataField&) = delete;
    TIdFormDataField& operator=(const TIdFormDataField&) = delete;

    QString FieldName() const { return m_fieldName; }
    QString FieldValue() const { return m_fieldValue; }
    QString FileName() const { return m_fileName; }
    QString ContentType() const { return m_contentType; }
    QObject* FieldObject() const { return m_object; }
    bool InternallyAssigned() const { return m_internal; }
    qint64 FieldSize() const { return m_size; }

    void SetFieldName(const QString& v);
    void SetFieldValue(const QString& v);
    void SetFileName(const QString& v);
    void SetContentType(const QString& v);
    // Accepts a QIODevice (a byte stream) or a TIdStrings; anything else raises
    // EIdInvalidObjectType. With owned = true the field frees the object.
    void SetFieldObject(QObject* obj, bool owned = false);

    bool IsFilePart() const { return m_object && !m_fileName.isEmpty(); }
    QByteArray FormatHeader() const; // a plain field: the whole part including its final CRLF
    qint64 ObjectSize() const;

private:
    void recompute();
    QString m_fieldName, m_fieldValue, m_fileName, m_contentType;
    QObject* m_object = nullptr;
    bool m_internal = false;
    qint64 m_size = 0;
};

class TIdMultiPartFormDataStream {
public:
    enum Origin { soBeginning, soCurrent, soEnd };

    TIdMultiPartFormDataStream();
    ~TIdMultiPartFormDataStream();

    QString Boundary() const { return m_boundary; }
    QString RequestContentType() const { return m_contentType; }
    qint64 Size() const;

    qint64 AddFormField(const QString& name, const QString& value);
    qint64 AddObject(const QString& fieldName, const QString& contentType, const QString& fileName,
                     QObject* object);
    qint64 AddFile(const QString& fieldName, const QString& fileName, const QString& contentType);
    int FieldCount() const { return int(m_fields.size()); }
    TIdFormDataField* Field(int i) const { return m_fields.at(size_t(i)).get(); }

    qint64 Read(char* buffer, qint64 count);
    qint64 Seek(qint64 offset, Origin origin);
    qint64 Write(const char* buffer, qint64 count); // always raises "Unsupported operation."
    QByteArray ReadAll();                           // rewinds, then the whole body

private:
    QByteArray trailer() const;
    TIdFormDataField* append(std::unique_ptr<TIdFormDataField> f);

    std::vector<std::unique_ptr<TIdFormDataField>> m_fields;
    QString m_boundary, m_contentType;
    qint64 m_size = 0; // parts only; the trailer is added by Size()
    qint64 m_position = 0;
    // production state of Read
    bool m_initialized = false;
    size_t m_currentItem = 0;
    QByteArray m_buffer;
    QIODevice* m_input = nullptr;
};
