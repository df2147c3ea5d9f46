// A usable access token and the identity of the signed-in character.
#include <ctime>

#include "framework/afxinet.h"
#include "framework/afxwin.h"
#include "library/dates_and_hubs.h"
#include "library/retry_hold.h"
#include "library/sso/json_document.h"
#include "library/sso/oauth2.h"
#include "library/sso/sign_in_dialog.h"
#include "library/sso/token_claims.h"

namespace {
// Seconds for which an access token is used without asking the sign-on service.
const __time64_t kTokenLifetime = 900;
}  // namespace

CString OAuth2::GetAccessToken() {
    CString result;
    const __time64_t now = std::time(nullptr);
    // A token time in the future (the clock was set back) counts as young.
    if (!accessToken.IsEmpty() && now - tokenTime.GetTime() < kTokenLifetime) result = accessToken;

    // Every cell of a sheet asks for a token, and one export asks twice: after a sign-in that gave
    // none, offering it again at once would open a browser tab and a window per request. A refresh
    // failed just before that sign-in, too.
    if (result.IsEmpty() && IsSignInHeld()) return accessToken;

    // A host that was loaded before anyone signed in takes the token another host stored since,
    // instead of opening the browser again.
    if (result.IsEmpty()) {
        AdoptStoredRefreshToken();
        if (!refreshToken.IsEmpty()) {
            RefreshAccessToken();
            result = accessToken;
        }
    }

    bool signInFailed = false;
    if (result.IsEmpty()) {
        // The listener thread fills in the token while the dialog runs; it is read only afterwards.
        DlgAccessToken dialog(this);
        dialog.DoModal();
        result = accessToken;
        signInFailed = state != kSignedIn || accessToken.IsEmpty();
    }

    // The warning's wording is kept exactly: users know it.
    if (accessToken.IsEmpty())
        AfxMessageBox("Authentication failed - No access to the ESI-API possible", MB_ICONEXCLAMATION | MB_OK, 0);
    // The hold starts once the user has closed the warning, however long that took.
    if (signInFailed) signInFailedTime = CTime(std::time(nullptr));
    return result;
}

bool OAuth2::IsSignInHeld() const { return WithinRetryHold(signInFailedTime.GetTime(), std::time(nullptr)); }

bool OAuth2::EndSignInHold() {
    const bool held = IsSignInHeld();
    signInFailedTime = StartOfTimeStamps();
    return held;
}

bool OAuth2::AdoptStoredRefreshToken() {
    // Other hosts of the same user (a second workbook's application, the check program) share the ini
    // file, and a refresh by one of them makes the service retire the token the others hold: the
    // stored token is the one of record. An emptied key leaves the held token alone.
    const CString stored = ReadStoredRefreshToken();
    if (stored.IsEmpty() || stored == refreshToken) return false;
    refreshToken = stored;
    // The check program signs in anew, perhaps as another character: the character is learnt again
    // from the next access token, so that no request names one character with another's token.
    characterId = 0;
    characterName.Empty();
    return true;
}

void OAuth2::RefreshAccessToken() {
    accessToken.Empty();
    int status = 0;
    CString answer;
    BOOL answered = SendRefreshRequest(&status, &answer);
    // Another host may have rotated the token between the read of the ini file and the send.
    if (answered && (status == 400 || status == 401) && AdoptStoredRefreshToken())
        answered = SendRefreshRequest(&status, &answer);
    // The requests are sent without their box: only a refresh that failed in the end is told of.
    if (unsigned(status) >= 300) ShowWebAccessFailed(status, answer);
    if (!answered) return;
    if (status != 200) {
        CString text;
        text.Format("%d %s", status, errorText.GetString());
        errorText = text;
        state = kFailed;
        return;
    }

    FieldList fields;
    SplitFlatJson(answer, fields);
    accessToken = GetTokenValue(fields, "access_token");
    if (accessToken.IsEmpty()) {
        state = kNoTokens;
        return;
    }
    // The service may rotate the refresh token and retire the old one: keep the one it sent last.
    const CString rotated = GetTokenValue(fields, "refresh_token");
    if (!rotated.IsEmpty() && rotated != refreshToken) {
        refreshToken = rotated;
        WritePrivateProfileStringA("Quarnel", "RefreshKey", refreshToken, GetIniPath());
    }
    tokenTime = CTime(std::time(nullptr));
    state = kSignedIn;
}

BOOL OAuth2::SendRefreshRequest(int* status, CString* answer) {
    const char* user = useBasicAuth ? clientId.GetString() : nullptr;
    const char* password = useBasicAuth ? clientSecret.GetString() : nullptr;
    *status = 0;
    if (WebAccess(CHttpConnection::HTTP_VERB_POST, tokenUrl, GetRefreshBody(), status, answer, user, password,
                  kFormContentHeader, nullptr, kNoBox))
        return TRUE;
    state = kFailed;
    return FALSE;
}

void OAuth2::VerifyToken() {
    // A token of the second generation names its character itself; only another one is asked about.
    int32_t claimedId = 0;
    CString claimedName;
    if (ReadCharacterClaims(accessToken, &claimedId, &claimedName)) {
        characterId = claimedId;
        characterName = claimedName;
        return;
    }

    // One header line without a line end, unlike the web API request's: kept as the service has
    // always received it.
    const CString header = "Authorization: Bearer " + accessToken;
    int status = 0;
    CString answer;
    const BOOL answered = WebAccess(CHttpConnection::HTTP_VERB_GET, verifyUrl, CString(), &status, &answer, nullptr,
                                    nullptr, header, nullptr, kBoxForFailures);
    if (unsigned(status) > 299 || !answered) return;
    JsonDocument document;
    if (!document.Parse(answer)) return;
    characterId = JsonInt(document.root, "CharacterID");
    characterName = JsonText(document.root, "CharacterName");
}

int OAuth2::GetCharacterId(CString* name) {
    // Learnt once per load: a known character is never asked for again.
    if (characterId == 0) {
        const CString token = GetAccessToken();
        if (characterId == 0 && !token.IsEmpty()) VerifyToken();
    }
    if (name) *name = characterName;
    return characterId;
}
