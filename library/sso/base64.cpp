// Base64 for the Basic credentials of the token requests, and base64url for the claims of access
// tokens.
#include "library/sso/oauth2.h"

#include <climits>

CString Base64Encode(const void* data, uint32_t count) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    CString text;
    if (count == 0) return text;
    // Every three bytes give four characters; a short group at the end is padded with "=".
    const uint64_t size = (uint64_t(count) + 2) / 3 * 4;
    if (size > uint64_t(INT_MAX)) AfxThrowMemoryException();
    char* out = text.GetBuffer(int(size));
    int written = 0;
    uint32_t i = 0;
    for (; i + 3 <= count; i += 3) {
        const uint32_t group = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
        out[written++] = kAlphabet[(group >> 18) & 63];
        out[written++] = kAlphabet[(group >> 12) & 63];
        out[written++] = kAlphabet[(group >> 6) & 63];
        out[written++] = kAlphabet[group & 63];
    }
    if (i < count) {
        const bool two = i + 1 < count;
        const uint32_t group = (uint32_t(bytes[i]) << 16) | (two ? uint32_t(bytes[i + 1]) << 8 : 0);
        out[written++] = kAlphabet[(group >> 18) & 63];
        out[written++] = kAlphabet[(group >> 12) & 63];
        out[written++] = two ? kAlphabet[(group >> 6) & 63] : '=';
        out[written++] = '=';
    }
    text.ReleaseBuffer(written);
    return text;
}

namespace {
// The value of one base64url character, or -1.
int Base64UrlValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '-') return 62;
    if (c == '_') return 63;
    return -1;
}
}  // namespace

BOOL Base64UrlDecode(const CString& text, CString* bytes) {
    int length = text.GetLength();
    const char* chars = text.GetString();
    // Padding is optional; when present it only completes the last group.
    for (int padding = 0; padding < 2 && length > 0 && chars[length - 1] == '='; ++padding) --length;
    if (length % 4 == 1) return FALSE;  // no whole byte in the last character

    CString decoded;
    uint32_t bits = 0;
    int count = 0;
    for (int i = 0; i < length; ++i) {
        const int value = Base64UrlValue(chars[i]);
        if (value < 0) return FALSE;
        bits = (bits << 6) | uint32_t(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            decoded.AppendChar(char((bits >> count) & 0xFF));
        }
    }
    *bytes = decoded;
    return TRUE;
}
