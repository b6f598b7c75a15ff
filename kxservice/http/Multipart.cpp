#include "Multipart.h"

#include "protocol/ServiceError.h"

#include <cctype>
#include <cstring>
#include <optional>

namespace {
constexpr size_t kMaxPartHeader = 16 * 1024;

[[noreturn]] void malformed()
{
    throw TServiceError(kxBadRequest, QStringLiteral("请求格式错误：无法读取 multipart 请求体"));
}

bool iequals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The value of parameter `key` in a header value such as
// `form-data; name="delta"; filename="delta"`; quoted values may escape with a backslash.
std::optional<std::string> headerParam(std::string_view value, std::string_view key)
{
    size_t i = value.find(';');
    while (i != std::string_view::npos && i < value.size()) {
        ++i;
        while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
            ++i;
        const size_t eq = value.find('=', i);
        if (eq == std::string_view::npos)
            return std::nullopt;
        const std::string_view name = trim(value.substr(i, eq - i));
        std::string v;
        size_t j = eq + 1;
        while (j < value.size() && (value[j] == ' ' || value[j] == '\t'))
            ++j;
        if (j < value.size() && value[j] == '"') {
            for (++j; j < value.size() && value[j] != '"'; ++j) {
                if (value[j] == '\\' && j + 1 < value.size())
                    ++j;
                v += value[j];
            }
            if (j >= value.size())
                return std::nullopt; // unterminated quote
            ++j;
            while (j < value.size() && value[j] != ';')
                ++j;
        } else {
            const size_t end = value.find(';', j);
            v = std::string(trim(value.substr(j, end == std::string_view::npos ? std::string_view::npos : end - j)));
            j = end == std::string_view::npos ? value.size() : end;
        }
        if (iequals(name, key))
            return v;
        i = j;
    }
    return std::nullopt;
}

size_t find(const char* data, size_t size, size_t from, std::string_view what)
{
    if (from > size)
        return std::string_view::npos;
    const void* p = ::memmem(data + from, size - from, what.data(), what.size());
    return p ? size_t(static_cast<const char*>(p) - data) : std::string_view::npos;
}

struct TSpan {
    std::string name, filename;
    size_t offset = 0, size = 0;
};
}

std::string KxMultipartBoundary(std::string_view contentType)
{
    const size_t semi = contentType.find(';');
    if (!iequals(trim(contentType.substr(0, semi)), "multipart/form-data") || semi == std::string_view::npos)
        return {};
    std::string b = headerParam(contentType, "boundary").value_or(std::string());
    // RFC 2046: 1 to 70 characters.
    return b.size() <= 70 ? b : std::string();
}

std::vector<TRawPart> KxSplitMultipart(QByteArray&& body, std::string_view boundary, int maxParts)
{
    if (boundary.empty())
        malformed();
    const char* data = body.constData();
    const size_t size = size_t(body.size());
    const std::string delimiter = "--" + std::string(boundary);
    const std::string next = "\r\n" + delimiter;

    size_t pos = 0;
    if (size < delimiter.size() || std::memcmp(data, delimiter.data(), delimiter.size()) != 0) {
        pos = find(data, size, 0, next); // after a preamble
        if (pos == std::string_view::npos)
            malformed();
        pos += 2;
    }
    std::vector<TSpan> spans;
    for (;;) {
        pos += delimiter.size();
        if (size - pos >= 2 && data[pos] == '-' && data[pos + 1] == '-')
            break; // the closing delimiter; what follows is epilogue
        while (pos < size && (data[pos] == ' ' || data[pos] == '\t'))
            ++pos;
        if (size - pos < 2 || data[pos] != '\r' || data[pos + 1] != '\n')
            malformed();
        pos += 2;
        const size_t headerEnd = find(data, std::min(size, pos + kMaxPartHeader + 4), pos, "\r\n\r\n");
        if (headerEnd == std::string_view::npos)
            malformed();
        TSpan span;
        bool named = false;
        for (size_t line = pos; line < headerEnd;) {
            size_t eol = find(data, headerEnd + 2, line, "\r\n");
            const std::string_view text(data + line, eol - line);
            line = eol + 2;
            const size_t colon = text.find(':');
            if (colon == std::string_view::npos)
                malformed();
            if (!iequals(trim(text.substr(0, colon)), "content-disposition"))
                continue;
            const std::string_view value = trim(text.substr(colon + 1));
            if (auto n = headerParam(value, "name")) {
                span.name = std::move(*n);
                named = true;
            }
            span.filename = headerParam(value, "filename").value_or(std::string());
        }
        if (!named)
            malformed();
        span.offset = headerEnd + 4;
        const size_t end = find(data, size, span.offset, next);
        if (end == std::string_view::npos)
            malformed();
        span.size = end - span.offset;
        if (int(spans.size()) >= maxParts)
            throw TServiceError(kxBadRequest, QStringLiteral("请求格式错误：字段超过 %1 个").arg(maxParts));
        spans.push_back(std::move(span));
        pos = end + 2;
    }

    // The largest attachment keeps the body's buffer when it is most of the body; every other
    // part is copied out first.
    int keep = -1;
    for (int i = 0; i < int(spans.size()); ++i)
        if (!spans[size_t(i)].filename.empty() && spans[size_t(i)].size * 2 >= size && (keep < 0 || spans[size_t(i)].size > spans[size_t(keep)].size))
            keep = i;
    std::vector<TRawPart> parts(spans.size());
    for (size_t i = 0; i < spans.size(); ++i) {
        parts[i].name = std::move(spans[i].name);
        parts[i].filename = std::move(spans[i].filename);
        if (int(i) != keep)
            parts[i].content = QByteArray(data + spans[i].offset, qsizetype(spans[i].size));
    }
    if (keep >= 0) {
        // Removing from the front only moves the start of the unshared buffer, and truncating
        // keeps it: no copy, no new allocation.
        body.remove(0, qsizetype(spans[size_t(keep)].offset));
        body.truncate(qsizetype(spans[size_t(keep)].size));
        parts[size_t(keep)].content = std::move(body);
    }
    return parts;
}
