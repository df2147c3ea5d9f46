// Runs a modal sign-in on a thread of its own while the test watches it through the observer. Should
// the test fail with the dialog still open, the runner aborts it, so no test hangs on it.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "platform/posix/observer.h"

namespace listen_test {

class ModalRun {
public:
    explicit ModalRun(std::function<INT_PTR()> run) {
        std::packaged_task<INT_PTR()> task(std::move(run));
        m_result = task.get_future();
        m_thread = std::thread(std::move(task));
    }
    ~ModalRun() {
        while (!m_taken && m_result.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready) {
            // Abort whatever dialog is open and answer any box.
            for (unsigned serial = QpObserverRecordCount(); serial > 0; --serial) {
                const QpUiRecord record = qp::observer::Record(serial);
                if (record.open) QpObserverPress(serial, record.kind == QP_UI_DIALOG ? IDCANCEL : IDOK);
            }
        }
        m_thread.join();
    }
    ModalRun(const ModalRun&) = delete;
    ModalRun& operator=(const ModalRun&) = delete;

    bool Done(std::chrono::milliseconds limit) {
        return m_result.wait_for(limit) == std::future_status::ready;
    }
    // Waits for the end; -2 when it has not ended within the limit.
    INT_PTR Result(std::chrono::milliseconds limit = std::chrono::milliseconds(20000)) {
        if (!Done(limit)) return -2;
        if (!m_taken) {
            m_value = m_result.get();
            m_taken = true;
        }
        return m_value;
    }

private:
    std::future<INT_PTR> m_result;
    std::thread m_thread;
    INT_PTR m_value = 0;
    bool m_taken = false;
};

}  // namespace listen_test
