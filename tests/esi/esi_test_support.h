// What the download and query tests share: the global sign-on object aimed at a fake web API with a
// fresh token and a known character, empty caches with their first-load time stamps, and readers
// of the download dialogs the observer saw.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/observer.h"
#include "tests/fakes/fake_services.h"
#include "tests/sso_web/sso_test_support.h"

namespace esitest {

constexpr int kCharacter = 90000001;
constexpr int64_t kJita = 60003760;
constexpr int64_t kAmarr = 60008494;
constexpr int64_t kRens = 60004588;
constexpr int64_t kDodixie = 60011866;
constexpr int64_t kHek = 60005686;

// "/<version>/characters/90000001/<rest>" for a path written with "&user&".
std::string UserPath(const std::string& pathWithUser);

// Empties every cache and puts every time stamp back to where a fresh load has it; no download, no
// sign-in and not the web API is held.
void ResetCaches();

// Moves the start of every hold back by `seconds`, as if they had passed: the held downloads', the web
// API's and the sign-in's; LetHoldsPass by the length of a download's hold.
void AgeHolds(int64_t seconds);
void LetHoldsPass();

// Every test starts from a fresh load: empty caches, a token that needs no sign-in, a known
// character (so no verify request), and the web API played by `api`. Message boxes are answered at
// once and recorded.
class EsiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The targets ("/path?query") of the requests that reached the fake, in order.
    std::vector<std::string> Targets() const;
    size_t CountTarget(const std::string& target) const;

    fakes::FakeWebApi api;
    qp::observer::ScopedObserver observer{QP_BOX_DEFAULT};
};

// The download dialogs ("ESI Download") recorded since the observer was attached.
std::vector<unsigned> DownloadDialogs();
// The text control 1000 of each of them showed, in order.
std::vector<std::string> DownloadTitles();
// Message box texts recorded since the observer was attached.
std::vector<std::string> BoxTexts();

// Runs `attempt(now)` until the clock did not move to another second while it ran (at most five
// tries), so a test can set a time stamp to an exact age. False when the clock kept moving.
bool WithinOneSecond(const std::function<void(time_t now)>& attempt);

// The numbers of a JSON array of integers ("[101,102]"), as a set; empty on anything else.
std::multiset<long long> IdsOfBody(const std::string& body);

}  // namespace esitest
