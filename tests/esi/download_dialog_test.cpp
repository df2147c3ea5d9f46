// The "please wait" dialog of every download: it shows the title, runs the download function on a
// thread of its own, cannot be closed by the user and ends by itself when the function returns.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "framework/afxwin.h"
#include "library/esi/download_dialog.h"
#include "library/esi/skills.h"
#include "tests/esi/esi_test_support.h"

namespace {

using esitest::DownloadDialogs;
using esitest::DownloadTitles;

// A gate that a download waits at until the test opens it. Opened at the latest when it goes, so
// that a failing test never leaves a download hanging.
class Gate {
public:
    ~Gate() { Open(); }
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// What the test's own download functions saw; written on the worker, read after DoModal.
struct Seen {
    int calls = 0;
    std::thread::id thread;
    OAuth2* session = nullptr;
    int64_t number = 0;
    CString* text = nullptr;
    std::string textValue;
    int first = 0;
    int second = 0;
};
Seen g_seen;
Gate* g_gate = nullptr;

void RecordingWorker(OAuth2* oauth) {
    ++g_seen.calls;
    g_seen.thread = std::this_thread::get_id();
    g_seen.session = oauth;
}

void RecordingWorkerWithArgs(int64_t number, CString* text, int first, int second, OAuth2* oauth) {
    ++g_seen.calls;
    g_seen.thread = std::this_thread::get_id();
    g_seen.number = number;
    g_seen.text = text;
    g_seen.textValue = text->GetString();
    g_seen.first = first;
    g_seen.second = second;
    g_seen.session = oauth;
}

void WaitingWorker(OAuth2*) {
    ++g_seen.calls;
    g_gate->Wait();
}

void ThrowsFrameworkException(OAuth2*) {
    ++g_seen.calls;
    AfxThrowMemoryException();
}
void ThrowsStandardException(OAuth2*) {
    ++g_seen.calls;
    throw std::runtime_error("download broke");
}
void ThrowsSomethingElse(OAuth2*) {
    ++g_seen.calls;
    throw 42;
}
void ThrowsWithArgs(int64_t, CString*, int, int, OAuth2*) {
    ++g_seen.calls;
    throw std::logic_error("download broke");
}

class DownloadDialogTest : public esitest::EsiTest {
protected:
    void SetUp() override {
        EsiTest::SetUp();
        g_seen = Seen();
    }
};

TEST_F(DownloadDialogTest, ShowsTheTitleRunsTheFunctionOnAWorkerAndEndsByItself) {
    CEsiDownloadDlg dialog;
    dialog.m_strTitle = "Skills";
    dialog.m_nMode = 0;
    dialog.m_pfnWorker = &RecordingWorker;
    dialog.m_pSession = &g_OAuth;
    EXPECT_EQ(dialog.DoModal(), 0);

    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_NE(g_seen.thread, std::this_thread::get_id());
    EXPECT_EQ(g_seen.session, &g_OAuth);

    const auto dialogs = DownloadDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    const QpUiRecord record = qp::observer::Record(dialogs[0]);
    EXPECT_EQ(record.templateId, 1002);
    EXPECT_TRUE(record.ended);
    EXPECT_FALSE(record.open);
    EXPECT_EQ(record.result, 0);
    EXPECT_EQ(qp::observer::ControlText(dialogs[0], 1000), "Skills");
}

TEST_F(DownloadDialogTest, ModeOneHandsOverItsArgumentsAndItsOwnText) {
    CEsiDownloadDlg dialog;
    dialog.m_strTitle = "Market Tritanium (Jita)";
    dialog.m_nMode = 1;
    dialog.m_pfnWorker = &RecordingWorker;  // not the function of this mode
    dialog.m_pfnWorkerArgs = &RecordingWorkerWithArgs;
    dialog.m_nArg = 60003760;
    dialog.m_strArg = "10000002";
    dialog.m_nArg1 = 34;
    dialog.m_nArg2 = 1;
    dialog.m_pSession = &g_OAuth;
    EXPECT_EQ(dialog.DoModal(), 0);

    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.number, 60003760);
    EXPECT_EQ(g_seen.text, &dialog.m_strArg);
    EXPECT_EQ(g_seen.textValue, "10000002");
    EXPECT_EQ(g_seen.first, 34);
    EXPECT_EQ(g_seen.second, 1);
    EXPECT_EQ(g_seen.session, &g_OAuth);
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Market Tritanium (Jita)"});
}

TEST_F(DownloadDialogTest, OtherModesRunNothingAndStillEnd) {
    for (int mode : {2, -1, 7}) {
        CEsiDownloadDlg dialog;
        dialog.m_strTitle = "Nothing";
        dialog.m_nMode = mode;
        dialog.m_pfnWorker = &RecordingWorker;
        dialog.m_pfnWorkerArgs = &RecordingWorkerWithArgs;
        dialog.m_pSession = &g_OAuth;
        EXPECT_EQ(dialog.DoModal(), 0) << "mode " << mode;
    }
    EXPECT_EQ(g_seen.calls, 0);
    EXPECT_EQ(DownloadDialogs().size(), 3u);
}

TEST_F(DownloadDialogTest, AFunctionThatThrowsStillEndsTheDialog) {
    for (CEsiDownloadDlg::Worker worker : {&ThrowsFrameworkException, &ThrowsStandardException, &ThrowsSomethingElse}) {
        CEsiDownloadDlg dialog;
        dialog.m_strTitle = "Assets";
        dialog.m_pfnWorker = worker;
        dialog.m_pSession = &g_OAuth;
        EXPECT_EQ(dialog.DoModal(), 0);
    }
    CEsiDownloadDlg dialog;
    dialog.m_nMode = 1;
    dialog.m_pfnWorkerArgs = &ThrowsWithArgs;
    dialog.m_strArg = "10000002";
    EXPECT_EQ(dialog.DoModal(), 0);

    EXPECT_EQ(g_seen.calls, 4);
    for (unsigned serial : DownloadDialogs()) EXPECT_TRUE(qp::observer::Record(serial).ended);
}

// Enter, Esc, the buttons' commands, the close box and Alt+F4 all arrive while the download waits;
// the dialog stays until the download returns.
TEST_F(DownloadDialogTest, TheUserCannotEndItWhileTheDownloadRuns) {
    Gate gate;
    g_gate = &gate;
    std::atomic<bool> returned{false};
    INT_PTR result = -5;
    std::thread host([&] {
        CEsiDownloadDlg dialog;
        dialog.m_strTitle = "Transactions";
        dialog.m_pfnWorker = &WaitingWorker;
        dialog.m_pSession = &g_OAuth;
        result = dialog.DoModal();
        returned = true;
    });

    const unsigned serial = qp::observer::WaitDialog("ESI Download");
    ASSERT_NE(serial, 0u);
    EXPECT_EQ(qp::observer::ControlText(serial, 1000), "Transactions");
    EXPECT_TRUE(QpObserverKey(serial, VK_RETURN));
    EXPECT_TRUE(QpObserverKey(serial, VK_ESCAPE));
    EXPECT_TRUE(QpObserverPress(serial, IDOK));
    EXPECT_TRUE(QpObserverPress(serial, IDCANCEL));
    EXPECT_TRUE(QpObserverCloseBox(serial));
    EXPECT_TRUE(QpObserverPost(serial, WM_SYSCOMMAND, SC_CLOSE, 0));
    EXPECT_TRUE(QpObserverFlush(serial, 10000));
    EXPECT_TRUE(qp::observer::Record(serial).open);
    EXPECT_FALSE(returned);

    gate.Open();
    EXPECT_TRUE(QpObserverWaitEnded(serial, 10000));
    host.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(result, 0);
    g_gate = nullptr;
}

// The same through a real query: the skills download waits inside the fake web API.
TEST_F(DownloadDialogTest, AQueryDownloadIsHeldOpenUntilTheAnswerComes) {
    Gate gate;
    api.SetHandler(esitest::UserPath("v4/characters/&user&/skills/"), [&gate](const fakes::HttpRequest&) {
        gate.Wait();
        return fakes::HttpResponse::Text(200, "{\"skills\":[{\"skill_id\":11433,\"active_skill_level\":5}]}",
                                         "application/json");
    });
    invention_entry entry{};
    entry.probability = 0.3;
    entry.skill_id[0] = 11433;
    double chance = -1.0;
    std::thread host([&] { chance = GetInventionChanceWithSkills(&entry); });

    const unsigned serial = qp::observer::WaitDialog("ESI Download");
    ASSERT_NE(serial, 0u);
    EXPECT_EQ(qp::observer::ControlText(serial, 1000), "Skills");
    ASSERT_TRUE(api.WaitForRequests(1, std::chrono::seconds(10)));
    EXPECT_TRUE(QpObserverKey(serial, VK_ESCAPE));
    EXPECT_TRUE(QpObserverKey(serial, VK_RETURN));
    EXPECT_TRUE(QpObserverCloseBox(serial));
    EXPECT_TRUE(QpObserverFlush(serial, 10000));
    EXPECT_TRUE(qp::observer::Record(serial).open);

    gate.Open();
    EXPECT_TRUE(QpObserverWaitEnded(serial, 10000));
    host.join();
    EXPECT_DOUBLE_EQ(chance, 0.3 * (5 / 30.0 + 1.0));
    EXPECT_EQ(qp::observer::Record(serial).result, 0);
}

TEST_F(DownloadDialogTest, NeverShowsTheTemplateText) {
    api.Set(esitest::UserPath("v4/characters/&user&/skills/"), 200, "{\"skills\":[]}");
    GetInventionChanceWithSkills(nullptr);
    RunDownload("Industry jobs", [](OAuth2*) {});
    const auto titles = DownloadTitles();
    EXPECT_EQ(titles, (std::vector<std::string>{"Skills", "Industry jobs"}));
    for (const auto& title : titles) EXPECT_NE(title, "Statisch");
}

}  // namespace
