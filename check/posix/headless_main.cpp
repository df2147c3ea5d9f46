// The check program on a platform without a screen: one Start run, played by a user who presses
// Start and then Close, with each line of the result list written to standard output.
//
// Message boxes are answered at once with their default button (the platform prints them on
// standard error). A sign-in that nobody completes in the browser is aborted after
// QUARNELS_CHECK_SIGNIN_SECONDS seconds (default 60), as a user would press Abort.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "framework/afxapp.h"
#include "platform/posix/observer.h"
#include "resources/resource.h"

namespace {

DWORD SignInPatienceSeconds() {
    // The wait is given in milliseconds, below INFINITE.
    const long longest = long((INFINITE - 1) / 1000);
    const char* text = std::getenv("QUARNELS_CHECK_SIGNIN_SECONDS");
    const long seconds = text && *text ? std::strtol(text, nullptr, 10) : 60;
    return DWORD(seconds < 0 ? 0 : seconds > longest ? longest : seconds);
}

// Whether the sign-in dialog still waits once its start is over: a sign-in whose browser could not
// be started ends during its start, and nobody is waited for then.
bool SignInIsWaiting(unsigned signIn) {
    QpObserverFlush(signIn, 5000);
    return !QpObserverWaitEnded(signIn, 0);
}

class HeadlessUser {
public:
    HeadlessUser() : m_thread([this] { Run(); }) {}
    ~HeadlessUser() {
        m_done = true;
        m_thread.join();
    }
    unsigned Window() const { return m_window; }

private:
    void Run() {
        const unsigned window = qp::observer::WaitTemplate(IDD_QUARNELCHECK_DIALOG, 30000);
        if (!window) return;
        m_window = window;
        QpObserverPress(window, IDC_START);
        // Close is handled after the Start run, which runs on the window's thread.
        QpObserverPress(window, IDOK);

        const DWORD patience = SignInPatienceSeconds();
        bool told = false;
        unsigned after = window;
        while (!m_done && !QpObserverWaitEnded(window, 0)) {
            const unsigned signIn = qp::observer::WaitDialog("Authentication", 100, after);
            if (!signIn) continue;
            after = signIn;
            // Without a screen nothing else shows that the program now waits for the person at the
            // browser, and for how long.
            if (!told && patience > 0 && SignInIsWaiting(signIn)) {
                std::fprintf(stderr,
                             "QuarnelCheck: waiting up to %lu s for the sign-in in the browser "
                             "(QUARNELS_CHECK_SIGNIN_SECONDS sets how long); Ctrl+C ends the program.\n",
                             static_cast<unsigned long>(patience));
                std::fflush(stderr);
                told = true;
            }
            if (!QpObserverWaitEnded(signIn, patience * 1000u)) QpObserverPress(signIn, IDCANCEL);
        }
    }

    std::atomic<unsigned> m_window{0};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

}  // namespace

int main() {
    QpObserverAttach();
    QpObserverSetBoxAnswer(QP_BOX_DEFAULT);
    int exitCode;
    unsigned window;
    {
        HeadlessUser user;
        exitCode = AfxWinMain();
        window = user.Window();
    }
    if (!window) {
        std::fprintf(stderr, "QuarnelCheck: the window did not open\n");
        exitCode = 1;
    } else {
        for (const std::string& line : qp::observer::ListLines(window, IDC_LIST_RESULT)) std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    QpObserverDetach();
    return exitCode;
}
