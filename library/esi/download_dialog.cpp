#include "library/esi/download_dialog.h"

#include "framework/afxthread.h"
#include "resources/resource.h"

namespace {
constexpr UINT kDownloadFinished = WM_USER + 3;
}

IMPLEMENT_DYNAMIC(CEsiDownloadDlg, CDialogEx)

BEGIN_MESSAGE_MAP(CEsiDownloadDlg, CDialogEx)
ON_MESSAGE(kDownloadFinished, &CEsiDownloadDlg::OnDownloadFinished)
END_MESSAGE_MAP()

CEsiDownloadDlg::CEsiDownloadDlg() : CDialogEx(IDD_ESI_DOWNLOAD) {}

CEsiDownloadDlg::~CEsiDownloadDlg() = default;

void CEsiDownloadDlg::DoDataExchange(CDataExchange* dx) {
    CDialogEx::DoDataExchange(dx);
    DDX_Text(dx, IDC_DOWNLOAD_TITLE, m_strTitle);
}

BOOL CEsiDownloadDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Without a worker nothing would ever end the dialog.
    if (!AfxBeginThread(&CEsiDownloadDlg::DownloadThread, this, THREAD_PRIORITY_NORMAL, 0, 0, nullptr))
        EndDialog(0);
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
    ::PostMessageA(dialog->m_hWnd, kDownloadFinished, 0, 0);
    return 0;
}

LRESULT CEsiDownloadDlg::OnDownloadFinished(WPARAM, LPARAM) {
    EndDialog(0);
    return 0;
}

void RunDownload(const char* title, CEsiDownloadDlg::Worker worker) {
    CEsiDownloadDlg dialog;
    dialog.m_strTitle = title;
    dialog.m_nMode = 0;
    dialog.m_pfnWorker = worker;
    dialog.m_pSession = &g_OAuth;
    dialog.DoModal();
}
