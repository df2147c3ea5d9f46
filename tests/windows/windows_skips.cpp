// Cases of the shared test sources that check what only the Linux platform layer does, or that ask
// more of the clock than Windows gives. Each is skipped here with its reason, before its body runs.
#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Skip {
    const char* test;  // "Suite.Name"
    const char* reason;
};

const Skip kSkips[] = {
    {"Thread.ClosingTheHandleLeavesTheThreadRunning",
     "DuplicateHandle with no access asked for and without DUPLICATE_SAME_ACCESS gives a handle that cannot be "
     "waited on under Windows; the Linux layer ignores the access mask"},
    {"Time.SleepAndTickCountAgree",
     "GetTickCount advances in steps of the system timer on Windows, so a 60 ms Sleep may count as less than 55 ms"},
    {"JsonDocument.FailedParseEmptiesTheHolderAndReportsTheRest",
     "OutputDebugStringA writes to the debugger on Windows, not to standard error, where the case looks for it"},
};

class WindowsSkips : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& info) override {
        const std::string name = std::string(info.test_suite_name()) + "." + info.name();
        for (const Skip& skip : kSkips)
            if (name == skip.test) GTEST_SKIP() << "not on Windows: " << skip.reason;
    }
};

// Registered before main runs the tests.
const bool kRegistered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new WindowsSkips);
    return true;
}();

}  // namespace
