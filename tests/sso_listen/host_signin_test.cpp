// The browser sign-in as a macro host meets it: the built library loaded by file name, GetUser
// called by reference, the sign-on service played by the fake and the browser by the fake browser.
// Each test loads the library afresh, after setting the environment it reads at load.
#include <string>

// Before the platform's headers: its plain client takes the system's socket headers.
#include "tests/sso_listen/listen_support.h"

#include "platform/posix/observer.h"
#include "platform/win32api.h"
#include "tests/fakes/fake_services.h"
#include "tests/sso_listen/dialog_runner.h"
#include "tests/support/file_text.h"
#include "tests/support/library_ini_path.h"

using namespace listen_test;
using testsupport::ScopedEnv;
using std::chrono::milliseconds;

namespace {

using GetUserFunction = int (*)(BSTR*);

class HostSignIn : public ::testing::Test {
protected:
    void SetUp() override {
        m_ssoEnv.reset(new ScopedEnv("QUARNELS_SSO_URL", m_sso.BaseUrl()));
        m_logEnv.reset(new ScopedEnv("FAKE_BROWSER_LOG", m_home.File("browser.log")));
    }
    void TearDown() override {
        if (m_module) FreeLibrary(m_module);
    }

    void Load() {
        m_module = LoadLibraryA(QUARNELS_LIBRARY_PATH);
        ASSERT_NE(m_module, nullptr) << QUARNELS_LIBRARY_PATH;
        m_getUser = reinterpret_cast<GetUserFunction>(reinterpret_cast<void (*)()>(GetProcAddress(m_module, "GetUser")));
        ASSERT_NE(m_getUser, nullptr);
    }
    // GetUser on a host variable that holds a text already; the name it leaves there.
    int GetUser(std::string& name) {
        BSTR value = SysAllocStringByteLen("None", 4);
        const int id = m_getUser(&value);
        name = value ? std::string(reinterpret_cast<const char*>(value), SysStringByteLen(value)) : "<null>";
        SysFreeString(value);
        return id;
    }
    std::string StoredRefreshToken() const {
        char value[128] = {};
        GetPrivateProfileStringA("Quarnel", "RefreshKey", "<none>", value, sizeof(value), LibraryIniPath().c_str());
        return value;
    }

    TempHome m_home;
    fakes::FakeSignOn m_sso;
    std::unique_ptr<ScopedEnv> m_ssoEnv;
    std::unique_ptr<ScopedEnv> m_logEnv;
    HMODULE m_module = nullptr;
    GetUserFunction m_getUser = nullptr;
};

TEST_F(HostSignIn, BrowserSignInNamesTheCharacterFromItsTokenAndStoresTheRefreshToken) {
    ScopedEnv browser("BROWSER", QUARNELS_FAKE_BROWSER);
    // A build configured with an application of its own signs in as that one; the fake then takes
    // no other.
    const std::string ownClient = QUARNELS_CONFIGURED_CLIENT_ID;
    if (!ownClient.empty()) m_sso.SetClient(ownClient, QUARNELS_CONFIGURED_CLIENT_SECRET);
    // The service's tokens name the character; the verify endpoint would name another one.
    m_sso.SetCharacter(1, "Not Asked");
    m_sso.SetTokenAnswer(200, fakes::FakeSignOn::TokenAnswer(fakes::FakeSignOn::Jwt(2112345678, "Ana Tester"),
                                                             "stored-refresh"));
    ASSERT_NO_FATAL_FAILURE(Load());
    EXPECT_EQ(StoredRefreshToken(), "<none>");

    qp::observer::ScopedObserver observer;
    std::string name;
    ModalRun run([this, &name] { return INT_PTR(GetUser(name)); });
    ASSERT_EQ(run.Result(), 2112345678);
    EXPECT_EQ(name, "Ana Tester");
    EXPECT_EQ(StoredRefreshToken(), "stored-refresh");

    // One sign-in dialog, closed by itself; no box.
    ASSERT_EQ(QpObserverRecordCount(), 1u);
    EXPECT_EQ(qp::observer::Caption(1), "Authentication");
    EXPECT_EQ(qp::observer::Record(1).result, 0);
    EXPECT_FALSE(Listening());
    const auto authorize = m_sso.RequestsTo("/v2/oauth/authorize");
    ASSERT_EQ(authorize.size(), 1u);
    if (!ownClient.empty()) {
        EXPECT_EQ(fakes::QueryOf(authorize[0].target)["client_id"], ownClient);
    }
    EXPECT_EQ(m_sso.RequestsTo("/v2/oauth/token").size(), 1u);
    EXPECT_EQ(m_sso.RequestsTo("/oauth/verify").size(), 0u);
    EXPECT_NE(testsupport::ReadFileText(m_home.File("browser.log")).find(kPageSuccess), std::string::npos);

    // The character is known now: no second sign-in, no request.
    EXPECT_EQ(GetUser(name), 2112345678);
    EXPECT_EQ(name, "Ana Tester");
    EXPECT_EQ(QpObserverRecordCount(), 1u);
    EXPECT_EQ(m_sso.RequestCount(), 2u);
}

TEST_F(HostSignIn, QuitMessageEndsTheSignInLikeAnAbortAndStaysQueued) {
    ScopedEnv browser("BROWSER", "true");  // a browser that never comes back
    ASSERT_NO_FATAL_FAILURE(Load());
    qp::observer::ScopedObserver observer(QP_BOX_DEFAULT);
    std::string name;
    bool quitQueued = false;
    ModalRun run([this, &name, &quitQueued] {
        // The host application is closing while the sign-in waits.
        PostQuitMessage(0);
        const int id = GetUser(name);
        MSG message;
        quitQueued = PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
        return INT_PTR(id);
    });
    EXPECT_EQ(run.Result(), 0);
    EXPECT_EQ(name, "Not Authenticated");
    EXPECT_TRUE(quitQueued);
    // The listener has let go of the port by the time GetUser returns.
    EXPECT_FALSE(Listening());
    EXPECT_EQ(qp::observer::Caption(1), "Authentication");
    EXPECT_EQ(m_sso.RequestCount(), 0u);
}

TEST_F(HostSignIn, AbortLeavesNobodySignedIn) {
    ScopedEnv browser("BROWSER", "true");  // a browser that never comes back
    ASSERT_NO_FATAL_FAILURE(Load());
    qp::observer::ScopedObserver observer;
    std::string name;
    ModalRun run([this, &name] { return INT_PTR(GetUser(name)); });

    const unsigned dialog = qp::observer::WaitDialog("Authentication");
    ASSERT_NE(dialog, 0u);
    EXPECT_TRUE(Listening());
    ASSERT_TRUE(QpObserverPress(dialog, IDCANCEL));
    ASSERT_TRUE(QpObserverWaitEnded(dialog, 5000));
    EXPECT_EQ(qp::observer::Record(dialog).result, 0);
    EXPECT_FALSE(Listening());

    const unsigned box = qp::observer::WaitBox(10000, dialog);
    ASSERT_NE(box, 0u);
    EXPECT_EQ(qp::observer::BoxText(box), "Authentication failed - No access to the ESI-API possible");
    EXPECT_FALSE(run.Done(milliseconds(200)));  // GetUser waits for the box
    ASSERT_TRUE(QpObserverPress(box, IDOK));

    EXPECT_EQ(run.Result(), 0);
    EXPECT_EQ(name, "Not Authenticated");
    EXPECT_EQ(StoredRefreshToken(), "<none>");
    EXPECT_EQ(m_sso.RequestCount(), 0u);
    EXPECT_FALSE(Listening());
}

}  // namespace
