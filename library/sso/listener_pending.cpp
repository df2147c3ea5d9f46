// Until the loopback listener exists, no login can listen.
#include "library/sso/oauth2.h"

void OAuth2::StopListener() {}
int OAuth2::Listen() { return 0; }
