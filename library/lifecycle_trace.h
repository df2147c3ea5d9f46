// A hook that reports the steps of loading and unloading the library. The library as shipped links
// an empty one; a test build links one that records the steps.
#pragma once

void TraceLifecycle(const char* step);
