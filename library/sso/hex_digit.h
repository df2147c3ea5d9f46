// The value of one hexadecimal digit, for the percent-decoding and the JSON escapes alike.
#pragma once

// 0 to 15, or -1 for a byte that is no hexadecimal digit.
inline int HexValue(unsigned char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    return -1;
}
