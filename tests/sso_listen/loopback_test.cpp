// The loopback listener on port 3017 and the sign-in dialog, on objects of the test's own: listening
// and stopping, the connections it drops, and whole sign-ins through the fake browser.
#include <sys/resource.h>

// Before the platform's headers: its plain client takes the system's socket headers.
#include "tests/sso_listen/listen_support.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "library/sso/oauth2.h"
#include "library/sso/sign_in_dialog.h"
#include "platform/posix/observer.h"
#include "tests/fakes/fake_services.h"
#include "tests/sso_listen/dialog_runner.h"
#include "tests/support/file_text.h"

using namespace listen_test;
using testsupport::ScopedEnv;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sso.reset(new fakes::FakeSignOn);
        m_ssoEnv.reset(new ScopedEnv("QUARNELS_SSO_URL", m_sso->BaseUrl()));
        m_browserEnv.reset(new ScopedEnv("BROWSER", QUARNELS_FAKE_BROWSER));
        m_logEnv.reset(new ScopedEnv("FAKE_BROWSER_LOG", m_home.File("browser.log")));
        m_oauth.reset(new OAuth2);
        m_oauth->stateNonce = 4242;
    }
    void TearDown() override {
        m_oauth.reset();  // stops a listener that still runs
        m_logEnv.reset();
        m_browserEnv.reset();
        m_ssoEnv.reset();
        m_sso.reset();
    }

    std::string BrowserLog() const { return testsupport::ReadFileText(m_home.File("browser.log")); }
    // Waits for the listener thread to let go of the port after the login left state 1.
    bool ListenerGone() {
        return WaitUntil([this] { return m_oauth->listenSocket == INVALID_SOCKET; }, milliseconds(3000));
    }

    TempHome m_home;
    std::unique_ptr<fakes::FakeSignOn> m_sso;
    std::unique_ptr<ScopedEnv> m_ssoEnv;
    std::unique_ptr<ScopedEnv> m_browserEnv;
    std::unique_ptr<ScopedEnv> m_logEnv;
    std::unique_ptr<OAuth2> m_oauth;
};

TEST_F(LoopbackTest, ListensUntilStoppedAndCanListenAgain) {
    auto start = Clock::now();
    m_oauth->StopListener();  // nothing runs yet
    EXPECT_LT(MillisecondsSince(start), 100);

    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(m_oauth->Listen(), 1) << m_oauth->errorText.GetString();
        EXPECT_EQ(m_oauth->state, OAuth2::kListening);
        EXPECT_NE(m_oauth->listenSocket, INVALID_SOCKET);
        EXPECT_TRUE(Listening());

        start = Clock::now();
        m_oauth->StopListener();
        EXPECT_LT(MillisecondsSince(start), 1500);
        EXPECT_EQ(m_oauth->state, OAuth2::kIdle);
        EXPECT_EQ(m_oauth->listenSocket, INVALID_SOCKET);
        EXPECT_FALSE(Listening()) << "round " << round;
    }
    EXPECT_EQ(m_sso->RequestCount(), 0u);  // Listen alone opens no browser
}

TEST_F(LoopbackTest, PortInUseFailsTheLoginAtOnce) {
    // A listening socket of another program on 127.0.0.1:3017 (which earlier connections may have
    // left in TIME_WAIT).
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int reuse = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kLoopbackPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(fd, 1), 0);

    auto start = Clock::now();
    EXPECT_EQ(m_oauth->Login(), 0);
    EXPECT_LT(MillisecondsSince(start), 500);
    EXPECT_EQ(m_oauth->errorText, CString("Error binding Listen Socket: 10048"));
    EXPECT_EQ(m_oauth->state, OAuth2::kListening);
    EXPECT_EQ(m_oauth->listenSocket, INVALID_SOCKET);
    start = Clock::now();
    m_oauth->StopListener();
    EXPECT_LT(MillisecondsSince(start), 100);
    EXPECT_EQ(m_oauth->state, OAuth2::kIdle);

    // The dialog opens and ends at once with 1.
    qp::observer::ScopedObserver observer;
    DlgAccessToken dialog(m_oauth.get());
    start = Clock::now();
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_LT(MillisecondsSince(start), 1000);
    const unsigned serial = qp::observer::WaitTemplate(1000, 0, 0, false);
    ASSERT_NE(serial, 0u);
    EXPECT_EQ(qp::observer::Caption(serial), "Authentication");
    EXPECT_EQ(qp::observer::Record(serial).result, 1);
    EXPECT_EQ(dialog.m_bRunning, 0);

    // No browser was asked to open the sign-on page.
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(m_sso->RequestCount(), 0u);
    EXPECT_EQ(BrowserLog(), "");
    close(fd);
}

TEST_F(LoopbackTest, NoBrowserToOpenEndsTheLoginAtOnce) {
    // Neither $BROWSER nor xdg-open can be started.
    ScopedEnv missingBrowser("BROWSER", "/nonexistent/browser");
    ScopedEnv emptyPath("PATH", m_home.File("no-programs-here"));
    auto start = Clock::now();
    EXPECT_EQ(m_oauth->Login(), 0);
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_EQ(m_oauth->errorText, CString("Error opening the browser"));
    EXPECT_EQ(m_oauth->state, OAuth2::kIdle);
    EXPECT_EQ(m_oauth->listenSocket, INVALID_SOCKET);
    EXPECT_FALSE(Listening());

    // So the sign-in dialog ends by itself instead of waiting for a browser that never comes.
    qp::observer::ScopedObserver observer;
    DlgAccessToken dialog(m_oauth.get());
    start = Clock::now();
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_LT(MillisecondsSince(start), 1000);
}

TEST_F(LoopbackTest, ServesConnectionsUntilARedirectMatches) {
    ASSERT_EQ(m_oauth->Listen(), 1);
    EXPECT_EQ(Get("/favicon.ico"), Answer(kPageMismatch));
    EXPECT_EQ(Get("/?code=fake-code&state=4243"), Answer(kPageMismatch));
    EXPECT_EQ(m_oauth->state, OAuth2::kListening);
    EXPECT_TRUE(Listening());

    EXPECT_EQ(Get("/?code=fake-code&state=4242"), Answer(kPageSuccess));
    EXPECT_EQ(m_oauth->state, OAuth2::kSignedIn);
    ASSERT_TRUE(ListenerGone());
    EXPECT_EQ(WaitForSingleObject(m_oauth->doneEvent, 1000), WAIT_OBJECT_0);
    EXPECT_FALSE(Listening());
    EXPECT_EQ(m_oauth->accessToken, CString("fake-access"));
}

TEST_F(LoopbackTest, FailedAcceptsDoNotEndTheListener) {
    ASSERT_EQ(m_oauth->Listen(), 1);
    Client waiting;
    ASSERT_TRUE(waiting.Connect());
    // While the process has no descriptor left, every accept fails (EMFILE), as it may for any
    // local program's doing.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const int lowestFree = dup(0);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit exhausted = limit;
    exhausted.rlim_cur = rlim_t(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &exhausted), 0);
    std::this_thread::sleep_for(milliseconds(350));  // several of the listener's polls
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);

    ASSERT_TRUE(waiting.Send("GET /favicon.ico HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(waiting.ReadToEnd(), Answer(kPageMismatch));
    EXPECT_EQ(m_oauth->state, OAuth2::kListening);
    m_oauth->StopListener();
    EXPECT_EQ(m_oauth->errorText, CString("Error connecting incomeing connection: 10024"));
}

TEST_F(LoopbackTest, RequestArrivingInPiecesIsAnsweredOnceWhole) {
    ASSERT_EQ(m_oauth->Listen(), 1);
    Client client;
    ASSERT_TRUE(client.Connect());
    // Each piece is sent only once the listener has read the one before, and has not answered it.
    ASSERT_TRUE(client.Send("POST /?code=x HTTP/1.1\r\nContent-Le"));
    ASSERT_TRUE(ListenerReadAll(client));
    EXPECT_FALSE(client.Readable(milliseconds(100)));
    ASSERT_TRUE(client.Send("ngth: 6\r\n\r\nabc"));
    ASSERT_TRUE(ListenerReadAll(client));
    EXPECT_FALSE(client.Readable(milliseconds(100))) << "answered before the body was whole";
    ASSERT_TRUE(client.Send("def"));
    const auto start = Clock::now();
    EXPECT_EQ(client.ReadToEnd(), Answer(kPageMismatch));
    // The connection is closed about 250 ms after the answer.
    EXPECT_GE(MillisecondsSince(start), 150);
    m_oauth->StopListener();
}

// A request of the given total size: a GET whose body fills it up.
std::string RequestOfSize(size_t size) {
    const std::string head = "GET /favicon.ico HTTP/1.1\r\nContent-Length: 00000\r\n\r\n";
    std::string body(size - head.size(), 'b');
    std::string request = head;
    const std::string digits = std::to_string(body.size());
    request.replace(head.find("00000"), 5, std::string(5 - digits.size(), '0') + digits);
    return request + body;
}

TEST_F(LoopbackTest, RequestsOver64KiBAreDroppedUnanswered) {
    ASSERT_EQ(m_oauth->Listen(), 1);
    EXPECT_EQ(Exchange(RequestOfSize(65536)), Answer(kPageMismatch));
    EXPECT_EQ(Exchange(RequestOfSize(65537)), "");
    // Headers that never end are given up too, instead of growing without bound.
    Client endless;
    ASSERT_TRUE(endless.Connect());
    endless.Send("GET / HTTP/1.1\r\n" + std::string(200000, 'h'));
    EXPECT_EQ(endless.ReadToEnd(), "");
    EXPECT_FALSE(endless.TimedOut());

    EXPECT_EQ(Get("/favicon.ico"), Answer(kPageMismatch));  // and the next one is served
    m_oauth->StopListener();
    EXPECT_EQ(m_oauth->errorText, CString("Request too large"));
}

TEST_F(LoopbackTest, SilentBrowserIsDroppedAfterFiftyReceives) {
    ASSERT_EQ(m_oauth->Listen(), 1);
    Client silent;
    ASSERT_TRUE(silent.Connect());
    const auto start = Clock::now();
    // A second browser waits behind the silent one: connections are served one after another.
    std::string second;
    long long secondAnswered = 0;
    std::thread other([&] {
        second = Get("/favicon.ico");
        secondAnswered = MillisecondsSince(start);
    });
    EXPECT_EQ(silent.ReadToEnd(), "");
    EXPECT_FALSE(silent.TimedOut());
    const long long dropped = MillisecondsSince(start);
    EXPECT_GE(dropped, 4500);  // 49 pauses of 100 ms
    EXPECT_LT(dropped, 8000);
    other.join();
    EXPECT_EQ(second, Answer(kPageMismatch));
    // Not answered before the silent browser was given up.
    EXPECT_GE(secondAnswered, 4500);

    m_oauth->StopListener();
    EXPECT_EQ(m_oauth->errorText, CString("Error reading from socket: 10035"));
}

TEST_F(LoopbackTest, BrowserClosingEarlyGetsNoAnswer) {
    ASSERT_EQ(m_oauth->Listen(), 1);
    Client closing;
    ASSERT_TRUE(closing.Connect());
    closing.Send("GET /?code=fake-code&state=4242 HTTP/1.1\r\n");
    closing.ShutdownSend();
    EXPECT_EQ(closing.ReadToEnd(), "");
    EXPECT_EQ(m_oauth->state, OAuth2::kListening);
    EXPECT_EQ(m_sso->RequestCount(), 0u);
    m_oauth->StopListener();
    EXPECT_EQ(m_oauth->errorText, CString("Connection closed by browser"));
}

TEST_F(LoopbackTest, StopIsNotHeldUpByASilentConnection) {
    ASSERT_EQ(m_oauth->Listen(), 1);
    Client silent;
    ASSERT_TRUE(silent.Connect());
    ASSERT_TRUE(ListenerReadAll(silent));  // the listener is inside the connection now
    const auto start = Clock::now();
    m_oauth->StopListener();
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_EQ(m_oauth->state, OAuth2::kIdle);
    EXPECT_EQ(m_oauth->listenSocket, INVALID_SOCKET);
    EXPECT_EQ(silent.ReadToEnd(milliseconds(2000)), "");
    EXPECT_FALSE(silent.TimedOut());
}

TEST_F(LoopbackTest, DialogSignsInThroughTheBrowserAndClosesItself) {
    qp::observer::ScopedObserver observer;
    DlgAccessToken dialog(m_oauth.get());
    const auto start = Clock::now();
    ModalRun run([&dialog] { return dialog.DoModal(); });
    ASSERT_EQ(run.Result(), 0);
    EXPECT_LT(MillisecondsSince(start), 10000);
    EXPECT_EQ(dialog.m_bRunning, 0);

    EXPECT_EQ(m_oauth->state, OAuth2::kSignedIn);
    EXPECT_EQ(m_oauth->accessToken, CString("fake-access"));
    EXPECT_EQ(m_oauth->refreshToken, CString("fake-refresh-2"));
    char stored[64] = {};
    GetPrivateProfileStringA("Quarnel", "RefreshKey", "", stored, sizeof(stored), OAuth2::GetIniPath());
    EXPECT_STREQ(stored, "fake-refresh-2");
    // The listener is gone by the time the dialog has ended.
    EXPECT_EQ(m_oauth->listenSocket, INVALID_SOCKET);
    EXPECT_FALSE(Listening());

    // The browser went to the authorize page with the nonce and on to the listener.
    const auto authorize = m_sso->RequestsTo("/v2/oauth/authorize");
    ASSERT_EQ(authorize.size(), 1u);
    EXPECT_EQ(fakes::QueryOf(authorize[0].target)["state"], "4242");
    const std::string log = BrowserLog();
    EXPECT_NE(log.find("GET http://localhost:3017/?code=fake-code&state=4242\n200\n" + std::string(kPageSuccess)),
              std::string::npos)
        << log;

    const unsigned serial = qp::observer::WaitTemplate(1000, 0, 0, false);
    ASSERT_NE(serial, 0u);
    EXPECT_EQ(qp::observer::Caption(serial), "Authentication");
    EXPECT_EQ(qp::observer::ControlText(serial, IDCANCEL), "Abort");
    EXPECT_EQ(qp::observer::Record(serial).result, 0);
}

TEST_F(LoopbackTest, DialogStaysOpenForARedirectThatDoesNotMatch) {
    m_sso->SetAuthorizeState("4243");
    qp::observer::ScopedObserver observer;
    DlgAccessToken dialog(m_oauth.get());
    ModalRun run([&dialog] { return dialog.DoModal(); });
    const unsigned serial = qp::observer::WaitTemplate(1000);
    ASSERT_NE(serial, 0u);
    ASSERT_TRUE(WaitUntil([this] { return BrowserLog().find(kPageMismatch) != std::string::npos; }, milliseconds(10000)))
        << BrowserLog();
    EXPECT_FALSE(run.Done(milliseconds(1200)));  // more than two of the wait thread's polls
    EXPECT_TRUE(qp::observer::Record(serial).open);
    EXPECT_EQ(m_oauth->state, OAuth2::kListening);
    EXPECT_EQ(m_sso->RequestsTo("/v2/oauth/token").size(), 0u);

    // The right redirect still completes the sign-in.
    EXPECT_EQ(Get("/?state=4242&code=fake-code"), Answer(kPageSuccess));
    EXPECT_EQ(run.Result(), 0);
    EXPECT_EQ(m_oauth->state, OAuth2::kSignedIn);
}

TEST_F(LoopbackTest, AbortStopsTheListener) {
    ScopedEnv noBrowser("BROWSER", "true");  // a browser that never comes back
    qp::observer::ScopedObserver observer;
    DlgAccessToken dialog(m_oauth.get());
    ModalRun run([&dialog] { return dialog.DoModal(); });
    const unsigned serial = qp::observer::WaitTemplate(1000);
    ASSERT_NE(serial, 0u);
    EXPECT_TRUE(Listening());
    const auto start = Clock::now();
    ASSERT_TRUE(QpObserverPress(serial, IDCANCEL));
    EXPECT_EQ(run.Result(), 0);
    EXPECT_LT(MillisecondsSince(start), 3000);
    EXPECT_EQ(dialog.m_bAbort, 1);
    EXPECT_EQ(dialog.m_bRunning, 0);
    EXPECT_EQ(m_oauth->state, OAuth2::kIdle);
    EXPECT_EQ(m_oauth->listenSocket, INVALID_SOCKET);
    EXPECT_FALSE(Listening());
    EXPECT_TRUE(m_oauth->accessToken.IsEmpty());
}

}  // namespace
