// The class library's feature-pack managers that a dialog program sets up: they have nothing to
// manage, so they only stand in for the real ones.
#pragma once

#include "framework/afxwin.h"

// Lets shell folder dialogs be used; no such dialog exists headless.
class CShellManager : public CObject {
public:
    CShellManager() = default;
};

// Draws the frames and controls of the feature-pack windows in a chosen look.
class CMFCVisualManager : public CObject {
    DECLARE_DYNAMIC(CMFCVisualManager)
public:
    CMFCVisualManager() = default;
    // Nothing here draws in a chosen look, so the choice is not kept.
    static void SetDefaultManager(CRuntimeClass* managerClass);
};

class CMFCVisualManagerWindows : public CMFCVisualManager {
    DECLARE_DYNAMIC(CMFCVisualManagerWindows)
public:
    CMFCVisualManagerWindows() = default;
};
