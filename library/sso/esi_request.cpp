// The one way the downloads talk to the game's web API.
#include <algorithm>

#include "framework/afxinet.h"
#include "library/sso/oauth2.h"

CString OAuth2::EsiRequest(const CString& method, const CString& path, const CString& body, int* pages,
                           BOOL tolerate403, int* status) {
    CString answer;
    if (status) *status = 0;
    // While the web API is held nothing goes to it, and no token is asked for a request that would
    // not be sent.
    lastRequestFailedWithWebApi = IsWebApiHeld();
    if (lastRequestFailedWithWebApi) return answer;
    // The token is asked for twice, here and while the character is learnt. With none to be had the
    // sign-in is offered once: the second ask finds it held.
    CString token = GetAccessToken();
    const int character = GetCharacterId(nullptr);
    // Learning the character may have signed in anew; that token is the one to send.
    token = accessToken;

    CString url = esiBaseUrl + path;
    CString id;
    id.Format("%d", character);
    url.Replace("&user&", id);

    // "post" in any letter case selects POST; every other text, an empty one too, selects GET.
    const int verb =
        method.CompareNoCase("post") == 0 ? CHttpConnection::HTTP_VERB_POST : CHttpConnection::HTTP_VERB_GET;
    CString headers;
    headers.Format("accept: application/json\r\nauthorization: Bearer %s\r\n", token.GetString());
    if (token.IsEmpty()) return answer;

    int answerStatus = 0;
    CString answerHeaders;
    const BOOL answered = WebAccess(verb, url, body, &answerStatus, &answer, nullptr, nullptr, headers, pages,
                                    tolerate403 ? kNoBoxFor403 : kBoxForFailures, &answerHeaders);
    // A request that broke off after its status came is no answer either.
    if (answered && status) *status = answerStatus;
    // The failure that starts the hold has shown its box; the requests that the hold keeps back show none.
    const int64_t failureHold = WebApiFailureHold(answered, answerStatus, answerHeaders);
    // The answer itself counts as usual, but the last errors of the window are left to the user's
    // other requests.
    const int64_t budgetHold = ErrorBudgetHold(answerHeaders);
    lastRequestFailedWithWebApi = failureHold > 0;
    const int64_t hold = std::max(failureHold, budgetHold);
    if (hold > 0) HoldWebApi(hold);
    return answer;
}
