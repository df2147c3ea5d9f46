#include "framework/afxcontrolbars.h"

#include <atomic>

IMPLEMENT_DYNCREATE(CMFCVisualManager, CObject)
IMPLEMENT_DYNCREATE(CMFCVisualManagerWindows, CMFCVisualManager)

namespace {
std::atomic<CRuntimeClass*> g_defaultManager{nullptr};
}

void CMFCVisualManager::SetDefaultManager(CRuntimeClass* managerClass) { g_defaultManager = managerClass; }

CRuntimeClass* CMFCVisualManager::GetDefaultManagerClass() { return g_defaultManager; }
