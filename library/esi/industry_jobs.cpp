// The industry jobs download and the query of the units in production.
#include "library/esi/industry_jobs.h"

#include "library/database/database.h"
#include "library/esi/cache_lifetime.h"
#include "library/esi/download_dialog.h"
#include "library/esi/esi_answer.h"
#include "library/esi/quantity_sum.h"
#include "library/sso/json_document.h"

namespace {
// "Industry jobs", unlike "Personal Orders", with a small j: the dialog's titles stay as users know them.
const char kIndustryJobsDownload[] = "Industry jobs";
}

void DownloadIndustryJobs(OAuth2* oauth) {
    g_IndustryJobs.RemoveAll();
    JsonDocument document;
    // An error object walked as a list would give a job per member.
    if (!DownloadList(oauth, "v1/characters/&user&/industry/jobs/", kIndustryJobsDownload, document)) return;
    for (const cJSON* element : JsonChildren(document.root)) {
        production_info job;
        job.blueprint_type_id = static_cast<uint32_t>(JsonInt(element, "blueprint_type_id"));
        job.product_type_id = static_cast<uint32_t>(JsonInt(element, "product_type_id"));
        job.runs = static_cast<uint32_t>(JsonInt(element, "runs"));
        const blueprint_entry* bill = FindBlueprint(job.product_type_id);
        job.output_per_run = bill ? bill->quantity_per_run : 1;
        g_IndustryJobs.Add(job);
    }
    // A character without jobs is a complete answer too: asked again only when it is old.
    g_IndustryJobsTime = CTime(_time64(nullptr));
}

int GetProductionAmount(const CString& item) {
    const int64_t now = _time64(nullptr);
    // Old jobs that a hold keeps from being downloaded again are not answered as current.
    if (now - g_IndustryJobsTime.GetTime() > kCacheLifetime && !RunDownload(kIndustryJobsDownload, &DownloadIndustryJobs))
        g_IndustryJobs.RemoveAll();
    const item_entry* record = FindItemByName(item);
    const uint32_t typeId = record ? record->type_id : 0;
    int64_t sum = 0;
    for (INT_PTR i = 0; i < g_IndustryJobs.GetSize(); ++i) {
        const production_info& job = g_IndustryJobs[i];
        if (job.product_type_id != typeId) continue;
        // Two 32-bit factors can pass even 63 bits; a job beyond the largest count already decides
        // the clamped total.
        const uint64_t units = uint64_t(job.runs) * job.output_per_run;
        sum += int64_t(units < uint64_t(INT_MAX) ? units : uint64_t(INT_MAX));
    }
    return ClampQuantity(sum);
}
