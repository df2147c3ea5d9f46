// The Microsoft C runtime names that the code uses.
#pragma once

#include <time.h>
#include "wintypes.h"

typedef int errno_t;

QP_BEGIN_C
// Compares ignoring the case of A-Z only (the "C" locale); other bytes compare as unsigned values.
QP_API int _stricmp(const char* a, const char* b);
// Multibyte comparison without regard to case; with the single-byte code pages used here it folds A-Z.
QP_API int _mbsicmp(const unsigned char* a, const unsigned char* b);
QP_API __time64_t _mkgmtime64(struct tm* tm);
QP_API __time64_t _time64(__time64_t* out);
QP_API errno_t strcat_s(char* dest, size_t size, const char* src);
QP_END_C
