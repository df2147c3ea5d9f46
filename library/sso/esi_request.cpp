// The one way the downloads talk to the game's web API.
#include "framework/afxinet.h"
#include "library/sso/oauth2.h"

CString OAuth2::EsiRequest(const CString& method, const CString& path, const CString& body, int* pages,
                           BOOL tolerate403, int* status) {
    CString answer;
    if (status) *status = 0;
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

    int answered = 0;
    // A request that broke off after its status came is no answer either.
    if (WebAccess(verb, url, body, &answered, &answer, nullptr, nullptr, headers, pages, tolerate403) && status)
        *status = answered;
    return answer;
}
