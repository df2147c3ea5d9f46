// Until sign-in exists: no URL is formed and no character is known.
#include "library/sso/oauth2.h"

CString OAuth2::GetAuthorizeUrl() { return CString(); }
CString OAuth2::GetRedirectUri() { return CString(); }
CString OAuth2::GetTokenUrl(const CString&) { return CString(); }
CString OAuth2::GetRefreshUrl() { return CString(); }

int OAuth2::GetCharacterId(CString* name) {
    if (name) *name = characterName;
    return characterId;
}
