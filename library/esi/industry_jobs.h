// The character's industry jobs and the units they produce.
#pragma once

#include <cstdint>

#include "framework/afxcoll.h"
#include "framework/afxstr.h"
#include "framework/afxtime.h"
#include "library/sso/oauth2.h"

struct production_info {
    uint32_t blueprint_type_id;
    uint32_t product_type_id;
    uint32_t runs;
    uint32_t output_per_run;  // units one run yields; 1 for a product without a bill of materials
};

extern CArray<production_info, production_info&> g_IndustryJobs;
extern CTime g_IndustryJobsTime;

// Units the character's jobs make of the item; downloads first when the last complete download is
// older than kCacheLifetime.
int GetProductionAmount(const CString& item);

// The download, run on the download dialog's worker thread.
void DownloadIndustryJobs(OAuth2* oauth);
