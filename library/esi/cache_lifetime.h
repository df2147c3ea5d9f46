// How long the downloaded asset, transaction, industry-job and market data are used before a query
// downloads them again.
#pragma once

#include <cstdint>

// Seconds. The asset, transaction and industry-job caches are downloaded again once their stamp is
// more than this old, so an age of exactly this is still fresh; a market book is fresh only while it
// is younger than this. Both boundaries stay as they are: callers depend on when a query downloads.
constexpr int64_t kCacheLifetime = 900;
