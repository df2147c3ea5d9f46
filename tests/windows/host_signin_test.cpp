// Quarnels64.dll against the fake sign-on service and web API on 127.0.0.1, with its real windows:
// the sign-in runs through the system's browser registration (the fake browser), the library's
// loopback listener and WinINet; a download shows the "ESI Download" dialog, which ends by itself.
// Every test loads the library in a program of its own, so it starts from the load-time state.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tests/fakes/fake_services.h"
#include "tests/support/file_text.h"
#include "tests/support/host_library.h"
#include "tests/windows/import_patch.h"
#include "tests/windows/win_test_support.h"

namespace {

using namespace std::chrono_literals;

class WinHostSignIn : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = wintest::ProgramFolder();
        browserLog_ = folder_ + "win_host_signin_browser.log";
        DeleteFileA(browserLog_.c_str());
        wintest::SetVariable("FAKE_BROWSER_LOG", browserLog_);
        wintest::SetVariable("QUARNELS_SSO_URL", signOn_.BaseUrl());
        wintest::SetVariable("QUARNELS_ESI_URL", api_.BaseUrl());
        browser_ = std::make_unique<wintest::BrowserRegistration>(folder_ + "win_fake_browser.exe");
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
        browser_.reset();
        DeleteFileA(browserLog_.c_str());
    }

    void Load() {
        module_ = LoadLibraryA("Quarnels64.dll");
        ASSERT_NE(module_, nullptr) << "cannot load Quarnels64.dll, error " << GetLastError();
        BindAll(module_, x);
    }

    std::string BrowserLog() const { return testsupport::ReadFileText(browserLog_); }

    fakes::FakeSignOn signOn_;
    fakes::FakeWebApi api_;
    std::string folder_;
    std::string browserLog_;
    std::unique_ptr<wintest::BrowserRegistration> browser_;
    HMODULE module_ = nullptr;
    QuarnelsExports x{};
};

// Calls the handler with each dialog ("#32770") that this thread activates, and its caption, as
// the dialog comes on the screen. GetUser runs the sign-in dialog and the message boxes on the
// thread that called it, so a hook of that thread sees each of them as it opens.
class DialogsShown {
public:
    using Handler = std::function<void(HWND dialog, const std::string& caption)>;
    explicit DialogsShown(Handler handler) : m_handler(std::move(handler)) {
        s_current = this;
        m_hook = SetWindowsHookExA(WH_CBT, &OnWindowEvent, nullptr, GetCurrentThreadId());
        EXPECT_NE(m_hook, nullptr) << "cannot hook the thread's windows, error " << GetLastError();
    }
    ~DialogsShown() {
        if (m_hook) UnhookWindowsHookEx(m_hook);
        s_current = nullptr;
    }
    DialogsShown(const DialogsShown&) = delete;
    DialogsShown& operator=(const DialogsShown&) = delete;

private:
    static LRESULT CALLBACK OnWindowEvent(int code, WPARAM wParam, LPARAM lParam) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_ACTIVATE && s_current && wintest::ClassOf(window) == "#32770") {
            char caption[256] = {};
            GetWindowTextA(window, caption, sizeof(caption));
            s_current->m_handler(window, caption);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline DialogsShown* s_current = nullptr;  // one at a time, on the test's thread
    Handler m_handler;
    HHOOK m_hook = nullptr;
};

TEST_F(WinHostSignIn, GetUserSignsInThroughTheBrowserAndTheLoopbackListener) {
    wintest::StoreRefreshToken("");
    Load();
    bool signInDialogShown = false;
    DialogsShown dialogs([&](HWND, const std::string& caption) { signInDialogShown |= caption == "Authentication"; });

    BSTR name = SysAllocStringByteLen("None", 4);
    EXPECT_EQ(x.GetUser(&name), 90000001);
    EXPECT_EQ(TakeBstr(name), "Fake Pilot");
    EXPECT_TRUE(signInDialogShown);
    EXPECT_TRUE(wintest::DialogsOf(GetCurrentProcessId(), "Authentication").empty());

    // The browser went to the authorize page, which sent it on to the listener with the code; the
    // listener answered once the code was exchanged.
    const std::string log = BrowserLog();
    EXPECT_NE(log.find("GET " + signOn_.AuthorizeUrl()), std::string::npos) << log;
    EXPECT_NE(log.find("GET http://localhost:3017/?code=fake-code"), std::string::npos) << log;
    const auto requests = signOn_.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].Path(), "/v2/oauth/authorize");
    EXPECT_EQ(requests[1].Path(), "/v2/oauth/token");
    EXPECT_EQ(fakes::FormOf(requests[1].body)["grant_type"], "authorization_code");
    EXPECT_EQ(fakes::FormOf(requests[1].body)["code"], "fake-code");
    EXPECT_EQ(requests[1].Header("User-Agent"), "Quarnels");
    EXPECT_EQ(requests[1].Header("Authorization").rfind("Basic ", 0), 0u);
    EXPECT_EQ(requests[2].Path(), "/oauth/verify");
    EXPECT_EQ(requests[2].Header("Authorization"), "Bearer fake-access");
    EXPECT_EQ(wintest::StoredRefreshToken(), "fake-refresh-2");

    // The character is known for the rest of the load: no second sign-in.
    BSTR again = nullptr;
    EXPECT_EQ(x.GetUser(&again), 90000001);
    EXPECT_EQ(TakeBstr(again), "Fake Pilot");
    EXPECT_EQ(signOn_.RequestCount(), 3u);
}

// Plays a user who aborts every sign-in dialog and answers every message box of the library with
// OK, keeping the texts of the boxes.
class AbortingUser {
public:
    AbortingUser() : m_dialogs([this](HWND dialog, const std::string& caption) { Answer(dialog, caption); }) {}
    int Aborted() const { return m_aborted; }
    const std::vector<std::string>& Boxes() const { return m_boxes; }

private:
    void Answer(HWND dialog, const std::string& caption) {
        if (dialog == m_lastAnswered) return;
        m_lastAnswered = dialog;
        if (caption == "Authentication") {
            ++m_aborted;
            wintest::Press(dialog, IDCANCEL);
        } else if (caption == "Quarnels64") {  // the class library captions its boxes with the module's name
            m_boxes.push_back(wintest::WindowText(GetDlgItem(dialog, 0xFFFF)));
            wintest::Press(dialog, IDOK);
        }
    }

    int m_aborted = 0;
    HWND m_lastAnswered = nullptr;
    std::vector<std::string> m_boxes;
    DialogsShown m_dialogs;
};

TEST_F(WinHostSignIn, AnAbortedSignInWarnsAndLeavesNobodySignedIn) {
    wintest::StoreRefreshToken("");
    // The browser comes back with a state of another sign-in, which the listener does not take.
    signOn_.SetAuthorizeState("not-this-sign-in");
    Load();
    AbortingUser user;

    BSTR name = SysAllocStringByteLen("None", 4);
    EXPECT_EQ(x.GetUser(&name), 0);
    EXPECT_EQ(TakeBstr(name), "Not Authenticated");
    EXPECT_GE(user.Aborted(), 1);
    const auto boxes = user.Boxes();
    ASSERT_FALSE(boxes.empty());
    for (const std::string& text : boxes) EXPECT_EQ(text, "Authentication failed - No access to the ESI-API possible");
    EXPECT_TRUE(signOn_.RequestsTo("/v2/oauth/token").empty());
    EXPECT_EQ(wintest::StoredRefreshToken(), "");
}

// Whether anything accepts connections on the sign-in's loopback port.
bool SignInPortOpen() {
    const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(3017);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool open = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    closesocket(probe);
    return open;
}

TEST_F(WinHostSignIn, AQuitMessageEndsTheSignInLikeAnAbortAndStaysQueued) {
    wintest::StoreRefreshToken("");
    // The browser comes back with a state of another sign-in: only the quit ends this one.
    signOn_.SetAuthorizeState("not-this-sign-in");
    Load();

    // The host application is closing while the sign-in waits.
    PostQuitMessage(0);
    BSTR name = SysAllocStringByteLen("None", 4);
    EXPECT_EQ(x.GetUser(&name), 0);
    EXPECT_EQ(TakeBstr(name), "Not Authenticated");
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_FALSE(SignInPortOpen());
    EXPECT_TRUE(wintest::DialogsOf(GetCurrentProcessId(), "Authentication").empty());
    EXPECT_TRUE(signOn_.RequestsTo("/v2/oauth/token").empty());
}

TEST_F(WinHostSignIn, DownloadDialogShowsWhileTheDownloadRunsAndEndsByItself) {
    // A user who signed in before: the stored token is refreshed, no browser is needed.
    wintest::StoreRefreshToken("fake-refresh");
    std::atomic<bool> shown{false};
    std::string title;
    api_.SetHandler("/v1/characters/90000001/industry/jobs/", [&](const fakes::HttpRequest&) {
        // The answer waits until the dialog stands on the screen with its title.
        wintest::WaitUntil(
            [&] {
                for (HWND dialog : wintest::DialogsOf(GetCurrentProcessId(), "ESI Download")) {
                    HWND label = GetDlgItem(dialog, 1000);
                    if (label && wintest::WindowText(label) != "Statisch") {
                        title = wintest::WindowText(label);
                        return true;
                    }
                }
                return false;
            },
            20s);
        shown = !title.empty();
        return fakes::HttpResponse::Text(
            200,
            "[{\"blueprint_type_id\":1000,\"product_type_id\":34,\"runs\":12},"
            "{\"blueprint_type_id\":1000,\"product_type_id\":35,\"runs\":5}]",
            "application/json");
    });
    Load();

    HostText item("TRITANIUM");
    EXPECT_EQ(x.GetProduction(item.Arg()), 12);
    EXPECT_TRUE(shown);
    EXPECT_EQ(title, "Industry jobs");
    EXPECT_TRUE(wintest::DialogsOf(GetCurrentProcessId(), "ESI Download").empty());
    // Fresh data are not downloaded again.
    EXPECT_EQ(x.GetProduction(item.Arg()), 12);
    EXPECT_EQ(api_.RequestCount(), 1u);
    const auto calls = api_.Requests();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Header("Authorization"), "Bearer fake-access");
    EXPECT_EQ(BrowserLog(), "");
}

// The host closing: a WM_QUIT ends the real dialog manager's loop while the download still runs.
// The query waits for the download, and the quit message stays for the host's own loop.
TEST_F(WinHostSignIn, AQuitMessageDuringADownloadWaitsForIt) {
    wintest::StoreRefreshToken("fake-refresh");
    // Answers only once the dialog's window is gone (shown or not), so the download outlasts the
    // modal loop.
    api_.SetHandler("/v1/markets/10000043/orders/", [](const fakes::HttpRequest&) {
        EXPECT_TRUE(wintest::WaitUntil([] { return !FindWindowA("#32770", "ESI Download"); }, 20s));
        return fakes::HttpResponse::Text(200, "[{\"location_id\":60008494,\"price\":2.5,\"volume_remain\":8}]",
                                         "application/json");
    });
    Load();

    HostText hub("Amarr"), item("Tritanium");
    short sell = 1;
    int quantity = 8;
    ExpectQuitMessageKeptThrough(
        [&] { EXPECT_DOUBLE_EQ(x.GetMarket(hub.Arg(), item.Arg(), &sell, &quantity), 20.0); });
    EXPECT_EQ(api_.RequestCount(), 1u);
}

// Holds every thread of the library that closes the handle of its own thread, as a thread of the
// class library does on its way out of the library's code, until Release: the host can then free
// the library while those threads have yet to return through its code.
class ThreadEndsHeld {
public:
    explicit ThreadEndsHeld(HMODULE library) : m_release(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        s_current = this;
        m_patched = wintest::ReplaceImport(library, "CloseHandle", reinterpret_cast<const void*>(&HoldingCloseHandle));
    }
    ~ThreadEndsHeld() {
        Release(std::chrono::seconds(20));
        s_current = nullptr;
        for (HANDLE thread : m_held) CloseHandle(thread);
        CloseHandle(m_release);
    }
    ThreadEndsHeld(const ThreadEndsHeld&) = delete;
    ThreadEndsHeld& operator=(const ThreadEndsHeld&) = delete;

    bool Patched() const { return m_patched; }
    size_t WaitForHeld(size_t count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, limit, [&] { return m_held.size() >= count; });
        return m_held.size();
    }
    // Lets the held threads go on; true once all of them have ended.
    bool Release(std::chrono::milliseconds limit) {
        SetEvent(m_release);
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_held.empty() ||
               WaitForMultipleObjects(DWORD(m_held.size()), m_held.data(), TRUE, DWORD(limit.count())) < WAIT_TIMEOUT;
    }

private:
    static BOOL WINAPI HoldingCloseHandle(HANDLE handle) {
        ThreadEndsHeld* self = s_current;
        if (self && GetThreadId(handle) == GetCurrentThreadId()) self->Hold();
        return CloseHandle(handle);
    }
    void Hold() {
        HANDLE thread = nullptr;
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_held.push_back(thread);
        }
        m_changed.notify_all();
        WaitForSingleObject(m_release, 20000);
    }

    static inline std::atomic<ThreadEndsHeld*> s_current{nullptr};
    HANDLE m_release;
    bool m_patched = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<HANDLE> m_held;
};

// The threads that outlive an export are the sign-in's: the loopback listener's and the dialog's
// wait thread end only after they have let GetUser return. (A download's worker is waited for.)
TEST_F(WinHostSignIn, AHostMayFreeTheLibraryTheMomentASignInReturns) {
    for (int round = 0; round < 3; ++round) {
        wintest::StoreRefreshToken("");
        Load();
        ThreadEndsHeld threadEnds(module_);
        ASSERT_TRUE(threadEnds.Patched());
        BSTR name = nullptr;
        EXPECT_EQ(x.GetUser(&name), 90000001) << "round " << round;
        EXPECT_EQ(TakeBstr(name), "Fake Pilot");
        ASSERT_EQ(threadEnds.WaitForHeld(2, 10s), 2u) << "round " << round;
        ASSERT_TRUE(FreeLibrary(module_));
        module_ = nullptr;
        // Had they no reference of their own, their way back would lead through unmapped code.
        ASSERT_TRUE(threadEnds.Release(10s)) << "round " << round;
        // The last of them let go of the library as it ended, so the next round loads it afresh.
        EXPECT_EQ(GetModuleHandleA("Quarnels64.dll"), nullptr) << "round " << round;
    }
    EXPECT_EQ(signOn_.RequestsTo("/v2/oauth/token").size(), 3u);
}

}  // namespace
