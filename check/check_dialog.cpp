// The check dialog: loads the library by file name and lists what its version and sign-in exports answer.
#include "check/check_dialog.h"

#include <cstring>

#include "check/check_app.h"
#include "resources/resource.h"

const char kLibraryFileName[] = "Quarnels64.dll";

namespace {
// The ini file the library keeps its refresh token in: "\AppData\Local\Quarnels.ini" in the user's
// profile folder, built the same way the library builds it.
void BuildIniPath(char* path, size_t size) {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    std::memset(path, 0, size);
    DWORD length = DWORD(size);
    GetUserProfileDirectoryA(token, path, &length);
    strcat_s(path, size, "\\AppData\\Local\\Quarnels.ini");
    if (token) CloseHandle(token);
}

template <typename Function>
Function ExportOf(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A BSTR's bytes up to the first NUL; an empty text for a null BSTR.
CString TextOf(BSTR value) { return value ? CString(reinterpret_cast<const char*>(value)) : CString(); }
}  // namespace

BEGIN_MESSAGE_MAP(CQuarnelCheckDlg, CDialogEx)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDOK, &CQuarnelCheckDlg::OnBnClickedOk)
ON_BN_CLICKED(IDC_START, &CQuarnelCheckDlg::OnBnClickedStart)
END_MESSAGE_MAP()

CQuarnelCheckDlg::CQuarnelCheckDlg(CWnd* parent) : CDialogEx(IDD_QUARNELCHECK_DIALOG, parent) {
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
}

void CQuarnelCheckDlg::DoDataExchange(CDataExchange* dx) {
    CDialogEx::DoDataExchange(dx);
    DDX_Control(dx, IDC_LIST_RESULT, m_listResult);
}

BOOL CQuarnelCheckDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    return TRUE;
}

void CQuarnelCheckDlg::OnPaint() {
    if (!IsIconic()) {
        CDialogEx::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    CRect client;
    GetClientRect(&client);
    const int x = (client.Width() - iconWidth + 1) / 2;
    const int y = (client.Height() - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CQuarnelCheckDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CQuarnelCheckDlg::OnBnClickedOk() { CDialogEx::OnOK(); }

void CQuarnelCheckDlg::AddLine(const char* label, const char* result) {
    CString line;
    line.Format("%s ... %s", label, result);
    m_listResult.AddString(line);
}

void CQuarnelCheckDlg::OnBnClickedStart() {
    BeginWaitCursor();
    m_listResult.ResetContent();

    // The library must start without a refresh token, so that every check signs in anew.
    char iniPath[255];
    BuildIniPath(iniPath, sizeof(iniPath));
    WritePrivateProfileStringA("Quarnel", "RefreshKey", "", iniPath);

    HMODULE library = LoadLibraryA(kLibraryFileName);
    CString label;
    label.Format("Load %s", kLibraryFileName);
    AddLine(label, library ? "OK" : "Failed");
    if (library) {
        CString version = "Function not found";
        if (auto getVersion = ExportOf<BSTR (*)()>(library, "GetDLLVersion")) {
            BSTR text = getVersion();
            version = TextOf(text);
            SysFreeString(text);
        }
        AddLine("Version", version);

        CString user = "Function not found";
        if (auto getUser = ExportOf<int (*)(BSTR*)>(library, "GetUser")) {
            BSTR name = SysAllocStringByteLen("None", 4);
            getUser(&name);
            user = TextOf(name);
            if (user.IsEmpty()) user = "Authentication failed";
            if (name) SysFreeString(name);
        }
        AddLine("GetUser", user);
        FreeLibrary(library);
    }
    EndWaitCursor();
}
