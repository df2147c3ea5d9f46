// What the sign-on tests share: a private home folder (where the ini file lives), client objects
// aimed at the fakes, calls run on a thread of their own, and the message boxes that were shown.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "library/sso/oauth2.h"
#include "platform/posix/observer.h"
#include "tests/fakes/fake_services.h"

namespace ssotest {

// Points HOME at a fresh folder before any test runs, so that the ini file is the test's own, and
// gives the browser a command that opens nothing.
class HomeEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
    static const std::string& Home();
    // Where the platform keeps "<profile>\AppData\Local\Quarnels.ini".
    static std::string IniFile();
};

void WriteStoredRefreshToken(const char* token);

// A client whose endpoints are the fakes (a null fake leaves those endpoints as built); AimAtFakes
// does that to a client made elsewhere.
std::unique_ptr<OAuth2> MakeClient(fakes::FakeSignOn* signOn, fakes::FakeWebApi* webApi);
void AimAtFakes(OAuth2& client, fakes::FakeSignOn* signOn, fakes::FakeWebApi* webApi);

std::string Str(const CString& text);

// A loopback port on which nothing listens.
int DeadPort();

// What a browser does at the end of a sign-in: one GET of `target` on 127.0.0.1:`port`. Returns the
// whole answer, empty when none came within 10 s.
std::string VisitLoopback(int port, const std::string& target);

struct Box {
    std::string caption;
    std::string text;
    UINT type;
};
// The message boxes recorded since the observer was attached, in order.
std::vector<Box> Boxes();

// Runs a call on a thread of its own, as a worker or listener thread would. Should the test end
// with the call still running, the destructor presses Cancel on open dialogs and OK on open boxes
// until it returns, so that no test hangs and no thread outlives the objects it uses.
template <typename Result>
class Worker {
public:
    explicit Worker(std::function<Result()> call) {
        std::packaged_task<Result()> task(std::move(call));
        m_result = task.get_future();
        m_thread = std::thread(std::move(task));
    }
    ~Worker() {
        while (m_result.valid() && m_result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
            for (unsigned serial = QpObserverRecordCount(); serial > 0; --serial) {
                const QpUiRecord record = qp::observer::Record(serial);
                if (record.open) QpObserverPress(serial, record.kind == QP_UI_DIALOG ? IDCANCEL : IDOK);
            }
        }
        m_thread.join();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    bool Done(std::chrono::milliseconds limit = std::chrono::milliseconds(0)) const {
        return m_result.wait_for(limit) == std::future_status::ready;
    }
    // Waits up to 20 s for the result; a call still running then is a failure and gives Result().
    Result Get() {
        if (!Done(std::chrono::seconds(20))) {
            ADD_FAILURE() << "the call did not return";
            return Result();
        }
        return m_result.get();
    }

private:
    std::future<Result> m_result;
    std::thread m_thread;
};

}  // namespace ssotest
