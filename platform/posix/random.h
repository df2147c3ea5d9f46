// The operating system's random source under its Windows name.
#pragma once

#include "wintypes.h"

typedef LONG NTSTATUS;
typedef void* BCRYPT_ALG_HANDLE;
#define BCRYPT_USE_SYSTEM_PREFERRED_RNG 0x00000002
#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#define STATUS_UNSUCCESSFUL ((NTSTATUS)0xC0000001L)
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000DL)
#define BCRYPT_SUCCESS(status) (((NTSTATUS)(status)) >= 0)

QP_BEGIN_C
// Fills the buffer from the kernel's random source; only the system-preferred generator is offered.
QP_API NTSTATUS BCryptGenRandom(BCRYPT_ALG_HANDLE algorithm, UCHAR* buffer, ULONG count, ULONG flags);
QP_END_C
