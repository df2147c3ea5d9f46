// The library's global objects, in the one order in which they must be made at load; they are
// destroyed in the reverse order at unload. Keeping them in this one file is what fixes the order.
#include "framework/afxapp.h"
#include "framework/afxmt.h"
#include "library/lifecycle_trace.h"
#include "library/quarnels_app.h"
#include "library/sso/oauth2.h"

namespace {
// Reports that the objects defined before it were made, and, being destroyed just before them, that
// they are about to go.
struct LifecycleMark {
    const char* what;
    explicit LifecycleMark(const char* name) : what(name) { TraceLifecycle(what); }
    ~LifecycleMark() { TraceLifecycle(what); }
};

// The module's start-up runs once every global object exists; its shutdown, being made last, runs
// before any of them is destroyed.
struct LibraryStartup {
    LibraryStartup() {
        TraceLifecycle("start-up");
        // A start-up that fails cannot refuse the load on this platform; it is reported instead.
        if (!AfxDllProcessAttach(AfxGetThisModule())) OutputDebugStringA("Quarnels: start-up failed");
    }
    ~LibraryStartup() {
        TraceLifecycle("shutdown");
        AfxDllProcessDetach();
    }
};
}  // namespace

CQuarnelsApp theApp;
static LifecycleMark theAppMark("theApp");

CCriticalSection g_ExportLock;
static LifecycleMark exportLockMark("g_ExportLock");

OAuth2 g_OAuth;

static LibraryStartup libraryStartup;
