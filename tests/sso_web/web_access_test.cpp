// The HTTP request function against the fake web API: what is sent, what is read back, and when the
// user is told of a failed status.
#include "framework/afxinet.h"
#include "tests/sso_web/sso_test_support.h"

namespace {

using fakes::FakeWebApi;
using fakes::HttpRequest;
using fakes::HttpResponse;
using ssotest::Box;
using ssotest::Boxes;
using ssotest::Str;

class WebAccessTest : public ::testing::Test {
protected:
    FakeWebApi api;
    std::unique_ptr<OAuth2> client = ssotest::MakeClient(nullptr, &api);
    qp::observer::ScopedObserver observer{QP_BOX_DEFAULT};
    int status = -1;
    CString response = "left over";
    int pages = 77;

    BOOL Get(const std::string& path, OAuth2::FailureBox failureBox = OAuth2::kBoxForFailures, int* pageCount = nullptr) {
        return client->WebAccess(CHttpConnection::HTTP_VERB_GET, (api.BaseUrl() + path).c_str(), CString(), &status,
                                 &response, nullptr, nullptr, nullptr, pageCount ? pageCount : &pages, failureBox);
    }
};

TEST_F(WebAccessTest, SendsTheVerbObjectBodyAndHeadersAsGiven) {
    api.Set("/v1/thing/", 200, "[1,2,3]");
    const char* headers = "accept: application/json\r\nauthorization: Bearer tok\r\n";
    ASSERT_TRUE(client->WebAccess(CHttpConnection::HTTP_VERB_POST, (api.BaseUrl() + "v1/thing/?page=2").c_str(), "[42]",
                                  &status, &response, nullptr, nullptr, headers, nullptr, OAuth2::kBoxForFailures));
    EXPECT_EQ(status, 200);
    EXPECT_EQ(Str(response), "[1,2,3]");
    EXPECT_EQ(Str(client->errorText), "OK");
    const auto requests = api.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/v1/thing/?page=2");
    EXPECT_EQ(requests[0].body, "[42]");
    EXPECT_EQ(requests[0].Header("accept"), "application/json");
    EXPECT_EQ(requests[0].Header("authorization"), "Bearer tok");
    EXPECT_EQ(requests[0].Header("User-Agent"), "Quarnels");
    EXPECT_EQ(requests[0].version, "HTTP/1.0");
    EXPECT_FALSE(requests[0].HasHeader("Authorization") && requests[0].Header("Authorization").find("Basic") == 0);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WebAccessTest, BasicCredentialsOnlyWithUserAndPassword) {
    api.Set("/token", 200, "{}");
    const std::string url = api.BaseUrl() + "token";
    ASSERT_TRUE(client->WebAccess(CHttpConnection::HTTP_VERB_POST, url.c_str(), "", &status, &response, "user", "pw",
                                  nullptr, nullptr, OAuth2::kBoxForFailures));
    ASSERT_TRUE(client->WebAccess(CHttpConnection::HTTP_VERB_POST, url.c_str(), "", &status, &response, "user", nullptr,
                                  nullptr, nullptr, OAuth2::kBoxForFailures));
    ASSERT_TRUE(client->WebAccess(CHttpConnection::HTTP_VERB_POST, url.c_str(), "", &status, &response, nullptr, "pw",
                                  nullptr, nullptr, OAuth2::kBoxForFailures));
    const auto requests = api.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].Header("Authorization"), "Basic " + fakes::Base64("user:pw"));
    EXPECT_FALSE(requests[1].HasHeader("Authorization"));
    EXPECT_FALSE(requests[2].HasHeader("Authorization"));
    EXPECT_TRUE(requests[0].body.empty());
}

TEST_F(WebAccessTest, PageCountFromTheHeaderInAnyCase) {
    api.Set("/paged", 200, "[]", {{"X-Pages", "5"}});
    api.Set("/spaced", 200, "[]", {{"x-PAGES", " 12"}});
    api.Set("/plain", 200, "[]");
    ASSERT_TRUE(Get("paged"));
    EXPECT_EQ(pages, 5);
    ASSERT_TRUE(Get("spaced"));
    EXPECT_EQ(pages, 12);
    pages = 77;
    ASSERT_TRUE(Get("plain"));
    EXPECT_EQ(pages, 77);
    // Without a place for it the count is not written anywhere.
    ASSERT_TRUE(client->WebAccess(CHttpConnection::HTTP_VERB_GET, (api.BaseUrl() + "paged").c_str(), "", &status,
                                  &response, nullptr, nullptr, nullptr, nullptr, OAuth2::kBoxForFailures));
    EXPECT_EQ(status, 200);
}

TEST_F(WebAccessTest, LongBodyIsReadWholeButOnlyItsLastChunkIsShown) {
    std::string body;
    for (int i = 0; body.size() < 70000; ++i) body += "[" + std::to_string(i) + "]";
    body.resize(70000);
    api.Set("/big", 200, body);
    api.Set("/bigfail", 500, body);
    ASSERT_TRUE(Get("big"));
    EXPECT_EQ(Str(response), body);
    EXPECT_TRUE(Boxes().empty());

    ASSERT_TRUE(Get("bigfail"));
    EXPECT_EQ(status, 500);
    EXPECT_EQ(Str(response), body);
    const std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    const std::string prefix = "Web Access failed: 500\n";
    ASSERT_EQ(boxes[0].text.compare(0, prefix.size(), prefix), 0);
    const std::string shown = boxes[0].text.substr(prefix.size());
    EXPECT_GT(shown.size(), 0u);
    EXPECT_LE(shown.size(), 29999u);
    EXPECT_EQ(body.compare(body.size() - shown.size(), shown.size(), shown), 0) << "not the end of the body";
}

TEST_F(WebAccessTest, BodyIsCutAtANulByte) {
    api.Set("/nul", 200, std::string("abc\0def", 7));
    ASSERT_TRUE(Get("nul"));
    EXPECT_EQ(Str(response), "abc");
}

TEST_F(WebAccessTest, StatusBoxes) {
    api.Set("/s200", 200, "fine");
    api.Set("/s299", 299, "odd but fine");
    api.Set("/s300", 300, "choices");
    api.Set("/s403", 403, "{\"error\":\"forbidden\"}");
    api.Set("/s404", 404, "{\"error\":\"not found\"}");

    EXPECT_TRUE(Get("s200"));
    EXPECT_TRUE(Get("s299"));
    EXPECT_EQ(status, 299);
    EXPECT_TRUE(Get("s403", OAuth2::kNoBoxFor403));
    EXPECT_EQ(Str(response), "{\"error\":\"forbidden\"}");
    EXPECT_TRUE(Boxes().empty());

    EXPECT_TRUE(Get("s300"));
    EXPECT_TRUE(Get("s403", OAuth2::kBoxForFailures));
    EXPECT_TRUE(Get("s404"));
    EXPECT_EQ(status, 404);
    EXPECT_EQ(Str(response), "{\"error\":\"not found\"}");
    EXPECT_EQ(Str(client->errorText), "Not Found");

    const std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Web Access failed: 300\nchoices");
    EXPECT_EQ(boxes[1].text, "Web Access failed: 403\n{\"error\":\"forbidden\"}");
    EXPECT_EQ(boxes[2].text, "Web Access failed: 404\n{\"error\":\"not found\"}");
    for (const Box& box : boxes) {
        EXPECT_EQ(box.caption, "EveOnline");
        EXPECT_EQ(box.type, UINT(MB_OK | MB_ICONINFORMATION));
    }
}

TEST_F(WebAccessTest, AFailedStatusWaitsForTheUser) {
    QpObserverSetBoxAnswer(QP_BOX_WAIT);
    api.Set("/gone", 410, "gone for good");
    ssotest::Worker<BOOL> call([this] { return Get("gone"); });
    const unsigned box = qp::observer::WaitBox();
    ASSERT_NE(box, 0u);
    EXPECT_EQ(qp::observer::BoxText(box), "Web Access failed: 410\ngone for good");
    EXPECT_FALSE(call.Done(std::chrono::milliseconds(100)));
    ASSERT_TRUE(QpObserverPress(box, IDOK));
    EXPECT_TRUE(call.Get());
}

TEST_F(WebAccessTest, RedirectsAreFollowed) {
    api.Set("/old", HttpResponse::Redirect(302, api.BaseUrl() + "new"));
    api.Set("/new", 200, "moved here", {{"X-Pages", "3"}});
    ASSERT_TRUE(Get("old"));
    EXPECT_EQ(status, 200);
    EXPECT_EQ(Str(response), "moved here");
    EXPECT_EQ(pages, 3);
}

TEST_F(WebAccessTest, ThreeProxyRefusalsGiveUp) {
    HttpResponse refusal = HttpResponse::Text(407, "proxy wants a password");
    refusal.headers.emplace_back("Proxy-Authenticate", "Basic realm=\"fake\"");
    api.Set("/guarded", refusal);
    EXPECT_FALSE(Get("guarded"));
    EXPECT_EQ(api.RequestCount(), 3u);
    EXPECT_EQ(status, 407);
    EXPECT_EQ(Str(response), "");
    EXPECT_EQ(pages, 77);
    const std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Web Access failed: 407\nproxy wants a password");
}

TEST_F(WebAccessTest, AProxyRefusalThenAnAnswer) {
    std::atomic<int> calls{0};
    api.SetHandler("/once", [&calls](const HttpRequest&) {
        return ++calls == 1 ? HttpResponse::Text(407, "not yet") : HttpResponse::Text(200, "now");
    });
    client->proxyUser = "pu";
    client->proxyPassword = "pp";
    EXPECT_TRUE(Get("once"));
    EXPECT_EQ(status, 200);
    EXPECT_EQ(Str(response), "now");
    EXPECT_EQ(api.RequestCount(), 2u);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WebAccessTest, UnreachableServerGivesTheInternetErrorQuietly) {
    client->errorText = "before";
    const std::string url = "http://127.0.0.1:" + std::to_string(ssotest::DeadPort()) + "/x";
    EXPECT_FALSE(client->WebAccess(CHttpConnection::HTTP_VERB_GET, url.c_str(), "", &status, &response, nullptr,
                                   nullptr, nullptr, &pages, OAuth2::kBoxForFailures));
    EXPECT_EQ(Str(response), "");
    EXPECT_EQ(status, -1);
    EXPECT_EQ(pages, 77);
    EXPECT_NE(Str(client->errorText), "before");
    EXPECT_FALSE(client->errorText.IsEmpty());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WebAccessTest, AnswerCutShortIsAnInternetErrorKeepingWhatWasDone) {
    api.Set("/cut", HttpResponse::CloseWithoutAnswer());
    client->errorText = "before";
    EXPECT_FALSE(Get("cut"));
    EXPECT_NE(Str(client->errorText), "before");
    EXPECT_FALSE(client->errorText.IsEmpty());
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
