// When a download may use what the web API answered.
#pragma once

#include "library/sso/json_document.h"

// Parses an answer that came with a status below 300. No answer (status 0), an error status and a
// text that is not JSON all fail: an error object parses, but it is not the data that was asked for.
inline bool ParseSuccessfulAnswer(JsonDocument& document, const CString& answer, int status) {
    return status > 0 && status < 300 && document.Parse(answer);
}

// The same for the downloads whose data is a list: anything but a JSON array is no answer.
inline bool ParseSuccessfulList(JsonDocument& document, const CString& answer, int status) {
    return ParseSuccessfulAnswer(document, answer, status) && JsonIsArray(document.root);
}
