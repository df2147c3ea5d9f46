// Base64 for the Basic credentials of the token requests.
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
