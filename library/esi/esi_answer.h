// When a download may use what the web API answered.
#pragma once

#include "library/esi/download_holds.h"
#include "library/sso/json_document.h"
#include "library/sso/oauth2.h"

// Parses an answer that came with a status below 300. No answer (status 0), an error status and a
// text that is not JSON all fail: an error object parses, but it is not the data that was asked for.
inline bool ParseSuccessfulAnswer(JsonDocument& document, const CString& answer, int status) {
    return status > 0 && status < 300 && document.Parse(answer);
}

// One GET of a list from the web API into `document`, for the downloads whose data is one list.
// Anything but a JSON array answered below 300 is no answer: it holds the download named
// `download`, and false comes back. A list ends the download's hold.
inline bool DownloadList(OAuth2* oauth, const char* path, const char* download, JsonDocument& document) {
    int status = 0;
    const CString answer = oauth->EsiRequest("GET", path, "", nullptr, FALSE, &status);
    if (!ParseSuccessfulAnswer(document, answer, status) || !JsonIsArray(document.root)) {
        HoldDownload(download);
        return false;
    }
    EndDownloadHold(download);
    return true;
}
