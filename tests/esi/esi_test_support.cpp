// The download and query tests' setup, and readers of the requests, download dialogs and message boxes.
#include "tests/esi/esi_test_support.h"

#include <sstream>

#include "library/dates_and_hubs.h"
#include "library/esi/assets.h"
#include "library/esi/download_holds.h"
#include "library/esi/industry_jobs.h"
#include "library/esi/market_book.h"
#include "library/esi/personal_orders.h"
#include "library/esi/skills.h"
#include "library/esi/transactions.h"
#include "library/retry_hold.h"
#include "library/sso/oauth2.h"

namespace esitest {

std::string UserPath(const std::string& pathWithUser) {
    std::string path = "/" + pathWithUser;
    const std::string user = "&user&";
    const size_t at = path.find(user);
    if (at != std::string::npos) path.replace(at, user.size(), std::to_string(kCharacter));
    return path;
}

void ResetCaches() {
    g_Skills.RemoveAll();

    POSITION position = g_MarketOrders.GetStartPosition();
    while (position) {
        CString key;
        order_header book{};
        g_MarketOrders.GetNextAssoc(position, key, book);
        FreeOrderChain(book.chain);
    }
    g_MarketOrders.RemoveAll();

    g_PersonalOrders.RemoveAll();
    g_Transactions.RemoveAll();
    g_TransactionsTime = StartOfTimeStamps();
    g_IndustryJobs.RemoveAll();
    g_IndustryJobsTime = StartOfTimeStamps();
    g_CharAssets.RemoveAll();
    g_CharAssetNames.RemoveAll();
    g_CorpAssets.RemoveAll();
    g_CorpAssetNames.RemoveAll();
    g_AssetsTime = StartOfTimeStamps();
    g_DownloadHolds.RemoveAll();
    g_OAuth.EndSignInHold();
    g_OAuth.webApiHoldSeconds = 0;
}

void AgeHolds(int64_t seconds) {
    POSITION position = g_DownloadHolds.GetStartPosition();
    while (position) {
        CString download;
        __time64_t failedAt = 0;
        g_DownloadHolds.GetNextAssoc(position, download, failedAt);
        g_DownloadHolds.SetAt(download, failedAt - seconds);
    }
    g_OAuth.webApiHeldSince = CTime(g_OAuth.webApiHeldSince.GetTime() - seconds);
    g_OAuth.signInFailedTime = CTime(g_OAuth.signInFailedTime.GetTime() - seconds);
}

void LetHoldsPass() { AgeHolds(kRetryHoldSeconds); }

void EsiTest::SetUp() {
    ResetCaches();
    // A token young enough to be sent as it is and a known character: no sign-on request at all.
    // Should anything still ask the sign-on service, it meets a port where nothing listens.
    const std::string nowhere = "http://127.0.0.1:" + std::to_string(ssotest::DeadPort());
    g_OAuth.tokenUrl = (nowhere + "/oauth/token").c_str();
    g_OAuth.verifyUrl = (nowhere + "/oauth/verify").c_str();
    g_OAuth.authorizeUrl = (nowhere + "/oauth/authorize").c_str();
    g_OAuth.refreshToken.Empty();
    // A sign-in that opens after all listens away from the fixed port.
    g_OAuth.port = ssotest::DeadPort();
    g_OAuth.accessToken = "x";
    g_OAuth.tokenTime = CTime(time(nullptr));
    g_OAuth.characterId = kCharacter;
    g_OAuth.characterName = "Fake Pilot";
    g_OAuth.esiBaseUrl = api.BaseUrl().c_str();
}

void EsiTest::TearDown() { ResetCaches(); }

std::vector<std::string> EsiTest::Targets() const {
    std::vector<std::string> targets;
    for (const auto& request : api.Requests()) targets.push_back(request.target);
    return targets;
}

size_t EsiTest::CountTarget(const std::string& target) const {
    size_t count = 0;
    for (const auto& request : api.Requests()) count += request.target == target ? 1 : 0;
    return count;
}

std::vector<unsigned> DownloadDialogs() {
    std::vector<unsigned> dialogs;
    const unsigned count = QpObserverRecordCount();
    for (unsigned serial = 1; serial <= count; ++serial) {
        const QpUiRecord record = qp::observer::Record(serial);
        if (record.kind == QP_UI_DIALOG && qp::observer::Caption(serial) == "ESI Download") dialogs.push_back(serial);
    }
    return dialogs;
}

std::vector<std::string> DownloadTitles() {
    std::vector<std::string> titles;
    for (unsigned serial : DownloadDialogs()) titles.push_back(qp::observer::ControlText(serial, 1000));
    return titles;
}

std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const auto& box : ssotest::Boxes()) texts.push_back(box.text);
    return texts;
}

bool WithinOneSecond(const std::function<void(time_t now)>& attempt) {
    for (int tries = 0; tries < 5; ++tries) {
        const time_t now = time(nullptr);
        attempt(now);
        if (time(nullptr) == now) return true;
    }
    return false;
}

std::multiset<long long> IdsOfBody(const std::string& body) {
    std::multiset<long long> ids;
    if (body.size() < 2 || body.front() != '[' || body.back() != ']') return {};
    std::stringstream items(body.substr(1, body.size() - 2));
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item.empty() || item.find_first_not_of("0123456789-") != std::string::npos) return {};
        ids.insert(std::stoll(item));
    }
    return ids;
}

}  // namespace esitest
