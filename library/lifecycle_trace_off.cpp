#include "library/lifecycle_trace.h"

void TraceLifecycle(const char*) {}
