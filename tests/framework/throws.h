// Exceptions of the class library are heap objects thrown by pointer; these helpers catch and free them.
#pragma once

#include "framework/afxexcept.h"

// True when f throws an E*; any other class-library exception counts as false.
template <class E, class F>
bool ThrowsAndFrees(F f) {
    try {
        f();
    } catch (E* e) {
        e->Delete();
        return true;
    } catch (CException* e) {
        e->Delete();
    }
    return false;
}

// The HRESULT of the COleException that f throws, or S_OK when it throws none.
template <class F>
HRESULT OleErrorOf(F f) {
    try {
        f();
    } catch (COleException* e) {
        const HRESULT sc = e->m_sc;
        e->Delete();
        return sc;
    }
    return S_OK;
}
