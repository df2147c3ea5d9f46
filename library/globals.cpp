// The library's global objects, in the one order in which they must be made at load; they are
// destroyed in the reverse order at unload. Keeping them in this one file is what fixes the order.
//
// The download caches below (the asset caches, g_Skills, g_MarketOrders, g_PersonalOrders,
// g_Transactions, g_IndustryJobs, the time stamps and the holds of failed downloads) have no lock of
// their own. Each is written
// only by its download function, which runs on the download dialog's worker thread, and read only
// by the queries on the host's thread. What keeps readers away while the worker writes is
// g_ExportLock: every export that reads downloaded data holds it on the host's thread around its
// query, and so across the download dialog's DoModal. No other thread of the host can call in
// meanwhile, and the host's own thread waits in the modal loop and reads the cache only after
// DoModal has returned, when the worker has ended. A download function must never take
// g_ExportLock: the host's thread holds it while it waits for the worker.
#include "framework/afxapp.h"
#include "framework/afxmt.h"
#include "library/dates_and_hubs.h"
#include "library/esi/assets.h"
#include "library/esi/download_holds.h"
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
download_hold_map g_DownloadHolds;
static LifecycleMark otherCachesMark("other caches");

static LibraryStartup libraryStartup;
