// The lifecycle hook of the library as shipped: it reports nothing.
#include "library/lifecycle_trace.h"

void TraceLifecycle(const char*) {}
