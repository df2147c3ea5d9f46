// The driver of the headless window layer: watches the dialogs and message boxes of every thread
// and works them as a user would. The headless check program plays its user through it, and the
// tests watch and answer dialogs with it.
//
// While an observer is attached, every dialog and message box that opens gets a record (numbered
// from 1 in the order they open; the numbers start again at each attach) that stays after it has
// closed, so the caller can check what was shown and how it ended. The caller waits for a dialog by
// caption or template id, reads its control texts and list lines, and presses buttons or keys: each
// press is posted to the dialog's own thread, which handles it in its message loop as it would a
// user's.
//
// Message boxes wait for a press while an observer is attached, unless QpObserverSetBoxAnswer says
// to answer them at once. Detaching answers every waiting box with its default button.
//
// All functions are thread-safe. Waits use condition variables and end at the timeout
// (milliseconds, INFINITE allowed).
#pragma once

#include "wintypes.h"
#include "window.h"

#define QP_UI_ANY 0
#define QP_UI_DIALOG 1
#define QP_UI_MESSAGEBOX 2

// QpObserverSetBoxAnswer: boxes wait for a press (the default), or answer at once with their
// default button; any other value is the button id to answer with (the default button when the box
// has no such button).
#define QP_BOX_WAIT 0
#define QP_BOX_DEFAULT (-1)

typedef struct QpUiQuery {
    int kind;              // QP_UI_ANY, QP_UI_DIALOG or QP_UI_MESSAGEBOX
    const char* caption;   // exact caption, or null for any
    int templateId;        // dialog template id, or 0 for any
    unsigned after;        // only records numbered above this
    BOOL openOnly;         // only dialogs open right now (otherwise closed ones count too)
} QpUiQuery;

typedef struct QpUiRecord {
    unsigned serial;
    int kind;                   // QP_UI_DIALOG or QP_UI_MESSAGEBOX
    HWND window;                // null for a box that was answered at once
    int templateId;             // 0 for boxes and templates without an id
    UINT type;                  // a box's MB_* flags
    BOOL open;
    BOOL ended;                 // closed (its window is gone, or the box was answered)
    INT_PTR result;             // EndDialog result or the box's answer, once ended
    unsigned long long thread;  // QpObserverThreadTag() of the thread that ran it
} QpUiRecord;

QP_BEGIN_C
// Starts watching with an empty history and boxes waiting for a press.
QP_API void QpObserverAttach(void);
QP_API void QpObserverDetach(void);
QP_API void QpObserverSetBoxAnswer(int answer);
// A number for the calling thread, unique in the process.
QP_API unsigned long long QpObserverThreadTag(void);

// The first record that matches and was made (or, with openOnly, is open) before the timeout; 0 when
// none.
QP_API unsigned QpObserverWait(const QpUiQuery* query, DWORD timeoutMs);
// TRUE once the record has ended.
QP_API BOOL QpObserverWaitEnded(unsigned serial, DWORD timeoutMs);
QP_API unsigned QpObserverRecordCount(void);
QP_API BOOL QpObserverGetRecord(unsigned serial, QpUiRecord* record);

// Texts, copied like snprintf: the result is the full length, -1 when there is no such record or
// control. Control texts and list lines can be read also after the dialog has closed (as they were
// last).
QP_API int QpObserverGetCaption(unsigned serial, LPSTR buffer, int size);
QP_API int QpObserverGetBoxText(unsigned serial, LPSTR buffer, int size);
QP_API int QpObserverGetControlText(unsigned serial, int controlId, LPSTR buffer, int size);
QP_API int QpObserverGetListCount(unsigned serial, int controlId);
QP_API int QpObserverGetListText(unsigned serial, int controlId, int index, LPSTR buffer, int size);

// Input, posted to the dialog's thread. FALSE when the dialog is no longer there.
// A button: WM_COMMAND with the id and BN_CLICKED (IDCANCEL is also what Esc and the close box send).
QP_API BOOL QpObserverPress(unsigned serial, int buttonId);
// A key going down (VK_RETURN, VK_ESCAPE, ...), as the dialog's message loop receives it.
QP_API BOOL QpObserverKey(unsigned serial, UINT virtualKey);
// The close box: WM_SYSCOMMAND SC_CLOSE.
QP_API BOOL QpObserverCloseBox(unsigned serial);
QP_API BOOL QpObserverPost(unsigned serial, UINT message, WPARAM wParam, LPARAM lParam);
// Waits until the dialog's thread has taken every message posted to it before this call out of its
// queue, so that what was posted has been handled (handlers that open a modal loop of their own are
// still inside it). TRUE also when the dialog closes meanwhile; FALSE on timeout or when the dialog
// was gone already.
QP_API BOOL QpObserverFlush(unsigned serial, DWORD timeoutMs);
QP_END_C

#ifdef __cplusplus
#  include <string>
#  include <vector>

namespace qp::observer {

inline std::string TextFrom(int (*reader)(unsigned, LPSTR, int), unsigned serial) {
    const int length = reader(serial, nullptr, 0);
    if (length <= 0) return std::string();
    std::string text(size_t(length) + 1, '\0');
    reader(serial, &text[0], length + 1);
    text.resize(size_t(length));
    return text;
}

inline std::string Caption(unsigned serial) { return TextFrom(QpObserverGetCaption, serial); }
inline std::string BoxText(unsigned serial) { return TextFrom(QpObserverGetBoxText, serial); }

inline std::string ControlText(unsigned serial, int controlId) {
    const int length = QpObserverGetControlText(serial, controlId, nullptr, 0);
    if (length <= 0) return std::string();
    std::string text(size_t(length) + 1, '\0');
    QpObserverGetControlText(serial, controlId, &text[0], length + 1);
    text.resize(size_t(length));
    return text;
}

inline std::vector<std::string> ListLines(unsigned serial, int controlId) {
    std::vector<std::string> lines;
    const int count = QpObserverGetListCount(serial, controlId);
    for (int i = 0; i < count; ++i) {
        const int length = QpObserverGetListText(serial, controlId, i, nullptr, 0);
        std::string line(size_t(length > 0 ? length : 0) + 1, '\0');
        QpObserverGetListText(serial, controlId, i, &line[0], int(line.size()));
        line.resize(size_t(length > 0 ? length : 0));
        lines.push_back(line);
    }
    return lines;
}

inline QpUiRecord Record(unsigned serial) {
    QpUiRecord record{};
    QpObserverGetRecord(serial, &record);
    return record;
}

// The next dialog with this caption (null: any) after record `after`: one that is open now, or with
// openOnly false also one that has opened and closed already.
inline unsigned WaitDialog(const char* caption, DWORD timeoutMs = 10000, unsigned after = 0, bool openOnly = true) {
    QpUiQuery query{QP_UI_DIALOG, caption, 0, after, openOnly ? TRUE : FALSE};
    return QpObserverWait(&query, timeoutMs);
}

inline unsigned WaitTemplate(int templateId, DWORD timeoutMs = 10000, unsigned after = 0, bool openOnly = true) {
    QpUiQuery query{QP_UI_DIALOG, nullptr, templateId, after, openOnly ? TRUE : FALSE};
    return QpObserverWait(&query, timeoutMs);
}

// The next message box after record `after`, open or already answered.
inline unsigned WaitBox(DWORD timeoutMs = 10000, unsigned after = 0) {
    QpUiQuery query{QP_UI_MESSAGEBOX, nullptr, 0, after, FALSE};
    return QpObserverWait(&query, timeoutMs);
}

// Attaches for the lifetime of the object.
class ScopedObserver {
public:
    explicit ScopedObserver(int boxAnswer = QP_BOX_WAIT) {
        QpObserverAttach();
        QpObserverSetBoxAnswer(boxAnswer);
    }
    ~ScopedObserver() { QpObserverDetach(); }
    ScopedObserver(const ScopedObserver&) = delete;
    ScopedObserver& operator=(const ScopedObserver&) = delete;
};

}  // namespace qp::observer
#endif
