// Resources of a module on this platform: the resource compiler (tools/rc) turns the module's .rc
// script into a C++ table that the module carries as the symbol qp_resource_table.
#pragma once

#include "wintypes.h"

#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

struct QpDialogItem {
    int id;                 // control id; -1 for a static without one
    const char* className;  // "BUTTON", "STATIC", "LISTBOX", "EDIT", ...
    const char* text;
    DWORD style;            // WS_CHILD | WS_VISIBLE and the class styles
    DWORD exStyle;
    short x, y, cx, cy;     // dialog units
};

struct QpDialogTemplate {
    WORD id;
    WORD language;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    const char* caption;   // "" without CAPTION
    const char* fontName;  // null without FONT
    WORD pointSize;
    WORD weight;
    BYTE italic;
    BYTE charset;
    const QpDialogItem* items;
    int itemCount;
};

struct QpStringResource {
    UINT id;
    const char* text;
};

struct QpResourceTable {
    const QpDialogTemplate* dialogs;
    int dialogCount;
    const QpStringResource* strings;
    int stringCount;
};

// The name under which a module exports its table (found with dlsym on the module's handle; a
// program exports it with --export-dynamic-symbol, see cmake/QuarnelsResources.cmake).
#define QP_RESOURCE_TABLE_SYMBOL "qp_resource_table"

QP_BEGIN_C
// The dialog template `id` of the module (null module: the program), or null.
QP_API const QpDialogTemplate* QpFindDialogTemplate(HINSTANCE module, LPCSTR id);
// LoadStringA over the module's string table; returns the characters copied.
QP_API int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size);
QP_END_C
