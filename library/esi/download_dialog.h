// The small modal "please wait" dialog in which every download runs: its worker thread calls one
// download function and the dialog ends itself when that returns.
#pragma once

#include <cstdint>

#include "framework/afxthread.h"
#include "framework/afxwin.h"
#include "library/sso/oauth2.h"

class CEsiDownloadDlg : public CDialogEx {
    DECLARE_DYNAMIC(CEsiDownloadDlg)
public:
    using Worker = void (*)(OAuth2* oauth);
    using WorkerWithArgs = void (*)(int64_t number, CString* text, int first, int second, OAuth2* oauth);

    CEsiDownloadDlg();
    ~CEsiDownloadDlg() override;

    // Returns only once the worker has ended, however the modal loop ended. A WM_QUIT that ended it
    // (the host closing) is posted again afterwards, for the host's own loop.
    INT_PTR DoModal() override;

    static UINT DownloadThread(LPVOID param);

    Worker m_pfnWorker = nullptr;
    WorkerWithArgs m_pfnWorkerArgs = nullptr;
    OAuth2* m_pSession = nullptr;
    CString m_strArg;
    int64_t m_nArg = 0;
    int32_t m_nArg1 = 0;
    int32_t m_nArg2 = 0;
    int32_t m_nMode = 0;
    CString m_strTitle;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // The user cannot end the download: Enter, Esc and the close box do nothing.
    void OnOK() override;
    void OnCancel() override;
    afx_msg LRESULT OnDownloadFinished(WPARAM, LPARAM);

    DECLARE_MESSAGE_MAP()

private:
    void WaitForWorker();

    // The worker thread, kept until it has ended, and the window it reports to. The worker reads
    // the copy: the window may be gone, and m_hWnd cleared, while it still runs.
    CWinThread* m_pWorkerThread = nullptr;
    HWND m_hWndToNotify = nullptr;
};

// Runs a mode-0 download in the dialog on the calling thread and returns when it has finished; the
// title is also the download's name for its hold, and a held download does not run (false).
bool RunDownload(const char* title, CEsiDownloadDlg::Worker worker);
