// OAuth2::UrlDecode on any bytes, and the round trip through OAuth2::UrlEncode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "library/sso/oauth2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    const CString text(reinterpret_cast<const char*>(data), int(size));
    const CString decoded = OAuth2::UrlDecode(text);
    if (decoded.GetLength() > text.GetLength()) std::abort();

    const CString encoded = OAuth2::UrlEncode(text);
    if (encoded.GetLength() > 3 * text.GetLength()) std::abort();
    for (int i = 0; i < encoded.GetLength(); ++i) {
        const char c = encoded[i];
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '%';
        if (!allowed) std::abort();
    }
    const CString back = OAuth2::UrlDecode(encoded);
    if (back.GetLength() != text.GetLength() || std::memcmp(back.GetString(), text.GetString(), size_t(size)) != 0)
        std::abort();
    return 0;
}
