// Downloads that failed within the last minute are not tried again meanwhile: their queries answer
// from the empty cache, with no request, no window and no box. A download that succeeds ends its
// hold. Each download has a name of its own ("Assets", one per market book, ...). While the web API
// as a whole is held, every download is.
#pragma once

#include "framework/afxcoll.h"
#include "framework/afxstr.h"

// When each held download failed (seconds since 1970). Written by the download functions on the
// download dialog's worker thread, read by the queries: the same discipline as the caches.
using download_hold_map = CMap<CString, LPCSTR, __time64_t, __time64_t>;
extern download_hold_map g_DownloadHolds;

// Whether a query may start the download now: it has not failed within the hold, and neither the web
// API nor a sign-in that just ended without a token is being held (the download could send nothing,
// and its window would only flash).
bool MayDownload(const CString& download);

// Kept by the download functions: a failure starts the hold, a success ends it. A download whose last
// request failed for the web API as a whole is held with the web API, not on its own: it goes again
// as soon as the web API's hold ends, which may be sooner than a minute.
void HoldDownload(const CString& download);
void EndDownloadHold(const CString& download);
void EndEveryDownloadHold();
