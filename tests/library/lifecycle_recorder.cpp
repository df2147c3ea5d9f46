// The lifecycle hook of the test build: hands every step to the loading program's sink.
#include <dlfcn.h>

#include "library/lifecycle_trace.h"

void TraceLifecycle(const char* step) {
    using Sink = void (*)(const char*);
    auto sink = reinterpret_cast<Sink>(dlsym(RTLD_DEFAULT, "QuarnelsLifecycleSink"));
    if (sink) sink(step);
}
