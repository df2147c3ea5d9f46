// The character's id and name read from the claims of an access token.
#include "library/sso/token_claims.h"

#include "library/sso/json_document.h"
#include "library/sso/oauth2.h"

namespace {
// The positive 32-bit number behind the subject's last ':'; 0 when it is anything else.
int32_t CharacterOfSubject(const CString& subject) {
    const int colon = subject.ReverseFind(':');
    if (colon < 0) return 0;
    const CString digits = subject.Mid(colon + 1);
    if (digits.IsEmpty() || digits.GetLength() > 10) return 0;
    int64_t value = 0;
    for (int i = 0; i < digits.GetLength(); ++i) {
        const char c = digits[i];
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value <= INT32_MAX ? int32_t(value) : 0;
}
}  // namespace

BOOL ReadCharacterClaims(const CString& token, int32_t* id, CString* name) {
    const int firstDot = token.Find('.');
    if (firstDot <= 0) return FALSE;
    const int secondDot = token.Find('.', firstDot + 1);
    if (secondDot <= firstDot + 1 || token.Find('.', secondDot + 1) >= 0) return FALSE;

    CString payload;
    if (!Base64UrlDecode(token.Mid(firstDot + 1, secondDot - firstDot - 1), &payload)) return FALSE;
    JsonDocument claims;
    if (!claims.Parse(payload)) return FALSE;
    const int32_t character = CharacterOfSubject(JsonText(claims.root, "sub"));
    const CString characterName = JsonText(claims.root, "name");
    if (character == 0 || characterName.IsEmpty()) return FALSE;
    *id = character;
    *name = characterName;
    return TRUE;
}
