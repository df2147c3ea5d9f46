// The character that an access token of the second generation (a JSON Web Token) names itself.
#pragma once

#include <cstdint>

#include "framework/afxstr.h"
#include "platform/win32api.h"

// Reads the token's claims: the character's id from "sub" (the number after its last ':', as in
// "CHARACTER:EVE:90000001") and the name from "name". FALSE, and nothing written, when the token is
// not three dot-separated parts with a JSON payload, or lacks either claim.
//
// The signature is not checked: the token came straight from the sign-on service over verified TLS,
// and the web API checks it on every request.
BOOL ReadCharacterClaims(const CString& token, int32_t* id, CString* name);
