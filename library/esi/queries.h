// The queries over the character's downloaded data that the live-data exports call. Each may run a
// download (or a sign-in) on the calling thread before it answers; none takes the exports' lock.
#pragma once

#include "framework/afxstr.h"

double GetMarketPrice(const CString& hub, const CString& item, int sell, int quantity);
int GetProductionAmount(const CString& item);
int GetAssetQuantity(const CString& itemName, const CString& containerName);
int GetPersonalOrderVolume(const CString& hub, const CString& item, int sell);
int GetTransactionQuantity(const CString& item, const CString& hub, int days, int sold);
