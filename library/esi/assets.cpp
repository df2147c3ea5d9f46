// The character's and corporation's asset downloads, their container names and the asset count query.
#include "library/esi/assets.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "library/database/database.h"
#include "library/esi/cache_lifetime.h"
#include "library/esi/download_dialog.h"
#include "library/esi/download_holds.h"
#include "library/esi/esi_answer.h"
#include "library/esi/quantity_sum.h"
#include "library/sso/json_document.h"
#include "library/text_compare.h"

namespace {

// The most ids the web API's names endpoints take in one request.
const size_t kNamesPerRequest = 1000;

const char kAssetsDownload[] = "Assets";

void EmptyOwner(asset_array& assets, container_name_map& names) {
    assets.RemoveAll();
    names.RemoveAll();
}

// Requests the asset pages of one owner and keeps the items in unlocked containers, each container
// recorded with an empty name. An empty page or the last announced page ends the walk. False when a
// page failed: the pages before it are only part of the owner's assets.
bool DownloadAssetPages(OAuth2* oauth, const CString& pathFormat, int32_t owner, bool ownerInPath,
                        BOOL tolerate403, asset_array& assets, container_name_map& names) {
    int page = 1;
    int pageCount = 1;
    JsonDocument document;
    for (;;) {
        CString path;
        if (ownerInPath)
            path.Format(pathFormat, owner, page);
        else
            path.Format(pathFormat, page);
        int status = 0;
        const CString answer = oauth->EsiRequest("GET", path, "", &pageCount, tolerate403, &status);
        if (tolerate403 && status == 403) {
            // The character may not read these assets: the owner has none for this download.
            EmptyOwner(assets, names);
            return true;
        }
        if (!ParseSuccessfulAnswer(document, answer, status)) return false;
        if (KeepUnlockedAssets(document, assets, names) == 0) return true;
        if (++page > pageCount) return true;
    }
}

// Names the containers of the kept items, in the order the items first recorded them, in batches
// the names endpoint takes. A batch that fails on its own leaves only its own names empty. False when
// a batch failed for the web API as a whole, or its hold keeps a batch back: so many containers
// without their names would count as unnamed for a whole cache lifetime.
bool DownloadContainerNames(OAuth2* oauth, const CString& path, const asset_array& assets,
                            container_name_map& names) {
    std::vector<int64_t> ids;
    std::unordered_set<int64_t> listed;
    for (INT_PTR i = 0; i < assets.GetSize(); ++i)
        if (listed.insert(assets[i].location_id).second) ids.push_back(assets[i].location_id);

    for (size_t first = 0; first < ids.size(); first += kNamesPerRequest) {
        const size_t end = std::min(ids.size(), first + kNamesPerRequest);
        CString body = "[";
        for (size_t i = first; i < end; ++i)
            body.AppendFormat(i == first ? "%lld" : ",%lld", static_cast<long long>(ids[i]));
        body += "]";
        int status = 0;
        const CString answer = oauth->EsiRequest("POST", path, body, nullptr, FALSE, &status);
        JsonDocument document;
        if (!ParseSuccessfulAnswer(document, answer, status)) {
            if (oauth->lastRequestFailedWithWebApi) return false;
            continue;
        }
        for (const cJSON* element : JsonChildren(document.root))
            names[JsonInt64(element, "item_id")] = JsonText(element, "name");
    }
    return true;
}

// The character's corporation, from the character's own record; 0 when the record could not be had.
int32_t DownloadCorporationId(OAuth2* oauth) {
    int status = 0;
    const CString answer = oauth->EsiRequest("GET", "v5/characters/&user&/", "", nullptr, FALSE, &status);
    JsonDocument document;
    if (!ParseSuccessfulAnswer(document, answer, status)) return 0;
    return JsonInt(document.root, "corporation_id");
}

void EmptyAssetCaches() {
    EmptyOwner(g_CharAssets, g_CharAssetNames);
    EmptyOwner(g_CorpAssets, g_CorpAssetNames);
}

}  // namespace

int KeepUnlockedAssets(const JsonDocument& page, asset_array& assets, container_name_map& names) {
    int count = 0;
    for (const cJSON* element : JsonChildren(page.root)) {
        ++count;
        asset_entry entry;
        entry.location_id = JsonInt64(element, "location_id");
        entry.quantity = JsonInt(element, "quantity");
        entry.type_id = JsonInt(element, "type_id");
        if (!SameTextNoCase(JsonText(element, "location_flag"), "Unlocked")) continue;
        assets.Add(entry);
        names[entry.location_id] = CString();
    }
    return count;
}

void DownloadAssets(OAuth2* oauth) {
    const CTime before = g_AssetsTime;
    if (DownloadCharacterAssets(oauth) && DownloadCorporationAssets(oauth)) {
        EndDownloadHold(kAssetsDownload);
        return;
    }
    // Part of the assets would be counted as all of them for a whole cache lifetime. Keep none and leave the
    // stamp as it was, so that a query downloads again once the hold is over.
    EmptyAssetCaches();
    g_AssetsTime = before;
    HoldDownload(kAssetsDownload);
}

bool DownloadCharacterAssets(OAuth2* oauth) {
    EmptyOwner(g_CharAssets, g_CharAssetNames);
    if (DownloadAssetPages(oauth, "v5/characters/&user&/assets/?page=%d", 0, false, FALSE, g_CharAssets,
                           g_CharAssetNames)) {
        g_AssetsTime = CTime(_time64(nullptr));
        if (g_CharAssetNames.GetCount() == 0 || DownloadCharacterAssetNames(oauth)) return true;
    }
    EmptyOwner(g_CharAssets, g_CharAssetNames);
    return false;
}

bool DownloadCharacterAssetNames(OAuth2* oauth) {
    return DownloadContainerNames(oauth, "v1/characters/&user&/assets/names/", g_CharAssets, g_CharAssetNames);
}

bool DownloadCorporationAssets(OAuth2* oauth) {
    EmptyOwner(g_CorpAssets, g_CorpAssetNames);
    // Without its own record the character's corporation is unknown, and the web API's refusal of
    // "corporation 0" would pass for a corporation whose assets the character may not read.
    const int32_t corporationId = DownloadCorporationId(oauth);
    if (corporationId <= 0) return false;
    // A character may not read its corporation's assets: a 403 answer raises no message box.
    if (DownloadAssetPages(oauth, "v5/corporations/%d/assets/?page=%d", corporationId, true, TRUE, g_CorpAssets,
                           g_CorpAssetNames)) {
        g_AssetsTime = CTime(_time64(nullptr));
        if (g_CorpAssetNames.GetCount() == 0 || DownloadCorporationAssetNames(oauth, corporationId)) return true;
    }
    EmptyOwner(g_CorpAssets, g_CorpAssetNames);
    return false;
}

bool DownloadCorporationAssetNames(OAuth2* oauth, int32_t corporationId) {
    CString path;
    path.Format("v1/corporations/%d/assets/names/", corporationId);
    return DownloadContainerNames(oauth, path, g_CorpAssets, g_CorpAssetNames);
}

int GetAssetQuantity(const CString& itemName, const CString& containerName) {
    // Old assets that a hold keeps from being downloaded again are not answered as current.
    if (_time64(nullptr) - g_AssetsTime.GetTime() > kCacheLifetime && !RunDownload(kAssetsDownload, &DownloadAssets))
        EmptyAssetCaches();
    const item_entry* record = FindItemByName(itemName);
    const int32_t typeId = record ? static_cast<int32_t>(record->type_id) : 0;

    int64_t sum = 0;
    const auto addFrom = [&](const asset_array& assets, const container_name_map& names) {
        for (INT_PTR i = 0; i < assets.GetSize(); ++i) {
            const asset_entry& entry = assets[i];
            if (entry.type_id != typeId) continue;
            CString container;
            if (!names.Lookup(entry.location_id, container)) container.Empty();
            if (containerName.IsEmpty() || SameTextNoCase(containerName, container))
                sum += entry.quantity;
        }
    };
    addFrom(g_CharAssets, g_CharAssetNames);
    addFrom(g_CorpAssets, g_CorpAssetNames);
    return ClampQuantity(sum);
}
