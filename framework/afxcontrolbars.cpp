// The stand-ins for the feature-pack managers.
#include "framework/afxcontrolbars.h"

IMPLEMENT_DYNCREATE(CMFCVisualManager, CObject)
IMPLEMENT_DYNCREATE(CMFCVisualManagerWindows, CMFCVisualManager)

void CMFCVisualManager::SetDefaultManager(CRuntimeClass*) {}
