// The test observer over the window records.
#include "observer.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "window_internal.h"

namespace qp::ui {
namespace {

Record* RecordLocked(unsigned serial) {
    auto& records = S().records;
    if (serial == 0 || serial > records.size()) return nullptr;
    return &records[serial - 1];
}

// Still-open dialog of a record, or null.
WindowPtr LiveWindowLocked(unsigned serial) {
    Record* r = RecordLocked(serial);
    if (!r || !r->window || !r->window->alive || !r->window->owner->alive) return nullptr;
    return r->window;
}

std::string CaptionLocked(const Record& r) { return r.window ? r.window->text : r.caption; }

const Window* ControlLocked(unsigned serial, int controlId) {
    Record* r = RecordLocked(serial);
    if (!r || !r->window) return nullptr;
    for (const auto& child : r->window->children)
        if (child->id == controlId) return child.get();
    return nullptr;
}

int CopyOut(const std::string& text, LPSTR buffer, int size) {
    if (buffer && size > 0) {
        const size_t copied = std::min(text.size(), size_t(size - 1));
        std::memcpy(buffer, text.data(), copied);
        buffer[copied] = 0;
    }
    return int(text.size());
}

template <class Predicate>
bool WaitFor(std::unique_lock<std::mutex>& lock, DWORD timeoutMs, Predicate done) {
    if (timeoutMs == INFINITE) {
        S().observerCv.wait(lock, done);
        return true;
    }
    return S().observerCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
}

BOOL PostToRecord(unsigned serial, UINT message, WPARAM wParam, LPARAM lParam, int controlId = 0) {
    std::lock_guard<std::mutex> lock(S().m);
    WindowPtr w = LiveWindowLocked(serial);
    if (!w) return FALSE;
    if (controlId) {
        for (const auto& child : w->children)
            if (child->id == controlId) lParam = reinterpret_cast<LPARAM>(child->handle);
    }
    PostLocked(*w->owner, w->handle, message, wParam, lParam);
    return TRUE;
}

}  // namespace

void ObserverOpenedLocked(Window& window) {
    State& s = S();
    if (!s.attached) return;
    Record r;
    r.serial = unsigned(s.records.size() + 1);
    r.kind = window.kind == Kind::MessageBox ? QP_UI_MESSAGEBOX : QP_UI_DIALOG;
    r.window = FindLocked(window.handle);
    r.hwnd = window.handle;
    r.templateId = window.templateId;
    r.caption = window.text;
    for (const auto& child : window.children)
        if (window.kind == Kind::MessageBox && child->control == ControlType::Static) r.text = child->text;
    r.type = window.boxType;
    r.open = true;
    r.thread = window.owner->tag;
    window.serial = r.serial;
    s.records.push_back(std::move(r));
    s.observerCv.notify_all();
}

void ObserverClosedLocked(Window& window) {
    State& s = S();
    Record* r = RecordLocked(window.serial);
    // The serial may belong to an earlier attach whose history is gone.
    if (!r || r->window.get() != &window) return;
    r->open = false;
    r->ended = true;
    r->result = window.result;
    s.observerCv.notify_all();
}

void ObserverBoxAnsweredLocked(const std::string& caption, const std::string& text, UINT type, int answer) {
    State& s = S();
    if (!s.attached) return;
    Record r;
    r.serial = unsigned(s.records.size() + 1);
    r.kind = QP_UI_MESSAGEBOX;
    r.caption = caption;
    r.text = text;
    r.type = type;
    r.ended = true;
    r.result = answer;
    r.thread = CurrentQueue()->tag;
    s.records.push_back(std::move(r));
    s.observerCv.notify_all();
}

void ObserverFlushedLocked(LPARAM token) {
    S().flushesDone.insert(static_cast<unsigned long long>(token));
    S().observerCv.notify_all();
}

bool ObserverWantsBoxWindowLocked() { return S().attached && S().boxAnswer == QP_BOX_WAIT; }

int ObserverBoxAnswerLocked() { return S().boxAnswer; }

}  // namespace qp::ui

using namespace qp::ui;

extern "C" void QpObserverAttach(void) {
    std::lock_guard<std::mutex> lock(S().m);
    S().attached = true;
    S().boxAnswer = QP_BOX_WAIT;
    S().records.clear();
    S().observerCv.notify_all();
}

extern "C" void QpObserverDetach(void) {
    std::lock_guard<std::mutex> lock(S().m);
    State& s = S();
    s.attached = false;
    // Nothing may stay waiting for a press that will never come.
    for (const Record& r : s.records) {
        if (r.kind != QP_UI_MESSAGEBOX || !r.open || !r.window || !r.window->alive) continue;
        PostLocked(*r.window->owner, r.window->handle, WM_COMMAND, MAKEWPARAM(r.window->boxDefault, BN_CLICKED), 0);
    }
    s.observerCv.notify_all();
}

extern "C" void QpObserverSetBoxAnswer(int answer) {
    std::lock_guard<std::mutex> lock(S().m);
    S().boxAnswer = answer;
}

extern "C" unsigned long long QpObserverThreadTag(void) { return CurrentQueue()->tag; }

extern "C" unsigned QpObserverWait(const QpUiQuery* query, DWORD timeoutMs) {
    const QpUiQuery any{QP_UI_ANY, nullptr, 0, 0, FALSE};
    const QpUiQuery& q = query ? *query : any;
    unsigned found = 0;
    std::unique_lock<std::mutex> lock(S().m);
    WaitFor(lock, timeoutMs, [&] {
        const auto& records = S().records;
        for (size_t i = q.after; i < records.size(); ++i) {
            const Record& r = records[i];
            if (q.kind != QP_UI_ANY && r.kind != q.kind) continue;
            if (q.templateId && r.templateId != q.templateId) continue;
            if (q.openOnly && !r.open) continue;
            if (q.caption && CaptionLocked(r) != q.caption) continue;
            found = r.serial;
            return true;
        }
        return false;
    });
    return found;
}

extern "C" BOOL QpObserverWaitEnded(unsigned serial, DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(S().m);
    if (!RecordLocked(serial)) return FALSE;
    // A new attach may clear the history meanwhile; that ends the wait too.
    WaitFor(lock, timeoutMs, [&] {
        const Record* r = RecordLocked(serial);
        return !r || r->ended;
    });
    const Record* r = RecordLocked(serial);
    return r && r->ended ? TRUE : FALSE;
}

extern "C" unsigned QpObserverRecordCount(void) {
    std::lock_guard<std::mutex> lock(S().m);
    return unsigned(S().records.size());
}

extern "C" BOOL QpObserverGetRecord(unsigned serial, QpUiRecord* record) {
    std::lock_guard<std::mutex> lock(S().m);
    Record* r = RecordLocked(serial);
    if (!r || !record) return FALSE;
    record->serial = r->serial;
    record->kind = r->kind;
    record->window = r->hwnd;
    record->templateId = r->templateId;
    record->type = r->type;
    record->open = r->open ? TRUE : FALSE;
    record->ended = r->ended ? TRUE : FALSE;
    record->result = r->result;
    record->thread = r->thread;
    return TRUE;
}

extern "C" int QpObserverGetCaption(unsigned serial, LPSTR buffer, int size) {
    std::lock_guard<std::mutex> lock(S().m);
    Record* r = RecordLocked(serial);
    return r ? CopyOut(CaptionLocked(*r), buffer, size) : -1;
}

extern "C" int QpObserverGetBoxText(unsigned serial, LPSTR buffer, int size) {
    std::lock_guard<std::mutex> lock(S().m);
    Record* r = RecordLocked(serial);
    return r && r->kind == QP_UI_MESSAGEBOX ? CopyOut(r->text, buffer, size) : -1;
}

extern "C" int QpObserverGetControlText(unsigned serial, int controlId, LPSTR buffer, int size) {
    std::lock_guard<std::mutex> lock(S().m);
    const Window* control = ControlLocked(serial, controlId);
    return control ? CopyOut(control->text, buffer, size) : -1;
}

extern "C" int QpObserverGetListCount(unsigned serial, int controlId) {
    std::lock_guard<std::mutex> lock(S().m);
    const Window* control = ControlLocked(serial, controlId);
    return control && control->control == ControlType::ListBox ? int(control->items.size()) : -1;
}

extern "C" int QpObserverGetListText(unsigned serial, int controlId, int index, LPSTR buffer, int size) {
    std::lock_guard<std::mutex> lock(S().m);
    const Window* control = ControlLocked(serial, controlId);
    if (!control || index < 0 || size_t(index) >= control->items.size()) return -1;
    return CopyOut(control->items[size_t(index)], buffer, size);
}

extern "C" BOOL QpObserverPress(unsigned serial, int buttonId) {
    return PostToRecord(serial, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0, buttonId);
}

extern "C" BOOL QpObserverKey(unsigned serial, UINT virtualKey) { return PostToRecord(serial, WM_KEYDOWN, virtualKey, 1); }

extern "C" BOOL QpObserverCloseBox(unsigned serial) { return PostToRecord(serial, WM_SYSCOMMAND, SC_CLOSE, 0); }

extern "C" BOOL QpObserverPost(unsigned serial, UINT message, WPARAM wParam, LPARAM lParam) {
    return PostToRecord(serial, message, wParam, lParam);
}

extern "C" BOOL QpObserverFlush(unsigned serial, DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(S().m);
    WindowPtr w = LiveWindowLocked(serial);
    if (!w) return FALSE;
    const unsigned long long token = S().nextFlush++;
    PostLocked(*w->owner, w->handle, WM_NULL, kFlushMarker, LPARAM(token));
    const bool done = WaitFor(lock, timeoutMs, [&] { return S().flushesDone.count(token) != 0; });
    S().flushesDone.erase(token);
    return done ? TRUE : FALSE;
}
