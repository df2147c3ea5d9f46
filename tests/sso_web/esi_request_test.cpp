// The web API request: token and character first, then one request with the bearer header.
#include <ctime>

#include "tests/sso_web/sso_test_support.h"

namespace {

using fakes::FakeSignOn;
using fakes::FakeWebApi;
using ssotest::Boxes;
using ssotest::Str;

class EsiRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ssotest::WriteStoredRefreshToken("fake-refresh");
        client = ssotest::MakeClient(&signOn, &api);
        client->accessToken = "fake-access";
        client->tokenTime = CTime(time(nullptr));
        client->characterId = 90000001;
    }

    FakeSignOn signOn;
    FakeWebApi api;
    std::unique_ptr<OAuth2> client;
    qp::observer::ScopedObserver observer{QP_BOX_DEFAULT};
    int pages = 1;
};

TEST_F(EsiRequestTest, KnownTokenAndCharacterMakeOneRequest) {
    api.Set("/v4/characters/90000001/skills/", 200, "{\"skills\":[]}", {{"X-Pages", "2"}});
    EXPECT_EQ(Str(client->EsiRequest("GET", "v4/characters/&user&/skills/", "", &pages, FALSE)), "{\"skills\":[]}");
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(signOn.RequestCount(), 0u);
    const auto requests = api.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].Header("accept"), "application/json");
    EXPECT_EQ(requests[0].Header("authorization"), "Bearer fake-access");
}

TEST_F(EsiRequestTest, EveryPlaceholderIsReplacedAndOtherPathsStayAsTheyAre) {
    api.Set("/v1/90000001/x/90000001/", 200, "[]");
    api.Set("/v1/markets/10000002/orders/", 200, "[]");
    client->EsiRequest("GET", "v1/&user&/x/&user&/?page=3", "", &pages, FALSE);
    client->EsiRequest("GET", "v1/markets/10000002/orders/?order_type=all&page=1", "", &pages, FALSE);
    const auto requests = api.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/v1/90000001/x/90000001/?page=3");
    EXPECT_EQ(requests[1].target, "/v1/markets/10000002/orders/?order_type=all&page=1");
    EXPECT_EQ(requests[1].Header("authorization"), "Bearer fake-access");
}

TEST_F(EsiRequestTest, PostInAnyCaseSelectsPostEverythingElseGet) {
    api.Set("/v1/names/", 200, "[]");
    for (const char* method : {"POST", "post", "pOsT", "GET", "get", "PUT", ""})
        client->EsiRequest(method, "v1/names/", method[0] == 'p' || method[0] == 'P' ? "[1,2]" : "", nullptr, FALSE);
    const auto requests = api.Requests();
    ASSERT_EQ(requests.size(), 7u);
    const char* expected[] = {"POST", "POST", "POST", "GET", "GET", "GET", "GET"};
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(requests[i].method, expected[i]) << i;
    EXPECT_EQ(requests[0].body, "[1,2]");
}

TEST_F(EsiRequestTest, ErrorBodiesAreReturnedAndPagesKept) {
    api.Set("/v2/corporations/5/assets/", 403, "{\"error\":\"Character does not have required role(s)\"}");
    pages = 9;
    EXPECT_EQ(Str(client->EsiRequest("GET", "v2/corporations/5/assets/", "", &pages, TRUE)),
              "{\"error\":\"Character does not have required role(s)\"}");
    EXPECT_EQ(pages, 9);
    EXPECT_TRUE(Boxes().empty());

    EXPECT_EQ(Str(client->EsiRequest("GET", "v1/missing/", "", &pages, FALSE)),
              "{\"error\":\"Requested page does not exist!\"}");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "Web Access failed: 404\n{\"error\":\"Requested page does not exist!\"}");
}

TEST_F(EsiRequestTest, UnknownCharacterIsLearntFirst) {
    client->characterId = 0;
    signOn.SetCharacter(777, "Seven");
    api.Set("/v1/characters/777/wallet/", 200, "1.5");
    client->EsiRequest("GET", "v1/characters/&user&/wallet/", "", nullptr, FALSE);
    EXPECT_EQ(signOn.RequestsTo("/oauth/verify").size(), 1u);
    ASSERT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(api.Requests()[0].target, "/v1/characters/777/wallet/");
    EXPECT_EQ(Str(client->characterName), "Seven");
}

TEST_F(EsiRequestTest, CharacterThatCannotBeLearntGivesZero) {
    client->characterId = 0;
    signOn.SetVerifyAnswer(503, "down");
    api.Set("/v1/characters/0/orders/", 200, "[]");
    client->EsiRequest("GET", "v1/characters/&user&/orders/", "", nullptr, FALSE);
    ASSERT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(api.Requests()[0].target, "/v1/characters/0/orders/");
}

TEST_F(EsiRequestTest, AgedTokenIsRefreshedBeforeTheRequest) {
    client->tokenTime = CTime(time(nullptr) - 901);
    signOn.SetAccessToken("renewed");
    api.Set("/v1/x/", 200, "[]");
    client->EsiRequest("GET", "v1/x/", "", nullptr, FALSE);
    ASSERT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(api.Requests()[0].Header("authorization"), "Bearer renewed");
}

}  // namespace
