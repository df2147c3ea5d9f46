// The library's application object.
#pragma once

#include "framework/afxapp.h"

class CQuarnelsApp : public CWinApp {
public:
    CQuarnelsApp();
    BOOL InitInstance() override;

protected:
    DECLARE_MESSAGE_MAP()
};

extern CQuarnelsApp theApp;
