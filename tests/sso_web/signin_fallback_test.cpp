// When no token can be had without the user: the sign-in dialog opens, and after an aborted
// sign-in the warning follows. The dialog starts the loopback listener, here on a free port of the
// test's choosing rather than the fixed one, so these tests run beside anything that holds it.
#include <ctime>

#include "tests/sso_web/sso_test_support.h"

namespace {

using fakes::FakeSignOn;
using fakes::FakeWebApi;
using ssotest::Str;
using ssotest::Worker;

const char kWarning[] = "Authentication failed - No access to the ESI-API possible";

class SignInFallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ssotest::WriteStoredRefreshToken("");
        client = ssotest::MakeClient(&signOn, &api);
        client->port = ssotest::DeadPort();
    }

    // Waits for the next sign-in dialog after record `after`, checks it and presses Abort.
    unsigned AbortSignIn(unsigned after) {
        const unsigned dialog = qp::observer::WaitDialog("Authentication", 10000, after, false);
        EXPECT_NE(dialog, 0u) << "no sign-in dialog";
        if (!dialog) return after;
        EXPECT_EQ(qp::observer::Record(dialog).templateId, 1000);
        EXPECT_TRUE(QpObserverPress(dialog, IDCANCEL)) << "the sign-in ended by itself (is its port taken?)";
        EXPECT_TRUE(QpObserverWaitEnded(dialog, 10000));
        // Abort ends the dialog with 0; a sign-in that could not start ends it with 1.
        EXPECT_EQ(qp::observer::Record(dialog).result, 0);
        return dialog;
    }

    // Waits for the next box after record `after`, checks that it is the warning and closes it.
    unsigned CloseWarning(unsigned after) {
        const unsigned box = qp::observer::WaitBox(10000, after);
        EXPECT_NE(box, 0u) << "no warning";
        if (!box) return after;
        EXPECT_EQ(qp::observer::BoxText(box), kWarning);
        EXPECT_TRUE(qp::observer::Record(box).type & MB_ICONEXCLAMATION);
        EXPECT_TRUE(QpObserverPress(box, IDOK));
        EXPECT_TRUE(QpObserverWaitEnded(box, 10000));
        return box;
    }

    size_t Count(int kind) {
        size_t count = 0;
        for (unsigned serial = 1; serial <= QpObserverRecordCount(); ++serial)
            if (qp::observer::Record(serial).kind == kind) ++count;
        return count;
    }

    FakeSignOn signOn;
    FakeWebApi api;
    std::unique_ptr<OAuth2> client;
    qp::observer::ScopedObserver observer{QP_BOX_WAIT};
};

TEST_F(SignInFallbackTest, WithoutAnyTokenTheSignInOpensAndItsAbortIsWarnedOf) {
    ASSERT_TRUE(client->refreshToken.IsEmpty());
    Worker<CString> call([this] { return client->GetAccessToken(); });
    const unsigned dialog = AbortSignIn(0);
    CloseWarning(dialog);
    EXPECT_EQ(Str(call.Get()), "");
    EXPECT_EQ(Count(QP_UI_DIALOG), 1u);
    EXPECT_EQ(Count(QP_UI_MESSAGEBOX), 1u);
    EXPECT_EQ(signOn.RequestsTo("/v2/oauth/token").size(), 0u);
}

TEST_F(SignInFallbackTest, AgedTokenWithoutRefreshTokenSurvivesAnAbortedSignIn) {
    client->accessToken = "aged";
    client->tokenTime = CTime(time(nullptr) - 900);
    Worker<CString> call([this] { return client->GetAccessToken(); });
    AbortSignIn(0);
    EXPECT_EQ(Str(call.Get()), "aged");
    EXPECT_EQ(Count(QP_UI_MESSAGEBOX), 0u);
}

TEST_F(SignInFallbackTest, FailedRefreshFallsBackToTheSignIn) {
    client->refreshToken = "revoked";
    Worker<CString> call([this] { return client->GetAccessToken(); });
    // The service's refusal is shown first, then the sign-in is offered.
    const unsigned refusal = qp::observer::WaitBox();
    ASSERT_NE(refusal, 0u);
    EXPECT_EQ(qp::observer::BoxText(refusal), "Web Access failed: 400\n{\"error\":\"invalid_grant\"}");
    EXPECT_TRUE(QpObserverPress(refusal, IDOK));
    const unsigned dialog = AbortSignIn(refusal);
    CloseWarning(dialog);
    EXPECT_EQ(Str(call.Get()), "");
    EXPECT_EQ(client->state.load(), OAuth2::kIdle);
    EXPECT_EQ(signOn.RequestsTo("/v2/oauth/token").size(), 1u);
}

// The request asks for a token twice, the second time while it learns the character: that one finds
// the sign-in held.
TEST_F(SignInFallbackTest, WebApiRequestWithoutTokenOffersTheSignInOnceAndSendsNothing) {
    Worker<CString> call([this] { return client->EsiRequest("GET", "v4/characters/&user&/skills/", "", nullptr, FALSE); });
    CloseWarning(AbortSignIn(0));
    EXPECT_EQ(Str(call.Get()), "");
    EXPECT_EQ(Count(QP_UI_DIALOG), 1u);
    EXPECT_EQ(Count(QP_UI_MESSAGEBOX), 1u);
    EXPECT_EQ(api.RequestCount(), 0u);
    EXPECT_EQ(signOn.RequestCount(), 0u);
}

TEST_F(SignInFallbackTest, WebApiRequestUsesTheSignInItOffered) {
    api.Set("/v4/characters/90000001/skills/", 200, "{\"total_sp\":5}");
    Worker<CString> call([this] { return client->EsiRequest("GET", "v4/characters/&user&/skills/", "", nullptr, FALSE); });
    ASSERT_NE(qp::observer::WaitDialog("Authentication", 10000), 0u);
    // The browser comes back from the service with the code and the nonce; the dialog then ends by
    // itself.
    const std::string page =
        ssotest::VisitLoopback(client->port, "/?code=fake-code&state=" + std::to_string(client->stateNonce));
    EXPECT_NE(page.find("Success"), std::string::npos) << page;
    EXPECT_EQ(Str(call.Get()), "{\"total_sp\":5}");
    EXPECT_EQ(Count(QP_UI_DIALOG), 1u);
    EXPECT_EQ(Count(QP_UI_MESSAGEBOX), 0u);
    EXPECT_EQ(client->characterId, 90000001);
    const auto requests = api.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("authorization"), "Bearer fake-access");
    EXPECT_EQ(signOn.RequestsTo("/v2/oauth/token").size(), 1u);
    EXPECT_EQ(signOn.RequestsTo("/oauth/verify").size(), 1u);
}

}  // namespace
