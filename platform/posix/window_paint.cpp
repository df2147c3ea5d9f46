// Painting, icons, cursors and metrics without a screen: calls succeed, nothing is drawn.
#include <atomic>
#include <mutex>

#include "window.h"
#include "window_internal.h"

namespace {
// Tokens stand for device contexts and images; they are never dereferenced.
char g_paintDc;
char g_icons[4];
char g_cursors[4];
std::atomic<HCURSOR> g_cursor{nullptr};

template <size_t N>
void* TokenFor(char (&pool)[N], LPCSTR name) {
    return &pool[reinterpret_cast<uintptr_t>(name) % N];
}
}  // namespace

extern "C" HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    if (!paint) return nullptr;
    *paint = PAINTSTRUCT{};
    if (!GetClientRect(window, &paint->rcPaint)) return nullptr;
    {
        std::lock_guard<std::mutex> lock(qp::ui::S().m);
        if (auto w = qp::ui::FindLocked(window)) w->needsPaint = false;
    }
    paint->hdc = reinterpret_cast<HDC>(&g_paintDc);
    return paint->hdc;
}

extern "C" BOOL EndPaint(HWND, const PAINTSTRUCT* paint) { return paint ? TRUE : FALSE; }

extern "C" BOOL DrawIcon(HDC dc, int, int, HICON icon) { return dc && icon ? TRUE : FALSE; }

extern "C" HICON LoadIconA(HINSTANCE, LPCSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HICON>(TokenFor(g_icons, name));
}

extern "C" HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HCURSOR>(TokenFor(g_cursors, name));
}

extern "C" HCURSOR SetCursor(HCURSOR cursor) { return g_cursor.exchange(cursor); }

extern "C" int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN: return 1024;
    case SM_CYSCREEN: return 768;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    default: return 0;
    }
}

extern "C" BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
    return controls && controls->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}
