// The character's own open market orders, downloaded once per load of the library.
#pragma once

#include <cstdint>

#include "framework/afxcoll.h"
#include "framework/afxstr.h"
#include "library/sso/oauth2.h"

struct charorder {
    uint32_t type_id;
    uint32_t is_buy;
    uint32_t volume_remain;
    int64_t location_id;
};

extern CList<charorder, const charorder&> g_PersonalOrders;

// Units still open in the character's sell orders (`sell` nonzero) or buy orders for the item at
// the location the hub selects.
int GetPersonalOrderVolume(const CString& hub, const CString& item, int sell);

// The download, run on the download dialog's worker thread.
void DownloadPersonalOrders(OAuth2* oauth);
