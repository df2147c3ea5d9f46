// Plays a user who never signs in: every sign-in dialog that opens is aborted, and message boxes
// are answered at once with their default button.
#pragma once

#include <atomic>

#include "platform/posix/observer.h"
#include "platform/win32api.h"
#include "tests/support/sign_in_watch.h"

class SignInAborter {
public:
    SignInAborter() : observer_(QP_BOX_DEFAULT), watch_([this](unsigned dialog) {
        if (QpObserverPress(dialog, IDCANCEL)) ++aborted_;
    }) {}
    SignInAborter(const SignInAborter&) = delete;
    SignInAborter& operator=(const SignInAborter&) = delete;

    int Aborted() const { return aborted_; }

private:
    qp::observer::ScopedObserver observer_;
    std::atomic<int> aborted_{0};
    SignInWatch watch_;
};
