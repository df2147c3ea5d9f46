// The person at a test's dialogs, on a thread of its own while the test's thread runs their modal
// loop. A fatal assertion there would end only this thread and leave the dialog open until the
// test's time limit, so the person's steps return what went wrong instead; after a failure every
// dialog that is open, or opens, is ended until the test's thread is back from its modal calls and
// reports the failure. Needs an attached observer.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "platform/posix/observer.h"
#include "platform/win32api.h"

class ModalPerson {
public:
    // `steps` returns an empty text when they went through, else what went wrong.
    explicit ModalPerson(std::function<std::string()> steps)
        : steps_(std::move(steps)), thread_([this] { Run(); }) {}
    ~ModalPerson() { Back(); }
    ModalPerson(const ModalPerson&) = delete;
    ModalPerson& operator=(const ModalPerson&) = delete;

    // Called by the test's thread once its modal calls have returned: what went wrong, or "".
    std::string Back() {
        back_ = true;
        if (thread_.joinable()) thread_.join();
        return failure_;
    }

private:
    void Run() {
        failure_ = steps_();
        if (failure_.empty()) return;
        QpObserverSetBoxAnswer(QP_BOX_DEFAULT);
        while (!back_) {
            for (unsigned serial = 1; serial <= QpObserverRecordCount(); ++serial) {
                const QpUiRecord record = qp::observer::Record(serial);
                if (record.open && record.window) EndDialog(record.window, -1);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::function<std::string()> steps_;
    std::string failure_;
    std::atomic<bool> back_{false};
    std::thread thread_;  // last: it starts once the rest is made
};
