// Until the downloads exist, the queries answer as they do with empty caches.
#include "library/esi/queries.h"
#include "library/esi/skills.h"

double GetMarketPrice(const CString&, const CString&, int, int) { return 0.0; }
int GetProductionAmount(const CString&) { return 0; }
int GetAssetQuantity(const CString&, const CString&) { return 0; }
int GetPersonalOrderVolume(const CString&, const CString&, int) { return 0; }
int GetTransactionQuantity(const CString&, const CString&, int, int) { return 0; }

// With no skills known every level counts 0, which leaves the base chance.
double GetInventionChanceWithSkills(const invention_entry* entry) { return entry ? entry->probability : 0.0; }
