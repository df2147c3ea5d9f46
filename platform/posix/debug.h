// Debugger output. There is no debugger channel here: the text goes to standard error, one line per
// call (a newline is added when the text does not end with one), written with a single write so the
// lines of different threads do not mix.
#pragma once

#include "wintypes.h"

QP_BEGIN_C
QP_API void OutputDebugStringA(LPCSTR text);
QP_END_C
