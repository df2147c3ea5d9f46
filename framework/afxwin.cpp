// Run-time classes, command targets, message maps and CWnd.
#include "framework/afxwin.h"

#include <mutex>
#include <thread>
#include <unordered_map>

namespace {

// Windows bound to objects. Dialogs run on several threads, so the map is shared and locked.
// Freed when the module unloads; windows belong to objects on the stacks of running dialogs, which
// have all ended by then.
std::mutex& PermanentLock() {
    static std::mutex lock;
    return lock;
}

std::unordered_map<HWND, CWnd*>& PermanentMap() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

// The messages being handled on this thread, innermost last (for Default()).
struct CurrentMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    // Set while Default() hands the message to the system's dialog handling, which may call the
    // dialog procedure with it again first: that call must leave the message to the system.
    bool passedOn;
    CurrentMessage* outer;
};
// Per thread, a stack of entries that live in the handlers' frames. It is kept in a locked map
// rather than in per-thread storage, so that the module holds no thread-local data: a module with
// such data is pinned or leaves stale per-thread blocks behind when it unloads.
std::mutex& CurrentLock() {
    static std::mutex lock;
    return lock;
}

std::unordered_map<std::thread::id, CurrentMessage*>& CurrentMap() {
    static std::unordered_map<std::thread::id, CurrentMessage*> map;
    return map;
}

// The innermost message being handled on the calling thread, or null.
CurrentMessage* CurrentOfThisThread() {
    std::lock_guard<std::mutex> lock(CurrentLock());
    auto it = CurrentMap().find(std::this_thread::get_id());
    return it == CurrentMap().end() ? nullptr : it->second;
}

struct MessageScope {
    MessageScope(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
        : entry{window, message, wParam, lParam, false, nullptr} {
        std::lock_guard<std::mutex> lock(CurrentLock());
        CurrentMessage*& top = CurrentMap()[std::this_thread::get_id()];
        entry.outer = top;
        top = &entry;
    }
    ~MessageScope() {
        std::lock_guard<std::mutex> lock(CurrentLock());
        if (entry.outer)
            CurrentMap()[std::this_thread::get_id()] = entry.outer;
        else
            CurrentMap().erase(std::this_thread::get_id());
    }
    CurrentMessage entry;
    MessageScope(const MessageScope&) = delete;
    MessageScope& operator=(const MessageScope&) = delete;
};

}  // namespace

// CRuntimeClass and CObject

const CRuntimeClass CObject::classCObject = {"CObject", int(sizeof(CObject)), 0xFFFF, nullptr};

// CCmdTarget

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id) {
    for (; map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->nSig != AfxSig_end; ++entry) {
            if (entry->nMessage != message) continue;
            if (message != WM_COMMAND) return entry;
            if (entry->nCode == code && id >= entry->nID && id <= entry->nLastID) return entry;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, int code) {
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(GetMessageMap(), WM_COMMAND, UINT(code), id);
    if (!entry) return FALSE;
    entry->pfn(this, 0, 0);
    return TRUE;
}

void CCmdTarget::BeginWaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }
void CCmdTarget::EndWaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

// CWnd

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd() {
    if (m_hWnd) Detach();
}

BOOL CWnd::Attach(HWND window) {
    if (m_hWnd || !window) return FALSE;
    std::lock_guard<std::mutex> lock(PermanentLock());
    if (!PermanentMap().emplace(window, this).second) return FALSE;
    m_hWnd = window;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND window = m_hWnd;
    if (!window) return nullptr;
    {
        std::lock_guard<std::mutex> lock(PermanentLock());
        auto it = PermanentMap().find(window);
        if (it != PermanentMap().end() && it->second == this) PermanentMap().erase(it);
    }
    m_hWnd = nullptr;
    return window;
}

void CWnd::BindControl(CWnd* control) { m_boundControls.push_back(control); }

void CWnd::ReleaseWindow() {
    for (CWnd* control : m_boundControls) control->Detach();
    m_boundControls.clear();
    Detach();
    PostNcDestroy();
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return dx.m_nMissing == 0 ? TRUE : FALSE;
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }

void CWnd::GetClientRect(LPRECT rect) const {
    if (!::GetClientRect(m_hWnd, rect) && rect) *rect = RECT{0, 0, 0, 0};
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    LRESULT value = 0;
    BOOL handled = FALSE;
    if (message == WM_COMMAND) {
        handled = OnCommand(wParam, lParam);
    } else if (const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(GetMessageMap(), message, 0, 0)) {
        value = entry->pfn(this, wParam, lParam);
        handled = TRUE;
    }
    if (result) *result = value;
    return handled;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) { return OnCmdMsg(LOWORD(wParam), HIWORD(wParam)); }

void CWnd::DoDataExchange(CDataExchange*) {}

void CWnd::PostNcDestroy() {}

LRESULT CWnd::Default() {
    for (CurrentMessage* current = CurrentOfThisThread(); current; current = current->outer) {
        if (current->window != m_hWnd) continue;
        current->passedOn = true;
        const LRESULT result = ::DefDlgProcA(current->window, current->message, current->wParam, current->lParam);
        current->passedOn = false;
        return result;
    }
    return 0;
}

void CWnd::OnPaint() { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
void CWnd::OnDestroy() { Default(); }

INT_PTR CALLBACK AfxDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        if (!dialog) return FALSE;
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(static_cast<CWnd*>(dialog)));
        dialog->Attach(window);
        MessageScope scope(window, message, wParam, lParam);
        return dialog->OnInitDialog();
    }
    if (const CurrentMessage* top = CurrentOfThisThread()) {
        const CurrentMessage& current = *top;
        if (current.passedOn && current.window == window && current.message == message &&
            current.wParam == wParam && current.lParam == lParam)
            return FALSE;
    }
    auto* wnd = reinterpret_cast<CWnd*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!wnd) return FALSE;
    LRESULT result = 0;
    BOOL handled;
    {
        MessageScope scope(window, message, wParam, lParam);
        handled = wnd->OnWndMsg(message, wParam, lParam, &result);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        wnd->ReleaseWindow();
    }
    if (!handled) return FALSE;
    if (QpDialogReturnsDirectly(message)) return INT_PTR(result);
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}
