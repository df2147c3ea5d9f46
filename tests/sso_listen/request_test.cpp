// The listener's request reading, the redirect's checks and token exchange, and the answer pages,
// without the loopback port: requests go in as bytes, answers come out of a socket pair.
#include <sys/socket.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "library/sso/oauth2.h"
#include "tests/fakes/fake_services.h"
#include "tests/sso_listen/listen_support.h"

using listen_test::Answer;
using testsupport::ScopedEnv;
using listen_test::TempHome;

namespace {

bool Complete(const std::string& bytes) {
    return OAuth2::IsRequestComplete(bytes.data(), int(bytes.size())) != FALSE;
}

TEST(IsRequestComplete, NeedsTheEmptyLineEndedByCrLf) {
    EXPECT_FALSE(Complete(""));
    EXPECT_FALSE(Complete("\r"));
    EXPECT_FALSE(Complete("\n\r"));
    EXPECT_TRUE(Complete("\r\n"));  // an empty first line already ends the header block
    EXPECT_FALSE(Complete("GET / HTTP/1.1\r\nHost: x\r\n\r"));
    EXPECT_TRUE(Complete("GET / HTTP/1.1\r\nHost: x\r\n\r\n"));
    // A lone LF ends no line, and a one-character line is an ordinary header line.
    EXPECT_FALSE(Complete("GET / HTTP/1.1\n\n"));
    EXPECT_FALSE(Complete("GET / HTTP/1.1\r\nX\r\n"));
    EXPECT_TRUE(Complete("GET / HTTP/1.1\r\nX\r\n\r\n"));
    // A NUL in a line does not end the scan.
    EXPECT_TRUE(Complete(std::string("GET / HTTP/1.1\r\nX-A: \0z\r\n\r\n", 27)));
}

TEST(IsRequestComplete, WaitsForContentLengthBodyBytes) {
    const std::string head = "POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\n";
    EXPECT_FALSE(Complete(head));
    EXPECT_FALSE(Complete(head + "abcd"));
    EXPECT_TRUE(Complete(head + "abcde"));
    EXPECT_TRUE(Complete(head + "abcdefgh"));  // bytes beyond do not matter

    // Any letter case, blanks around name and value; the last such header counts.
    EXPECT_FALSE(Complete("GET / HTTP/1.1\r\n  content-LENGTH \t:  3 \r\n\r\nab"));
    EXPECT_TRUE(Complete("GET / HTTP/1.1\r\n  content-LENGTH \t:  3 \r\n\r\nabc"));
    EXPECT_TRUE(Complete("GET / HTTP/1.1\r\nContent-Length: 10\r\nContent-Length: 2\r\n\r\nab"));
    // A value that is not a number counts as 0; leading digits count.
    EXPECT_TRUE(Complete("GET / HTTP/1.1\r\nContent-Length: many\r\n\r\n"));
    EXPECT_FALSE(Complete("GET / HTTP/1.1\r\nContent-Length: 4x\r\n\r\nabc"));
    // The request line is scanned like a header line.
    EXPECT_FALSE(Complete("Content-Length: 3\r\n\r\nab"));
    EXPECT_TRUE(Complete("Content-Length: 3\r\n\r\nabc"));
    // A name with more around it is another header.
    EXPECT_TRUE(Complete("GET / HTTP/1.1\r\nX-Content-Length: 9\r\n\r\n"));
}

TEST(IsRequestComplete, ExtremeLengthsNeitherOverflowNorWait) {
    EXPECT_FALSE(Complete("GET / HTTP/1.1\r\nContent-Length: 2147483647\r\n\r\nabc"));
    EXPECT_TRUE(Complete("GET / HTTP/1.1\r\nContent-Length: -5\r\n\r\n"));
}

TEST(ExtractText, TakesBothEndsAndKeepsNuls) {
    const char bytes[] = "ab\0cd";
    EXPECT_EQ(std::string(OAuth2::ExtractText(bytes, 1, 3).GetString(), 3), std::string("b\0c", 3));
    EXPECT_EQ(OAuth2::ExtractText(bytes, 1, 3).GetLength(), 3);
    EXPECT_EQ(OAuth2::ExtractText(bytes, 0, 0), CString("a"));
    EXPECT_TRUE(OAuth2::ExtractText(bytes, 2, 1).IsEmpty());
    EXPECT_TRUE(OAuth2::ExtractText(bytes, 4, 0).IsEmpty());
}

// An object of its own for each test, made under a private home with the fake sign-on service.
class RedirectTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sso.reset(new fakes::FakeSignOn);
        m_ssoEnv.reset(new ScopedEnv("QUARNELS_SSO_URL", m_sso->BaseUrl()));
        m_oauth.reset(new OAuth2);
        m_oauth->stateNonce = 123;
        m_oauth->state = OAuth2::kListening;
    }
    void TearDown() override {
        m_oauth.reset();
        m_ssoEnv.reset();
        m_sso.reset();
    }

    void Redirect(const std::vector<std::pair<const char*, const char*>>& pairs) {
        OAuth2::FieldList fields;
        for (const auto& pair : pairs) {
            OAuth2::FIELD field{pair.first, pair.second};
            fields.Add(field);
        }
        m_oauth->OnRedirect(fields);
    }
    void Parse(const std::string& bytes) { m_oauth->ParseRequest(bytes.data(), int(bytes.size())); }
    size_t TokenRequests() const { return m_sso->RequestsTo("/v2/oauth/token").size(); }
    std::string LastCode() const {
        const auto requests = m_sso->RequestsTo("/v2/oauth/token");
        return requests.empty() ? "<none>" : fakes::FormOf(requests.back().body)["code"];
    }
    std::string StoredRefreshToken() const {
        char value[400] = {};
        GetPrivateProfileStringA("Quarnel", "RefreshKey", "<none>", value, sizeof(value), OAuth2::GetIniPath());
        return value;
    }

    TempHome m_home;
    std::unique_ptr<fakes::FakeSignOn> m_sso;
    std::unique_ptr<ScopedEnv> m_ssoEnv;
    std::unique_ptr<OAuth2> m_oauth;
};

TEST_F(RedirectTest, ParseRequestTakesTheQueryOfTheRequestTarget) {
    Parse("GET /favicon.ico HTTP/1.1\r\nHost: localhost\r\n\r\n");
    Parse("GET /?code=fake-code&state=123\r\n\r\n");       // no second blank: no target
    Parse("GET  /?code=fake-code&state=123 HTTP/1.1\r\n\r\n");  // the target lies between the first two blanks
    Parse("GET /?code=fake-code&state=123 HTTP/1.1");      // no CR LF: no request line
    Parse("GET / HTTP/1.1\r\nX: /?code=fake-code&state=123 a\r\n\r\ncode=fake-code&state=123");
    EXPECT_EQ(TokenRequests(), 0u);
    EXPECT_EQ(m_oauth->state, OAuth2::kListening);

    Parse("GET /?code=fake-code&state=123 HTTP/1.1\r\nHost: localhost:3017\r\n\r\nignored body");
    EXPECT_EQ(TokenRequests(), 1u);
    EXPECT_EQ(LastCode(), "fake-code");
    EXPECT_EQ(m_oauth->state, OAuth2::kSignedIn);
}

TEST_F(RedirectTest, StateMustReadAsTheNonceAndACodeMustCome) {
    Redirect({{"code", "fake-code"}, {"state", "124"}});
    Redirect({{"code", "fake-code"}, {"state", ""}});
    Redirect({{"code", "fake-code"}});
    Redirect({{"state", "123"}});
    Redirect({{"code", ""}, {"state", "123"}});
    Redirect({{"code", "fake-code"}, {"state", "123"}, {"code", ""}});  // the last code counts
    Redirect({{"codes", "fake-code"}, {"state", "123"}});
    EXPECT_EQ(TokenRequests(), 0u);
    EXPECT_EQ(m_oauth->state, OAuth2::kListening);
    EXPECT_TRUE(m_oauth->accessToken.IsEmpty());

    for (const char* text : {"123", "0123", "+123", "123abc", " 123"}) {
        m_oauth->state = OAuth2::kListening;
        Redirect({{"CODE", "fake-code"}, {"State", text}});
        EXPECT_EQ(m_oauth->state, OAuth2::kSignedIn) << text;
    }
    EXPECT_EQ(TokenRequests(), 5u);

    // With the nonce 0 a missing state matches; the later of two codes is exchanged.
    m_oauth->stateNonce = 0;
    m_oauth->state = OAuth2::kListening;
    Redirect({{"code", "other"}, {"code", "fake-code"}});
    EXPECT_EQ(LastCode(), "fake-code");
    EXPECT_EQ(m_oauth->state, OAuth2::kSignedIn);
}

TEST_F(RedirectTest, BothTokensSignInAndStoreTheRefreshToken) {
    m_sso->SetClient(m_oauth->clientId.GetString(), m_oauth->clientSecret.GetString());
    const __time64_t before = _time64(nullptr);
    Redirect({{"code", "fake-code"}, {"state", "123"}});
    EXPECT_EQ(m_oauth->state, OAuth2::kSignedIn);
    EXPECT_EQ(m_oauth->accessToken, CString("fake-access"));
    EXPECT_EQ(m_oauth->refreshToken, CString("fake-refresh-2"));
    EXPECT_EQ(StoredRefreshToken(), "fake-refresh-2");
    EXPECT_GE(m_oauth->tokenTime.GetTime(), before);
    EXPECT_EQ(m_oauth->signInTime.GetTime(), m_oauth->tokenTime.GetTime());
    EXPECT_EQ(m_oauth->characterId, 0);  // learnt later, by verifying the token

    // The client went as Basic credentials, not in the URL.
    const auto request = m_sso->RequestsTo("/v2/oauth/token").at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.Header("Authorization"),
              "Basic " + fakes::Base64(std::string(m_oauth->clientId.GetString()) + ":" + m_oauth->clientSecret.GetString()));
}

TEST_F(RedirectTest, WithoutBasicAuthTheClientGoesInTheBody) {
    m_oauth->useBasicAuth = 0;
    Redirect({{"code", "fake-code"}, {"state", "123"}});
    EXPECT_EQ(m_oauth->state, OAuth2::kSignedIn);
    const auto request = m_sso->RequestsTo("/v2/oauth/token").at(0);
    EXPECT_FALSE(request.HasHeader("Authorization"));
    EXPECT_EQ(fakes::FormOf(request.body)["client_id"], m_oauth->clientId.GetString());
}

TEST_F(RedirectTest, AnAnswerWithoutBothTokensIsDenied) {
    WritePrivateProfileStringA("Quarnel", "RefreshKey", "older", OAuth2::GetIniPath());
    const __time64_t startTime = m_oauth->tokenTime.GetTime();

    m_sso->SetTokenAnswer(200, R"({"access_token":"only-access","token_type":"Bearer"})");
    m_oauth->refreshToken = "kept?";
    Redirect({{"code", "fake-code"}, {"state", "123"}});
    EXPECT_EQ(m_oauth->state, OAuth2::kNoTokens);
    EXPECT_EQ(m_oauth->accessToken, CString("only-access"));
    EXPECT_TRUE(m_oauth->refreshToken.IsEmpty());
    EXPECT_EQ(StoredRefreshToken(), "older");

    m_sso->SetTokenAnswer(200, R"({"refresh_token":"only-refresh"})");
    m_oauth->state = OAuth2::kListening;
    Redirect({{"code", "fake-code"}, {"state", "123"}});
    EXPECT_EQ(m_oauth->state, OAuth2::kNoTokens);
    EXPECT_TRUE(m_oauth->accessToken.IsEmpty());
    EXPECT_EQ(StoredRefreshToken(), "only-refresh");

    m_sso->SetTokenAnswer(200, "not json");
    m_oauth->state = OAuth2::kListening;
    Redirect({{"code", "fake-code"}, {"state", "123"}});
    EXPECT_EQ(m_oauth->state, OAuth2::kNoTokens);
    EXPECT_EQ(m_oauth->tokenTime.GetTime(), startTime);
}

TEST_F(RedirectTest, FailedExchangesKeepTheStatusText) {
    m_sso->SetTokenAnswer(400, R"({"error":"invalid_grant"})");
    Redirect({{"code", "fake-code"}, {"state", "123"}});
    EXPECT_EQ(m_oauth->state, OAuth2::kFailed);
    EXPECT_EQ(m_oauth->errorText, CString("400 Bad Request"));
    EXPECT_TRUE(m_oauth->accessToken.IsEmpty());

    m_sso->SetTokenAnswer(201, R"({"access_token":"a","refresh_token":"r"})");
    m_oauth->state = OAuth2::kListening;
    Redirect({{"code", "fake-code"}, {"state", "123"}});
    EXPECT_EQ(m_oauth->state, OAuth2::kFailed);
    EXPECT_EQ(m_oauth->errorText, CString("201 Created"));
    EXPECT_EQ(StoredRefreshToken(), "<none>");
}

TEST_F(RedirectTest, AnUnreachableTokenEndpointFails) {
    m_oauth->tokenUrl = "http://127.0.0.1:1/oauth/token";
    Redirect({{"code", "fake-code"}, {"state", "123"}});
    EXPECT_EQ(m_oauth->state, OAuth2::kFailed);
    EXPECT_FALSE(m_oauth->errorText.IsEmpty());
}

// The answer that SendAnswer writes for the object's state, read from the other end of a pair.
std::string AnswerFor(OAuth2& oauth, int state) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return "<no socket pair>";
    oauth.state = state;
    oauth.SendAnswer(static_cast<SOCKET>(ends[0]));
    close(ends[0]);
    std::string bytes;
    char chunk[512];
    for (ssize_t n; (n = read(ends[1], chunk, sizeof(chunk))) > 0;) bytes.append(chunk, size_t(n));
    close(ends[1]);
    return bytes;
}

TEST(SendAnswer, PageFollowsTheLoginState) {
    TempHome home;
    OAuth2 oauth;
    const std::string mismatch = AnswerFor(oauth, OAuth2::kListening);
    EXPECT_EQ(mismatch.substr(0, 38), "HTTP/1.0 200 OK\r\nContent-Length: 71\r\n\r");
    EXPECT_EQ(mismatch, Answer(listen_test::kPageMismatch));
    EXPECT_EQ(AnswerFor(oauth, OAuth2::kIdle), "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(AnswerFor(oauth, 7), "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(AnswerFor(oauth, OAuth2::kSignedIn), Answer(listen_test::kPageSuccess));
    EXPECT_EQ(AnswerFor(oauth, OAuth2::kNoTokens), Answer("<html><body>Abgelehnt</body></html>"));
    oauth.errorText = "400 Bad Request";
    EXPECT_EQ(AnswerFor(oauth, OAuth2::kFailed), Answer("<html><body>Fehlgeschlagen: 400 Bad Request</body></html>"));
    // A server's reason phrase is shown as text, never taken for markup.
    oauth.errorText = "502 <script>alert('x & \"y\"')</script>";
    EXPECT_EQ(AnswerFor(oauth, OAuth2::kFailed),
              Answer("<html><body>Fehlgeschlagen: 502 &lt;script&gt;alert(&#39;x &amp; &quot;y&quot;&#39;)"
                     "&lt;/script&gt;</body></html>"));

    oauth.pageSuccess = nullptr;
    oauth.pageFailed = nullptr;
    EXPECT_EQ(AnswerFor(oauth, OAuth2::kSignedIn), "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(AnswerFor(oauth, OAuth2::kFailed), "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
}

TEST(StopListener, KeepsTheOutcomeOfALoginThatEndedWhileItWaited) {
    TempHome home;
    OAuth2 oauth;
    // A listener still busy with a redirect when the stop comes.
    oauth.doneEvent.ResetEvent();
    oauth.state = OAuth2::kListening;
    std::thread stopper([&oauth] { oauth.StopListener(); });
    // The stop request stands once the stopper has seen state 1; then the exchange ends.
    EXPECT_EQ(WaitForSingleObject(oauth.stopEvent, 5000), WAIT_OBJECT_0);
    oauth.state = OAuth2::kSignedIn;
    oauth.doneEvent.SetEvent();
    stopper.join();
    EXPECT_EQ(oauth.state, OAuth2::kSignedIn);
}

TEST(ServiceEndpoints, TestingOverrideIsTakenOnlyForLoopbackHosts) {
    TempHome home;
    for (const std::string base : {"http://127.0.0.1:8080", "http://127.255.0.9", "https://LOCALHOST:1"}) {
        ScopedEnv sso("QUARNELS_SSO_URL", base + "/");
        ScopedEnv esi("QUARNELS_ESI_URL", base + "/esi/");
        OAuth2 oauth;
        EXPECT_EQ(std::string(oauth.tokenUrl), base + "/v2/oauth/token");
        EXPECT_EQ(std::string(oauth.esiBaseUrl), base + "/esi/");
    }
    for (const char* elsewhere : {"http://example.com", "http://128.0.0.1", "http://127.0.0.1.example.com",
                                  "http://localhost.example.com:80", "http://127.0.0.1@example.com",
                                  "http://example.com/127.0.0.1", "ftp://127.0.0.1", "127.0.0.1:80", "http://[::2]",
                                  "http://127.0.0.256", "http://127.0.0.1:80x", "http://10.0.0.1",
                                  // This machine, but the web requests cannot split a bracketed host.
                                  "http://[::1]:3000", "http://[::1]"}) {
        ScopedEnv sso("QUARNELS_SSO_URL", elsewhere);
        ScopedEnv esi("QUARNELS_ESI_URL", elsewhere);
        testing::internal::CaptureStderr();
        OAuth2 oauth;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::string(oauth.authorizeUrl), "https://login.eveonline.com/v2/oauth/authorize") << elsewhere;
        EXPECT_EQ(std::string(oauth.esiBaseUrl), "https://esi.evetech.net/") << elsewhere;
        EXPECT_NE(said.find("QUARNELS_SSO_URL ignored"), std::string::npos) << said;
        EXPECT_NE(said.find("QUARNELS_ESI_URL ignored"), std::string::npos) << said;
    }
}

}  // namespace
