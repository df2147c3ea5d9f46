// The check program run as a process, the way a user starts it, against the fake sign-on service
// and the fake browser.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fakes/fake_services.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace {

struct RunResult {
    int exitCode = -1;
    std::vector<std::string> lines;  // standard output, line by line
    std::string errors;              // standard error
};

// Runs the program with the given environment changes, standard output and standard error into
// files.
RunResult RunProgram(const std::string& program, const std::map<std::string, std::string>& settings,
                     const std::string& outputFile) {
    const std::string errorFile = outputFile + ".stderr";
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (!settings.count(name)) environment.push_back(text);
    }
    for (const auto& setting : settings) environment.push_back(setting.first + "=" + setting.second);
    std::vector<char*> envp;
    for (std::string& text : environment) envp.push_back(&text[0]);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::string path = program;
    char* argv[] = {&path[0], nullptr};
    pid_t child = 0;
    RunResult result;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return result;
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream output(testsupport::ReadFileText(outputFile));
    for (std::string line; std::getline(output, line);) result.lines.push_back(line);
    result.errors = testsupport::ReadFileText(errorFile);
    return result;
}

class CheckProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(home_.empty()); }

    std::map<std::string, std::string> Settings(const std::string& browser) const {
        return {{"HOME", home_},
                {"XDG_DATA_HOME", ""},
                {"BROWSER", browser},
                {"QUARNELS_SSO_URL", signOn_.BaseUrl()},
                {"QUARNELS_ESI_URL", "http://127.0.0.1:9/"},
                {"QUARNELS_CHECK_SIGNIN_SECONDS", "20"}};
    }

    RunResult Run(const std::string& program, const std::string& browser) {
        return RunProgram(program, Settings(browser), home_ + "/stdout.txt");
    }

    std::string Ini() const { return testsupport::ReadFileText(home_ + "/.local/share/Quarnels.ini"); }

    const testsupport::TempFolder homeFolder_{"quarnels-check"};
    const std::string home_ = homeFolder_.Path();
    fakes::FakeSignOn signOn_;
};

const std::vector<std::string> kSignedIn = {"Load Quarnels64.dll ... OK", "Version ... 1,0,0,7",
                                            "GetUser ... Fake Pilot"};

TEST_F(CheckProgram, ACompleteRunListsTheThreeLinesAndStoresTheNewRefreshToken) {
    const RunResult run = Run(QUARNELS_CHECK_PROGRAM, QUARNELS_FAKE_BROWSER);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines, kSignedIn);
    EXPECT_NE(Ini().find("RefreshKey=fake-refresh-2"), std::string::npos) << Ini();
}

TEST_F(CheckProgram, EveryRunClearsTheStoredTokenAndSignsInAnew) {
    ASSERT_EQ(Run(QUARNELS_CHECK_PROGRAM, QUARNELS_FAKE_BROWSER).lines, kSignedIn);
    const RunResult second = Run(QUARNELS_CHECK_PROGRAM, QUARNELS_FAKE_BROWSER);
    EXPECT_EQ(second.lines, kSignedIn);
    // Two browser sign-ins and no refresh: the stored token was cleared before each load.
    int codeExchanges = 0, refreshes = 0;
    for (const fakes::HttpRequest& request : signOn_.RequestsTo("/v2/oauth/token")) {
        const auto query = fakes::FormOf(request.body);
        const auto grant = query.find("grant_type");
        if (grant == query.end()) continue;
        codeExchanges += grant->second == "authorization_code";
        refreshes += grant->second == "refresh_token";
    }
    EXPECT_EQ(codeExchanges, 2);
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(signOn_.RequestsTo("/v2/oauth/authorize").size(), 2u);
}

TEST_F(CheckProgram, WithoutTheLibraryOnlyTheLoadLineIsListedAndTheKeyIsClearedAllTheSame) {
    // The program and the platform library alone, in a folder of their own.
    const testsupport::TempFolder programFolder("quarnels-check");
    const std::string folder = programFolder.Path();
    ASSERT_FALSE(folder.empty());
    for (const std::string& file : {std::string(QUARNELS_CHECK_PROGRAM), std::string(QUARNELS_PLATFORM_LIBRARY)}) {
        const std::string name = file.substr(file.rfind('/') + 1);
        std::ofstream(folder + "/" + name, std::ios::binary) << testsupport::ReadFileText(file);
        chmod((folder + "/" + name).c_str(), 0755);
    }
    mkdir((home_ + "/.local").c_str(), 0700);
    mkdir((home_ + "/.local/share").c_str(), 0700);
    std::ofstream(home_ + "/.local/share/Quarnels.ini") << "[Quarnel]\r\nRefreshKey=old-token\r\n";

    const RunResult run = Run(folder + "/QuarnelCheck", QUARNELS_FAKE_BROWSER);
    EXPECT_EQ(run.lines, std::vector<std::string>{"Load Quarnels64.dll ... Failed"});
    EXPECT_EQ(Ini().find("old-token"), std::string::npos) << Ini();
    EXPECT_NE(Ini().find("RefreshKey="), std::string::npos) << Ini();
    EXPECT_EQ(signOn_.RequestCount(), 0u);
}

TEST_F(CheckProgram, ASignInThatNobodyCompletesSaysHowLongItWaitsAndEndsWithNotAuthenticated) {
    // A browser that opens nothing: the sign-in waits for the user, who gives up.
    auto settings = Settings("true");
    settings["QUARNELS_CHECK_SIGNIN_SECONDS"] = "1";
    const RunResult run = RunProgram(QUARNELS_CHECK_PROGRAM, settings, home_ + "/stdout.txt");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"Load Quarnels64.dll ... OK", "Version ... 1,0,0,7",
                                                   "GetUser ... Not Authenticated"}));
    EXPECT_EQ(signOn_.RequestsTo("/v2/oauth/token").size(), 0u);
    // Nothing else tells the person at the terminal that the program waits for them.
    const std::string notice = "QuarnelCheck: waiting up to 1 s for the sign-in in the browser";
    const size_t first = run.errors.find(notice);
    EXPECT_NE(first, std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find(notice, first + 1), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("Ctrl+C"), std::string::npos) << run.errors;
}

}  // namespace
