// The items of the character and of its corporation in unlocked containers, with the containers'
// names, and the query that sums them.
#pragma once

#include <cstdint>

#include "framework/afxcoll.h"
#include "framework/afxstr.h"
#include "framework/afxtime.h"
#include "library/sso/json_document.h"
#include "library/sso/oauth2.h"

struct asset_entry {
    int32_t type_id;
    int32_t quantity;
    int64_t location_id;  // the container that holds the item
};

using asset_array = CArray<asset_entry, asset_entry&>;
using container_name_map = CMap<__int64, __int64, CString, CString&>;

extern CTime g_AssetsTime;
extern asset_array g_CharAssets;
extern container_name_map g_CharAssetNames;
extern asset_array g_CorpAssets;
extern container_name_map g_CorpAssetNames;

// Units of the item in containers of that name (every container when the name is empty), the
// character's and the corporation's; downloads first when the caches are older than kCacheLifetime.
int GetAssetQuantity(const CString& itemName, const CString& containerName);

// The downloads, run on the download dialog's worker thread. The two owners' downloads stamp
// g_AssetsTime and return true when they read every page (the corporation's also needs the
// character's record, which names it); after a failure they leave their caches empty and return
// false, and DownloadAssets then keeps nothing, leaves the stamp and holds the download. The names'
// downloads fail only for the web API as a whole: a batch that failed for it, or one its hold kept
// back.
void DownloadAssets(OAuth2* oauth);
bool DownloadCharacterAssets(OAuth2* oauth);
bool DownloadCharacterAssetNames(OAuth2* oauth);
bool DownloadCorporationAssets(OAuth2* oauth);
bool DownloadCorporationAssetNames(OAuth2* oauth, int32_t corporationId);

// The step of the downloads for one parsed asset page: appends its items in unlocked containers to
// `assets` and records each of their containers in `names` with an empty name. Returns the number
// of the page's elements, kept or not; 0 ends the walk over the pages.
int KeepUnlockedAssets(const JsonDocument& page, asset_array& assets, container_name_map& names);
