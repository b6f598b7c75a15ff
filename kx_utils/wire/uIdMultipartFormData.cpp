#include "uIdMultipartFormData.h"
#include "uClock.h"

#include <QFile>
#include <cstring>

namespace {
const QByteArray CRLF("\r\n");

void checkHeaderText(const QString& what, const QString& text)
{
    // Names go into the part header unescaped: a quote or a line break would end the header
    // early and let the text forge other parts.
    if (text.contains(u'"') || text.contains(u'\r') || text.contains(u'\n'))
        throw EIdInvalidFieldName(what + QStringLiteral(" \"") + text + u'"');
}
}

EIdInvalidObjectType::EIdInvalidObjectType()
    : EIdException(QStringLiteral("Unsupported object type. You can assign only one of the "
                                  "following types or their descendants: TStrings, TStream."))
{
}

EIdInvalidFieldName::EIdInvalidFieldName(const QString& what)
    : EIdException(QStringLiteral("表单字段的名称不能包含双引号或换行符：") + what)
{
}

QByteArray TIdStrings::Text() const
{
    QByteArray out;
    for (const QString& l : Lines)
        out += l.toUtf8() + CRLF;
    return out;
}

TIdFormDataField::~TIdFormDataField()
{
    if (m_internal)
        delete m_object;
}

void TIdFormDataField::SetFieldName(const QString& v)
{
    checkHeaderText(QStringLiteral("name"), v);
    m_fieldName = v;
    recompute();
}

void TIdFormDataField::SetFieldValue(const QString& v)
{
    m_fieldValue = v;
    recompute();
}

void TIdFormDataField::SetFileName(const QString& v)
{
    checkHeaderText(QStringLiteral("filename"), v);
    m_fileName = v;
    recompute();
}

void TIdFormDataField::SetContentType(const QString& v)
{
    checkHeaderText(QStringLiteral("Content-Type"), v);
    m_contentType = v;
    recompute();
}

void TIdFormDataField::SetFieldObject(QObject* obj, bool owned)
{
    if (obj && !qobject_cast<QIODevice*>(obj) && !qobject_cast<TIdStrings*>(obj))
        throw EIdInvalidObjectType();
    if (m_internal && m_object != obj)
        delete m_object;
    m_object = obj;
    m_internal = owned && obj;
    recompute();
}

qint64 TIdFormDataField::ObjectSize() const
{
    if (auto* dev = qobject_cast<QIODevice*>(m_object))
        return dev->size();
    if (auto* lines = qobject_cast<TIdStrings*>(m_object))
        return lines->Text().size();
    return 0;
}

QByteArray TIdFormDataField::FormatHeader() const
{
    // The boundary is prepended by the stream; this is everything after "--" B CRLF.
    QByteArray h;
    if (IsFilePart()) {
        h += "Content-Disposition: form-data; name=\"" + m_fieldName.toUtf8() + "\"; filename=\""
            + m_fileName.toUtf8() + "\"" + CRLF;
        h += "Content-Type: " + m_contentType.toUtf8() + CRLF + CRLF;
    } else {
        h += "Content-Disposition: form-data; name=\"" + m_fieldName.toUtf8() + "\"" + CRLF + CRLF;
        h += m_fieldValue.toUtf8() + CRLF;
    }
    return h;
}

void TIdFormDataField::recompute()
{
    // Size without the boundary line; the stream adds it (it knows the boundary).
    m_size = FormatHeader().size();
    if (m_object)
        m_size += ObjectSize() + 2;
}

TIdMultiPartFormDataStream::TIdMultiPartFormDataStream()
{
    m_boundary = QStringLiteral("--------") + KxNow().toString(QStringLiteral("MMddyyHHmmsszzz"));
    m_contentType = QStringLiteral("multipart/form-data; boundary=") + m_boundary;
}

TIdMultiPartFormDataStream::~TIdMultiPartFormDataStream() = default;

QByteArray TIdMultiPartFormDataStream::trailer() const
{
    return CRLF + "--" + m_boundary.toLatin1() + "--" + CRLF;
}

qint64 TIdMultiPartFormDataStream::Size() const
{
    qint64 total = trailer().size();
    const qint64 boundaryLine = 2 + m_boundary.size() + 2;
    for (const auto& f : m_fields)
        total += boundaryLine + f->FieldSize();
    return total;
}

TIdFormDataField* TIdMultiPartFormDataStream::append(std::unique_ptr<TIdFormDataField> f)
{
    m_fields.push_back(std::move(f));
    return m_fields.back().get();
}

qint64 TIdMultiPartFormDataStream::AddFormField(const QString& name, const QString& value)
{
    auto f = std::make_unique<TIdFormDataField>();
    f->SetFieldName(name);
    f->SetFieldValue(value);
    append(std::move(f));
    return Size();
}

qint64 TIdMultiPartFormDataStream::AddObject(const QString& fieldName, const QString& contentType,
                                             const QString& fileName, QObject* object)
{
    auto f = std::make_unique<TIdFormDataField>();
    f->SetFieldName(fieldName);
    f->SetContentType(contentType);
    f->SetFileName(fileName);
    f->SetFieldObject(object, false);
    append(std::move(f));
    return Size();
}

qint64 TIdMultiPartFormDataStream::AddFile(const QString& fieldName, const QString& fileName,
                                           const QString& contentType)
{
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadOnly))
        throw EIdException(QStringLiteral("无法打开文件 %1：%2").arg(fileName, file->errorString()));
    auto f = std::make_unique<TIdFormDataField>();
    f->SetFieldName(fieldName);
    f->SetContentType(contentType);
    f->SetFileName(fileName);
    f->SetFieldObject(file.release(), true);
    append(std::move(f));
    return Size();
}

qint64 TIdMultiPartFormDataStream::Read(char* buffer, qint64 count)
{
    if (!m_initialized) {
        m_initialized = true;
        m_currentItem = 0;
        m_buffer.clear();
        m_input = nullptr;
    }
    qint64 done = 0;
    const size_t n = m_fields.size();
    while (done < count && (m_currentItem <= n || !m_buffer.isEmpty())) {
        if (m_buffer.isEmpty() && !m_input && m_currentItem < n) {
            TIdFormDataField* f = m_fields[m_currentItem].get();
            m_buffer += "--" + m_boundary.toLatin1() + CRLF + f->FormatHeader();
            if (auto* dev = qobject_cast<QIODevice*>(f->FieldObject())) {
                dev->seek(0);
                m_input = dev;
            } else if (auto* lines = qobject_cast<TIdStrings*>(f->FieldObject())) {
                m_buffer += lines->Text() + CRLF;
                ++m_currentItem;
            } else {
                ++m_currentItem;
            }
        }
        const qint64 take = std::min<qint64>(count - done, m_buffer.size());
        if (take > 0) {
            std::memcpy(buffer + done, m_buffer.constData(), size_t(take));
            m_buffer.remove(0, take);
            done += take;
        }
        if (m_input && done < count && m_buffer.isEmpty()) {
            const qint64 want = count - done;
            const qint64 got = m_input->read(buffer + done, want);
            if (got > 0)
                done += got;
            if (got < want) {
                m_input->seek(0);
                m_input = nullptr;
                ++m_currentItem;
                m_buffer += CRLF;
            }
        }
        if (m_currentItem == n && !m_input) {
            m_buffer += trailer();
            ++m_currentItem;
        }
    }
    m_position += done;
    return done;
}

qint64 TIdMultiPartFormDataStream::Seek(qint64 offset, Origin origin)
{
    switch (origin) {
    case soBeginning:
        if (offset == 0) {
            m_initialized = false;
            m_position = 0;
        }
        return m_position;
    case soCurrent:
        return m_position;
    case soEnd:
        return Size();
    }
    return m_position;
}

qint64 TIdMultiPartFormDataStream::Write(const char*, qint64)
{
    throw EIdUnsupportedOperation();
}

QByteArray TIdMultiPartFormDataStream::ReadAll()
{
    Seek(0, soBeginning);
    QByteArray out;
    out.reserve(Size());
    char chunk[65536];
    for (;;) {
        const qint64 got = Read(chunk, sizeof chunk);
        if (got <= 0)
            break;
        out.append(chunk, got);
    }
    return out;
}
