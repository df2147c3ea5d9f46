// The modal dialog that stands on the screen while the user signs in with the browser.
#pragma once

#include <atomic>

#include "framework/afxmt.h"
#include "framework/afxwin.h"

class OAuth2;

class DlgAccessToken : public CDialogEx {
    DECLARE_DYNAMIC(DlgAccessToken)
public:
    explicit DlgAccessToken(OAuth2* pOAuth);
    ~DlgAccessToken() override;

    BOOL OnInitDialog() override;
    void OnCancel() override;
    static UINT WaitThread(LPVOID param);

    OAuth2* m_pOAuth;
    // Shared by the dialog's thread and the wait thread, which poll them.
    std::atomic<int> m_bRunning{0};  // nonzero while the wait thread runs
    std::atomic<int> m_bAbort{0};    // set when the dialog is being closed
    CEvent m_event;

protected:
    afx_msg void OnDestroy();

    DECLARE_MESSAGE_MAP()
};
