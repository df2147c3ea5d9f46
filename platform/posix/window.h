// Windows, dialogs and message boxes, headless.
//
// How it behaves on this platform:
// - A window is a record: its owner thread, parent, class, text, dialog procedure and the controls
//   of its template (ids, texts, styles, list-box items). Nothing is drawn.
// - Every thread that makes a window or asks for messages has its own message queue. PostMessageA
//   works from any thread and wakes the owner's loop; SendMessageA calls the procedure directly on
//   the owner's thread, and from another thread queues the call to the owner and waits for it (the
//   waiting thread keeps answering calls sent to its own windows meanwhile). The built-in controls
//   (static, button, list box, edit) keep their state under a lock, so messages to them are carried
//   out at once from any thread.
// - DialogBoxParamA and kin run the modal loop on the calling thread until EndDialog; loops nest.
//   The dialog's default handling is the usual one: Esc and the close box send the cancel command,
//   Enter the default button's command (IDOK when there is none).
// - What a dialog or box shows is written to standard error: a dialog when it opens (caption and
//   control texts after WM_INITDIALOG), later text changes, list-box lines and its end.
// - A message box prints its caption and text. Without an observer (platform/posix/observer.h) it
//   answers at once with its default button, so a headless program never hangs on one; with an
//   observer it is a modal window that waits until a button is pressed.
// - Window handles are never reused, so a stale handle simply fails (IsWindow is FALSE).
// - Paint, icon and cursor functions succeed without drawing; see their notes.
#pragma once

#include "resource.h"
#include "wintypes.h"

typedef struct HMENU__* HMENU;
typedef struct HBRUSH__* HBRUSH;
typedef HICON HCURSOR;
typedef WORD ATOM;
typedef DWORD COLORREF;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *PPOINT, *LPPOINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *PRECT, *LPRECT;
typedef const RECT* LPCRECT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *PMSG, *LPMSG;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *PPAINTSTRUCT, *LPPAINTSTRUCT;

typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))

// Messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_SETFOCUS 0x0007
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_SETCURSOR 0x0020
#define WM_ICONERASEBKGND 0x0027
#define WM_SETFONT 0x0030
#define WM_QUERYDRAGICON 0x0037
#define WM_NCDESTROY 0x0082
#define WM_SETICON 0x0080
#define WM_GETICON 0x007F
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_CTLCOLORMSGBOX 0x0132
#define WM_CTLCOLOREDIT 0x0133
#define WM_CTLCOLORLISTBOX 0x0134
#define WM_CTLCOLORBTN 0x0135
#define WM_CTLCOLORDLG 0x0136
#define WM_CTLCOLORSCROLLBAR 0x0137
#define WM_CTLCOLORSTATIC 0x0138
#define WM_USER 0x0400
#define WM_APP 0x8000

#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B

#define SC_CLOSE 0xF060
#define SC_MINIMIZE 0xF020
#define SC_RESTORE 0xF120

#define ICON_SMALL 0
#define ICON_BIG 1

// Virtual keys.
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_F4 0x73

// Dialog results and the standard command ids.
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDCLOSE 8
#define IDHELP 9
#define IDTRYAGAIN 10
#define IDCONTINUE 11

// Button styles and notifications.
#define BS_PUSHBUTTON 0x00000000
#define BS_DEFPUSHBUTTON 0x00000001
#define BS_TYPEMASK 0x0000000F
#define BN_CLICKED 0
#define BM_CLICK 0x00F5

// Static styles.
#define SS_LEFT 0x00000000
#define SS_CENTER 0x00000001
#define SS_RIGHT 0x00000002

// List boxes.
#define LB_OKAY 0
#define LB_ERR (-1)
#define LB_ERRSPACE (-2)
#define LB_ADDSTRING 0x0180
#define LB_INSERTSTRING 0x0181
#define LB_DELETESTRING 0x0182
#define LB_RESETCONTENT 0x0184
#define LB_GETCOUNT 0x018B
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LBS_NOTIFY 0x0001
#define LBS_SORT 0x0002
#define LBS_NOINTEGRALHEIGHT 0x0100

// Window styles.
#define WS_OVERLAPPED 0x00000000
#define WS_POPUP 0x80000000
#define WS_CHILD 0x40000000
#define WS_MINIMIZE 0x20000000
#define WS_VISIBLE 0x10000000
#define WS_DISABLED 0x08000000
#define WS_BORDER 0x00800000
#define WS_DLGFRAME 0x00400000
#define WS_CAPTION 0x00C00000
#define WS_VSCROLL 0x00200000
#define WS_SYSMENU 0x00080000
#define WS_THICKFRAME 0x00040000
#define WS_GROUP 0x00020000
#define WS_TABSTOP 0x00010000
#define WS_EX_APPWINDOW 0x00040000
#define DS_SETFONT 0x40
#define DS_MODALFRAME 0x80
#define DS_FIXEDSYS 0x0008
#define DS_CENTER 0x0800
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

// ShowWindow commands, also the nShow of ShellExecuteExA.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// GetWindowLongPtrA / SetWindowLongPtrA indexes.
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_ID (-12)
#define GWLP_USERDATA (-21)
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16

// Message boxes.
#define MB_OK 0x00000000
#define MB_OKCANCEL 0x00000001
#define MB_ABORTRETRYIGNORE 0x00000002
#define MB_YESNOCANCEL 0x00000003
#define MB_YESNO 0x00000004
#define MB_RETRYCANCEL 0x00000005
#define MB_CANCELTRYCONTINUE 0x00000006
#define MB_TYPEMASK 0x0000000F
#define MB_ICONHAND 0x00000010
#define MB_ICONQUESTION 0x00000020
#define MB_ICONEXCLAMATION 0x00000030
#define MB_ICONASTERISK 0x00000040
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0
#define MB_DEFBUTTON1 0x00000000
#define MB_DEFBUTTON2 0x00000100
#define MB_DEFBUTTON3 0x00000200
#define MB_DEFBUTTON4 0x00000300
#define MB_DEFMASK 0x00000F00
#define MB_APPLMODAL 0x00000000
#define MB_SYSTEMMODAL 0x00001000
#define MB_TASKMODAL 0x00002000
#define MB_HELP 0x00004000
#define MB_SETFOREGROUND 0x00010000
#define MB_TOPMOST 0x00040000

// PeekMessageA
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// GetSystemMetrics
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CXSMICON 49
#define SM_CYSMICON 50

// Stock icons and cursors (LoadIconA / LoadCursorA with a null module).
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDI_ERROR MAKEINTRESOURCEA(32513)
#define IDI_QUESTION MAKEINTRESOURCEA(32514)
#define IDI_WARNING MAKEINTRESOURCEA(32515)
#define IDI_INFORMATION MAKEINTRESOURCEA(32516)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_WAIT MAKEINTRESOURCEA(32514)

// InitCommonControlsEx classes.
#define ICC_LISTVIEW_CLASSES 0x00000001
#define ICC_TREEVIEW_CLASSES 0x00000002
#define ICC_BAR_CLASSES 0x00000004
#define ICC_TAB_CLASSES 0x00000008
#define ICC_UPDOWN_CLASS 0x00000010
#define ICC_PROGRESS_CLASS 0x00000020
#define ICC_HOTKEY_CLASS 0x00000040
#define ICC_ANIMATE_CLASS 0x00000080
#define ICC_WIN95_CLASSES 0x000000FF

QP_BEGIN_C
// Dialogs. The modal ones return the EndDialog result, or -1 when the template is missing or the
// window cannot be made (the procedure is then never called).
QP_API INT_PTR DialogBoxParamA(HINSTANCE module, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param);
// Marks the dialog ended; its modal loop returns `result` once the current message is handled.
// May be called from any thread.
QP_API BOOL EndDialog(HWND dialog, INT_PTR result);
// The default processing of a dialog for a message its procedure did not handle.
QP_API LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
QP_API BOOL IsDialogMessageA(HWND dialog, LPMSG msg);

// Messages.
// A null window posts to the calling thread's own queue. FALSE (ERROR_INVALID_WINDOW_HANDLE) for a
// window that does not exist (any more).
QP_API BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
QP_API LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Returns 0 for WM_QUIT, 1 otherwise; waits for a message of the calling thread.
QP_API BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
QP_API BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
QP_API LRESULT DispatchMessageA(const MSG* msg);
// Headless: no keyboard layout, so no character messages are made; returns FALSE.
QP_API BOOL TranslateMessage(const MSG* msg);
QP_API void PostQuitMessage(int exitCode);

// Window records.
QP_API BOOL IsWindow(HWND window);
QP_API BOOL DestroyWindow(HWND window);
QP_API HWND GetDlgItem(HWND dialog, int id);
QP_API BOOL SetWindowTextA(HWND window, LPCSTR text);
QP_API int GetWindowTextA(HWND window, LPSTR buffer, int size);
QP_API int GetWindowTextLengthA(HWND window);
QP_API LONG_PTR GetWindowLongPtrA(HWND window, int index);
QP_API LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
// The minimized state is recorded; nothing appears on a screen.
QP_API BOOL ShowWindow(HWND window, int command);
QP_API BOOL IsIconic(HWND window);
QP_API BOOL EnableWindow(HWND window, BOOL enable);
QP_API BOOL IsWindowEnabled(HWND window);
// The client area in pixels, from the template's dialog units at the shell font's base units.
QP_API BOOL GetClientRect(HWND window, LPRECT rect);

// Message boxes: see the notes at the top. Returns the id of the button pressed, 0 on failure.
QP_API int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// Headless: no sound; returns TRUE.
QP_API BOOL MessageBeep(UINT type);

// Painting, icons and cursors, headless: nothing is drawn, and the handles are tokens that the
// functions here accept. BeginPaint validates the window and gives its client rectangle.
QP_API HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
QP_API BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
QP_API BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
// Any icon or cursor name gives a token handle (there are no images to load); a null name fails.
QP_API HICON LoadIconA(HINSTANCE module, LPCSTR name);
QP_API HCURSOR LoadCursorA(HINSTANCE module, LPCSTR name);
// Records the cursor and returns the previous one.
QP_API HCURSOR SetCursor(HCURSOR cursor);
// A fixed 1024 x 768 screen with 32-pixel icons and 16-pixel small icons; 0 for other metrics.
QP_API int GetSystemMetrics(int index);
// Nothing to register; TRUE when the structure's size is right.
QP_API BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
QP_END_C

#include "../dialog_result.h"
