// The application object, the module state and the start-up and shutdown of programs and libraries.
#include "framework/afxapp.h"

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

BOOL AfxDllProcessAttach(HINSTANCE module) {
    g_moduleState.m_hCurrentInstanceHandle = module;
    g_moduleState.m_hCurrentResourceHandle = module;
    CWinApp* app = g_moduleState.m_pCurrentWinApp;
    if (!app) return TRUE;
    app->m_hInstance = module;
    if (!app->m_pszAppName) {
        QpModuleBaseName(module, app->m_moduleName, sizeof(app->m_moduleName));
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
