// The system's entry point of a library module. The module's global objects, and with them the
// class library's start-up (AfxDllProcessAttach), are made by the C runtime before this runs, so
// all that is left is to refuse the load when the application's InitInstance did.
#include "framework/afxapp.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH && AfxGetModuleState()->m_bStartupFailed) return FALSE;
    return TRUE;
}
