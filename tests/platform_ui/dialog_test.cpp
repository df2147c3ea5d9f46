// The class library's dialogs over the headless platform: message maps, data exchange, modal runs on
// several threads, and the class library's message box.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "framework/afxapp.h"
#include "platform/posix/observer.h"
#include "tests/support/modal_person.h"

namespace {

constexpr DWORD kWait = 10000;

// A one-shot gate between a test's threads.
class Gate {
public:
    void Open() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_open = true;
        m_cv.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(m_lock);
        m_cv.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_cv;
    bool m_open = false;
};

// The download dialog's pattern: a worker runs the job and posts WM_USER+3; Enter and Esc do nothing.
class CDownloadDlg : public CDialogEx {
    DECLARE_DYNAMIC(CDownloadDlg)
public:
    CDownloadDlg() : CDialogEx(1002) {}
    ~CDownloadDlg() override {
        if (m_worker.joinable()) m_worker.join();
    }

    std::function<void()> m_job;
    CString m_strTitle;
    std::atomic<int> m_okCount{0};
    std::atomic<int> m_cancelCount{0};
    std::atomic<unsigned long long> m_workerThread{0};

    void Join() {
        if (m_worker.joinable()) m_worker.join();
    }

protected:
    void DoDataExchange(CDataExchange* dx) override {
        CDialogEx::DoDataExchange(dx);
        DDX_Text(dx, 1000, m_strTitle);
    }
    BOOL OnInitDialog() override {
        CDialogEx::OnInitDialog();
        m_worker = std::thread([this] {
            m_workerThread = QpObserverThreadTag();
            if (m_job) m_job();
            ::PostMessageA(m_hWnd, WM_USER + 3, 0, 0);
        });
        return TRUE;
    }
    void OnOK() override { ++m_okCount; }
    void OnCancel() override { ++m_cancelCount; }
    afx_msg LRESULT OnDownloadFinished(WPARAM, LPARAM) {
        EndDialog(0);
        return 0;
    }
    DECLARE_MESSAGE_MAP()

private:
    std::thread m_worker;
};

IMPLEMENT_DYNAMIC(CDownloadDlg, CDialogEx)

BEGIN_MESSAGE_MAP(CDownloadDlg, CDialogEx)
    ON_MESSAGE(WM_USER + 3, &CDownloadDlg::OnDownloadFinished)
END_MESSAGE_MAP()

// The sign-in dialog's pattern: cancel (Abort, Esc, the close box) ends it with 0.
class CSignInDlg : public CDialogEx {
public:
    CSignInDlg() : CDialogEx(1000) {}
    int m_bAbort = 0;

protected:
    void OnCancel() override {
        m_bAbort = 1;
        EndDialog(0);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSignInDlg, CDialogEx)
END_MESSAGE_MAP()

// The check program's pattern: a list bound by DDX_Control, Start and Close buttons, painting.
class CCheckDlg : public CDialogEx {
public:
    CCheckDlg() : CDialogEx(102) { m_hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(128)); }

    CListBox m_listResult;
    HICON m_hIcon;
    std::atomic<int> m_paints{0};
    std::atomic<int> m_iconicPaints{0};
    std::atomic<unsigned long long> m_innerThread{0};
    std::atomic<unsigned> m_runs{0};

protected:
    void DoDataExchange(CDataExchange* dx) override {
        CDialogEx::DoDataExchange(dx);
        DDX_Control(dx, 1001, m_listResult);
    }
    BOOL OnInitDialog() override {
        CDialogEx::OnInitDialog();
        SetIcon(m_hIcon, TRUE);
        SetIcon(m_hIcon, FALSE);
        return TRUE;
    }
    afx_msg void OnPaint() {
        ++m_paints;
        if (IsIconic()) {
            CPaintDC dc(this);
            SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
            CRect rect;
            GetClientRect(&rect);
            const int x = (rect.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
            const int y = (rect.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
            if (dc.DrawIcon(x, y, m_hIcon)) ++m_iconicPaints;
        } else {
            CDialogEx::OnPaint();
        }
    }
    afx_msg HCURSOR OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
    afx_msg void OnBnClickedOk() { CDialogEx::OnOK(); }
    afx_msg void OnBnClickedStart() {
        BeginWaitCursor();
        m_listResult.ResetContent();
        m_listResult.AddString("Load Quarnels64.dll ... OK");
        CDownloadDlg inner;
        inner.m_strTitle = "Assets";
        const INT_PTR result = inner.DoModal();
        inner.Join();
        CString line;
        line.Format("Version ... %d", int(result));
        m_listResult.AddString(line);
        ++m_runs;
        EndWaitCursor();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CCheckDlg, CDialogEx)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDOK, &CCheckDlg::OnBnClickedOk)
    ON_BN_CLICKED(1000, &CCheckDlg::OnBnClickedStart)
END_MESSAGE_MAP()

// An edit control exchanged both ways; optionally a control the template lacks.
class CFormDlg : public CDialog {
public:
    explicit CFormDlg(bool withMissing = false) : CDialog(200), m_withMissing(withMissing) {}
    CString m_strName;
    CString m_strMissing;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, 1001, m_strName);
        if (m_withMissing) DDX_Text(dx, 4711, m_strMissing);
    }

private:
    bool m_withMissing;
};

class CountingDlg : public CDialog {
public:
    explicit CountingDlg(UINT templateId) : CDialog(templateId) {}
    int m_inits = 0;
    bool m_throw = false;
    BOOL OnInitDialog() override {
        ++m_inits;
        if (m_throw) AfxThrowInvalidArgException();
        return CDialog::OnInitDialog();
    }
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { QpObserverAttach(); }
    void TearDown() override { QpObserverDetach(); }
};

TEST_F(DialogTest, DownloadDialogShowsItsTitleAndEndsWhenTheWorkerPosts) {
    Gate seen;
    CDownloadDlg dlg;
    dlg.m_strTitle = "Skills";
    dlg.m_job = [&] { seen.Wait(); };
    std::thread person([&] {
        const unsigned serial = qp::observer::WaitTemplate(1002, kWait);
        EXPECT_EQ(qp::observer::Caption(serial), "ESI Download");
        EXPECT_EQ(qp::observer::ControlText(serial, 1000), "Skills");
        seen.Open();
    });
    testing::internal::CaptureStderr();
    const INT_PTR result = dlg.DoModal();
    const std::string shown = testing::internal::GetCapturedStderr();
    person.join();
    dlg.Join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_NE(shown.find("Skills"), std::string::npos);
    EXPECT_EQ(shown.find("Statisch"), std::string::npos);
    const QpUiRecord record = qp::observer::Record(1);
    EXPECT_TRUE(record.ended);
    EXPECT_EQ(record.result, 0);
    EXPECT_NE(record.thread, dlg.m_workerThread.load());

    // A job that returns at once still ends a new dialog by itself.
    CDownloadDlg quick;
    EXPECT_EQ(quick.DoModal(), 0);
    EXPECT_EQ(QpObserverRecordCount(), 2u);
    EXPECT_EQ(qp::observer::ControlText(2, 1000), "");
}

TEST_F(DialogTest, EnterEscAndCloseDoNothingWhenOnOkAndOnCancelDoNothing) {
    Gate release;
    CDownloadDlg dlg;
    dlg.m_strTitle = "Transactions";
    dlg.m_job = [&] { release.Wait(); };
    std::thread person([&] {
        const unsigned serial = qp::observer::WaitTemplate(1002, kWait);
        EXPECT_TRUE(QpObserverKey(serial, VK_RETURN));
        EXPECT_TRUE(QpObserverKey(serial, VK_ESCAPE));
        EXPECT_TRUE(QpObserverCloseBox(serial));
        EXPECT_TRUE(QpObserverPost(serial, WM_SYSKEYDOWN, VK_F4, LPARAM(1) << 29));
        EXPECT_TRUE(QpObserverPress(serial, IDCANCEL));
        EXPECT_TRUE(QpObserverFlush(serial, kWait));
        EXPECT_TRUE(QpObserverFlush(serial, kWait));
        EXPECT_TRUE(qp::observer::Record(serial).open);
        EXPECT_EQ(dlg.m_okCount.load(), 1);
        EXPECT_EQ(dlg.m_cancelCount.load(), 4);
        release.Open();
    });
    EXPECT_EQ(dlg.DoModal(), 0);
    person.join();
    EXPECT_EQ(qp::observer::Record(1).result, 0);
}

TEST_F(DialogTest, SignInAndMessageBoxesOnTheWorkerWhileTheHostWaitsInTheDownload) {
    INT_PTR signInResult = -99;
    int abort = 0;
    int webAnswer = 0;
    int warningAnswer = 0;
    CDownloadDlg dlg;
    dlg.m_strTitle = "Assets";
    dlg.m_job = [&] {
        CSignInDlg signIn;
        signInResult = signIn.DoModal();
        abort = signIn.m_bAbort;
        webAnswer = MessageBoxA(nullptr, "Web Access failed: 404\nnot found", "EveOnline", MB_OK | MB_ICONINFORMATION);
        warningAnswer = AfxMessageBox("Authentication failed - No access to the ESI-API possible", MB_ICONEXCLAMATION);
    };
    ModalPerson person([&]() -> std::string {
        const unsigned download = qp::observer::WaitTemplate(1002, kWait);
        const unsigned signIn = qp::observer::WaitDialog("Authentication", kWait);
        if (!signIn) return "the sign-in dialog never opened";
        EXPECT_NE(qp::observer::Record(signIn).thread, qp::observer::Record(download).thread);
        EXPECT_TRUE(QpObserverKey(signIn, VK_RETURN));  // "Abort" is the default button

        const unsigned web = qp::observer::WaitBox(kWait, signIn);
        EXPECT_EQ(qp::observer::Caption(web), "EveOnline");
        EXPECT_EQ(qp::observer::BoxText(web), "Web Access failed: 404\nnot found");
        EXPECT_EQ(qp::observer::Record(web).type, UINT(MB_OK | MB_ICONINFORMATION));
        EXPECT_EQ(qp::observer::Record(web).thread, qp::observer::Record(signIn).thread);
        EXPECT_TRUE(QpObserverPress(web, IDOK));

        const unsigned warning = qp::observer::WaitBox(kWait, web);
        EXPECT_EQ(qp::observer::Caption(warning), "platform_ui_dialog");  // no application object: the program's name
        EXPECT_EQ(qp::observer::BoxText(warning), "Authentication failed - No access to the ESI-API possible");
        EXPECT_EQ(qp::observer::Record(warning).type, UINT(MB_OK | MB_ICONEXCLAMATION));
        EXPECT_TRUE(QpObserverPress(warning, IDOK));
        EXPECT_TRUE(QpObserverWaitEnded(download, kWait));
        return "";
    });
    const INT_PTR result = dlg.DoModal();
    dlg.Join();  // the sign-in and the boxes run on the download's worker
    ASSERT_EQ(person.Back(), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(signInResult, 0);
    EXPECT_EQ(abort, 1);
    EXPECT_EQ(webAnswer, IDOK);
    EXPECT_EQ(warningAnswer, IDOK);
    EXPECT_EQ(QpObserverRecordCount(), 4u);
}

TEST_F(DialogTest, CheckDialogRunsANestedDownloadFromItsStartButton) {
    CCheckDlg dlg;
    ModalPerson person([&]() -> std::string {
        const unsigned check = qp::observer::WaitTemplate(102, kWait);
        if (!check) return "the check dialog never opened";
        for (unsigned run = 1; run <= 2; ++run) {
            const unsigned last = QpObserverRecordCount();
            EXPECT_TRUE(QpObserverPress(check, 1000));
            // The inner download ends by itself, maybe before it is looked at.
            const unsigned inner = qp::observer::WaitTemplate(1002, kWait, last, false);
            EXPECT_EQ(qp::observer::Record(inner).thread, qp::observer::Record(check).thread);
            EXPECT_EQ(qp::observer::ControlText(inner, 1000), "Assets");
            EXPECT_TRUE(QpObserverWaitEnded(inner, kWait));
            EXPECT_TRUE(QpObserverFlush(check, kWait));
            // The list is emptied at the start of every run.
            EXPECT_EQ(qp::observer::ListLines(check, 1001),
                      (std::vector<std::string>{"Load Quarnels64.dll ... OK", "Version ... 0"}));
        }
        const HWND window = qp::observer::Record(check).window;
        EXPECT_EQ(SendMessageA(window, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dlg.m_hIcon));
        EXPECT_EQ(SendMessageA(window, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(dlg.m_hIcon));
        ShowWindow(window, SW_MINIMIZE);
        SendMessageA(window, WM_PAINT, 0, 0);
        EXPECT_EQ(dlg.m_iconicPaints.load(), 1);
        EXPECT_TRUE(QpObserverPress(check, IDOK));  // "Close"
        return "";
    });
    const INT_PTR result = dlg.DoModal();
    ASSERT_EQ(person.Back(), "");
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_runs.load(), 2u);
    EXPECT_GE(dlg.m_paints.load(), 2);
    // Window and list are released with the dialog.
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_EQ(dlg.m_listResult.m_hWnd, nullptr);
}

TEST_F(DialogTest, DataExchangeFillsAndReadsBackTheControls) {
    CFormDlg form;
    form.m_strName = "Initial";
    std::thread person([&] {
        const unsigned serial = qp::observer::WaitDialog("Form", kWait);
        EXPECT_EQ(qp::observer::ControlText(serial, 1001), "Initial");
        SetWindowTextA(GetDlgItem(qp::observer::Record(serial).window, 1001), "Typed");
        EXPECT_TRUE(QpObserverKey(serial, VK_RETURN));  // OK is the default button
    });
    EXPECT_EQ(form.DoModal(), IDOK);
    person.join();
    EXPECT_STREQ(form.m_strName, "Typed");

    CFormDlg cancelled;
    cancelled.m_strName = "Kept";
    std::thread other([&] {
        const unsigned serial = qp::observer::WaitDialog("Form", kWait, 1);
        SetWindowTextA(GetDlgItem(qp::observer::Record(serial).window, 1001), "Discarded");
        EXPECT_TRUE(QpObserverKey(serial, VK_ESCAPE));
    });
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    other.join();
    EXPECT_STREQ(cancelled.m_strName, "Kept");
}

TEST_F(DialogTest, OkStaysOpenWhenTheExchangeNamesAMissingControl) {
    CFormDlg form(true);
    form.m_strName = "Shown";
    std::thread person([&] {
        const unsigned serial = qp::observer::WaitDialog("Form", kWait);
        EXPECT_EQ(qp::observer::ControlText(serial, 1001), "Shown");
        EXPECT_TRUE(QpObserverPress(serial, IDOK));
        EXPECT_TRUE(QpObserverFlush(serial, kWait));
        EXPECT_TRUE(qp::observer::Record(serial).open);
        EXPECT_TRUE(QpObserverPress(serial, IDCANCEL));
    });
    EXPECT_EQ(form.DoModal(), IDCANCEL);
    person.join();
}

TEST_F(DialogTest, MissingTemplateReturnsMinusOneWithoutOnInitDialog) {
    CountingDlg dlg(4242);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_EQ(dlg.m_inits, 0);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_EQ(QpObserverRecordCount(), 0u);
}

TEST_F(DialogTest, ExceptionFromOnInitDialogReleasesTheWindow) {
    CountingDlg dlg(200);
    dlg.m_throw = true;
    bool caught = false;
    try {
        dlg.DoModal();
    } catch (CException* e) {
        caught = true;
        e->Delete();
    }
    EXPECT_TRUE(caught);
    EXPECT_EQ(dlg.m_inits, 1);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_EQ(QpObserverRecordCount(), 0u);  // it never opened
}

TEST_F(DialogTest, AfxMessageBoxCaptionIconAndStringResource) {
    QpObserverSetBoxAnswer(QP_BOX_DEFAULT);
    EXPECT_EQ(AfxMessageBox("Sure?", MB_YESNO), IDYES);
    EXPECT_EQ(qp::observer::Record(1).type, UINT(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(AfxMessageBox(101), IDOK);
    EXPECT_EQ(qp::observer::BoxText(2), "Windows Sockets could not be started.");
    EXPECT_EQ(qp::observer::Record(2).type, UINT(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(AfxMessageBox("x", MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(qp::observer::Record(3).type, UINT(MB_OK | MB_ICONINFORMATION));

    AFX_MODULE_STATE* state = AfxGetModuleState();
    LPCSTR saved = state->m_lpszCurrentAppName;
    state->m_lpszCurrentAppName = "Quarnels64";
    AfxMessageBox("named");
    state->m_lpszCurrentAppName = saved;
    EXPECT_EQ(qp::observer::Caption(4), "Quarnels64");
}

TEST(RuntimeClass, NamesAndBases) {
    const CRuntimeClass* download = RUNTIME_CLASS(CDownloadDlg);
    EXPECT_STREQ(download->m_lpszClassName, "CDownloadDlg");
    EXPECT_EQ(download->m_pBaseClass, RUNTIME_CLASS(CDialogEx));
}

}  // namespace
