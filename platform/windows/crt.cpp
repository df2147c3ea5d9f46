// _stricmp as Windows has it in the "C" locale, comparing every byte unsigned.
#include "platform/win32api.h"

extern "C" int QpStricmp(const char* a, const char* b) {
    const auto* left = reinterpret_cast<const unsigned char*>(a);
    const auto* right = reinterpret_cast<const unsigned char*>(b);
    for (;; ++left, ++right) {
        int l = *left, r = *right;
        if (l >= 'A' && l <= 'Z') l += 'a' - 'A';
        if (r >= 'A' && r <= 'Z') r += 'a' - 'A';
        if (l != r || l == 0) return l - r;
    }
}
