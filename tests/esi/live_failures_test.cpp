// The live-data exports as a macro host calls them while the web API refuses single requests: an
// error is not data, and the corporation's assets need the character's own record. A program of its own, so that
// its transaction, job and asset caches are nobody else's.
#include <string>
#include <vector>

#include "tests/esi/live_host_suite.h"

namespace {

using livetest::Array;
using LiveFailures = livetest::LiveDataHost;

TEST_F(LiveFailures, ErrorsAreNoDataEmptyListsAreAndAssetsNeedTheCharactersRecord) {
    const std::string outOfScope = "{\"error\":\"token not valid for scope\"}";
    HostText item("Tritanium"), jita("Jita"), all("");
    short days = 30, sold = 1;

    // Transactions answered with an error: nothing is counted, and no box comes but the first.
    api.Set("/v1/characters/90000001/wallet/transactions/", 403, outOfScope);
    EXPECT_EQ(x.GetTransactionAmount(item.Arg(), jita.Arg(), &days, &sold), 0);
    EXPECT_EQ(x.GetTransactionAmount(item.Arg(), jita.Arg(), &days, &sold), 0);
    EXPECT_EQ(Boxes(), 1u);

    // A character without jobs is a complete answer: asked for once in a cache lifetime.
    api.Set("/v1/characters/90000001/industry/jobs/", 200, "[]");
    EXPECT_EQ(x.GetProduction(item.Arg()), 0);
    EXPECT_EQ(x.GetProduction(item.Arg()), 0);
    EXPECT_EQ(Requests(), 2u);

    // The character's record fails: its corporation is unknown, and the web API's refusal of
    // "corporation 0" must not pass for a corporation whose assets the character may not read.
    api.Set("/v5/characters/90000001/assets/", 200,
            Array({"{\"location_flag\":\"Unlocked\",\"location_id\":1001,\"quantity\":7,\"type_id\":34}"}));
    api.Set("/v1/characters/90000001/assets/names/", 200, "[{\"item_id\":1001,\"name\":\"Box\"}]");
    api.Set("/v5/characters/90000001/", 404, "{\"error\":\"Character not found\"}");
    api.Set("/v5/corporations/0/assets/", 403, "{\"error\":\"Character does not have required role(s)\"}");
    EXPECT_EQ(x.GetAssets(item.Arg(), all.Arg()), 0);
    EXPECT_EQ(x.GetAssets(item.Arg(), all.Arg()), 0);
    for (const auto& request : api.Requests()) EXPECT_EQ(request.Path().find("/corporations/"), std::string::npos);

    EXPECT_EQ(DownloadTitles(), (std::vector<std::string>{"Transactions", "Industry jobs", "Assets"}));
    ExpectSignedInByRefresh();
}

}  // namespace
