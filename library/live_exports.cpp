// The exports over the signed-in character's live data: thin wrappers that check the host's
// arguments and call one query while holding the exports' lock.
#include "library/esi/assets.h"
#include "library/esi/download_holds.h"
#include "library/esi/industry_jobs.h"
#include "library/esi/market.h"
#include "library/esi/personal_orders.h"
#include "library/esi/transactions.h"
#include "library/export_support.h"
#include "library/exports.h"
#include "library/sso/oauth2.h"

namespace {
// A null string pointer, where an export allows it, is handed on as an empty text.
CString TextOrEmpty(char** text) {
    const char* value = TextArgument(text);
    return CString(value ? value : "");
}
}  // namespace

QUARNELS_EXPORT double GetMarket(char** hub, char** item, short* sell, int* quantity) {
    return RunExport<double>(0.0, [&] {
        ExportLockScope lock;
        if (lock.Reentered() || !TextArgument(hub) || !TextArgument(item) || !sell || !quantity) return 0.0;
        return GetMarketPrice(CString(*hub), CString(*item), *sell != 0, *quantity);
    });
}

QUARNELS_EXPORT int GetProduction(char** item) {
    return RunExport<int>(0, [&] {
        ExportLockScope lock;
        if (lock.Reentered() || !TextArgument(item)) return 0;
        return GetProductionAmount(CString(*item));
    });
}

QUARNELS_EXPORT int GetAssets(char** item, char** container) {
    return RunExport<int>(0, [&] {
        ExportLockScope lock;
        if (lock.Reentered() || !TextArgument(item) || !TextArgument(container)) return 0;
        return GetAssetQuantity(CString(*item), CString(*container));
    });
}

QUARNELS_EXPORT int GetPersonalOrders(char** hub, char** item, short* sell) {
    return RunExport<int>(0, [&] {
        ExportLockScope lock;
        if (lock.Reentered() || !sell) return 0;
        return GetPersonalOrderVolume(TextOrEmpty(hub), TextOrEmpty(item), *sell != 0);
    });
}

QUARNELS_EXPORT int GetTransactionAmount(char** item, char** hub, short* days, short* sold) {
    return RunExport<int>(0, [&] {
        ExportLockScope lock;
        if (lock.Reentered() || !item || !hub || !days || !sold) return 0;
        // Only 1 means sales; -1 (a macro's True) and every other value mean purchases. Kept as it
        // is: users' workbooks pass their flags this way.
        return GetTransactionQuantity(TextOrEmpty(item), TextOrEmpty(hub), int(*days), *sold == 1);
    });
}

QUARNELS_EXPORT int GetUser(BSTR* name) {
    return RunExport<int>(0, [&] {
        CString characterName;
        ExportLockScope lock;
        if (lock.Reentered()) return 0;
        // The explicit sign-in: offered even while one that just ended without a token is held.
        // The downloads that failed for want of it are tried again at once.
        if (g_OAuth.EndSignInHold()) EndEveryDownloadHold();
        const int id = g_OAuth.GetCharacterId(&characterName);
        if (characterName.IsEmpty()) characterName = "Not Authenticated";
        if (name) {
            if (*name) SysFreeString(*name);
            *name = SysAllocStringByteLen(characterName, UINT(characterName.GetLength()));
        }
        return id;
    });
}
