// The class library's feature-pack managers that a dialog program sets up: on a headless platform
// they have nothing to manage, so they only keep what they are given.
#pragma once

#include "framework/afxwin.h"

// Lets shell folder dialogs be used; no such dialog exists headless.
class CShellManager : public CObject {
public:
    CShellManager() = default;
};

// Draws the frames and controls of the feature-pack windows in a chosen look.
class CMFCVisualManager : public CObject {
    DECLARE_DYNCREATE(CMFCVisualManager)
public:
    CMFCVisualManager() = default;
    static void SetDefaultManager(CRuntimeClass* managerClass);
    static CRuntimeClass* GetDefaultManagerClass();
};

class CMFCVisualManagerWindows : public CMFCVisualManager {
    DECLARE_DYNCREATE(CMFCVisualManagerWindows)
public:
    CMFCVisualManagerWindows() = default;
};
