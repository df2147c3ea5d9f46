// The library's application object: it starts Windows Sockets for the sign-in's listener.
#include "library/quarnels_app.h"

#include "framework/afxsock.h"
#include "framework/afxwin.h"
#include "library/lifecycle_trace.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CQuarnelsApp, CWinApp)
END_MESSAGE_MAP()

CQuarnelsApp::CQuarnelsApp() : CWinApp(nullptr) {}

BOOL CQuarnelsApp::InitInstance() {
    TraceLifecycle("InitInstance");
    CWinApp::InitInstance();
    // Windows Sockets version 1.1, for the sign-in's loopback listener.
    if (!AfxSocketInit()) {
        AfxMessageBox(IDP_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE;
    }
    return TRUE;
}
