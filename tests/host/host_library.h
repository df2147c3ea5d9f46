// Loads the built library the way a macro host does and binds its exports by name.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/win32api.h"

struct QuarnelsExports {
    int (*Test)(char**);
    BSTR (*GetDLLVersion)();
    double (*GetVolume)(char**);
    int (*Blueprint)(char**, SAFEARRAY**, SAFEARRAY**, short*);
    BSTR (*GetMaterialName)(char**, short*);
    int (*GetMaterialAmount)(char**, char**, int*, double*);
    int (*GetMaterialTypes)(char**);
    BSTR (*GetInventionItem)(char**, short*);
    int (*GetInventionAmount)(char**, char**);
    int (*GetInventionRuns)(char**, char**);
    int (*GetInventionME)(char**, char**);
    double (*GetInventionChance)(char**, char**);
    double (*GetMarket)(char**, char**, short*, int*);
    int (*GetProduction)(char**);
    int (*GetAssets)(char**, char**);
    int (*GetPersonalOrders)(char**, char**, short*);
    int (*GetTransactionAmount)(char**, char**, short*, short*);
    int (*GetUser)(BSTR*);
};

// An export's address as the function type it has (through void(*)(), the generic function type).
template <typename Function>
Function ProcAs(FARPROC proc) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

// Binds one export by name; a missing export fails the test.
template <typename Function>
void Bind(HMODULE module, const char* name, Function& out) {
    out = ProcAs<Function>(GetProcAddress(module, name));
    ASSERT_NE(out, nullptr) << "export not found: " << name;
}

inline void BindAll(HMODULE module, QuarnelsExports& e) {
    Bind(module, "?Test@@YAHPEAPEAD@Z", e.Test);
    Bind(module, "GetDLLVersion", e.GetDLLVersion);
    Bind(module, "GetVolume", e.GetVolume);
    Bind(module, "Blueprint", e.Blueprint);
    Bind(module, "GetMaterialName", e.GetMaterialName);
    Bind(module, "GetMaterialAmount", e.GetMaterialAmount);
    Bind(module, "GetMaterialTypes", e.GetMaterialTypes);
    Bind(module, "GetInventionItem", e.GetInventionItem);
    Bind(module, "GetInventionAmount", e.GetInventionAmount);
    Bind(module, "GetInventionRuns", e.GetInventionRuns);
    Bind(module, "GetInventionME", e.GetInventionME);
    Bind(module, "GetInventionChance", e.GetInventionChance);
    Bind(module, "GetMarket", e.GetMarket);
    Bind(module, "GetProduction", e.GetProduction);
    Bind(module, "GetAssets", e.GetAssets);
    Bind(module, "GetPersonalOrders", e.GetPersonalOrders);
    Bind(module, "GetTransactionAmount", e.GetTransactionAmount);
    Bind(module, "GetUser", e.GetUser);
}

// A text variable of the host: the export receives the address of its string pointer.
class HostText {
public:
    explicit HostText(const char* text) : m_text(text), m_pointer(&m_text[0]) {}
    static HostText Missing() {
        HostText text("");
        text.m_pointer = nullptr;
        return text;
    }
    char** Arg() { return &m_pointer; }
    std::string Value() const { return m_text.c_str(); }

private:
    std::string m_text;
    char* m_pointer;
};

// The bytes of a BSTR result as text; frees the BSTR. A null BSTR gives "<null>".
inline std::string TakeBstr(BSTR value) {
    if (!value) return "<null>";
    std::string text(reinterpret_cast<const char*>(value), SysStringByteLen(value));
    SysFreeString(value);
    return text;
}
