// CString: the class library's ANSI text.
//
// A CString is a byte string with an explicit length, always followed by a NUL in memory. Bytes are
// never interpreted beyond ASCII: case folding and white space are those of the "C" locale.
// A NUL inside the text (possible through CString(ptr, len)) is kept by every operation
// that works on bytes (length, Mid/Left/Right, Find, Replace, Trim, +), but the
// operations that see the text as a C string stop at it: the LPCSTR conversion, the comparisons, and
// the hash of a map key.
//
// Failures are thrown the way the class library throws them: a memory exception when storage cannot
// be had (or a length would pass INT_MAX), an OLE exception with E_INVALIDARG for a character index
// out of range or a format the C runtime rejects.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "platform/win32api.h"
#include "framework/afxexcept.h"

class CString {
public:
    CString() noexcept;
    CString(const CString& other);
    CString(CString&& other) noexcept;
    CString(const char* text);  // nullptr gives the empty text
    CString(const unsigned char* text);
    CString(const char* text, int length);  // exactly `length` bytes, NULs included
    CString(char ch, int repeat = 1);
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(const char* text);
    CString& operator=(const unsigned char* text);
    CString& operator=(char ch);

    CString& operator+=(const CString& text);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);

    // The text up to the first NUL; valid until the string is next changed.
    operator LPCSTR() const noexcept { return m_pch; }
    LPCSTR GetString() const noexcept { return m_pch; }

    int GetLength() const noexcept { return m_len; }
    BOOL IsEmpty() const noexcept { return m_len == 0; }
    void Empty() noexcept;
    // Indexes 0..GetLength(); GetLength() itself gives the terminating NUL.
    char GetAt(int index) const;
    char operator[](int index) const { return GetAt(index); }

    void Append(const CString& text);
    void Append(const char* text);
    void Append(const char* text, int length);
    void AppendChar(char ch);

    // strcmp and a compare that folds A-Z only; both give -1, 0 or 1.
    int Compare(const char* text) const noexcept;
    int CompareNoCase(const char* text) const noexcept;

    // printf formatting (the C runtime's), of any length. Objects of this class must be passed as
    // LPCSTR (a cast or GetString()) for %s.
    void Format(const char* format, ...);
    void AppendFormat(const char* format, ...);
    void FormatV(const char* format, va_list args);
    void AppendFormatV(const char* format, va_list args);

    // Out-of-range positions and counts are clamped, never an error.
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;

    // Index of the first match at or after `start`, or -1. An empty `sub` matches at `start`.
    int Find(char ch, int start = 0) const noexcept;
    int Find(const char* sub, int start = 0) const noexcept;
    int ReverseFind(char ch) const noexcept;
    int FindOneOf(const char* chars) const noexcept;

    // Left-to-right, non-overlapping; returns the number of replacements. An empty `from` does nothing.
    int Replace(char from, char to);
    int Replace(const char* from, const char* to);
    // Returns the new length.
    int Delete(int index, int count = 1);

    CString& MakeLower() noexcept;

    // White space is space, \t, \n, \v, \f and \r; no other byte.
    CString& Trim();
    CString& Trim(char target);
    CString& Trim(const char* targets);
    CString& TrimLeft();
    CString& TrimLeft(char target);
    CString& TrimLeft(const char* targets);
    CString& TrimRight();
    CString& TrimRight(char target);
    CString& TrimRight(const char* targets);
    CString& Truncate(int length);

    // A writable buffer of at least minLength characters plus a NUL, holding the current text.
    // ReleaseBuffer ends the writing: newLength -1 takes the length up to the first NUL.
    LPSTR GetBuffer(int minLength = 0);
    void ReleaseBuffer(int newLength = -1);

private:
    void Reserve(int chars, bool keep);
    void Assign(const char* text, int length);
    [[noreturn]] static void ThrowBadIndex();

    char* m_pch;  // m_len bytes and a NUL; the shared empty text while m_cap is 0
    int m_len;
    int m_cap;    // characters the buffer holds, not counting the NUL
};

typedef CString CStringA;

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);
CString operator+(const CString& a, char b);
CString operator+(char a, const CString& b);

inline bool operator==(const CString& a, const CString& b) noexcept { return a.Compare(b) == 0; }
inline bool operator==(const CString& a, const char* b) noexcept { return a.Compare(b) == 0; }
inline bool operator==(const char* a, const CString& b) noexcept { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) noexcept { return a.Compare(b) != 0; }
inline bool operator!=(const CString& a, const char* b) noexcept { return a.Compare(b) != 0; }
inline bool operator!=(const char* a, const CString& b) noexcept { return b.Compare(a) != 0; }
inline bool operator<(const CString& a, const CString& b) noexcept { return a.Compare(b) < 0; }
inline bool operator<(const CString& a, const char* b) noexcept { return a.Compare(b) < 0; }
inline bool operator<(const char* a, const CString& b) noexcept { return b.Compare(a) > 0; }
inline bool operator>(const CString& a, const CString& b) noexcept { return a.Compare(b) > 0; }
inline bool operator>(const CString& a, const char* b) noexcept { return a.Compare(b) > 0; }
inline bool operator>(const char* a, const CString& b) noexcept { return b.Compare(a) < 0; }
inline bool operator<=(const CString& a, const CString& b) noexcept { return a.Compare(b) <= 0; }
inline bool operator<=(const CString& a, const char* b) noexcept { return a.Compare(b) <= 0; }
inline bool operator<=(const char* a, const CString& b) noexcept { return b.Compare(a) >= 0; }
inline bool operator>=(const CString& a, const CString& b) noexcept { return a.Compare(b) >= 0; }
inline bool operator>=(const CString& a, const char* b) noexcept { return a.Compare(b) >= 0; }
inline bool operator>=(const char* a, const CString& b) noexcept { return b.Compare(a) <= 0; }
