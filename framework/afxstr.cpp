// CString: the class library's byte string, its storage, search, editing and formatting.
#include "framework/afxstr.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// The text every empty string without storage points at. Nothing writes to it: GetBuffer always
// gives heap storage.
char g_emptyText[1] = {0};

bool IsWhite(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

char FoldLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

int SafeLength(const char* text) {
    if (!text) return 0;
    const size_t n = std::strlen(text);
    if (n > static_cast<size_t>(INT_MAX - 1)) AfxThrowMemoryException();
    return static_cast<int>(n);
}

bool InSet(const char* set, char c) { return c != 0 && std::strchr(set, c) != nullptr; }

// First occurrence of needle in hay at or after start, over all bytes; -1 when none.
int FindBytes(const char* hay, int hayLen, const char* needle, int needleLen, int start) {
    if (needleLen == 0) return start;
    for (int i = start; i + needleLen <= hayLen; ++i) {
        const void* hit = std::memchr(hay + i, needle[0], static_cast<size_t>(hayLen - needleLen - i + 1));
        if (!hit) return -1;
        i = static_cast<int>(static_cast<const char*>(hit) - hay);
        if (std::memcmp(hay + i, needle, static_cast<size_t>(needleLen)) == 0) return i;
    }
    return -1;
}

[[noreturn]] void ThrowInvalid() { AfxThrowOleException(E_INVALIDARG); }

}  // namespace

void CString::ThrowBadIndex() { ThrowInvalid(); }

CString::CString() noexcept : m_pch(g_emptyText), m_len(0), m_cap(0) {}

CString::CString(const CString& other) : CString() { Assign(other.m_pch, other.m_len); }

CString::CString(CString&& other) noexcept : m_pch(other.m_pch), m_len(other.m_len), m_cap(other.m_cap) {
    other.m_pch = g_emptyText;
    other.m_len = 0;
    other.m_cap = 0;
}

CString::CString(const char* text) : CString() { Assign(text, SafeLength(text)); }

CString::CString(const unsigned char* text) : CString(reinterpret_cast<const char*>(text)) {}

CString::CString(const char* text, int length) : CString() {
    if (length < 0 || (!text && length > 0)) ThrowInvalid();
    Assign(text, length);
}

CString::CString(char ch, int repeat) : CString() {
    if (repeat < 0) ThrowInvalid();
    if (repeat == 0) return;
    Reserve(repeat, false);
    std::memset(m_pch, ch, static_cast<size_t>(repeat));
    m_len = repeat;
    m_pch[m_len] = 0;
}

CString::~CString() {
    if (m_cap) std::free(m_pch);
}

CString& CString::operator=(const CString& other) {
    if (this != &other) Assign(other.m_pch, other.m_len);
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        if (m_cap) std::free(m_pch);
        m_pch = other.m_pch;
        m_len = other.m_len;
        m_cap = other.m_cap;
        other.m_pch = g_emptyText;
        other.m_len = 0;
        other.m_cap = 0;
    }
    return *this;
}

CString& CString::operator=(const char* text) {
    Assign(text, SafeLength(text));
    return *this;
}

CString& CString::operator=(const unsigned char* text) { return *this = reinterpret_cast<const char*>(text); }

CString& CString::operator=(char ch) {
    Assign(&ch, 1);
    return *this;
}

CString& CString::operator+=(const CString& text) {
    Append(text.m_pch, text.m_len);
    return *this;
}

CString& CString::operator+=(const char* text) {
    Append(text, SafeLength(text));
    return *this;
}

CString& CString::operator+=(char ch) {
    Append(&ch, 1);
    return *this;
}

// Makes room for `chars` characters and a NUL. With `keep` the current bytes survive; without,
// the caller overwrites them.
void CString::Reserve(int chars, bool keep) {
    if (chars < 0) ThrowInvalid();
    if (chars <= m_cap && m_cap > 0) return;
    if (chars > INT_MAX - 1) AfxThrowMemoryException();
    int64_t want = static_cast<int64_t>(m_cap) + m_cap / 2;
    if (want < chars) want = chars;
    if (want < 15) want = 15;
    if (want > INT_MAX - 1) want = INT_MAX - 1;
    char* p;
    if (m_cap) {
        p = static_cast<char*>(std::realloc(m_pch, static_cast<size_t>(want) + 1));
    } else {
        p = static_cast<char*>(std::malloc(static_cast<size_t>(want) + 1));
        if (p && keep) std::memcpy(p, m_pch, static_cast<size_t>(m_len));
    }
    if (!p) AfxThrowMemoryException();
    m_pch = p;
    m_cap = static_cast<int>(want);
    if (!keep) m_len = 0;
    m_pch[m_len] = 0;
    m_pch[m_cap] = 0;  // keeps ReleaseBuffer's scan for a NUL inside the buffer
}

void CString::Assign(const char* text, int length) {
    if (length <= 0) {
        Empty();
        return;
    }
    if (length <= m_cap) {
        std::memmove(m_pch, text, static_cast<size_t>(length));  // text may lie in our own buffer
    } else {
        char* p = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
        if (!p) AfxThrowMemoryException();
        std::memcpy(p, text, static_cast<size_t>(length));
        if (m_cap) std::free(m_pch);
        m_pch = p;
        m_cap = length;
    }
    m_len = length;
    m_pch[m_len] = 0;
}

void CString::Empty() noexcept {
    if (m_cap) std::free(m_pch);
    m_pch = g_emptyText;
    m_len = 0;
    m_cap = 0;
}

char CString::GetAt(int index) const {
    if (index < 0 || index > m_len) ThrowBadIndex();
    return m_pch[index];
}

void CString::Append(const CString& text) { Append(text.m_pch, text.m_len); }

void CString::Append(const char* text) { Append(text, SafeLength(text)); }

void CString::Append(const char* text, int length) {
    if (length < 0 || (!text && length > 0)) ThrowInvalid();
    if (length == 0) return;
    if (length > INT_MAX - 1 - m_len) AfxThrowMemoryException();
    // The text may be part of this string; find it again if the buffer moves.
    const uintptr_t t = reinterpret_cast<uintptr_t>(text);
    const uintptr_t b = reinterpret_cast<uintptr_t>(m_pch);
    const bool inside = m_cap && t >= b && t <= b + static_cast<uintptr_t>(m_cap);
    const size_t offset = inside ? t - b : 0;
    Reserve(m_len + length, true);
    if (inside) text = m_pch + offset;
    std::memmove(m_pch + m_len, text, static_cast<size_t>(length));
    m_len += length;
    m_pch[m_len] = 0;
}

void CString::AppendChar(char ch) { Append(&ch, 1); }

int CString::Compare(const char* text) const noexcept { return Sign(std::strcmp(m_pch, text ? text : "")); }

int CString::CompareNoCase(const char* text) const noexcept {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(m_pch);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(text ? text : "");
    for (;; ++a, ++b) {
        const unsigned char ca = static_cast<unsigned char>(FoldLower(static_cast<char>(*a)));
        const unsigned char cb = static_cast<unsigned char>(FoldLower(static_cast<char>(*b)));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    try {
        FormatV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}

void CString::AppendFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    try {
        AppendFormatV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}

void CString::FormatV(const char* format, va_list args) {
    // Formatted apart first: an argument may be this string's own text.
    CString result;
    result.AppendFormatV(format, args);
    *this = std::move(result);
}

void CString::AppendFormatV(const char* format, va_list args) {
    if (!format) ThrowInvalid();
    char local[512];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(local, sizeof(local), format, copy);
    va_end(copy);
    if (n >= 0 && static_cast<size_t>(n) < sizeof(local)) {
        Append(local, n);
        return;
    }
    // A runtime that answers a short buffer with -1 instead of the length is met by doubling.
    size_t size = n >= 0 ? static_cast<size_t>(n) + 1 : 2 * sizeof(local);
    for (;;) {
        if (size > static_cast<size_t>(INT_MAX)) AfxThrowMemoryException();
        char* buffer = static_cast<char*>(std::malloc(size));
        if (!buffer) AfxThrowMemoryException();
        va_copy(copy, args);
        n = std::vsnprintf(buffer, size, format, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < size) {
            try {
                Append(buffer, n);
            } catch (...) {
                std::free(buffer);
                throw;
            }
            std::free(buffer);
            return;
        }
        std::free(buffer);
        if (n < 0 && size >= (size_t(1) << 26)) ThrowInvalid();  // a format error, not a short buffer
        size = n >= 0 ? static_cast<size_t>(n) + 1 : 2 * size;
    }
}

CString CString::Mid(int first) const { return Mid(first, m_len); }

CString CString::Mid(int first, int count) const {
    if (first < 0) first = 0;
    if (first > m_len) first = m_len;
    if (count < 0) count = 0;
    if (count > m_len - first) count = m_len - first;
    if (first == 0 && count == m_len) return *this;
    return CString(m_pch + first, count);
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const {
    if (count < 0) count = 0;
    if (count > m_len) count = m_len;
    return CString(m_pch + m_len - count, count);
}

int CString::Find(char ch, int start) const noexcept {
    if (start < 0 || start >= m_len) return -1;
    const void* hit = std::memchr(m_pch + start, ch, static_cast<size_t>(m_len - start));
    return hit ? static_cast<int>(static_cast<const char*>(hit) - m_pch) : -1;
}

int CString::Find(const char* sub, int start) const noexcept {
    if (!sub || start < 0 || start > m_len) return -1;
    const size_t n = std::strlen(sub);
    if (n > static_cast<size_t>(m_len)) return -1;
    return FindBytes(m_pch, m_len, sub, static_cast<int>(n), start);
}

int CString::ReverseFind(char ch) const noexcept {
    for (int i = m_len - 1; i >= 0; --i)
        if (m_pch[i] == ch) return i;
    return -1;
}

int CString::FindOneOf(const char* chars) const noexcept {
    if (!chars) return -1;
    for (int i = 0; i < m_len; ++i)
        if (InSet(chars, m_pch[i])) return i;
    return -1;
}

int CString::Replace(char from, char to) {
    int count = 0;
    if (from == to) return 0;
    for (int i = 0; i < m_len; ++i) {
        if (m_pch[i] == from) {
            m_pch[i] = to;
            ++count;
        }
    }
    return count;
}

int CString::Replace(const char* from, const char* to) {
    const int fromLen = SafeLength(from);
    if (fromLen == 0 || fromLen > m_len) return 0;
    const int toLen = SafeLength(to);
    int count = 0;
    for (int i = FindBytes(m_pch, m_len, from, fromLen, 0); i >= 0; i = FindBytes(m_pch, m_len, from, fromLen, i + fromLen))
        ++count;
    if (count == 0) return 0;
    const int64_t newLen = m_len + static_cast<int64_t>(count) * (toLen - fromLen);
    if (newLen > INT_MAX - 1) AfxThrowMemoryException();
    // Built apart, so `from` and `to` may be parts of this string.
    CString result;
    result.Reserve(static_cast<int>(newLen), false);
    char* out = result.m_pch;
    int pos = 0;
    for (int i = FindBytes(m_pch, m_len, from, fromLen, 0); i >= 0; i = FindBytes(m_pch, m_len, from, fromLen, pos)) {
        std::memcpy(out, m_pch + pos, static_cast<size_t>(i - pos));
        out += i - pos;
        std::memcpy(out, to, static_cast<size_t>(toLen));
        out += toLen;
        pos = i + fromLen;
    }
    std::memcpy(out, m_pch + pos, static_cast<size_t>(m_len - pos));
    result.m_len = static_cast<int>(newLen);
    result.m_pch[result.m_len] = 0;
    *this = std::move(result);
    return count;
}

int CString::Delete(int index, int count) {
    if (index < 0) index = 0;
    if (count > 0 && index < m_len) {
        if (count > m_len - index) count = m_len - index;
        std::memmove(m_pch + index, m_pch + index + count, static_cast<size_t>(m_len - index - count));
        m_len -= count;
        m_pch[m_len] = 0;
    }
    return m_len;
}

CString& CString::MakeLower() noexcept {
    for (int i = 0; i < m_len; ++i) m_pch[i] = FoldLower(m_pch[i]);
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(char target) { return TrimRight(target).TrimLeft(target); }
CString& CString::Trim(const char* targets) { return TrimRight(targets).TrimLeft(targets); }

CString& CString::TrimLeft() {
    int i = 0;
    while (i < m_len && IsWhite(static_cast<unsigned char>(m_pch[i]))) ++i;
    Delete(0, i);
    return *this;
}

CString& CString::TrimLeft(char target) {
    int i = 0;
    while (i < m_len && m_pch[i] == target) ++i;
    Delete(0, i);
    return *this;
}

CString& CString::TrimLeft(const char* targets) {
    if (!targets) return *this;
    int i = 0;
    while (i < m_len && InSet(targets, m_pch[i])) ++i;
    Delete(0, i);
    return *this;
}

CString& CString::TrimRight() {
    int n = m_len;
    while (n > 0 && IsWhite(static_cast<unsigned char>(m_pch[n - 1]))) --n;
    return Truncate(n);
}

CString& CString::TrimRight(char target) {
    int n = m_len;
    while (n > 0 && m_pch[n - 1] == target) --n;
    return Truncate(n);
}

CString& CString::TrimRight(const char* targets) {
    if (!targets) return *this;
    int n = m_len;
    while (n > 0 && InSet(targets, m_pch[n - 1])) --n;
    return Truncate(n);
}

CString& CString::Truncate(int length) {
    if (length < 0 || length > m_len) ThrowInvalid();
    if (length == 0) {
        Empty();
    } else if (length < m_len) {
        m_len = length;
        m_pch[m_len] = 0;
    }
    return *this;
}

LPSTR CString::GetBuffer(int minLength) {
    if (minLength < 0) ThrowInvalid();
    Reserve(minLength > m_len ? minLength : m_len, true);
    return m_pch;
}

void CString::ReleaseBuffer(int newLength) {
    if (m_cap == 0) {  // no buffer was handed out
        if (newLength != -1 && newLength != 0) ThrowInvalid();
        return;
    }
    if (newLength == -1) {
        // The buffer always ends in a NUL at m_cap, so the scan stays inside it.
        newLength = static_cast<int>(static_cast<const char*>(std::memchr(m_pch, 0, static_cast<size_t>(m_cap) + 1)) - m_pch);
    }
    if (newLength < 0 || newLength > m_cap) ThrowInvalid();
    m_len = newLength;
    m_pch[m_len] = 0;
    m_pch[m_cap] = 0;
}

CString operator+(const CString& a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, const char* b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const char* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(char a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}
