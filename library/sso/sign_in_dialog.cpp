// The dialog shown while the user signs in through the browser, and the thread that waits for the end.
#include "library/sso/sign_in_dialog.h"

#include "framework/afxthread.h"
#include "library/sso/oauth2.h"
#include "resources/resource.h"

IMPLEMENT_DYNAMIC(DlgAccessToken, CDialogEx)

BEGIN_MESSAGE_MAP(DlgAccessToken, CDialogEx)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

DlgAccessToken::DlgAccessToken(OAuth2* pOAuth)
    : CDialogEx(IDD_AUTHENTICATION, nullptr), m_pOAuth(pOAuth), m_event(FALSE, FALSE) {}

DlgAccessToken::~DlgAccessToken() = default;

BOOL DlgAccessToken::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_bRunning = m_pOAuth->Login();
    if (!m_bRunning) {
        EndDialog(1);
        return TRUE;
    }
    if (!AfxBeginThread(&DlgAccessToken::WaitThread, this)) {
        // Without the wait thread nobody would watch the login or clear the flag: give up the
        // listener now and end like a login that could not start.
        m_pOAuth->StopListener();
        m_bRunning = 0;
        EndDialog(1);
    }
    return TRUE;
}

UINT DlgAccessToken::WaitThread(LPVOID param) {
    DlgAccessToken* dialog = static_cast<DlgAccessToken*>(param);
    OAuth2* oauth = dialog->m_pOAuth;
    if (!dialog->m_bAbort) {
        do {
            if (oauth->state != OAuth2::kListening) break;
            Sleep(500);
        } while (!dialog->m_bAbort);
    }
    // An abort stops the waiting listener. A login that ended by itself is also waited for until
    // the listener has let go of its socket: the listener thread writes the token times after the
    // state, and the dialog's thread may read them once the dialog has ended.
    oauth->StopListener();
    if (!dialog->m_bAbort) ::PostMessageA(dialog->m_hWnd, WM_COMMAND, IDCANCEL, 0);
    dialog->m_bRunning = 0;
    return 0;
}

void DlgAccessToken::OnCancel() {
    m_bAbort = 1;
    while (m_bRunning) Sleep(250);
    EndDialog(0);
}

// The modal loop also ends on WM_QUIT (the host is closing), which it posts again for the host's own
// loop, and then destroys the window with the wait thread and the listener still running. That
// counts as an abort: the window and this object are not given up before both have stopped.
void DlgAccessToken::OnDestroy() {
    if (m_bRunning) {
        m_bAbort = 1;
        while (m_bRunning) Sleep(250);
    }
    CDialogEx::OnDestroy();
}
