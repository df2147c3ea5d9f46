// Headless windows, dialogs and message boxes through the Windows API names.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/observer.h"
#include "platform/win32api.h"
#include "tests/support/modal_person.h"

namespace {

constexpr DWORD kWait = 10000;
constexpr UINT kFinished = WM_USER + 3;

// Templates of the test program's resource table (test_resources.cpp).
const LPCSTR kSignIn = MAKEINTRESOURCEA(1000);
const LPCSTR kDownload = MAKEINTRESOURCEA(1002);
const LPCSTR kLists = MAKEINTRESOURCEA(77);

// What a dialog procedure saw, shared with the threads of a test.
struct Seen {
    std::mutex lock;
    std::vector<int> commands;
    std::vector<UINT> messages;
    void Command(int id) {
        std::lock_guard<std::mutex> guard(lock);
        commands.push_back(id);
    }
    void Message(UINT message) {
        std::lock_guard<std::mutex> guard(lock);
        messages.push_back(message);
    }
    std::vector<int> Commands() {
        std::lock_guard<std::mutex> guard(lock);
        return commands;
    }
};

// Records commands and ends on kFinished with the wParam as result; ignores IDOK and IDCANCEL.
INT_PTR CALLBACK StubbornProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* seen = reinterpret_cast<Seen*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SetWindowTextA(GetDlgItem(dialog, 1000), "Skills");
        return TRUE;
    case WM_COMMAND:
        seen->Command(LOWORD(wParam));
        return TRUE;
    case kFinished:
        EndDialog(dialog, INT_PTR(wParam));
        return TRUE;
    default:
        if (seen) seen->Message(message);
        return FALSE;
    }
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { QpObserverAttach(); }
    void TearDown() override { QpObserverDetach(); }
};

TEST_F(WindowTest, ModalDialogEndsByMessagePostedFromAnotherThread) {
    Seen seen;
    HWND window = nullptr;
    ModalPerson person([&]() -> std::string {
        const unsigned serial = qp::observer::WaitDialog("ESI Download", kWait);
        if (!serial) return "the dialog never opened";
        window = qp::observer::Record(serial).window;
        EXPECT_EQ(qp::observer::ControlText(serial, 1000), "Skills");
        EXPECT_TRUE(PostMessageA(window, kFinished, 7, 0));
        return "";
    });
    const INT_PTR result = DialogBoxParamA(nullptr, kDownload, nullptr, StubbornProc, reinterpret_cast<LPARAM>(&seen));
    ASSERT_EQ(person.Back(), "");
    EXPECT_EQ(result, 7);
    // The window is gone: further posts fail and the handle stays invalid.
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(PostMessageA(window, kFinished, 0, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(SetWindowTextA(window, "x"));

    const QpUiRecord record = qp::observer::Record(1);
    EXPECT_TRUE(record.ended);
    EXPECT_FALSE(record.open);
    EXPECT_EQ(record.result, 7);
    EXPECT_EQ(record.templateId, 1002);
    EXPECT_EQ(record.thread, QpObserverThreadTag());
}

TEST_F(WindowTest, KeysAndCloseBoxBecomeCommandsThatTheProcedureMayIgnore) {
    Seen seen;
    std::thread person([&] {
        const unsigned serial = qp::observer::WaitDialog("ESI Download", kWait);
        EXPECT_TRUE(QpObserverKey(serial, VK_RETURN));
        EXPECT_TRUE(QpObserverKey(serial, VK_ESCAPE));
        EXPECT_TRUE(QpObserverCloseBox(serial));
        EXPECT_TRUE(QpObserverPost(serial, WM_SYSKEYDOWN, VK_F4, LPARAM(1) << 29));  // Alt+F4
        EXPECT_TRUE(QpObserverFlush(serial, kWait));
        // The close requests arrive as posted commands of their own; let them through too.
        EXPECT_TRUE(QpObserverFlush(serial, kWait));
        EXPECT_TRUE(qp::observer::Record(serial).open);
        QpObserverPost(serial, kFinished, 0, 0);
    });
    const INT_PTR result = DialogBoxParamA(nullptr, kDownload, nullptr, StubbornProc, reinterpret_cast<LPARAM>(&seen));
    person.join();
    EXPECT_EQ(result, 0);
    // No button: Enter is IDOK. Esc, the close box and Alt+F4 are the cancel command.
    EXPECT_EQ(seen.Commands(), (std::vector<int>{IDOK, IDCANCEL, IDCANCEL, IDCANCEL}));
}

TEST_F(WindowTest, EnterPressesTheDefaultButton) {
    Seen seen;
    std::thread person([&] {
        const unsigned serial = qp::observer::WaitTemplate(1000, kWait);
        EXPECT_TRUE(QpObserverKey(serial, VK_RETURN));
        EXPECT_TRUE(QpObserverPress(serial, IDCANCEL));
        EXPECT_TRUE(QpObserverFlush(serial, kWait));
        QpObserverPost(serial, kFinished, 3, 0);
    });
    EXPECT_EQ(DialogBoxParamA(nullptr, kSignIn, nullptr, StubbornProc, reinterpret_cast<LPARAM>(&seen)), 3);
    person.join();
    // "Abort" (IDCANCEL) is the default push button.
    EXPECT_EQ(seen.Commands(), (std::vector<int>{IDCANCEL, IDCANCEL}));
}

// The outer dialog opens the inner one from a handler; the outer dialog's own message arrives and
// is handled while the inner loop runs, and the outer loop ends only after the inner one.
struct Nesting {
    std::vector<std::string> events;
    std::mutex lock;
    void Add(const std::string& event) {
        std::lock_guard<std::mutex> guard(lock);
        events.push_back(event);
    }
};

INT_PTR CALLBACK InnerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 22);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

INT_PTR CALLBACK OuterProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* nesting = reinterpret_cast<Nesting*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        PostMessageA(dialog, WM_USER + 1, 0, 0);
        return TRUE;
    case WM_USER + 1:
        nesting->Add("inner opens");
        nesting->Add("inner " + std::to_string(DialogBoxParamA(nullptr, kSignIn, dialog, InnerProc, 0)));
        return TRUE;
    case kFinished:
        nesting->Add("outer ended");
        EndDialog(dialog, 11);
        return TRUE;
    default:
        (void)wParam;
        return FALSE;
    }
}

TEST_F(WindowTest, ModalLoopsNestOnOneThread) {
    Nesting nesting;
    ModalPerson person([&]() -> std::string {
        const unsigned outer = qp::observer::WaitDialog("ESI Download", kWait);
        const unsigned inner = qp::observer::WaitDialog("Authentication", kWait, outer);
        if (!inner) return "the inner dialog never opened";
        EXPECT_FALSE(IsWindowEnabled(qp::observer::Record(outer).window));
        EXPECT_TRUE(QpObserverPost(outer, kFinished, 0, 0));
        EXPECT_TRUE(QpObserverFlush(outer, kWait));
        EXPECT_TRUE(qp::observer::Record(outer).open);  // ended, but its loop waits for the inner one
        EXPECT_TRUE(QpObserverPress(inner, IDCANCEL));
        return "";
    });
    const INT_PTR result = DialogBoxParamA(nullptr, kDownload, nullptr, OuterProc, reinterpret_cast<LPARAM>(&nesting));
    ASSERT_EQ(person.Back(), "");
    EXPECT_EQ(result, 11);
    EXPECT_EQ(nesting.events, (std::vector<std::string>{"inner opens", "outer ended", "inner 22"}));
    EXPECT_EQ(QpObserverRecordCount(), 2u);
    EXPECT_EQ(qp::observer::Record(1).thread, qp::observer::Record(2).thread);
}

INT_PTR CALLBACK EndAtOnceProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowTextA(GetDlgItem(dialog, 1000), "Assets");
        EndDialog(dialog, INT_PTR(lParam));
        return TRUE;
    }
    return FALSE;
}

TEST_F(WindowTest, DialogEndedDuringInitShowsItsTextsAndCloses) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(DialogBoxParamA(nullptr, kDownload, nullptr, EndAtOnceProc, 5), 5);
    const std::string shown = testing::internal::GetCapturedStderr();
    // Texts as they stand after WM_INITDIALOG; the template's placeholder never shows.
    EXPECT_NE(shown.find("ESI Download"), std::string::npos);
    EXPECT_NE(shown.find("Downloading data from EveOnline - please wait"), std::string::npos);
    EXPECT_NE(shown.find("1000: Assets"), std::string::npos);
    EXPECT_EQ(shown.find("Statisch"), std::string::npos);

    const QpUiQuery any{QP_UI_DIALOG, "ESI Download", 1002, 0, FALSE};
    const unsigned serial = QpObserverWait(&any, 0);
    ASSERT_EQ(serial, 1u);
    EXPECT_TRUE(qp::observer::Record(serial).ended);
    EXPECT_EQ(qp::observer::ControlText(serial, 1000), "Assets");
    EXPECT_EQ(QpObserverGetControlText(serial, 4711, nullptr, 0), -1);
    EXPECT_FALSE(QpObserverPress(serial, IDOK));
}

TEST_F(WindowTest, MissingTemplateFailsWithoutCallingTheProcedure) {
    static std::atomic<int> calls{0};
    DLGPROC counting = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR {
        ++calls;
        return FALSE;
    };
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(4242), nullptr, counting, 0), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(DialogBoxParamA(nullptr, kDownload, reinterpret_cast<HWND>(0x4), counting, 0), -1);
    EXPECT_EQ(calls.load(), 0);
    EXPECT_EQ(QpObserverRecordCount(), 0u);
}

INT_PTR CALLBACK AnswerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_USER + 5) {
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, LONG_PTR(wParam * 2));
        return TRUE;
    }
    if (message == kFinished) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

TEST_F(WindowTest, SendMessageFromAnotherThreadRunsOnTheOwnerAndReturnsItsResult) {
    std::thread worker([] {
        const unsigned serial = qp::observer::WaitDialog("Lists", kWait);
        const HWND dialog = qp::observer::Record(serial).window;
        EXPECT_EQ(SendMessageA(dialog, WM_USER + 5, 21, 0), 42);
        // Controls answer at once from any thread.
        const HWND list = GetDlgItem(dialog, 1001);
        EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, LPARAM("Load Quarnels64.dll ... OK")), 0);
        EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, LPARAM("Version ... 1,0,0,7")), 1);
        EXPECT_EQ(SendMessageA(list, LB_INSERTSTRING, 0, LPARAM("first")), 0);
        EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(SendMessageA(list, LB_GETTEXTLEN, 2, 0), 19);
        char line[64] = {};
        EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 1, LPARAM(line)), 26);
        EXPECT_STREQ(line, "Load Quarnels64.dll ... OK");
        EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 3, LPARAM(line)), LB_ERR);
        EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 0, 0), 2);
        EXPECT_EQ(qp::observer::ListLines(serial, 1001),
                  (std::vector<std::string>{"Load Quarnels64.dll ... OK", "Version ... 1,0,0,7"}));
        const HWND sorted = GetDlgItem(dialog, 1002);
        for (const char* text : {"b", "C", "a"}) SendMessageA(sorted, LB_ADDSTRING, 0, LPARAM(text));
        EXPECT_EQ(qp::observer::ListLines(serial, 1002), (std::vector<std::string>{"a", "b", "C"}));
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        EXPECT_EQ(QpObserverGetListCount(serial, 1001), 0);
        PostMessageA(dialog, kFinished, 0, 0);
    });
    EXPECT_EQ(DialogBoxParamA(nullptr, kLists, nullptr, AnswerProc, 0), 0);
    worker.join();
}

TEST_F(WindowTest, QuitMessageLeavesTheModalLoopAndStaysForTheOuterLoop) {
    DLGPROC quitting = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) PostQuitMessage(9);
        return message == WM_INITDIALOG;
    };
    EXPECT_EQ(DialogBoxParamA(nullptr, kDownload, nullptr, quitting, 0), 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 9u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// Message boxes.

TEST(MessageBoxWithoutObserver, AnswersAtOnceWithTheDefaultButtonAndShowsTheText) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "Web Access failed: 404\n{\"error\":\"x\"}", "EveOnline", MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "Q", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "Q", MB_YESNOCANCEL | MB_DEFBUTTON4), IDYES);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("EveOnline"), std::string::npos);
    EXPECT_NE(shown.find("information"), std::string::npos);
    EXPECT_NE(shown.find("Web Access failed: 404"), std::string::npos);
    EXPECT_NE(shown.find("{\"error\":\"x\"}"), std::string::npos);
    EXPECT_EQ(MessageBoxA(nullptr, "bad", "bad", 0x0F), 0);
}

TEST_F(WindowTest, MessageBoxWaitsForTheObserverOnItsOwnThread) {
    std::atomic<int> answer{0};
    std::atomic<unsigned long long> boxThread{0};
    std::thread worker([&] {
        boxThread = QpObserverThreadTag();
        answer = MessageBoxA(nullptr, "Web Access failed: 500\nbody", "EveOnline", MB_OK | MB_ICONINFORMATION);
    });
    const unsigned serial = qp::observer::WaitBox(kWait);
    ASSERT_NE(serial, 0u);
    const QpUiRecord box = qp::observer::Record(serial);
    EXPECT_TRUE(box.open);
    EXPECT_EQ(box.type, UINT(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(qp::observer::Caption(serial), "EveOnline");
    EXPECT_EQ(qp::observer::BoxText(serial), "Web Access failed: 500\nbody");
    EXPECT_EQ(answer.load(), 0);
    // Esc on a box that has only OK answers OK.
    EXPECT_TRUE(QpObserverKey(serial, VK_ESCAPE));
    EXPECT_TRUE(QpObserverWaitEnded(serial, kWait));
    worker.join();
    EXPECT_EQ(answer.load(), IDOK);
    EXPECT_EQ(qp::observer::Record(serial).result, IDOK);
    EXPECT_EQ(qp::observer::Record(serial).thread, boxThread.load());
}

TEST_F(WindowTest, MessageBoxButtonsAndAutomaticAnswers) {
    std::atomic<int> answer{0};
    std::thread worker([&] { answer = MessageBoxA(nullptr, "Retry?", "Q", MB_YESNO | MB_ICONQUESTION); });
    const unsigned serial = qp::observer::WaitBox(kWait);
    // A Yes/No box has no cancel: Esc and the close box do nothing.
    EXPECT_TRUE(QpObserverKey(serial, VK_ESCAPE));
    EXPECT_TRUE(QpObserverCloseBox(serial));
    EXPECT_TRUE(QpObserverFlush(serial, kWait));
    EXPECT_TRUE(QpObserverFlush(serial, kWait));
    EXPECT_TRUE(qp::observer::Record(serial).open);
    EXPECT_TRUE(QpObserverPress(serial, IDNO));
    worker.join();
    EXPECT_EQ(answer.load(), IDNO);

    QpObserverSetBoxAnswer(IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "a", "b", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "a", "b", MB_YESNO), IDYES);  // no such button: the default one
    QpObserverSetBoxAnswer(QP_BOX_DEFAULT);
    EXPECT_EQ(MessageBoxA(nullptr, "a", "b", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(QpObserverRecordCount(), 4u);
    EXPECT_EQ(qp::observer::Record(4).result, IDRETRY);

    // Detaching answers a waiting box with its default button.
    QpObserverSetBoxAnswer(QP_BOX_WAIT);
    std::thread late([&] { answer = MessageBoxA(nullptr, "x", "y", MB_YESNO | MB_DEFBUTTON2); });
    EXPECT_NE(qp::observer::WaitBox(kWait, 4), 0u);
    QpObserverDetach();
    late.join();
    EXPECT_EQ(answer.load(), IDNO);
}

TEST_F(WindowTest, DialogOnAWorkerWhileTheMainThreadRunsAnother) {
    Seen outerSeen;
    std::atomic<INT_PTR> signInResult{-99};
    std::thread worker([&] {
        // The "download" runs here: it needs a sign-in, shown on this thread.
        const unsigned download = qp::observer::WaitDialog("ESI Download", kWait);
        signInResult = DialogBoxParamA(nullptr, kSignIn, nullptr, InnerProc, 0);
        PostMessageA(qp::observer::Record(download).window, kFinished, 0, 0);
    });
    std::thread person([&] {
        const unsigned signIn = qp::observer::WaitDialog("Authentication", kWait);
        const unsigned download = qp::observer::WaitDialog("ESI Download", kWait);
        EXPECT_TRUE(qp::observer::Record(download).open);
        EXPECT_NE(qp::observer::Record(signIn).thread, qp::observer::Record(download).thread);
        EXPECT_TRUE(QpObserverPress(signIn, IDCANCEL));
    });
    EXPECT_EQ(DialogBoxParamA(nullptr, kDownload, nullptr, StubbornProc, reinterpret_cast<LPARAM>(&outerSeen)), 0);
    worker.join();
    person.join();
    EXPECT_EQ(signInResult.load(), 22);
    EXPECT_TRUE(outerSeen.Commands().empty());
}

TEST(WindowStubs, PaintAndMetricsWorkWithoutAScreen) {
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CYICON), 32);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    EXPECT_TRUE(InitCommonControlsEx(&controls));
    controls.dwSize = 4;
    EXPECT_FALSE(InitCommonControlsEx(&controls));
    HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(128));
    EXPECT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(nullptr, nullptr), nullptr);

    // The painting runs in a dialog that ends as soon as it is made.
    struct Painted {
        HICON icon;
        HWND window = nullptr;
    } painted{icon};
    DLGPROC painting = [](HWND window, UINT message, WPARAM, LPARAM lParam) -> INT_PTR {
        if (message != WM_INITDIALOG) return FALSE;
        auto* painted = reinterpret_cast<Painted*>(lParam);
        painted->window = window;
        // 187 x 62 dialog units in "MS Shell Dlg" 8 pt, 6 x 13 pixels per 4 x 8 units: 280 x 100 pixels.
        RECT client{};
        EXPECT_TRUE(GetClientRect(window, &client));
        EXPECT_EQ((std::vector<LONG>{client.left, client.top, client.right, client.bottom}),
                  (std::vector<LONG>{0, 0, 280, 100}));
        EXPECT_FALSE(IsIconic(window));
        ShowWindow(window, SW_MINIMIZE);
        EXPECT_TRUE(IsIconic(window));
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(window, &paint);
        EXPECT_NE(dc, nullptr);
        EXPECT_EQ(paint.hdc, dc);
        // The whole client area is to be painted.
        EXPECT_EQ((std::vector<LONG>{paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom}),
                  (std::vector<LONG>{0, 0, 280, 100}));
        EXPECT_TRUE(DrawIcon(dc, 1, 2, painted->icon));
        EXPECT_TRUE(EndPaint(window, &paint));
        EXPECT_EQ(SendMessageA(window, WM_SETICON, ICON_BIG, LPARAM(painted->icon)), 0);
        EXPECT_EQ(SendMessageA(window, WM_GETICON, ICON_BIG, 0), LRESULT(painted->icon));
        EndDialog(window, 1);
        return TRUE;
    };
    EXPECT_EQ(DialogBoxParamA(nullptr, kDownload, nullptr, painting, reinterpret_cast<LPARAM>(&painted)), 1);
    EXPECT_FALSE(DestroyWindow(painted.window));
}

}  // namespace
