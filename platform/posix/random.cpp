// BCryptGenRandom over the kernel's random source.
#include "random.h"

#include <sys/random.h>

#include <cerrno>

extern "C" NTSTATUS BCryptGenRandom(BCRYPT_ALG_HANDLE algorithm, UCHAR* buffer, ULONG count, ULONG flags) {
    if (algorithm || !(flags & BCRYPT_USE_SYSTEM_PREFERRED_RNG) || (!buffer && count)) return STATUS_INVALID_PARAMETER;
    ULONG filled = 0;
    while (filled < count) {
        const ssize_t n = getrandom(buffer + filled, count - filled, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return STATUS_UNSUCCESSFUL;
        }
        filled += ULONG(n);
    }
    return STATUS_SUCCESS;
}
