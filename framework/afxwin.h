// Windows and dialogs of the class library: run-time class records, command targets with message
// maps, CWnd, CDialog/CDialogEx with data exchange, CListBox, painting helpers and AfxMessageBox.
//
// Message-map handlers are named as pointers to members: ON_MESSAGE(WM_USER + 3,
// &CMyDlg::OnFinished), ON_BN_CLICKED(1000, &CMyDlg::OnStart). Their signatures are checked when
// the map is compiled.
#pragma once

#include <vector>

#include "platform/win32api.h"
#include "framework/afxexcept.h"
#include "framework/afxstr.h"

#define afx_msg

#ifndef CN_COMMAND
#  define CN_COMMAND 0
#endif
#ifndef ID_HELP
#  define ID_HELP 0xE146
#endif

class CObject;
class CCmdTarget;
class CWnd;
class CDataExchange;

// Run-time class information.

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;
    CRuntimeClass* m_pBaseClass;
};

#define RUNTIME_CLASS(class_name) (const_cast<CRuntimeClass*>(&class_name::class##class_name))

#define DECLARE_DYNAMIC(class_name) \
public:                             \
    static const CRuntimeClass class##class_name;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                               \
    const CRuntimeClass class_name::class##class_name = {#class_name, int(sizeof(class_name)), 0xFFFF, \
                                                         RUNTIME_CLASS(base_class_name)};

class CObject {
public:
    static const CRuntimeClass classCObject;
    virtual ~CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;

protected:
    CObject() = default;
};

// Message maps. Each entry holds a thunk that calls the handler with the right signature.

typedef LRESULT (*AFX_PMSG)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

enum AfxSig : UINT_PTR {
    AfxSig_end = 0,
    AfxSig_vv,    // void ()
    AfxSig_lwl,   // LRESULT (WPARAM, LPARAM)
    AfxSig_hv,    // HANDLE-like result ()
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // WM_COMMAND for commands and control notifications
    UINT nCode;     // notification code of a command (BN_CLICKED, CN_COMMAND)
    UINT nID;       // first and last command id
    UINT nLastID;
    UINT_PTR nSig;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();  // null for the root
    const AFX_MSGMAP_ENTRY* lpEntries;
};

namespace afx_detail {
template <class C, class R, class... A>
C ClassOfMember(R (C::*)(A...));

template <auto F>
LRESULT CallVoid(CCmdTarget* target, WPARAM, LPARAM) {
    using C = decltype(ClassOfMember(F));
    (static_cast<C*>(target)->*F)();
    return 0;
}

template <auto F>
LRESULT CallLwl(CCmdTarget* target, WPARAM wParam, LPARAM lParam) {
    using C = decltype(ClassOfMember(F));
    return (static_cast<C*>(target)->*F)(wParam, lParam);
}

template <auto F>
LRESULT CallHandle(CCmdTarget* target, WPARAM, LPARAM) {
    using C = decltype(ClassOfMember(F));
    return reinterpret_cast<LRESULT>((static_cast<C*>(target)->*F)());
}
}  // namespace afx_detail

#define DECLARE_MESSAGE_MAP()                           \
protected:                                              \
    static const AFX_MSGMAP* GetThisMessageMap();       \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                       \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                \
        using ThisClass [[maybe_unused]] = theClass;                                 \
        using TheBaseClass = baseClass;                                              \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                     \
    {0, 0, 0, 0, AfxSig_end, nullptr}};                                                       \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                                       \
    }

#define ON_MESSAGE(message, memberFxn) \
    {UINT(message), 0, 0, 0, AfxSig_lwl, &::afx_detail::CallLwl<memberFxn>},
#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, CN_COMMAND, UINT(id), UINT(id), AfxSig_vv, &::afx_detail::CallVoid<memberFxn>},
#define ON_CONTROL(code, id, memberFxn) \
    {WM_COMMAND, UINT(code), UINT(id), UINT(id), AfxSig_vv, &::afx_detail::CallVoid<memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, AfxSig_vv, &::afx_detail::CallVoid<&ThisClass::OnPaint>},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, 0, AfxSig_hv, &::afx_detail::CallHandle<&ThisClass::OnQueryDragIcon>},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, AfxSig_vv, &::afx_detail::CallVoid<&ThisClass::OnDestroy>},

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() = default;

    virtual const AFX_MSGMAP* GetMessageMap() const;
    // Runs the handler of a command (WM_COMMAND with this id and notification code) found in the
    // message maps, the class's own first; FALSE when none handles it.
    virtual BOOL OnCmdMsg(UINT id, int code);

    // Headless: the cursor is only recorded.
    void BeginWaitCursor();
    void EndWaitCursor();

    // The first entry for the message (and, for WM_COMMAND, the code and id) along the map chain.
    static const AFX_MSGMAP_ENTRY* FindMessageEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
};

class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Binds this object to an existing window; FALSE when it already has one or the window is
    // another object's.
    BOOL Attach(HWND window);
    HWND Detach();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Runs the data exchange: FALSE (save) reads nothing and fills the controls; TRUE reads them.
    // Returns FALSE when a control named by the exchange is missing.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    HICON SetIcon(HICON icon, BOOL bigIcon);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT rect) const;

    // Message handling: the message map first; what it leaves goes to the window's default handling.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

protected:
    virtual void DoDataExchange(CDataExchange* dx);
    // Called after the window is gone and the object detached.
    virtual void PostNcDestroy();

    // The default handling of the message being handled now.
    LRESULT Default();

    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    friend void DDX_Control(CDataExchange* dx, int id, CWnd& control);
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
    // Controls bound by DDX_Control; released with the window.
    std::vector<CWnd*> m_boundControls;
    void BindControl(CWnd* control);
    void ReleaseWindow();
};

// The dialog procedure of every CDialog: routes the window's messages to the object.
INT_PTR CALLBACK AfxDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    int m_nMissing = 0;

    // The control's window; null (counted as missing) when the dialog has no such control.
    HWND PrepareCtrl(int id);
};

void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

class CListBox : public CWnd {
    DECLARE_DYNAMIC(CListBox)
public:
    int AddString(LPCSTR text);
    void ResetContent();
};

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    explicit CDialog(LPCSTR templateName, CWnd* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog on the calling thread until it ends; returns the EndDialog result, or -1 when
    // the template is missing from the resource module or the window cannot be made.
    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int result);

    UINT m_nIDHelp = 0;
    LPCSTR m_lpszTemplateName = nullptr;
    CWnd* m_pParentWnd = nullptr;

protected:
    DECLARE_MESSAGE_MAP()
};

class CDialogEx : public CDialog {
    DECLARE_DYNAMIC(CDialogEx)
public:
    explicit CDialogEx(UINT templateId, CWnd* parent = nullptr) : CDialog(templateId, parent) {}
    explicit CDialogEx(LPCSTR templateName, CWnd* parent = nullptr) : CDialog(templateName, parent) {}

protected:
    DECLARE_MESSAGE_MAP()
};

// Painting helpers: headless, so drawing succeeds without effect.

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
};

class CDC {
public:
    CDC() = default;
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

// A message box captioned with the application's name; returns the button pressed. When the type
// names no icon, OK and OK/Cancel boxes get the exclamation icon and Yes/No boxes the question mark.
int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
// The same with the text of a string resource of the resource module.
int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = UINT(-1));

// The module whose resources (dialog templates, strings) the class library uses; the application's
// start-up sets it. A null module means the program itself.
HINSTANCE AfxGetResourceHandle();
