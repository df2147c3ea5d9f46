// Dialogs: creation from templates, the modal loop, the default dialog handling and message boxes.
#include <algorithm>
#include <cstring>
#include <functional>
#include <strings.h>

#include "window.h"
#include "window_internal.h"

namespace qp::ui {
namespace {

constexpr int kBoxTextId = 0xFFFF;

ControlType TypeOf(const char* className) {
    if (!className) return ControlType::Other;
    if (strcasecmp(className, "STATIC") == 0) return ControlType::Static;
    if (strcasecmp(className, "BUTTON") == 0) return ControlType::Button;
    if (strcasecmp(className, "LISTBOX") == 0) return ControlType::ListBox;
    if (strcasecmp(className, "EDIT") == 0) return ControlType::Edit;
    return ControlType::Other;
}

HWND NewHandleLocked() {
    HWND handle = reinterpret_cast<HWND>(S().nextHandle);
    S().nextHandle += 4;
    return handle;
}

void Indent(std::string& out, const std::string& text) {
    size_t start = 0;
    do {
        const size_t end = text.find('\n', start);
        out += "    ";
        out.append(text, start, end == std::string::npos ? std::string::npos : end - start);
        out += "\n";
        start = end == std::string::npos ? end : end + 1;
    } while (start != std::string::npos && start < text.size());
}

// What a person would see when the dialog appears.
std::string SnapshotLocked(const Window& dialog) {
    std::string out = LabelLocked(dialog) + " opened\n";
    for (const auto& child : dialog.children) {
        const Window& c = *child;
        if (!c.visible) continue;
        std::string label;
        switch (c.control) {
        case ControlType::Static: label = "static"; break;
        case ControlType::Button: label = "button"; break;
        case ControlType::Edit: label = "edit"; break;
        case ControlType::ListBox: label = "list"; break;
        default: label = c.className; break;
        }
        if (c.id != -1 && c.id != kBoxTextId) label += " " + std::to_string(c.id);
        if (c.control == ControlType::ListBox) {
            out += "  " + label + ": " + std::to_string(c.items.size()) + " lines\n";
            for (const auto& line : c.items) Indent(out, line);
        } else {
            out += "  " + label + ": " + c.text + "\n";
        }
    }
    return out;
}

WindowPtr FindChildLocked(const Window& dialog, int id) {
    for (const auto& child : dialog.children)
        if (child->id == id) return child;
    return nullptr;
}

void Discard(const WindowPtr& w) {
    std::lock_guard<std::mutex> lock(S().m);
    ForgetLocked(w);
}

// Makes the window of a modal dialog or box and its controls, then runs WM_INITDIALOG. Returns null
// when the window cannot be made; a window that its WM_INITDIALOG destroyed comes back with
// alive == false.
WindowPtr CreateCore(const QpDialogTemplate* t, HWND parent, DLGPROC proc, LPARAM param, Kind kind,
                     const std::function<void(Window&)>& prepare = nullptr) {
    if (!t) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (parent && !IsWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    QueuePtr queue = CurrentQueue();
    auto w = std::make_shared<Window>();
    HWND focus = nullptr;
    {
        std::lock_guard<std::mutex> lock(S().m);
        w->handle = NewHandleLocked();
        w->kind = kind;
        w->owner = queue;
        w->parent = parent;
        w->className = "#32770";
        w->text = t->caption ? t->caption : "";
        w->style = t->style;
        w->exStyle = t->exStyle;
        w->cx = t->cx;
        w->cy = t->cy;
        w->templateId = t->id;
        w->dlgProc = proc;
        w->visible = true;
        w->needsPaint = true;
        for (int i = 0; i < t->itemCount; ++i) {
            const QpDialogItem& item = t->items[i];
            auto c = std::make_shared<Window>();
            c->handle = NewHandleLocked();
            c->kind = Kind::Control;
            c->control = TypeOf(item.className);
            c->owner = queue;
            c->parent = w->handle;
            c->className = item.className ? item.className : "";
            c->text = item.text ? item.text : "";
            c->id = item.id;
            c->style = item.style;
            c->exStyle = item.exStyle;
            c->cx = item.cx;
            c->cy = item.cy;
            c->visible = (item.style & WS_VISIBLE) != 0;
            c->enabled = (item.style & WS_DISABLED) == 0;
            if (!focus && (item.style & WS_TABSTOP)) focus = c->handle;
            w->children.push_back(c);
        }
        if (prepare) prepare(*w);
        S().windows[w->handle] = w;
        for (auto& c : w->children) S().windows[c->handle] = c;
    }
    try {
        CallWindow(w, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param);
    } catch (...) {
        // The procedure still hears WM_DESTROY and WM_NCDESTROY, so its owner can let go.
        try {
            DestroyWindow(w->handle);
        } catch (...) {
        }
        Discard(w);
        throw;
    }
    std::lock_guard<std::mutex> lock(S().m);
    if (w->alive) {
        w->opened = true;
        if (kind == Kind::Dialog) Echo(SnapshotLocked(*w));
        ObserverOpenedLocked(*w);
    }
    return w;
}

INT_PTR RunModal(const WindowPtr& w) {
    const HWND handle = w->handle;
    try {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(S().m);
                if (!w->alive || w->ended) break;
            }
            MSG msg;
            if (!GetMessageA(&msg, nullptr, 0, 0)) {
                // The thread is asked to end: leave this loop and let the outer loop see WM_QUIT too.
                PostQuitMessage(int(msg.wParam));
                break;
            }
            if (!IsDialogMessageA(handle, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    } catch (...) {
        try {
            DestroyWindow(handle);
        } catch (...) {
        }
        Discard(w);
        throw;
    }
    INT_PTR result;
    {
        std::lock_guard<std::mutex> lock(S().m);
        result = w->result;
        // A wake-up for this loop is no longer needed; an outer loop looks at its dialog anyway.
        CurrentQueue()->wake = false;
    }
    DestroyWindow(handle);
    return result;
}

INT_PTR ModalDialog(const QpDialogTemplate* t, HWND parent, DLGPROC proc, LPARAM param) {
    // The owner takes no input while its modal dialog runs (already when the dialog shows).
    const bool reenable = parent && IsWindow(parent) && !EnableWindow(parent, FALSE);
    struct Reenable {
        HWND parent;
        bool on;
        ~Reenable() {
            if (on) EnableWindow(parent, TRUE);
        }
    } reenableGuard{parent, reenable};
    WindowPtr w = CreateCore(t, parent, proc, param, Kind::Dialog);
    if (!w) return -1;
    return RunModal(w);
}

// Message boxes.

const char* ButtonName(int id) {
    switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    case IDCLOSE: return "Close";
    case IDHELP: return "Help";
    case IDTRYAGAIN: return "Try Again";
    case IDCONTINUE: return "Continue";
    default: return "?";
    }
}

const char* IconName(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return "error";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "warning";
    case MB_ICONASTERISK: return "information";
    default: return nullptr;
    }
}

bool ButtonsOf(UINT type, std::vector<int>& buttons) {
    switch (type & MB_TYPEMASK) {
    case MB_OK: buttons = {IDOK}; return true;
    case MB_OKCANCEL: buttons = {IDOK, IDCANCEL}; return true;
    case MB_ABORTRETRYIGNORE: buttons = {IDABORT, IDRETRY, IDIGNORE}; return true;
    case MB_YESNOCANCEL: buttons = {IDYES, IDNO, IDCANCEL}; return true;
    case MB_YESNO: buttons = {IDYES, IDNO}; return true;
    case MB_RETRYCANCEL: buttons = {IDRETRY, IDCANCEL}; return true;
    case MB_CANCELTRYCONTINUE: buttons = {IDCANCEL, IDTRYAGAIN, IDCONTINUE}; return true;
    default: return false;
    }
}

INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    int id = LOWORD(wParam);
    bool known;
    {
        std::lock_guard<std::mutex> lock(S().m);
        WindowPtr w = FindLocked(box);
        if (!w) return TRUE;
        const auto& buttons = w->boxButtons;
        known = std::find(buttons.begin(), buttons.end(), id) != buttons.end();
        // Esc and the close box answer a box that has only OK with OK; boxes without a Cancel button
        // otherwise ignore them.
        if (!known && id == IDCANCEL && buttons.size() == 1 && buttons[0] == IDOK) {
            id = IDOK;
            known = true;
        }
    }
    if (known) EndDialog(box, id);
    return TRUE;
}

}  // namespace

LRESULT DialogWndProc(const WindowPtr& window, UINT message, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc;
    {
        std::lock_guard<std::mutex> lock(S().m);
        proc = window->dlgProc;
    }
    if (proc) {
        const INT_PTR handled = proc(window->handle, message, wParam, lParam);
        if (message == WM_INITDIALOG) return handled;
        if (handled) {
            if (QpDialogReturnsDirectly(message)) return handled;
            std::lock_guard<std::mutex> lock(S().m);
            return window->msgResult;
        }
    }
    return DefDlgProcA(window->handle, message, wParam, lParam);
}

}  // namespace qp::ui

using namespace qp::ui;

extern "C" INT_PTR DialogBoxParamA(HINSTANCE module, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
    const QpDialogTemplate* t = QpFindDialogTemplate(module, templateName);
    if (!t) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    return ModalDialog(t, parent, proc, param);
}

extern "C" BOOL EndDialog(HWND dialog, INT_PTR result) {
    std::lock_guard<std::mutex> lock(S().m);
    WindowPtr w = FindLocked(dialog);
    if (!w || w->kind == Kind::Control) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    w->ended = true;
    w->result = result;
    // The owner's loop may be waiting for a message: EndDialog came from another thread, or from a
    // call that another thread sent while the loop waited.
    ThreadQueue& owner = *w->owner;
    if (w->owner != CurrentQueue() || owner.fetching) {
        owner.wake = true;
        owner.cv.notify_all();
    }
    return TRUE;
}

extern "C" LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    std::unique_lock<std::mutex> lock(S().m);
    WindowPtr w = FindLocked(dialog);
    if (!w) return 0;
    switch (message) {
    case WM_CLOSE: {
        WindowPtr cancel = FindChildLocked(*w, IDCANCEL);
        if (cancel && !cancel->enabled) return 0;
        PostLocked(*w->owner, dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(cancel ? cancel->handle : nullptr));
        return 0;
    }
    case WM_SYSCOMMAND:
        lock.unlock();
        switch (wParam & 0xFFF0) {
        case SC_CLOSE: SendMessageA(dialog, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(dialog, SW_MINIMIZE); break;
        case SC_RESTORE: ShowWindow(dialog, SW_RESTORE); break;
        default: break;
        }
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 (bit 29 of lParam: Alt is down).
        if (wParam == VK_F4 && (lParam & (1 << 29))) {
            lock.unlock();
            SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_SETTEXT:
        SetTextLocked(*w, lParam ? reinterpret_cast<const char*>(lParam) : "");
        return TRUE;
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<LPSTR>(lParam);
        const int size = int(wParam);
        if (!buffer || size <= 0) return 0;
        const int copied = std::min<int>(int(w->text.size()), size - 1);
        std::memcpy(buffer, w->text.data(), size_t(copied));
        buffer[copied] = 0;
        return copied;
    }
    case WM_GETTEXTLENGTH:
        return LRESULT(w->text.size());
    case DM_GETDEFID:
        if (w->defId) return MAKELRESULT(w->defId, DC_HASDEFID);
        for (const auto& child : w->children)
            if (child->control == ControlType::Button && (child->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                return MAKELRESULT(child->id, DC_HASDEFID);
        return 0;
    case DM_SETDEFID:
        w->defId = int(wParam);
        return TRUE;
    case WM_SETICON: {
        HICON& slot = w->icons[wParam == ICON_BIG ? 1 : 0];
        HICON old = slot;
        slot = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON:
        return reinterpret_cast<LRESULT>(w->icons[wParam == ICON_BIG ? 1 : 0]);
    case WM_PAINT:
        w->needsPaint = false;
        return 0;
    case WM_ERASEBKGND:
    case WM_ICONERASEBKGND:
        return TRUE;
    default:
        return 0;
    }
}

extern "C" BOOL IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (!msg) return FALSE;
    {
        std::lock_guard<std::mutex> lock(S().m);
        WindowPtr target = FindLocked(msg->hwnd);
        if (!FindLocked(dialog) || !target) return FALSE;
        if (target->handle != dialog && !(target->kind == Kind::Control && target->parent == dialog)) return FALSE;
    }
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN)) {
        int id = IDCANCEL;
        if (msg->wParam == VK_RETURN) {
            const LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
            id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
        }
        HWND control = GetDlgItem(dialog, id);
        if (control && !IsWindowEnabled(control)) {
            MessageBeep(0);
            return TRUE;
        }
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
        return TRUE;
    }
    DispatchMessageA(msg);
    return TRUE;
}

extern "C" int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const std::string body = text ? text : "";
    const std::string title = caption ? caption : "Error";
    std::vector<int> buttons;
    if (!ButtonsOf(type, buttons)) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    const size_t defIndex = (type & MB_DEFMASK) >> 8;
    const int defButton = defIndex < buttons.size() ? buttons[defIndex] : buttons[0];

    const std::string label = "[message box \"" + title + "\"]";
    std::string shown = label + " ";
    if (const char* icon = IconName(type)) shown += std::string(icon) + ", ";
    for (size_t i = 0; i < buttons.size(); ++i) shown += std::string(i ? "/" : "") + ButtonName(buttons[i]);
    shown += "\n";
    Indent(shown, body);

    {
        std::lock_guard<std::mutex> lock(S().m);
        Echo(shown);
        if (!ObserverWantsBoxWindowLocked()) {
            const int wanted = ObserverBoxAnswerLocked();
            const int answer = std::find(buttons.begin(), buttons.end(), wanted) != buttons.end() ? wanted : defButton;
            ObserverBoxAnsweredLocked(title, body, type, answer);
            Echo(label + " answered " + ButtonName(answer) + "\n");
            return answer;
        }
    }

    // Waits for the observer: a modal window like any dialog, with the text and one button each.
    std::vector<QpDialogItem> items;
    items.push_back(QpDialogItem{kBoxTextId, "STATIC", body.c_str(), WS_CHILD | WS_VISIBLE, 0, 7, 7, 200, 40});
    short x = 7;
    for (int id : buttons) {
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (id == defButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        items.push_back(QpDialogItem{id, "BUTTON", ButtonName(id), style, 0, x, 52, 50, 14});
        x = short(x + 55);
    }
    QpDialogTemplate t{};
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.cx = short(std::max<int>(x, 214));
    t.cy = 73;
    t.caption = title.c_str();
    t.items = items.data();
    t.itemCount = int(items.size());
    if (owner && !IsWindow(owner)) owner = nullptr;
    WindowPtr w = CreateCore(&t, owner, &BoxProc, 0, Kind::MessageBox, [&](Window& box) {
        box.boxType = type;
        box.boxButtons = buttons;
        box.boxDefault = defButton;
    });
    if (!w) return 0;
    const int answer = int(RunModal(w));
    Echo(label + " answered " + ButtonName(answer) + "\n");
    return answer;
}

extern "C" BOOL MessageBeep(UINT) { return TRUE; }
