// Acts, on a thread of its own, on every sign-in window that opens while it lives: the user who
// presses Abort, or the browser that comes back to the listener. Needs an attached observer.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "platform/posix/observer.h"

class SignInWatch {
public:
    // `action` gets the record of each "Authentication" dialog once, in the order they open.
    explicit SignInWatch(std::function<void(unsigned dialog)> action)
        : action_(std::move(action)), thread_([this] { Run(); }) {}
    ~SignInWatch() {
        stop_ = true;
        thread_.join();
    }
    SignInWatch(const SignInWatch&) = delete;
    SignInWatch& operator=(const SignInWatch&) = delete;

    // How many sign-in windows it has acted on.
    int Seen() const { return seen_; }

private:
    void Run() {
        unsigned after = 0;
        while (!stop_) {
            const unsigned dialog = qp::observer::WaitDialog("Authentication", 50, after);
            if (!dialog) continue;
            after = dialog;
            // Counted first: whatever waits for the window to end then sees it counted.
            ++seen_;
            action_(dialog);
        }
    }

    std::function<void(unsigned)> action_;
    std::atomic<bool> stop_{false};
    std::atomic<int> seen_{0};
    std::thread thread_;
};
