// Token reuse, refresh and verification against the fake sign-on service, on paths that never need
// the sign-in dialog.
#include <ctime>

#include "tests/sso_web/sso_test_support.h"
#include "tests/support/file_text.h"

namespace {

using fakes::FakeSignOn;
using fakes::FakeWebApi;
using ssotest::Box;
using ssotest::Boxes;
using ssotest::Str;

class TokenTest : public ::testing::Test {
protected:
    void SetUp() override {
        ssotest::WriteStoredRefreshToken("fake-refresh");
        client = ssotest::MakeClient(&signOn, &api);
    }

    FakeSignOn signOn;
    FakeWebApi api;
    std::unique_ptr<OAuth2> client;
    qp::observer::ScopedObserver observer{QP_BOX_DEFAULT};
};

TEST_F(TokenTest, StoredRefreshTokenIsReadAtConstruction) {
    EXPECT_EQ(Str(client->refreshToken), "fake-refresh");
    EXPECT_EQ(client->state.load(), 0);
    EXPECT_EQ(client->characterId, 0);
}

TEST_F(TokenTest, YoungTokenIsReusedWithoutAskingTheService) {
    client->accessToken = "young";
    // The age is one second short of the lifetime; a tick of the clock during the call spoils the
    // measurement, so the call is repeated until none happened.
    for (;;) {
        const time_t start = time(nullptr);
        client->tokenTime = CTime(start - 899);
        const CString token = client->GetAccessToken();
        if (time(nullptr) != start) continue;
        EXPECT_EQ(Str(token), "young");
        break;
    }
    client->tokenTime = CTime(time(nullptr) + 3600);  // the clock was set back
    EXPECT_EQ(Str(client->GetAccessToken()), "young");
    EXPECT_EQ(signOn.RequestCount(), 0u);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(TokenTest, TokenOf900SecondsIsRefreshedAndARotatedRefreshTokenStored) {
    signOn.SetAccessToken("renewed");
    client->accessToken = "old";
    const time_t before = time(nullptr);
    client->tokenTime = CTime(before - 900);

    EXPECT_EQ(Str(client->GetAccessToken()), "renewed");
    EXPECT_EQ(Str(client->accessToken), "renewed");
    EXPECT_EQ(client->state.load(), OAuth2::kSignedIn);
    EXPECT_GE(client->tokenTime.GetTime(), before);
    EXPECT_LE(client->tokenTime.GetTime(), time(nullptr));
    // The answer carried a new refresh token, which replaces the retired one here and in the file.
    EXPECT_EQ(Str(client->refreshToken), "fake-refresh-2");
    EXPECT_NE(testsupport::ReadFileText(ssotest::HomeEnvironment::IniFile()).find("RefreshKey=fake-refresh-2"),
              std::string::npos);
    EXPECT_TRUE(Boxes().empty());

    // The new token is young now: no second refresh.
    EXPECT_EQ(Str(client->GetAccessToken()), "renewed");
    EXPECT_EQ(signOn.RequestCount(), 1u);

    // Answers without a refresh token, or without an access token, leave the refresh token alone.
    const std::string iniBefore = testsupport::ReadFileText(ssotest::HomeEnvironment::IniFile());
    signOn.SetExpectedRefreshToken("fake-refresh-2");
    signOn.SetTokenAnswer(200, "{\"access_token\":\"again\",\"expires_in\":1199}");
    client->RefreshAccessToken();
    EXPECT_EQ(client->state.load(), OAuth2::kSignedIn);
    signOn.SetTokenAnswer(200, "{\"access_token\":\"\",\"refresh_token\":\"unused\"}");
    client->RefreshAccessToken();
    EXPECT_EQ(client->state.load(), OAuth2::kNoTokens);
    EXPECT_EQ(Str(client->refreshToken), "fake-refresh-2");
    EXPECT_EQ(testsupport::ReadFileText(ssotest::HomeEnvironment::IniFile()), iniBefore);
}

TEST_F(TokenTest, TokenRequestsSendTheirParametersFormEncodedInTheBody) {
    // Base64 tokens hold "+", "/" and "="; unencoded, a form reader would take "+" for a blank.
    signOn.SetExpectedCode("c+o/d=e");
    client->stateNonce = 77;
    client->state = OAuth2::kListening;
    OAuth2::FieldList redirect;
    OAuth2::FIELD code{"code", "c+o/d=e"};
    OAuth2::FIELD state{"state", "77"};
    redirect.Add(code);
    redirect.Add(state);
    client->OnRedirect(redirect);
    EXPECT_EQ(client->state.load(), OAuth2::kSignedIn);

    signOn.SetExpectedRefreshToken("r+e/f==");
    client->refreshToken = "r+e/f==";
    client->useBasicAuth = 0;
    client->RefreshAccessToken();
    EXPECT_EQ(client->state.load(), OAuth2::kSignedIn);

    const auto requests = signOn.RequestsTo("/v2/oauth/token");
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.target, "/v2/oauth/token");
        EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
    }
    EXPECT_EQ(requests[0].body, "grant_type=authorization_code&code=c%2Bo%2Fd%3De");
    EXPECT_EQ(requests[0].Header("Authorization"),
              "Basic " + fakes::Base64(Str(client->clientId) + ":" + Str(client->clientSecret)));
    // Without Basic authorization the client goes in the body too.
    EXPECT_EQ(fakes::FormOf(requests[1].body)["refresh_token"], "r+e/f==");
    EXPECT_EQ(fakes::FormOf(requests[1].body)["client_id"], Str(client->clientId));
    EXPECT_EQ(fakes::FormOf(requests[1].body)["client_secret"], Str(client->clientSecret));
    EXPECT_FALSE(requests[1].HasHeader("Authorization"));
}

// JSON writers may escape any character, "+" as \u002B and "/" as \/, and the service's refresh
// tokens are Base64: the tokens are kept, stored and sent back decoded.
TEST_F(TokenTest, EscapedTokensAreTakenDecodedStoredAndSentBackSo) {
    signOn.SetTokenAnswer(200, "{\"access_token\":\"a\\u002Bb\",\"refresh_token\":\"Rx\\u002B1\\/y==\"}");
    client->state = OAuth2::kListening;
    OAuth2::FieldList redirect;
    OAuth2::FIELD code{"code", "fake-code"};
    OAuth2::FIELD state{"state", std::to_string(client->stateNonce).c_str()};
    redirect.Add(code);
    redirect.Add(state);
    client->OnRedirect(redirect);
    EXPECT_EQ(client->state.load(), OAuth2::kSignedIn);
    EXPECT_EQ(Str(client->accessToken), "a+b");

    // The next load reads the stored token and refreshes with exactly it; a rotated one is decoded too.
    const auto nextLoad = ssotest::MakeClient(&signOn, &api);
    EXPECT_EQ(Str(nextLoad->refreshToken), "Rx+1/y==");
    signOn.SetExpectedRefreshToken("Rx+1/y==");
    signOn.SetTokenAnswer(200, "{\"access_token\":\"c\",\"refresh_token\":\"N\\/2\\u002b==\"}");
    nextLoad->RefreshAccessToken();
    EXPECT_EQ(nextLoad->state.load(), OAuth2::kSignedIn);
    EXPECT_EQ(fakes::FormOf(signOn.RequestsTo("/v2/oauth/token").back().body)["refresh_token"], "Rx+1/y==");
    EXPECT_EQ(Str(nextLoad->refreshToken), "N/2+==");
    EXPECT_EQ(Str(OAuth2::ReadStoredRefreshToken()), "N/2+==");

    // The other escapes; \u as UTF-8, a surrogate pair as one character; what is no escape stays.
    EXPECT_EQ(Str(DecodeJsonEscapes("\\\"\\\\\\b\\f\\n\\r\\t|\\u00e9\\u20AC\\ud83d\\ude00|\\x\\u12g\\")),
              "\"\\\b\f\n\r\t|\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80|\\x\\u12g\\");
}

// Another host of the same user that stores a new refresh token just before this one sends its own:
// the rotation lands between the read of the ini file and the send.
class RotatedWhileSending : public OAuth2 {
public:
    CString GetRefreshBody() override {
        const CString body = OAuth2::GetRefreshBody();
        if (!rotation.empty()) ssotest::WriteStoredRefreshToken(rotation.c_str());
        rotation.clear();
        return body;
    }
    std::string rotation;
};

// Hosts of one user share the ini file, whose refresh token is the one of record: a host takes the
// token another one rotated or signed in with, and a refresh that works in the end shows no box.
TEST_F(TokenTest, TheIniFilesRefreshTokenIsTheOneOfRecord) {
    const auto refreshTokensSent = [this] {
        std::vector<std::string> sent;
        for (const auto& request : signOn.RequestsTo("/v2/oauth/token"))
            sent.push_back(fakes::FormOf(request.body)["refresh_token"]);
        return sent;
    };
    // This host refreshes; the service rotates the token and retires the one the other host holds.
    // The token of record may be another character's (the check program signs in anew): the other
    // host learns its character again.
    const auto otherHost = ssotest::MakeClient(&signOn, &api);
    otherHost->port = ssotest::DeadPort();
    otherHost->characterId = 90000009;
    otherHost->characterName = "Earlier Pilot";
    EXPECT_EQ(Str(client->GetAccessToken()), "fake-access");
    EXPECT_EQ(Str(OAuth2::ReadStoredRefreshToken()), "fake-refresh-2");
    signOn.SetExpectedRefreshToken("fake-refresh-2");
    const std::string secondPilot = FakeSignOn::Jwt(90000002, "Second Pilot");
    signOn.SetTokenAnswer(200, FakeSignOn::TokenAnswer(secondPilot, "fake-refresh-3"));
    EXPECT_EQ(Str(otherHost->GetAccessToken()), secondPilot);
    EXPECT_EQ(otherHost->GetCharacterId(nullptr), 90000002);
    EXPECT_EQ(refreshTokensSent(), (std::vector<std::string>{"fake-refresh", "fake-refresh-2"}));
    EXPECT_EQ(Str(OAuth2::ReadStoredRefreshToken()), "fake-refresh-3");

    // A host loaded before anyone signed in takes the token another host stored since.
    ssotest::WriteStoredRefreshToken("");
    const auto loadedEarlier = ssotest::MakeClient(&signOn, &api);
    loadedEarlier->port = ssotest::DeadPort();
    ssotest::WriteStoredRefreshToken("signed-in-elsewhere");
    signOn.SetExpectedRefreshToken("signed-in-elsewhere");
    EXPECT_EQ(Str(loadedEarlier->GetAccessToken()), secondPilot);
    EXPECT_EQ(refreshTokensSent().back(), "signed-in-elsewhere");
    EXPECT_EQ(Str(loadedEarlier->refreshToken), "fake-refresh-3");

    // A rotation between the read and the send (the token stored now is the one that last answer
    // rotated): refused, then sent again with the token of record.
    RotatedWhileSending racing;
    ssotest::AimAtFakes(racing, &signOn, &api);
    racing.port = ssotest::DeadPort();
    racing.rotation = "rotated-meanwhile";
    signOn.SetExpectedRefreshToken("rotated-meanwhile");
    EXPECT_EQ(Str(racing.GetAccessToken()), secondPilot);
    const std::vector<std::string> sent = refreshTokensSent();
    EXPECT_EQ(std::vector<std::string>(sent.end() - 2, sent.end()),
              (std::vector<std::string>{"fake-refresh-3", "rotated-meanwhile"}));

    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(qp::observer::WaitDialog(nullptr, 0, 0, false), 0u) << "a sign-in window opened";
}

TEST_F(TokenTest, RefreshAnsweredWithAnotherStatusThan200Fails) {
    signOn.SetTokenAnswer(201, "{\"access_token\":\"ignored\"}");
    client->accessToken = "old";
    client->RefreshAccessToken();
    EXPECT_EQ(Str(client->errorText), "201 Created");
    EXPECT_EQ(client->state.load(), OAuth2::kFailed);
    EXPECT_EQ(Str(client->accessToken), "");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(TokenTest, RefreshRefusedByTheServiceFailsWithABox) {
    signOn.SetExpectedRefreshToken("another");
    client->RefreshAccessToken();
    EXPECT_EQ(Str(client->errorText), "400 Bad Request");
    EXPECT_EQ(client->state.load(), OAuth2::kFailed);
    const std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Web Access failed: 400\n{\"error\":\"invalid_grant\"}");
}

TEST_F(TokenTest, RefreshThatReachesNobodyFails) {
    client->tokenUrl = ("http://127.0.0.1:" + std::to_string(ssotest::DeadPort()) + "/v2/oauth/token").c_str();
    client->errorText = "before";
    client->RefreshAccessToken();
    EXPECT_EQ(client->state.load(), OAuth2::kFailed);
    EXPECT_EQ(Str(client->errorText), "A connection to the server could not be established.");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(TokenTest, RefreshAnswerWithoutATokenOrWithTheSecondOne) {
    signOn.SetTokenAnswer(200, "{\"token_type\":\"Bearer\",\"expires_in\":1199}");
    client->RefreshAccessToken();
    EXPECT_EQ(client->state.load(), OAuth2::kNoTokens);
    EXPECT_EQ(Str(client->accessToken), "");

    signOn.SetTokenAnswer(200, "{\"access_token\":\"\",\"Access_Token\":\"second\"}");
    client->RefreshAccessToken();
    EXPECT_EQ(client->state.load(), OAuth2::kSignedIn);
    EXPECT_EQ(Str(client->accessToken), "second");
}

TEST_F(TokenTest, SecondGenerationTokenNamesTheCharacterWithoutAVerifyRequest) {
    client->accessToken = FakeSignOn::Jwt(2112000002, "Jay Dubya").c_str();
    client->tokenTime = CTime(time(nullptr));
    CString name;
    EXPECT_EQ(client->GetCharacterId(&name), 2112000002);
    EXPECT_EQ(Str(name), "Jay Dubya");
    EXPECT_EQ(signOn.RequestCount(), 0u);

    // Tokens that are no such JWT, or lack a claim, are still asked about (the fake answers 90000001).
    const std::vector<std::string> others = {
        "opaque-token",
        FakeSignOn::JwtWithClaims("{\"sub\":\"CHARACTER:EVE:2112000003\"}"),
        FakeSignOn::JwtWithClaims("{\"sub\":\"CHARACTER:EVE:21120x3\",\"name\":\"N\"}"),
        FakeSignOn::JwtWithClaims("{\"sub\":\"CHARACTER:EVE:99999999999\",\"name\":\"N\"}"),
        FakeSignOn::JwtWithClaims("[\"sub\",\"CHARACTER:EVE:7\",\"name\",\"N\"]"),
        FakeSignOn::Jwt(7, "N") + ".more",
        "e30.not*base64url.sig",
    };
    for (const std::string& token : others) {
        signOn.SetAccessToken(token);
        client->accessToken = token.c_str();
        client->characterId = 0;
        EXPECT_EQ(client->GetCharacterId(&name), 90000001) << token;
        EXPECT_EQ(Str(name), "Fake Pilot");
    }
    EXPECT_EQ(signOn.RequestsTo("/oauth/verify").size(), others.size());
}

TEST_F(TokenTest, VerificationLearnsTheCharacterOnce) {
    client->accessToken = "fake-access";
    client->tokenTime = CTime(time(nullptr));
    signOn.SetCharacter(2112000001, "Ada Quarnel");
    CString name = "stale";
    EXPECT_EQ(client->GetCharacterId(&name), 2112000001);
    EXPECT_EQ(Str(name), "Ada Quarnel");
    const auto verifies = signOn.RequestsTo("/oauth/verify");
    ASSERT_EQ(verifies.size(), 1u);
    EXPECT_EQ(verifies[0].Header("Authorization"), "Bearer fake-access");

    // Known now: neither a token nor the service is asked again, even with the token gone.
    client->accessToken.Empty();
    client->refreshToken.Empty();
    EXPECT_EQ(client->GetCharacterId(nullptr), 2112000001);
    EXPECT_EQ(signOn.RequestCount(), 1u);
}

TEST_F(TokenTest, FailedVerificationLeavesTheCharacterUnknown) {
    client->accessToken = "not-accepted";
    client->tokenTime = CTime(time(nullptr));
    CString name;
    EXPECT_EQ(client->GetCharacterId(&name), 0);
    EXPECT_EQ(Str(name), "");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text.rfind("Web Access failed: 401\n", 0), 0u);

    client->accessToken = "fake-access";
    signOn.SetVerifyAnswer(200, "<html>maintenance</html>");
    EXPECT_EQ(client->GetCharacterId(&name), 0);
    // An answer without the id still names the character; the next call asks again.
    signOn.SetVerifyAnswer(200, "{\"CharacterName\":\"Nameless\"}");
    EXPECT_EQ(client->GetCharacterId(&name), 0);
    EXPECT_EQ(Str(name), "Nameless");
    signOn.SetVerifyAnswer(200, "{\"characterid\":7,\"charactername\":\"Lower\"}");
    EXPECT_EQ(client->GetCharacterId(&name), 7);
    EXPECT_EQ(Str(name), "Lower");
    EXPECT_EQ(signOn.RequestsTo("/oauth/verify").size(), 4u);
}

TEST_F(TokenTest, CharacterIsLearntWithARefreshedToken) {
    client->accessToken.Empty();
    EXPECT_EQ(client->GetCharacterId(nullptr), 90000001);
    const auto requests = signOn.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Path(), "/v2/oauth/token");
    EXPECT_EQ(requests[1].Path(), "/oauth/verify");
}

}  // namespace
