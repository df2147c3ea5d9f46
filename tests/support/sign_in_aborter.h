// Plays a user who never signs in: every sign-in dialog that opens is aborted, and message boxes
// are answered at once with their default button.
#pragma once

#include <atomic>
#include <thread>

#include "platform/win32api.h"
#include "platform/posix/observer.h"

class SignInAborter {
public:
    SignInAborter() : observer_(QP_BOX_DEFAULT), thread_([this] { Run(); }) {}
    ~SignInAborter() {
        stop_ = true;
        thread_.join();
    }
    SignInAborter(const SignInAborter&) = delete;
    SignInAborter& operator=(const SignInAborter&) = delete;

    int Aborted() const { return aborted_; }

private:
    void Run() {
        unsigned after = 0;
        while (!stop_) {
            const unsigned dialog = qp::observer::WaitDialog("Authentication", 50, after);
            if (!dialog) continue;
            after = dialog;
            if (QpObserverPress(dialog, IDCANCEL)) ++aborted_;
        }
    }

    qp::observer::ScopedObserver observer_;
    std::atomic<bool> stop_{false};
    std::atomic<int> aborted_{0};
    std::thread thread_;
};
