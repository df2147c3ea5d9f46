// OLE Automation strings and arrays as a macro host passes them: BSTRs carry ANSI bytes, SAFEARRAYs
// keep the field layout of 64-bit Windows so element addressing through pvData/cbElements matches.
#pragma once

#include "wintypes.h"

typedef WCHAR OLECHAR;
typedef OLECHAR* BSTR;

typedef struct tagSAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
} SAFEARRAYBOUND;

typedef struct tagSAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY;

#define FADF_BSTR 0x0100
#define FADF_HAVEVARTYPE 0x0080

typedef unsigned short VARTYPE;
#define VT_I4 3
#define VT_BSTR 8

QP_BEGIN_C
// Allocates len bytes copied from psz (or left zeroed when psz is null), followed by a two-byte NUL.
QP_API BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);
QP_API void SysFreeString(BSTR bstrString);
QP_API UINT SysStringByteLen(BSTR bstr);
// One-dimensional arrays of VT_BSTR or VT_I4, as a host creates them for its arrays.
QP_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
QP_API HRESULT SafeArrayDestroy(SAFEARRAY* psa);
QP_END_C
