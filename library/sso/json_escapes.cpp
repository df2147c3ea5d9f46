// JSON escapes in the values of a token answer, which the flat splitting keeps as text.
#include "library/sso/hex_digit.h"
#include "library/sso/oauth2.h"

namespace {

// The code unit of "\uXXXX" at `at` (the backslash), or -1.
long CodeUnitAt(const CString& text, int at) {
    if (at + 6 > text.GetLength() || text[at] != '\\' || text[at + 1] != 'u') return -1;
    long unit = 0;
    for (int i = at + 2; i < at + 6; ++i) {
        const int digit = HexValue(static_cast<unsigned char>(text[i]));
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

void AppendUtf8(CString& out, unsigned long code) {
    if (code < 0x80) {
        out.AppendChar(static_cast<char>(code));
    } else if (code < 0x800) {
        out.AppendChar(char(0xC0 | (code >> 6)));
        out.AppendChar(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.AppendChar(char(0xE0 | (code >> 12)));
        out.AppendChar(char(0x80 | ((code >> 6) & 0x3F)));
        out.AppendChar(char(0x80 | (code & 0x3F)));
    } else {
        out.AppendChar(char(0xF0 | (code >> 18)));
        out.AppendChar(char(0x80 | ((code >> 12) & 0x3F)));
        out.AppendChar(char(0x80 | ((code >> 6) & 0x3F)));
        out.AppendChar(char(0x80 | (code & 0x3F)));
    }
}

char SimpleEscape(char letter) {
    switch (letter) {
    case '"': return '"';
    case '\\': return '\\';
    case '/': return '/';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return 0;
    }
}

}  // namespace

CString DecodeJsonEscapes(const CString& text) {
    CString out;
    const int length = text.GetLength();
    for (int i = 0; i < length; ++i) {
        if (text[i] != '\\' || i + 1 >= length) {
            out.AppendChar(text[i]);
            continue;
        }
        if (const char simple = SimpleEscape(text[i + 1])) {
            out.AppendChar(simple);
            ++i;
            continue;
        }
        const long unit = CodeUnitAt(text, i);
        if (unit < 0) {
            out.AppendChar(text[i]);
            continue;
        }
        const long low = unit >= 0xD800 && unit < 0xDC00 ? CodeUnitAt(text, i + 6) : -1;
        if (low >= 0xDC00 && low < 0xE000) {
            const unsigned long high = static_cast<unsigned long>(unit - 0xD800);
            AppendUtf8(out, 0x10000 + (high << 10) + static_cast<unsigned long>(low - 0xDC00));
            i += 11;
        } else {
            AppendUtf8(out, static_cast<unsigned long>(unit));
            i += 5;
        }
    }
    return out;
}

CString OAuth2::GetTokenValue(const FieldList& fields, const char* name) {
    return DecodeJsonEscapes(GetFieldValue(fields, name));
}
