// The check program's application object: it runs the check dialog as its main window.
#include "check/check_app.h"

#include "check/check_dialog.h"
#include "framework/afxcontrolbars.h"

BEGIN_MESSAGE_MAP(CQuarnelCheckApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CQuarnelCheckApp theApp;

CQuarnelCheckApp::CQuarnelCheckApp() : CWinApp(nullptr) {
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

BOOL CQuarnelCheckApp::InitInstance() {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    CWinApp::InitInstance();
    CShellManager* shellManager = new CShellManager;
    CMFCVisualManager::SetDefaultManager(RUNTIME_CLASS(CMFCVisualManagerWindows));
    SetRegistryKey("Vom lokalen Anwendungs-Assistenten generierte Anwendungen");

    CQuarnelCheckDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;

    delete shellManager;
    return FALSE;
}
