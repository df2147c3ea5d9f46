// The stand-ins for the feature-pack managers.
#include "framework/afxcontrolbars.h"

IMPLEMENT_DYNAMIC(CMFCVisualManager, CObject)
IMPLEMENT_DYNAMIC(CMFCVisualManagerWindows, CMFCVisualManager)

void CMFCVisualManager::SetDefaultManager(CRuntimeClass*) {}
