// Cases of the shared test sources that check what only the Linux platform layer does. Each is
// skipped here with its reason, before its body runs.
#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Skip {
    const char* test;  // "Suite.Name"
    const char* reason;
};

const Skip kSkips[] = {
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
