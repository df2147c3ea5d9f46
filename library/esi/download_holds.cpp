// The holds of failed downloads.
#include "library/esi/download_holds.h"

#include "library/retry_hold.h"
#include "library/sso/oauth2.h"

bool MayDownload(const CString& download) {
    __time64_t failedAt = 0;
    if (g_DownloadHolds.Lookup(download, failedAt) && WithinRetryHold(failedAt, _time64(nullptr))) return false;
    return !g_OAuth.IsSignInHeld() && !g_OAuth.IsWebApiHeld();
}

void HoldDownload(const CString& download) {
    if (!g_OAuth.lastRequestFailedWithWebApi) g_DownloadHolds.SetAt(download, _time64(nullptr));
}

void EndDownloadHold(const CString& download) { g_DownloadHolds.RemoveKey(download); }

void EndEveryDownloadHold() { g_DownloadHolds.RemoveAll(); }
