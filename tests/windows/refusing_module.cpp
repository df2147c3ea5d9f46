// A library module whose application refuses to start: its InitInstance returns FALSE, so the class
// library's DllMain must fail the load, after the module's shutdown ran as for any unload.
#include "framework/afxapp.h"

namespace {

class CRefusingApp : public CWinApp {
public:
    BOOL InitInstance() override { return FALSE; }
    int ExitInstance() override {
        SetEnvironmentVariableA("WIN_REFUSING_MODULE_EXIT", "ran");
        return 0;
    }
};

CRefusingApp theApp;

// As the library does it: start-up once the global objects exist, shutdown before they go.
struct Startup {
    Startup() { AfxDllProcessAttach(AfxGetThisModule()); }
    ~Startup() { AfxDllProcessDetach(); }
} startup;

}  // namespace

extern "C" __declspec(dllexport) int RefusingModuleProbe() { return 1; }
