// The dialog templates and strings of the window and dialog tests, found by the platform under the
// resource table's symbol in the test program.
#include "platform/win32api.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kFrame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;

const QpDialogItem kSignInItems[] = {
    {IDCANCEL, "BUTTON", "Abort", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 76, 33, 94, 14},
    {-1, "STATIC", "Authentication running - See your browser window for details", kChild | SS_LEFT, 0, 21, 16, 197, 8},
};

const QpDialogItem kDownloadItems[] = {
    {-1, "STATIC", "Downloading data from EveOnline - please wait", kChild | WS_GROUP | SS_LEFT, 0, 17, 17, 152, 8},
    {1000, "STATIC", "Statisch", kChild | WS_GROUP | SS_CENTER, 0, 42, 34, 97, 8},
};

const QpDialogItem kCheckItems[] = {
    {IDOK, "BUTTON", "Close", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 170, 148, 154, 14},
    {1000, "BUTTON", "Start", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, 14, 4, 310, 14},
    {1001, "LISTBOX", "", kChild | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 14, 20, 310, 126},
};

const QpDialogItem kFormItems[] = {
    {1001, "EDIT", "template text", kChild | WS_TABSTOP | WS_BORDER, 0, 10, 10, 100, 12},
    {IDOK, "BUTTON", "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 10, 30, 50, 14},
    {IDCANCEL, "BUTTON", "Cancel", kChild | WS_TABSTOP, 0, 70, 30, 50, 14},
};

const QpDialogItem kListItems[] = {
    {1001, "LISTBOX", "", kChild | LBS_NOTIFY, 0, 14, 20, 310, 126},
    {1002, "LISTBOX", "", kChild | LBS_SORT, 0, 14, 20, 310, 126},
};

const QpDialogTemplate kDialogs[] = {
    {1000, 1031, kFrame, 0, 0, 0, 235, 72, "Authentication", "MS Shell Dlg", 8, 400, 0, 1, kSignInItems, 2},
    {1002, 1031, kFrame, 0, 0, 0, 187, 62, "ESI Download", "MS Shell Dlg", 8, 400, 0, 1, kDownloadItems, 2},
    {102, 1031, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SHELLFONT, WS_EX_APPWINDOW, 0, 0, 339,
     165, "", "MS Shell Dlg", 8, 400, 0, 1, kCheckItems, 3},
    {200, 0, kFrame, 0, 0, 0, 130, 50, "Form", "MS Shell Dlg", 8, 400, 0, 1, kFormItems, 3},
    {77, 0, WS_POPUP, 0, 0, 0, 339, 165, "Lists", nullptr, 8, 0, 0, 0, kListItems, 2},
};

const QpStringResource kStrings[] = {{101, "Windows Sockets could not be started."}};

}  // namespace

extern "C" __attribute__((visibility("default"))) const QpResourceTable qp_resource_table = {kDialogs, 5, kStrings, 1};
