// The library's global objects, in the one order in which they must be made at load; they are
// destroyed in the reverse order at unload. Keeping them in this one file is what fixes the order.
#include "framework/afxapp.h"
#include "framework/afxmt.h"
#include "library/dates_and_hubs.h"
#include "library/esi/assets.h"
#include "library/esi/industry_jobs.h"
#include "library/esi/market_book.h"
#include "library/esi/personal_orders.h"
#include "library/esi/skills.h"
#include "library/esi/transactions.h"
#include "library/lifecycle_trace.h"
#include "library/quarnels_app.h"
#include "library/sso/oauth2.h"

namespace {
// Reports that the objects defined before it were made, and, being destroyed just before them, that
// they are about to go.
struct LifecycleMark {
    const char* what;
    explicit LifecycleMark(const char* name) : what(name) { TraceLifecycle(what); }
    ~LifecycleMark() { TraceLifecycle(what); }
};

// The module's start-up runs once every global object exists; its shutdown, being made last, runs
// before any of them is destroyed.
struct LibraryStartup {
    LibraryStartup() {
        TraceLifecycle("start-up");
        // Where the system lets a library refuse its load, its entry point does so after this;
        // elsewhere the failure is only reported.
        if (!AfxDllProcessAttach(AfxGetThisModule())) OutputDebugStringA("Quarnels: start-up failed");
    }
    ~LibraryStartup() {
        TraceLifecycle("shutdown");
        AfxDllProcessDetach();
    }
};
}  // namespace

CTime g_AssetsTime = StartOfTimeStamps();
asset_array g_CharAssets;
container_name_map g_CharAssetNames;
asset_array g_CorpAssets;
container_name_map g_CorpAssetNames;
static LifecycleMark assetCachesMark("asset caches");

CQuarnelsApp theApp;
static LifecycleMark theAppMark("theApp");

CCriticalSection g_ExportLock;
static LifecycleMark exportLockMark("g_ExportLock");

OAuth2 g_OAuth;

CMap<DWORD, DWORD, DWORD, DWORD> g_Skills;
market_order_map g_MarketOrders;
CList<charorder, const charorder&> g_PersonalOrders;
CArray<transaction_entry, const transaction_entry&> g_Transactions;
CTime g_TransactionsTime = StartOfTimeStamps();
CArray<production_info, production_info&> g_IndustryJobs;
CTime g_IndustryJobsTime = StartOfTimeStamps();
static LifecycleMark otherCachesMark("other caches");

static LibraryStartup libraryStartup;
