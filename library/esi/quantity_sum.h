// How the queries hand a sum of quantities to the host, whose counts are 32-bit.
#pragma once

#include <climits>
#include <cstdint>

// A sum worked out in 64 bits, clamped into 0..2147483647: a total past that range shows as the
// largest count rather than wrapping round to a negative one.
inline int ClampQuantity(int64_t sum) {
    if (sum < 0) return 0;
    return sum > INT_MAX ? INT_MAX : static_cast<int>(sum);
}
