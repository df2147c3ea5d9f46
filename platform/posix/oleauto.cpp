// BSTRs of ANSI bytes and one-dimensional SAFEARRAYs, laid out as on Windows.
#include "oleauto.h"

#include <cstdlib>
#include <cstring>

// Layout as on Windows: a 32-bit byte count directly before the text, two NUL bytes after it.
namespace {
constexpr size_t kPrefix = sizeof(uint32_t);

uint32_t* PrefixOf(BSTR bstr) { return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(bstr) - kPrefix); }
}  // namespace

extern "C" BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) {
    if (len > 0x7FFFFFF0u) return nullptr;
    char* block = static_cast<char*>(std::malloc(kPrefix + size_t(len) + sizeof(OLECHAR)));
    if (!block) return nullptr;
    uint32_t count = len;
    std::memcpy(block, &count, kPrefix);
    char* text = block + kPrefix;
    if (psz)
        std::memcpy(text, psz, len);
    else
        std::memset(text, 0, len);
    text[len] = 0;
    text[len + 1] = 0;
    return reinterpret_cast<BSTR>(text);
}

extern "C" void SysFreeString(BSTR bstr) {
    if (bstr) std::free(PrefixOf(bstr));
}

extern "C" UINT SysStringByteLen(BSTR bstr) { return bstr ? *PrefixOf(bstr) : 0; }

extern "C" SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    ULONG elementSize;
    USHORT features;
    if (vt == VT_BSTR) {
        elementSize = sizeof(BSTR);
        features = FADF_BSTR | FADF_HAVEVARTYPE;
    } else if (vt == VT_I4) {
        elementSize = sizeof(LONG);
        features = FADF_HAVEVARTYPE;
    } else {
        return nullptr;
    }
    auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!array) return nullptr;
    array->pvData = std::calloc(cElements ? cElements : 1, elementSize);
    if (!array->pvData) {
        std::free(array);
        return nullptr;
    }
    array->cDims = 1;
    array->fFeatures = features;
    array->cbElements = elementSize;
    array->rgsabound[0].cElements = cElements;
    array->rgsabound[0].lLbound = lLbound;
    return array;
}

extern "C" HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (psa->fFeatures & FADF_BSTR) {
        BSTR* elements = static_cast<BSTR*>(psa->pvData);
        for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) SysFreeString(elements[i]);
    }
    std::free(psa->pvData);
    std::free(psa);
    return S_OK;
}
