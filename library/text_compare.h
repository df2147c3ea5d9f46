// Comparing the names that hosts and services pass (hubs, location flags, containers, query
// parameters) without regard to letter case.
#pragma once

#include "platform/win32api.h"

// Whether the two texts are equal without regard to letter case, by the C runtime's multibyte
// comparison (_mbsicmp); neither text is converted between code pages.
inline bool SameTextNoCase(LPCSTR a, LPCSTR b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b)) == 0;
}
