// The library's exported functions, as a macro host calls them: every argument by reference, texts
// as pointers to ANSI strings, texts returned as BSTRs of ANSI bytes that the caller frees.
#pragma once

#include "platform/win32api.h"

#define QUARNELS_EXPORT extern "C" QP_MODULE_EXPORT

// Exported under the decorated name "?Test@@YAHPEAPEAD@Z" only (the build renames it).
QUARNELS_EXPORT int QuarnelsDecoratedTestExport(char** text);
#define QUARNELS_DECORATED_TEST_PLACEHOLDER "QuarnelsDecoratedTestExport"
#define QUARNELS_DECORATED_TEST_NAME "?Test@@YAHPEAPEAD@Z"

QUARNELS_EXPORT BSTR GetDLLVersion();

QUARNELS_EXPORT double GetVolume(char** item);
QUARNELS_EXPORT int Blueprint(char** product, SAFEARRAY** names, SAFEARRAY** amounts, short* portion);
QUARNELS_EXPORT BSTR GetMaterialName(char** product, short* index);
QUARNELS_EXPORT int GetMaterialAmount(char** product, char** material, int* quantity, double* mePercent);
QUARNELS_EXPORT int GetMaterialTypes(char** product);

QUARNELS_EXPORT BSTR GetInventionItem(char** blueprint, short* index);
QUARNELS_EXPORT int GetInventionAmount(char** blueprint, char** datacore);
QUARNELS_EXPORT int GetInventionRuns(char** blueprint, char** decryptor);
QUARNELS_EXPORT int GetInventionME(char** blueprint, char** decryptor);
QUARNELS_EXPORT double GetInventionChance(char** blueprint, char** decryptor);

QUARNELS_EXPORT double GetMarket(char** hub, char** item, short* sell, int* quantity);
QUARNELS_EXPORT int GetProduction(char** item);
QUARNELS_EXPORT int GetAssets(char** item, char** container);
QUARNELS_EXPORT int GetPersonalOrders(char** hub, char** item, short* sell);
QUARNELS_EXPORT int GetTransactionAmount(char** item, char** hub, short* days, short* sold);
QUARNELS_EXPORT int GetUser(BSTR* name);
