#pragma once

// The text of a cell in a data packet attribute, both ways.

#include "CdsColumn.h"
#include "TDecimal.h"

#include <limits>

namespace kxcds {

// Wire text of a cell (data packet attribute value) to storage. Empty text of a non-text
// field is null. false when the text is not a valid value of the type.
bool parseWire(Column& c, quint32 r, const char* s, size_t n);
// Appends the wire text of a non-null cell, unescaped.
void appendWire(const Column& c, quint32 r, std::string& out);

// Digits with an optional sign, nothing else; false when they do not fit T.
template<typename T>
bool parseInt(const char* s, const char* end, T& out)
{
    bool neg = false;
    if (s < end && (*s == '-' || *s == '+')) {
        neg = *s == '-';
        ++s;
    }
    if (s == end)
        return false;
    quint64 v = 0;
    const quint64 limit = neg ? quint64(std::numeric_limits<T>::max()) + 1 : quint64(std::numeric_limits<T>::max());
    for (; s < end; ++s) {
        const unsigned dgt = unsigned(*s - '0');
        if (dgt > 9 || v > (limit - dgt) / 10)
            return false;
        v = v * 10 + dgt;
    }
    out = neg ? T(0 - v) : T(v);
    return true;
}

// "1"/"0" and, without regard to letter case, "true"/"false".
bool parseBoolText(const char* s, size_t n, bool& out);

} // namespace kxcds
