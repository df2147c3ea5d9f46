// The check program: one window that loads the library, shows its version and the signed-in
// character.
#pragma once

#include "framework/afxapp.h"

class CQuarnelCheckApp : public CWinApp {
public:
    CQuarnelCheckApp();
    BOOL InitInstance() override;

protected:
    DECLARE_MESSAGE_MAP()
};

extern CQuarnelCheckApp theApp;
