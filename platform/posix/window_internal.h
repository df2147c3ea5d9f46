// Internal to the platform library: the window records, the per-thread message queues and the
// observer's history. One mutex guards all of it; procedures are always called without it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "window.h"

namespace qp::ui {

struct ThreadQueue;
struct Window;
using WindowPtr = std::shared_ptr<Window>;
using QueuePtr = std::shared_ptr<ThreadQueue>;

enum class Kind { Dialog, MessageBox, Control };
enum class ControlType { Static, Button, ListBox, Edit, Other };

struct Window {
    HWND handle = nullptr;
    Kind kind = Kind::Dialog;
    ControlType control = ControlType::Other;
    QueuePtr owner;
    HWND parent = nullptr;
    std::string className;
    std::string text;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short cx = 0, cy = 0;  // dialog units
    int templateId = 0;

    DLGPROC dlgProc = nullptr;
    LONG_PTR msgResult = 0;
    LONG_PTR user = 0;
    LONG_PTR userData = 0;
    int defId = 0;  // set by DM_SETDEFID; 0 = the BS_DEFPUSHBUTTON control
    HICON icons[2] = {nullptr, nullptr};

    std::vector<WindowPtr> children;
    std::vector<std::string> items;  // list box lines

    bool alive = true;
    bool destroying = false;
    bool opened = false;  // WM_INITDIALOG done: from now on changes are echoed
    bool visible = false;
    bool iconic = false;
    bool enabled = true;
    bool needsPaint = false;
    bool ended = false;
    INT_PTR result = 0;

    UINT boxType = 0;
    std::vector<int> boxButtons;
    int boxDefault = IDOK;

    unsigned serial = 0;  // the observer's record, 0 when none
};

// A SendMessageA from another thread, waiting for the owner to run it.
struct SentCall {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    QueuePtr sender;
};

struct ThreadQueue {
    unsigned long long tag = 0;
    bool alive = true;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentCall>> sent;
    std::condition_variable cv;
    bool quit = false;
    int quitCode = 0;
    // Set by EndDialog when the loop may be waiting: the next fetch returns WM_NULL at once so the
    // modal loop looks at its dialog again. Cleared when a modal loop ends.
    bool wake = false;
    int fetching = 0;
};

// What the observer keeps of a dialog or box that opened while it was attached.
struct Record {
    unsigned serial = 0;
    int kind = 0;  // QP_UI_DIALOG or QP_UI_MESSAGEBOX
    WindowPtr window;  // null for a box answered at once
    HWND hwnd = nullptr;
    int templateId = 0;
    std::string caption;
    std::string text;
    UINT type = 0;
    bool open = false;
    bool ended = false;
    INT_PTR result = 0;
    unsigned long long thread = 0;
};

// The marker that QpObserverFlush posts: WM_NULL with this wParam and a token as lParam. The loop
// that takes it out of the queue marks the token done and never hands the marker to the program.
constexpr WPARAM kFlushMarker = 0x51504655;  // "QPFU"

struct State {
    std::mutex m;
    std::unordered_map<HWND, WindowPtr> windows;
    uintptr_t nextHandle = 0x10010;

    // Observer.
    bool attached = false;
    int boxAnswer = 0;
    std::vector<Record> records;
    std::condition_variable observerCv;
    unsigned long long nextFlush = 1;
    std::set<unsigned long long> flushesDone;
};

State& S();
QueuePtr CurrentQueue();

// With S().m held.
WindowPtr FindLocked(HWND handle);
void PostLocked(ThreadQueue& queue, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
std::string LabelLocked(const Window& dialog);
void Echo(const std::string& text);
void SetTextLocked(Window& window, const std::string& text);
// Marks the window and its controls gone and tells the observer; no procedure is called.
void ForgetLocked(const WindowPtr& window);

// Without S().m held.
LRESULT CallWindow(const WindowPtr& window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ControlProc(const WindowPtr& window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DialogWndProc(const WindowPtr& window, UINT message, WPARAM wParam, LPARAM lParam);

// Observer hooks, with S().m held.
void ObserverOpenedLocked(Window& window);
void ObserverClosedLocked(Window& window);
void ObserverBoxAnsweredLocked(const std::string& caption, const std::string& text, UINT type, int answer);
void ObserverFlushedLocked(LPARAM token);
bool ObserverWantsBoxWindowLocked();
int ObserverBoxAnswerLocked();

}  // namespace qp::ui
