// The application object and the module's start-up and shutdown.
#pragma once

#include "platform/win32api.h"

class CWnd;

class CWinApp {
public:
    // A null name makes the module's file name (without folder, "lib" prefix and extension) the name.
    explicit CWinApp(LPCSTR appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    LPCSTR m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    // Holds the name taken from the module file when none was given.
    char m_moduleName[MAX_PATH] = {};
};

// What the class library keeps per module: every module (the library, the check program) links its
// own copy of the class library and so has its own state.
struct AFX_MODULE_STATE {
    CWinApp* m_pCurrentWinApp = nullptr;
    HINSTANCE m_hCurrentInstanceHandle = nullptr;
    HINSTANCE m_hCurrentResourceHandle = nullptr;
    LPCSTR m_lpszCurrentAppName = nullptr;
};

AFX_MODULE_STATE* AfxGetModuleState();
CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
LPCSTR AfxGetAppName();

// The module of the calling code's class library copy.
HINSTANCE AfxGetThisModule();

// A library's start-up, after its global objects are made: records the module and runs the
// application's InitInstance. FALSE means the library must not be used.
BOOL AfxDllProcessAttach(HINSTANCE module);
// A library's shutdown, before its global objects are destroyed: runs ExitInstance.
void AfxDllProcessDetach();
