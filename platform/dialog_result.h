// How a dialog procedure hands back the result of a message, a rule of the Windows dialog manager
// that both sides of the seam follow: the class library's dialog procedure (written once) and the
// headless dialog manager of the Linux side. Each side's window header includes this one after the
// WM_* names.
#pragma once

// True for the messages whose result a dialog procedure returns itself (an icon, a brush) instead of
// setting DWLP_MSGRESULT and returning TRUE.
inline bool QpDialogReturnsDirectly(UINT message) {
    switch (message) {
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return true;
    default:
        return false;
    }
}
