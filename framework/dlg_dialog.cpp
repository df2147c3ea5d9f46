// Dialogs, data exchange, list boxes, painting helpers and the class library's message box.

#include "framework/afxapp.h"
#include "framework/afxwin.h"

// CDialog

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_nIDHelp(templateId), m_lpszTemplateName(MAKEINTRESOURCEA(templateId)), m_pParentWnd(parent) {}

CDialog::CDialog(LPCSTR templateName, CWnd* parent) : m_lpszTemplateName(templateName), m_pParentWnd(parent) {
    if (IS_INTRESOURCE(templateName)) m_nIDHelp = LOWORD(reinterpret_cast<ULONG_PTR>(templateName));
}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
    HWND parent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    return ::DialogBoxParamA(AfxGetResourceHandle(), m_lpszTemplateName, parent, &AfxDlgProc,
                             reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::OnInitDialog() {
    // A control missing from the template leaves its value out; the dialog still runs.
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) {
    if (m_hWnd) ::EndDialog(m_hWnd, result);
}

IMPLEMENT_DYNAMIC(CDialogEx, CDialog)

BEGIN_MESSAGE_MAP(CDialogEx, CDialog)
END_MESSAGE_MAP()

// Data exchange

HWND CDataExchange::PrepareCtrl(int id) {
    HWND control = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->m_hWnd, id) : nullptr;
    if (!control) ++m_nMissing;
    return control;
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
    HWND control = dx->PrepareCtrl(id);
    if (!control) return;
    if (dx->m_bSaveAndValidate) {
        const int length = ::GetWindowTextLengthA(control);
        LPSTR buffer = value.GetBuffer(length);
        buffer[0] = 0;
        ::GetWindowTextA(control, buffer, length + 1);
        value.ReleaseBuffer();
    } else {
        ::SetWindowTextA(control, value);
    }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd) return;
    HWND window = dx->PrepareCtrl(id);
    if (!window) return;
    if (control.Attach(window))
        dx->m_pDlgWnd->BindControl(&control);
    else
        ++dx->m_nMissing;
}

// CListBox

IMPLEMENT_DYNAMIC(CListBox, CWnd)

int CListBox::AddString(LPCSTR text) { return int(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }

void CListBox::ResetContent() { SendMessage(LB_RESETCONTENT, 0, 0); }

// Painting

CPaintDC::CPaintDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr) {
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }

// Message boxes and resources

namespace {
// The caption of the class library's boxes: the application's name, else the program's.
CString AppCaption() {
    LPCSTR name = AfxGetAppName();
    if (name && *name) return CString(name);
    char program[MAX_PATH] = {};
    QpModuleBaseName(nullptr, program, MAX_PATH);
    return CString(program);
}
}  // namespace

int AfxMessageBox(LPCSTR text, UINT type, UINT) {
    if ((type & MB_ICONMASK) == 0) {
        switch (type & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL: type |= MB_ICONEXCLAMATION; break;
        case MB_YESNO:
        case MB_YESNOCANCEL: type |= MB_ICONQUESTION; break;
        default: break;
        }
    }
    const CString caption = AppCaption();
    return ::MessageBoxA(nullptr, text, caption, type);
}

int AfxMessageBox(UINT promptId, UINT type, UINT helpId) {
    char text[1024] = {};
    ::LoadStringA(AfxGetResourceHandle(), promptId, text, int(sizeof(text)));
    return AfxMessageBox(text, type, helpId);
}

HINSTANCE AfxGetResourceHandle() { return AfxGetModuleState()->m_hCurrentResourceHandle; }
