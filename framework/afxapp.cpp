#include "framework/afxapp.h"

#include <cstring>

namespace {
AFX_MODULE_STATE g_moduleState;
}

AFX_MODULE_STATE* AfxGetModuleState() { return &g_moduleState; }
CWinApp* AfxGetApp() { return g_moduleState.m_pCurrentWinApp; }
HINSTANCE AfxGetInstanceHandle() { return g_moduleState.m_hCurrentInstanceHandle; }
LPCSTR AfxGetAppName() { return g_moduleState.m_lpszCurrentAppName; }

HINSTANCE AfxGetThisModule() { return QpModuleFromAddress(reinterpret_cast<const void*>(&AfxGetThisModule)); }

CWinApp::CWinApp(LPCSTR appName) : m_pszAppName(appName) { g_moduleState.m_pCurrentWinApp = this; }

CWinApp::~CWinApp() {
    if (g_moduleState.m_pCurrentWinApp == this) g_moduleState.m_pCurrentWinApp = nullptr;
    if (g_moduleState.m_lpszCurrentAppName == m_pszAppName) g_moduleState.m_lpszCurrentAppName = nullptr;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

BOOL CWinApp::InitInstance() { return TRUE; }

void CWinApp::OnHelp() {}

void CWinApp::SetRegistryKey(LPCSTR company) { m_pszRegistryKey = company; }

HICON CWinApp::LoadIcon(UINT id) const { return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id)); }

int CWinApp::ExitInstance() { return 0; }

namespace {
// "…/libQuarnels64.so" gives "Quarnels64", as a Windows module "…\Quarnels64.dll" does.
void ModuleBaseName(HINSTANCE module, char* out, size_t size) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    if (std::strncmp(base, "lib", 3) == 0 && base[3]) base += 3;
    size_t length = std::strcspn(base, ".");
    if (length >= size) length = size - 1;
    std::memcpy(out, base, length);
    out[length] = 0;
}
}  // namespace

BOOL AfxDllProcessAttach(HINSTANCE module) {
    g_moduleState.m_hCurrentInstanceHandle = module;
    g_moduleState.m_hCurrentResourceHandle = module;
    CWinApp* app = g_moduleState.m_pCurrentWinApp;
    if (!app) return TRUE;
    app->m_hInstance = module;
    if (!app->m_pszAppName) {
        ModuleBaseName(module, app->m_moduleName, sizeof(app->m_moduleName));
        app->m_pszAppName = app->m_moduleName;
    }
    g_moduleState.m_lpszCurrentAppName = app->m_pszAppName;
    const BOOL started = app->InitInstance();
    g_moduleState.m_bStartupFailed = started ? FALSE : TRUE;
    return started;
}

void AfxDllProcessDetach() {
    if (CWinApp* app = g_moduleState.m_pCurrentWinApp) app->ExitInstance();
}

int AfxWinMain() {
    // A dialog program does its whole work in InitInstance and returns FALSE, so no message loop of
    // the application's own follows.
    AfxDllProcessAttach(AfxGetThisModule());
    CWinApp* app = AfxGetApp();
    return app ? app->ExitInstance() : 0;
}
