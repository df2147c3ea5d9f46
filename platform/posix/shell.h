// ShellExecuteExA for the verb "open": hands a URL (or a document) to the user's browser.
#pragma once

#include "window.h"  // the SW_* values of nShow
#include "wintypes.h"

typedef struct HKEY__* HKEY;

// The 64-bit Windows layout.
typedef struct _SHELLEXECUTEINFOA {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpFile;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    void* lpIDList;
    LPCSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    union {
        HANDLE hIcon;
        HANDLE hMonitor;
    };
    HANDLE hProcess;
} SHELLEXECUTEINFOA, *LPSHELLEXECUTEINFOA;

#define SEE_MASK_DEFAULT 0x00000000u
#define SEE_MASK_NOCLOSEPROCESS 0x00000040u
#define SEE_MASK_FLAG_NO_UI 0x00000400u

#define SE_ERR_FNF 2
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31

QP_BEGIN_C
// "open" (or no verb) runs the first of these that can be started, with lpFile as its only
// argument and without a shell: the program named by $BROWSER (its first ':'-separated entry; a
// bare name is searched in PATH), then xdg-open. lpParameters and nShow are not used; lpDirectory,
// when given, is the program's working folder.
// Returns once the program has been started (or failed to start); the program runs on detached from
// the caller: in its own session, stdin from /dev/null, none of the caller's other descriptors, and
// it is never the caller's child, so it leaves no zombie. hProcess is always null.
// Failure: FALSE with hInstApp SE_ERR_FNF and ERROR_FILE_NOT_FOUND when no program could be
// started, SE_ERR_NOASSOC and ERROR_NO_ASSOCIATION for another verb.
QP_API BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);
QP_END_C
