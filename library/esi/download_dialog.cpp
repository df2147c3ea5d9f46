// The dialog shown while a download runs on its worker thread, and the call that opens it.
#include "library/esi/download_dialog.h"

#include "library/esi/download_holds.h"
#include "resources/resource.h"

namespace {
constexpr UINT kDownloadFinished = WM_USER + 3;
}

IMPLEMENT_DYNAMIC(CEsiDownloadDlg, CDialogEx)

BEGIN_MESSAGE_MAP(CEsiDownloadDlg, CDialogEx)
ON_MESSAGE(kDownloadFinished, &CEsiDownloadDlg::OnDownloadFinished)
END_MESSAGE_MAP()

CEsiDownloadDlg::CEsiDownloadDlg() : CDialogEx(IDD_ESI_DOWNLOAD) {}

// Should DoModal have been left by an exception, the worker still must not outlive this object.
CEsiDownloadDlg::~CEsiDownloadDlg() { WaitForWorker(); }

INT_PTR CEsiDownloadDlg::DoModal() {
    const INT_PTR result = CDialogEx::DoModal();
    if (!m_pWorkerThread) return result;
    // The loop also ends on WM_QUIT, with the worker still writing the caches and reading this
    // object. Take the quit message out of the way and give it back once the worker has ended.
    MSG quit{};
    const BOOL quitting = ::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    WaitForWorker();
    if (quitting) ::PostQuitMessage(static_cast<int>(quit.wParam));
    return result;
}

void CEsiDownloadDlg::WaitForWorker() {
    if (!m_pWorkerThread) return;
    ::WaitForSingleObject(m_pWorkerThread->m_hThread, INFINITE);
    delete m_pWorkerThread;
    m_pWorkerThread = nullptr;
}

void CEsiDownloadDlg::DoDataExchange(CDataExchange* dx) {
    CDialogEx::DoDataExchange(dx);
    DDX_Text(dx, IDC_DOWNLOAD_TITLE, m_strTitle);
}

BOOL CEsiDownloadDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_hWndToNotify = m_hWnd;
    // Kept, not deleting itself, so that DoModal can wait for the thread's end.
    m_pWorkerThread = AfxBeginThread(&CEsiDownloadDlg::DownloadThread, this, THREAD_PRIORITY_NORMAL, 0,
                                     CREATE_SUSPENDED, nullptr);
    if (m_pWorkerThread) {
        m_pWorkerThread->m_bAutoDelete = FALSE;
        m_pWorkerThread->ResumeThread();
    } else {
        // Without a worker nothing would ever end the dialog.
        EndDialog(0);
    }
    return TRUE;
}

void CEsiDownloadDlg::OnOK() {}

void CEsiDownloadDlg::OnCancel() {}

UINT CEsiDownloadDlg::DownloadThread(LPVOID param) {
    auto* dialog = static_cast<CEsiDownloadDlg*>(param);
    // A download that throws keeps what it stored so far; the dialog must end all the same.
    try {
        if (dialog->m_nMode == 0) {
            if (dialog->m_pfnWorker) dialog->m_pfnWorker(dialog->m_pSession);
        } else if (dialog->m_nMode == 1) {
            if (dialog->m_pfnWorkerArgs)
                dialog->m_pfnWorkerArgs(dialog->m_nArg, &dialog->m_strArg, dialog->m_nArg1, dialog->m_nArg2,
                                        dialog->m_pSession);
        }
    } catch (CException* exception) {
        exception->Delete();
    } catch (...) {
        // Anything else thrown would end the host's process on this thread.
    }
    ::PostMessageA(dialog->m_hWndToNotify, kDownloadFinished, 0, 0);
    return 0;
}

LRESULT CEsiDownloadDlg::OnDownloadFinished(WPARAM, LPARAM) {
    EndDialog(0);
    return 0;
}

bool RunDownload(const char* title, CEsiDownloadDlg::Worker worker) {
    if (!MayDownload(title)) return false;
    CEsiDownloadDlg dialog;
    dialog.m_strTitle = title;
    dialog.m_nMode = 0;
    dialog.m_pfnWorker = worker;
    dialog.m_pSession = &g_OAuth;
    dialog.DoModal();
    return true;
}
