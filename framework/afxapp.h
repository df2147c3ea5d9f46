// The application object and the module's start-up and shutdown.
#pragma once

#include "framework/afxwin.h"
#include "platform/win32api.h"

class CWinApp : public CCmdTarget {
public:
    // A null name makes the module's base name (QpModuleBaseName) the name.
    explicit CWinApp(LPCSTR appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // The help command; there is no help file, so it does nothing.
    afx_msg void OnHelp();
    // Where the application would keep its settings in the registry; recorded only.
    void SetRegistryKey(LPCSTR company);
    // An icon of the resource module.
    HICON LoadIcon(UINT id) const;

    LPCSTR m_pszRegistryKey = nullptr;
    DWORD m_dwRestartManagerSupportFlags = 0;

    LPCSTR m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    // Holds the name taken from the module file when none was given.
    char m_moduleName[MAX_PATH] = {};

protected:
    DECLARE_MESSAGE_MAP()
};

// What the class library keeps per module: every module (the library, the check program) links its
// own copy of the class library and so has its own state.
struct AFX_MODULE_STATE {
    CWinApp* m_pCurrentWinApp = nullptr;
    HINSTANCE m_hCurrentInstanceHandle = nullptr;
    HINSTANCE m_hCurrentResourceHandle = nullptr;
    LPCSTR m_lpszCurrentAppName = nullptr;
    // Set when the library's start-up ran and its InitInstance refused; where the system lets a
    // module refuse its load (a DLL's entry point), the entry point reports it.
    BOOL m_bStartupFailed = FALSE;
};

AFX_MODULE_STATE* AfxGetModuleState();
CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
LPCSTR AfxGetAppName();

// The module of the calling code's class library copy.
HINSTANCE AfxGetThisModule();

// The restart manager support flags of an application.
#define AFX_RESTART_MANAGER_SUPPORT_RESTART 0x01

// A program's start-up and run, after its global objects are made: records the program as the
// module, runs InitInstance and, when that returns FALSE, ExitInstance. Returns the exit code.
int AfxWinMain();

// A library's start-up, after its global objects are made: records the module and runs the
// application's InitInstance. FALSE means the library must not be used.
BOOL AfxDllProcessAttach(HINSTANCE module);
// A library's shutdown, before its global objects are destroyed: runs ExitInstance.
void AfxDllProcessDetach();
