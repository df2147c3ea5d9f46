// The suite of the host tests over live data: the built library loaded once by file name, a stored
// sign-in that the fake sign-on service refreshes, the fake web API behind every download, and
// readers of what the library showed and asked since each test began.
#pragma once

#include <string>
#include <vector>

#include "tests/fakes/fake_services.h"
#include "tests/support/host_library.h"
#include "tests/support/host_user.h"
#include "tests/support/sign_in_aborter.h"

namespace livetest {

// A JSON array of the elements' texts.
inline std::string Array(const std::vector<std::string>& elements) {
    std::string text = "[";
    for (size_t i = 0; i < elements.size(); ++i) text += (i ? "," : "") + elements[i];
    return text + "]";
}

class LiveDataHost : public HostSuite {
protected:
    static void SetUpTestSuite() {
        signOn_ = new fakes::FakeSignOn;
        api_ = new fakes::FakeWebApi;
        user_ = new testsupport::HostUser(signOn_->BaseUrl(), api_->BaseUrl());
        ASSERT_FALSE(user_->Home().empty());
        // A user who signed in before: the library refreshes the stored token before its first request.
        ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "RefreshKey", "fake-refresh", LibraryIniPath().c_str()));
        aborter_ = new SignInAborter;
        LoadOnce(QUARNELS_LIBRARY_PATH);
    }
    static void TearDownTestSuite() {
        FreeOnce();
        delete aborter_;
        delete user_;
        delete api_;
        delete signOn_;
        aborter_ = nullptr;
        user_ = nullptr;
        api_ = nullptr;
        signOn_ = nullptr;
    }

    // The library stays loaded for the whole program (a library that ran threads may not unload),
    // so each test works on caches of its own and looks only at what happened since it began.
    void SetUp() override {
        HostSuite::SetUp();
        firstRecord_ = QpObserverRecordCount();
        firstRequest_ = api_->RequestCount();
    }

    std::vector<unsigned> Dialogs() const {
        std::vector<unsigned> dialogs;
        for (unsigned serial = firstRecord_ + 1; serial <= QpObserverRecordCount(); ++serial)
            if (qp::observer::Record(serial).kind == QP_UI_DIALOG) dialogs.push_back(serial);
        return dialogs;
    }
    std::vector<std::string> DownloadTitles() const {
        std::vector<std::string> titles;
        for (unsigned serial : Dialogs())
            if (qp::observer::Caption(serial) == "ESI Download") titles.push_back(qp::observer::ControlText(serial, 1000));
        return titles;
    }
    size_t Boxes() const {
        size_t boxes = 0;
        for (unsigned serial = firstRecord_ + 1; serial <= QpObserverRecordCount(); ++serial)
            boxes += qp::observer::Record(serial).kind == QP_UI_MESSAGEBOX ? 1 : 0;
        return boxes;
    }
    // Requests to the web API since the test began.
    size_t Requests() const { return api_->RequestCount() - firstRequest_; }

    // Nothing happened: no dialog, no box, no request to the web API.
    void ExpectNothingStarted() const {
        EXPECT_TRUE(Dialogs().empty());
        EXPECT_EQ(Boxes(), 0u);
        EXPECT_EQ(Requests(), 0u);
    }
    // The one sign-in of the load was a refresh and a verify, before the first web API request, and
    // every request carried the refreshed token.
    static void ExpectSignedInByRefresh() {
        const auto requests = signOn_->Requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0].Path(), "/v2/oauth/token");
        EXPECT_EQ(fakes::FormOf(requests[0].body)["grant_type"], "refresh_token");
        EXPECT_EQ(requests[1].Path(), "/oauth/verify");
        const auto calls = api_->Requests();
        for (const auto& request : calls) EXPECT_EQ(request.Header("authorization"), "Bearer fake-access");
        EXPECT_EQ(aborter_->Aborted(), 0);
    }

    static inline fakes::FakeSignOn* signOn_ = nullptr;
    static inline fakes::FakeWebApi* api_ = nullptr;
    static inline testsupport::HostUser* user_ = nullptr;
    // Should a sign-in dialog open after all, it is aborted rather than left waiting.
    static inline SignInAborter* aborter_ = nullptr;
    fakes::FakeWebApi& api = *api_;
    unsigned firstRecord_ = 0;
    size_t firstRequest_ = 0;
};

}  // namespace livetest
