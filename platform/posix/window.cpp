// Window records, message queues and the message functions.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "window.h"
#include "window_internal.h"

namespace qp::ui {

State& S() {
    // Never destroyed: threads that end during process exit still find it.
    static State* state = new State;
    return *state;
}

namespace {

std::atomic<unsigned long long> g_nextThreadTag{1};

// Ends the thread's windows when the thread ends, as the system does, and releases whoever waits
// on the thread's queue.
struct ThreadHolder {
    QueuePtr queue;
    ~ThreadHolder() {
        if (!queue) return;
        State& s = S();
        std::lock_guard<std::mutex> lock(s.m);
        queue->alive = false;
        std::vector<WindowPtr> owned;
        for (auto& entry : s.windows)
            if (entry.second->owner == queue && entry.second->kind != Kind::Control) owned.push_back(entry.second);
        for (auto& window : owned) ForgetLocked(window);
        for (auto& call : queue->sent) {
            call->done = true;
            call->sender->cv.notify_all();
        }
        queue->sent.clear();
        for (const MSG& msg : queue->posted)
            if (msg.message == WM_NULL && msg.wParam == kFlushMarker) ObserverFlushedLocked(msg.lParam);
        queue->posted.clear();
        s.observerCv.notify_all();
    }
};

thread_local ThreadHolder t_holder;

DWORD NowMs() {
    using namespace std::chrono;
    return DWORD(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Controls are the only child windows, one level below their dialog.
bool IsDescendantLocked(HWND ancestor, HWND handle) {
    WindowPtr w = FindLocked(handle);
    return w && w->kind == Kind::Control && w->parent == ancestor;
}

bool Matches(const MSG& msg, HWND filter, UINT low, UINT high) {
    if (filter == reinterpret_cast<HWND>(-1)) {
        if (msg.hwnd) return false;
    } else if (filter && msg.hwnd != filter && !IsDescendantLocked(filter, msg.hwnd)) {
        return false;
    }
    if (low == 0 && high == 0) return true;
    return msg.message >= low && msg.message <= high;
}

void RunSentCall(std::unique_lock<std::mutex>& lock, const std::shared_ptr<SentCall>& call) {
    WindowPtr window = FindLocked(call->hwnd);
    LRESULT result = 0;
    if (window) {
        lock.unlock();
        struct Relock {
            std::unique_lock<std::mutex>& lock;
            const std::shared_ptr<SentCall>& call;
            ~Relock() {
                if (!lock.owns_lock()) lock.lock();
                call->done = true;
                call->sender->cv.notify_all();
            }
        } relock{lock, call};
        result = CallWindow(window, call->message, call->wParam, call->lParam);
        lock.lock();
        call->result = result;
        return;
    }
    call->done = true;
    call->sender->cv.notify_all();
}

// Takes the next message of the calling thread: calls sent from other threads first, then posted
// messages, then WM_QUIT, then a pending WM_PAINT. Waits when `wait` is set and there is none.
bool Fetch(MSG* out, HWND filter, UINT low, UINT high, bool remove, bool wait) {
    QueuePtr queue = CurrentQueue();
    State& s = S();
    std::unique_lock<std::mutex> lock(s.m);
    struct Fetching {
        ThreadQueue& queue;
        std::unique_lock<std::mutex>& lock;
        explicit Fetching(ThreadQueue& q, std::unique_lock<std::mutex>& l) : queue(q), lock(l) { ++queue.fetching; }
        ~Fetching() {
            if (!lock.owns_lock()) lock.lock();
            --queue.fetching;
        }
    } fetching(*queue, lock);
    for (;;) {
        while (!queue->sent.empty()) {
            auto call = queue->sent.front();
            queue->sent.pop_front();
            RunSentCall(lock, call);
        }
        for (auto it = queue->posted.begin(); it != queue->posted.end();) {
            if (!Matches(*it, filter, low, high)) {
                ++it;
                continue;
            }
            if (it->message == WM_NULL && it->wParam == kFlushMarker) {
                ObserverFlushedLocked(it->lParam);
                it = queue->posted.erase(it);
                continue;
            }
            *out = *it;
            if (remove) queue->posted.erase(it);
            return true;
        }
        if (queue->quit) {
            *out = MSG{};
            out->message = WM_QUIT;
            out->wParam = WPARAM(queue->quitCode);
            out->time = NowMs();
            if (remove) queue->quit = false;
            return true;
        }
        for (auto& entry : s.windows) {
            Window& w = *entry.second;
            if (w.owner != queue || !w.needsPaint || !w.visible) continue;
            MSG paint{};
            paint.hwnd = w.handle;
            paint.message = WM_PAINT;
            paint.time = NowMs();
            if (!Matches(paint, filter, low, high)) continue;
            // One paint per invalidation: nothing here ever needs to be drawn again.
            if (remove) w.needsPaint = false;
            *out = paint;
            return true;
        }
        if (queue->wake && (!filter || filter == reinterpret_cast<HWND>(-1))) {
            *out = MSG{};
            out->time = NowMs();
            if (remove) queue->wake = false;
            return true;
        }
        if (!wait) return false;
        queue->cv.wait(lock);
    }
}

const char* ControlKindName(const Window& control) {
    switch (control.control) {
    case ControlType::Static: return "static";
    case ControlType::Button: return "button";
    case ControlType::ListBox: return "list";
    case ControlType::Edit: return "edit";
    default: return "control";
    }
}

std::string ControlLabel(const Window& control) {
    std::string label = ControlKindName(control);
    if (control.id != -1 && control.id != 0xFFFF) label += " " + std::to_string(control.id);
    return label;
}

WindowPtr ParentDialogLocked(const Window& control) {
    WindowPtr parent = FindLocked(control.parent);
    return parent && parent->opened ? parent : nullptr;
}

// The window's record, or null with ERROR_INVALID_WINDOW_HANDLE when there is no such window.
WindowPtr FindOrFailLocked(HWND window) {
    WindowPtr w = FindLocked(window);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

// What `read` takes from the window's record under the lock; `missing` when there is no such window.
template <class T, class Read>
T ReadRecord(HWND window, T missing, Read read) {
    std::lock_guard<std::mutex> lock(S().m);
    const WindowPtr w = FindLocked(window);
    return w ? read(*w) : missing;
}

int CopyText(const std::string& text, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    const int copied = std::min<int>(int(text.size()), size - 1);
    std::memcpy(buffer, text.data(), size_t(copied));
    buffer[copied] = 0;
    return copied;
}

}  // namespace

QueuePtr CurrentQueue() {
    if (!t_holder.queue) {
        t_holder.queue = std::make_shared<ThreadQueue>();
        t_holder.queue->tag = g_nextThreadTag++;
    }
    return t_holder.queue;
}

WindowPtr FindLocked(HWND handle) {
    if (!handle) return nullptr;
    auto it = S().windows.find(handle);
    return it == S().windows.end() ? nullptr : it->second;
}

void PostLocked(ThreadQueue& queue, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = NowMs();
    queue.posted.push_back(msg);
    queue.cv.notify_all();
}

std::string LabelLocked(const Window& dialog) {
    if (dialog.kind == Kind::MessageBox) return "[message box \"" + dialog.text + "\"]";
    std::string label = "[dialog ";
    if (dialog.templateId) label += std::to_string(dialog.templateId) + " ";
    return label + "\"" + dialog.text + "\"]";
}

void Echo(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void SetTextLocked(Window& window, const std::string& text) {
    if (window.text == text) return;
    window.text = text;
    if (window.kind == Kind::Control) {
        if (WindowPtr dialog = ParentDialogLocked(window))
            Echo(LabelLocked(*dialog) + " " + ControlLabel(window) + ": " + text + "\n");
    } else if (window.opened) {
        Echo(LabelLocked(window) + " caption changed\n");
    }
}

void ForgetLocked(const WindowPtr& window) {
    if (!window->alive) return;
    for (auto& child : window->children) ForgetLocked(child);
    window->alive = false;
    window->visible = false;
    S().windows.erase(window->handle);
    // Nothing can receive what is still queued for the window.
    auto& posted = window->owner->posted;
    for (auto it = posted.begin(); it != posted.end();) {
        if (it->hwnd != window->handle) {
            ++it;
            continue;
        }
        if (it->message == WM_NULL && it->wParam == kFlushMarker) ObserverFlushedLocked(it->lParam);
        it = posted.erase(it);
    }
    if (window->kind != Kind::Control && window->opened) {
        if (window->kind == Kind::Dialog)
            Echo(LabelLocked(*window) + " closed, result " + std::to_string(window->result) + "\n");
        ObserverClosedLocked(*window);
    }
}

LRESULT CallWindow(const WindowPtr& window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window->kind == Kind::Control) return ControlProc(window, message, wParam, lParam);
    return DialogWndProc(window, message, wParam, lParam);
}

// The built-in controls keep all their state in the record, so they run on any thread.
LRESULT ControlProc(const WindowPtr& window, UINT message, WPARAM wParam, LPARAM lParam) {
    State& s = S();
    std::unique_lock<std::mutex> lock(s.m);
    Window& w = *window;
    switch (message) {
    case WM_SETTEXT:
        SetTextLocked(w, lParam ? reinterpret_cast<const char*>(lParam) : "");
        return TRUE;
    case WM_GETTEXT:
        return CopyText(w.text, reinterpret_cast<LPSTR>(lParam), int(wParam));
    case WM_GETTEXTLENGTH:
        return LRESULT(w.text.size());
    case WM_PAINT:
        w.needsPaint = false;
        return 0;
    case BM_CLICK:
        if (w.control == ControlType::Button && w.enabled && w.alive) {
            if (WindowPtr parent = FindLocked(w.parent))
                PostLocked(*parent->owner, parent->handle, WM_COMMAND, MAKEWPARAM(w.id, BN_CLICKED),
                           reinterpret_cast<LPARAM>(w.handle));
        }
        return 0;
    default:
        break;
    }
    if (w.control != ControlType::ListBox) return 0;

    auto& items = w.items;
    const int count = int(items.size());
    switch (message) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
        if (!lParam) return LB_ERR;
        const std::string line = reinterpret_cast<const char*>(lParam);
        int index = count;
        if (message == LB_INSERTSTRING) {
            const int wanted = int(wParam);
            if (wanted != -1 && (wanted < 0 || wanted > count)) return LB_ERR;
            if (wanted != -1) index = wanted;
        } else if (w.style & LBS_SORT) {
            index = int(std::upper_bound(items.begin(), items.end(), line,
                                         [](const std::string& a, const std::string& b) {
                                             return strcasecmp(a.c_str(), b.c_str()) < 0;
                                         }) -
                        items.begin());
        }
        items.insert(items.begin() + index, line);
        if (WindowPtr dialog = ParentDialogLocked(w)) Echo(LabelLocked(*dialog) + " " + ControlLabel(w) + " + " + line + "\n");
        return index;
    }
    case LB_DELETESTRING: {
        const int index = int(wParam);
        if (index < 0 || index >= count) return LB_ERR;
        items.erase(items.begin() + index);
        return count - 1;
    }
    case LB_RESETCONTENT:
        items.clear();
        if (WindowPtr dialog = ParentDialogLocked(w)) Echo(LabelLocked(*dialog) + " " + ControlLabel(w) + " emptied\n");
        return 0;
    case LB_GETCOUNT:
        return count;
    case LB_GETTEXTLEN:
        if (int(wParam) < 0 || int(wParam) >= count) return LB_ERR;
        return LRESULT(items[wParam].size());
    case LB_GETTEXT: {
        if (int(wParam) < 0 || int(wParam) >= count || !lParam) return LB_ERR;
        const std::string& line = items[wParam];
        std::memcpy(reinterpret_cast<char*>(lParam), line.c_str(), line.size() + 1);
        return LRESULT(line.size());
    }
    default:
        return 0;
    }
}

}  // namespace qp::ui

using namespace qp::ui;

extern "C" BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window) {
        QueuePtr queue = CurrentQueue();
        std::lock_guard<std::mutex> lock(S().m);
        PostLocked(*queue, nullptr, message, wParam, lParam);
        return TRUE;
    }
    std::lock_guard<std::mutex> lock(S().m);
    WindowPtr w = FindLocked(window);
    if (!w || !w->owner->alive) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    PostLocked(*w->owner, window, message, wParam, lParam);
    return TRUE;
}

extern "C" LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    QueuePtr me = CurrentQueue();
    State& s = S();
    std::unique_lock<std::mutex> lock(s.m);
    WindowPtr w = FindLocked(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (w->owner == me || w->kind == Kind::Control) {
        lock.unlock();
        return CallWindow(w, message, wParam, lParam);
    }
    if (!w->owner->alive) return 0;
    auto call = std::make_shared<SentCall>();
    call->hwnd = window;
    call->message = message;
    call->wParam = wParam;
    call->lParam = lParam;
    call->sender = me;
    w->owner->sent.push_back(call);
    w->owner->cv.notify_all();
    // Keep answering calls made to this thread's windows, or two threads sending to each other
    // would wait for ever.
    while (!call->done) {
        if (!me->sent.empty()) {
            auto incoming = me->sent.front();
            me->sent.pop_front();
            RunSentCall(lock, incoming);
            continue;
        }
        me->cv.wait(lock);
    }
    return call->result;
}

extern "C" BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (window && window != reinterpret_cast<HWND>(-1) && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    Fetch(msg, window, filterMin, filterMax, true, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

extern "C" BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg) return FALSE;
    return Fetch(msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0, false) ? TRUE : FALSE;
}

extern "C" LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    WindowPtr w;
    {
        std::lock_guard<std::mutex> lock(S().m);
        w = FindLocked(msg->hwnd);
        // Messages left for a window that is gone, or that belongs to another thread, go nowhere.
        if (!w || w->owner != CurrentQueue()) return 0;
    }
    return CallWindow(w, msg->message, msg->wParam, msg->lParam);
}

extern "C" BOOL TranslateMessage(const MSG*) { return FALSE; }

extern "C" void PostQuitMessage(int exitCode) {
    QueuePtr queue = CurrentQueue();
    std::lock_guard<std::mutex> lock(S().m);
    queue->quit = true;
    queue->quitCode = exitCode;
    queue->cv.notify_all();
}

extern "C" BOOL IsWindow(HWND window) {
    std::lock_guard<std::mutex> lock(S().m);
    return FindLocked(window) ? TRUE : FALSE;
}

extern "C" BOOL DestroyWindow(HWND window) {
    WindowPtr w;
    {
        std::lock_guard<std::mutex> lock(S().m);
        w = FindLocked(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (w->owner != CurrentQueue()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying) return TRUE;
        w->destroying = true;
    }
    struct Forget {
        WindowPtr& w;
        ~Forget() {
            std::lock_guard<std::mutex> lock(S().m);
            ForgetLocked(w);
        }
    } forget{w};
    CallWindow(w, WM_DESTROY, 0, 0);
    CallWindow(w, WM_NCDESTROY, 0, 0);
    return TRUE;
}

extern "C" HWND GetDlgItem(HWND dialog, int id) {
    std::lock_guard<std::mutex> lock(S().m);
    WindowPtr w = FindOrFailLocked(dialog);
    if (!w) return nullptr;
    for (auto& child : w->children)
        if (child->id == id) return child->handle;
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

extern "C" BOOL SetWindowTextA(HWND window, LPCSTR text) {
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE : FALSE;
}

// Read from the record directly, so a thread may read the texts of another thread's windows while
// that thread is busy.
extern "C" int GetWindowTextA(HWND window, LPSTR buffer, int size) {
    std::lock_guard<std::mutex> lock(S().m);
    WindowPtr w = FindLocked(window);
    if (!w) {
        if (buffer && size > 0) buffer[0] = 0;
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return CopyText(w->text, buffer, size);
}

extern "C" int GetWindowTextLengthA(HWND window) {
    return ReadRecord(window, 0, [](const Window& w) { return int(w.text.size()); });
}

extern "C" LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    std::lock_guard<std::mutex> lock(S().m);
    WindowPtr w = FindOrFailLocked(window);
    if (!w) return 0;
    const bool dialog = w->kind != Kind::Control;
    switch (index) {
    case GWL_STYLE: return LONG_PTR(w->style);
    case GWL_EXSTYLE: return LONG_PTR(w->exStyle);
    case GWLP_ID: return w->id;
    case GWLP_USERDATA: return w->userData;
    case DWLP_MSGRESULT: if (dialog) return w->msgResult; break;
    case DWLP_DLGPROC: if (dialog) return reinterpret_cast<LONG_PTR>(w->dlgProc); break;
    case DWLP_USER: if (dialog) return w->user; break;
    default: break;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

extern "C" LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    std::lock_guard<std::mutex> lock(S().m);
    WindowPtr w = FindOrFailLocked(window);
    if (!w) return 0;
    const bool dialog = w->kind != Kind::Control;
    LONG_PTR old = 0;
    switch (index) {
    case GWL_STYLE: old = LONG_PTR(w->style); w->style = DWORD(value); return old;
    case GWL_EXSTYLE: old = LONG_PTR(w->exStyle); w->exStyle = DWORD(value); return old;
    case GWLP_ID: old = w->id; w->id = int(value); return old;
    case GWLP_USERDATA: old = w->userData; w->userData = value; return old;
    case DWLP_MSGRESULT: if (!dialog) break; old = w->msgResult; w->msgResult = value; return old;
    case DWLP_DLGPROC:
        if (!dialog) break;
        old = reinterpret_cast<LONG_PTR>(w->dlgProc);
        w->dlgProc = reinterpret_cast<DLGPROC>(value);
        return old;
    case DWLP_USER: if (!dialog) break; old = w->user; w->user = value; return old;
    default: break;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

extern "C" BOOL ShowWindow(HWND window, int command) {
    std::lock_guard<std::mutex> lock(S().m);
    WindowPtr w = FindLocked(window);
    if (!w) return FALSE;
    const BOOL wasVisible = w->visible ? TRUE : FALSE;
    // Every command but SW_HIDE shows the window; some also minimize or restore it.
    w->visible = command != SW_HIDE;
    switch (command) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        w->iconic = true;
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWMAXIMIZED:
        w->iconic = false;
        break;
    default:
        break;
    }
    if (w->visible && !wasVisible) w->needsPaint = true;
    if (w->needsPaint) w->owner->cv.notify_all();
    return wasVisible;
}

extern "C" BOOL IsIconic(HWND window) {
    return ReadRecord(window, FALSE, [](const Window& w) { return w.iconic ? TRUE : FALSE; });
}

extern "C" BOOL EnableWindow(HWND window, BOOL enable) {
    std::lock_guard<std::mutex> lock(S().m);
    WindowPtr w = FindLocked(window);
    if (!w) return FALSE;
    const BOOL wasDisabled = w->enabled ? FALSE : TRUE;
    w->enabled = enable != FALSE;
    return wasDisabled;
}

extern "C" BOOL IsWindowEnabled(HWND window) {
    return ReadRecord(window, FALSE, [](const Window& w) { return w.enabled ? TRUE : FALSE; });
}

extern "C" BOOL GetClientRect(HWND window, LPRECT rect) {
    std::lock_guard<std::mutex> lock(S().m);
    WindowPtr w = FindLocked(window);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // "MS Shell Dlg" 8 pt at 96 dpi: 6 x 13 pixels per 4 x 8 dialog units.
    rect->left = 0;
    rect->top = 0;
    rect->right = w->cx * 6 / 4;
    rect->bottom = w->cy * 13 / 8;
    return TRUE;
}

