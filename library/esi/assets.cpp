#include "library/esi/assets.h"

#include "library/database/database.h"
#include "library/esi/download_dialog.h"
#include "library/esi/quantity_sum.h"
#include "library/sso/json_document.h"

namespace {

bool SameText(LPCSTR a, LPCSTR b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b)) == 0;
}

// Requests the asset pages of one owner and keeps the items in unlocked containers, each container
// recorded with an empty name. A page that does not parse, or holds no element, ends the walk.
void DownloadAssetPages(OAuth2* oauth, const CString& pathFormat, int32_t owner, bool ownerInPath,
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
        const CString answer = oauth->EsiRequest("GET", path, "", &pageCount, tolerate403);
        bool failed = !document.Parse(answer);
        if (!failed) {
            const int count = JsonArraySize(document.root);
            failed = count == 0;
            for (int i = 0; i < count; ++i) {
                const cJSON* element = JsonArrayItem(document.root, i);
                asset_entry entry;
                entry.location_id = JsonInt64(element, "location_id");
                entry.quantity = JsonInt(element, "quantity");
                entry.type_id = JsonInt(element, "type_id");
                if (!SameText(JsonText(element, "location_flag"), "Unlocked")) continue;
                assets.Add(entry);
                names[entry.location_id] = CString();
            }
        }
        ++page;
        if (failed || page > pageCount) break;
    }
}

// Names the recorded containers with one request carrying all their ids.
void DownloadContainerNames(OAuth2* oauth, const CString& path, container_name_map& names) {
    CString body = "[";
    POSITION position = names.GetStartPosition();
    bool first = true;
    while (position) {
        __int64 id = 0;
        CString name;
        names.GetNextAssoc(position, id, name);
        if (!first) body += ",";
        body.AppendFormat("%lld", id);
        first = false;
    }
    body += "]";
    const CString answer = oauth->EsiRequest("POST", path, body, nullptr, FALSE);
    JsonDocument document;
    if (!document.Parse(answer)) return;
    const int count = JsonArraySize(document.root);
    for (int i = 0; i < count; ++i) {
        const cJSON* element = JsonArrayItem(document.root, i);
        names[JsonInt64(element, "item_id")] = JsonText(element, "name");
    }
}

}  // namespace

void DownloadAssets(OAuth2* oauth) {
    DownloadCharacterAssets(oauth);
    DownloadCorporationAssets(oauth);
}

void DownloadCharacterAssets(OAuth2* oauth) {
    g_CharAssets.RemoveAll();
    g_CharAssetNames.RemoveAll();
    DownloadAssetPages(oauth, "v5/characters/&user&/assets/?page=%d", 0, false, FALSE, g_CharAssets,
                       g_CharAssetNames);
    // Stamped however the pages ended, so a failed run is not repeated for 900 seconds.
    g_AssetsTime = CTime(_time64(nullptr));
    if (g_CharAssetNames.GetCount() > 0) DownloadCharacterAssetNames(oauth);
}

void DownloadCharacterAssetNames(OAuth2* oauth) {
    DownloadContainerNames(oauth, "v1/characters/&user&/assets/names/", g_CharAssetNames);
}

void DownloadCorporationAssets(OAuth2* oauth) {
    g_CorpAssets.RemoveAll();
    g_CorpAssetNames.RemoveAll();
    int32_t corporationId = 0;
    {
        const CString answer = oauth->EsiRequest("GET", "v5/characters/&user&/", "", nullptr, FALSE);
        JsonDocument document;
        if (document.Parse(answer)) corporationId = JsonInt(document.root, "corporation_id");
    }
    // A character may not read its corporation's assets: a 403 answer raises no message box.
    DownloadAssetPages(oauth, "v5/corporations/%d/assets/?page=%d", corporationId, true, TRUE, g_CorpAssets,
                       g_CorpAssetNames);
    g_AssetsTime = CTime(_time64(nullptr));
    if (g_CorpAssetNames.GetCount() > 0) DownloadCorporationAssetNames(oauth, corporationId);
}

void DownloadCorporationAssetNames(OAuth2* oauth, int32_t corporationId) {
    CString path;
    path.Format("v1/corporations/%d/assets/names/", corporationId);
    DownloadContainerNames(oauth, path, g_CorpAssetNames);
}

int GetAssetQuantity(const CString& itemName, const CString& containerName) {
    if (_time64(nullptr) - g_AssetsTime.GetTime() > 900) RunDownload("Assets", &DownloadAssets);
    const item_entry* record = FindItemByName(itemName);
    const int32_t typeId = record ? static_cast<int32_t>(record->type_id) : 0;

    int64_t sum = 0;
    const auto addFrom = [&](const asset_array& assets, const container_name_map& names) {
        for (INT_PTR i = 0; i < assets.GetSize(); ++i) {
            const asset_entry& entry = assets[i];
            if (entry.type_id != typeId) continue;
            CString container;
            if (!names.Lookup(entry.location_id, container)) container.Empty();
            if (containerName.IsEmpty() || SameText(containerName, container))
                sum += entry.quantity;
        }
    };
    addFrom(g_CharAssets, g_CharAssetNames);
    addFrom(g_CorpAssets, g_CorpAssetNames);
    return ClampQuantity(sum);
}
