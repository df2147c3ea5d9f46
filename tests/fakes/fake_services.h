// Fakes of the game's single sign-on service and web API, on 127.0.0.1 and ports the system picks.
//
// FakeSignOn plays the three endpoints the library uses:
// - GET /v2/oauth/authorize answers 302 to the request's redirect_uri with "?code=<code>&state=<state>"
//   (the state sent, unless a test sets another one, or the whole query set by the test);
// - POST /v2/oauth/token takes its parameters only as an application/x-www-form-urlencoded body and
//   refuses any in the query (400), as the real service does. The client's credentials come as Basic
//   authorization (or, when there is none, as client_id and client_secret in the body); the grant is
//   authorization_code with the expected code, or refresh_token with the expected refresh token. A
//   wrong client gets 401, a wrong grant 400; a good one the configured answer (by default 200 with
//   the access token, the token type, the lifetime and a new refresh token);
// - GET /oauth/verify checks "Authorization: Bearer <token>" against the accepted access token and
//   answers {"CharacterID":<id>,"CharacterName":"<name>"}, or the configured answer; 401 otherwise.
// The access token is opaque unless a test sets a JSON Web Token (Jwt()), as the service issues now.
// FakeWebApi answers configured paths and records every request.
//
// Both record every request (method, target, headers, body) and are safe to configure from the
// test's thread while requests arrive on others. To use them, add tests/fakes/fake_services.cpp and
// the server's sources (http_server.h) to the test's SOURCES.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tests/fakes/http_server.h"

namespace fakes {

// Percent-decoding and splitting of a query, the fakes' own, for tests that look into requests.
std::string PercentDecode(const std::string& text);
std::map<std::string, std::string> QueryOf(const std::string& target);
// The fields of an application/x-www-form-urlencoded body ("+" stands for a blank).
std::map<std::string, std::string> FormOf(const std::string& body);
std::string Base64(const std::string& bytes);

class FakeSignOn {
public:
    // A token answer as the real service gives it.
    static std::string TokenAnswer(const std::string& accessToken, const std::string& refreshToken);
    // An access token of the second generation: a JSON Web Token whose claims name the character
    // ("sub" CHARACTER:EVE:<id>, "name"); its signature is filler.
    static std::string Jwt(int characterId, const std::string& name);
    // A JSON Web Token with these claims (the JSON text of its payload).
    static std::string JwtWithClaims(const std::string& claims);

    FakeSignOn();
    ~FakeSignOn();
    FakeSignOn(const FakeSignOn&) = delete;
    FakeSignOn& operator=(const FakeSignOn&) = delete;

    // "http://127.0.0.1:<port>", and the three endpoint URLs.
    std::string BaseUrl() const;
    std::string AuthorizeUrl() const { return BaseUrl() + "/v2/oauth/authorize"; }
    std::string TokenUrl() const { return BaseUrl() + "/v2/oauth/token"; }
    std::string VerifyUrl() const { return BaseUrl() + "/oauth/verify"; }

    // The client that may ask for tokens. Until one is set, any client credentials are taken, but
    // some must come.
    void SetClient(const std::string& id, const std::string& secret);

    // Authorize: the code the redirect carries; a state to send instead of the one asked with (empty:
    // echo it); or, when not empty, the whole query of the redirect ("error=access_denied", ...).
    void SetAuthorizeCode(const std::string& code);
    void SetAuthorizeState(const std::string& state);
    void SetAuthorizeQuery(const std::string& query);

    // Token: the code and refresh token that are accepted (defaults "fake-code" and "fake-refresh").
    void SetExpectedCode(const std::string& code);
    void SetExpectedRefreshToken(const std::string& token);
    // What a good token request gets; by default 200 with TokenAnswer(access token, "fake-refresh-2").
    void SetTokenAnswer(int status, const std::string& body);
    // The access token issued by the default answer and accepted by verify (default "fake-access").
    void SetAccessToken(const std::string& token);

    // Verify: the character of the default answer, or an answer of one's own.
    void SetCharacter(int id, const std::string& name);
    void SetVerifyAnswer(int status, const std::string& body);

    std::vector<HttpRequest> Requests() const { return m_server.Requests(); }
    size_t RequestCount() const { return m_server.RequestCount(); }
    // Requests whose path is this ("/v2/oauth/token", ...).
    std::vector<HttpRequest> RequestsTo(const std::string& path) const;

private:
    HttpResponse Handle(const HttpRequest& request);
    HttpResponse Authorize(const HttpRequest& request);
    HttpResponse Token(const HttpRequest& request);
    HttpResponse Verify(const HttpRequest& request);

    mutable std::mutex m_mutex;
    std::string m_clientId;
    std::string m_clientSecret;
    std::string m_code = "fake-code";
    std::string m_state;
    std::string m_query;
    std::string m_expectedCode = "fake-code";
    std::string m_expectedRefresh = "fake-refresh";
    bool m_customToken = false;
    int m_tokenStatus = 200;
    std::string m_tokenBody;
    std::string m_accessToken = "fake-access";
    int m_characterId = 90000001;
    std::string m_characterName = "Fake Pilot";
    bool m_customVerify = false;
    int m_verifyStatus = 200;
    std::string m_verifyBody;

    HttpServer m_server;  // last: stops before the settings it reads go
};

class FakeWebApi {
public:
    FakeWebApi();
    ~FakeWebApi();
    FakeWebApi(const FakeWebApi&) = delete;
    FakeWebApi& operator=(const FakeWebApi&) = delete;

    // "http://127.0.0.1:<port>/", the root that paths are appended to.
    std::string BaseUrl() const;

    // The answer for a target: an exact target (path and query) wins over a path alone. Anything
    // unconfigured gets 404 with a JSON error body.
    void Set(const std::string& target, const HttpResponse& response);
    void Set(const std::string& target, int status, const std::string& body, const HeaderList& headers = {});
    // An answer worked out per request.
    void SetHandler(const std::string& target, HttpHandler handler);

    std::vector<HttpRequest> Requests() const { return m_server.Requests(); }
    size_t RequestCount() const { return m_server.RequestCount(); }
    bool WaitForRequests(size_t count, std::chrono::milliseconds timeout) const {
        return m_server.WaitForRequests(count, timeout);
    }

private:
    HttpResponse Handle(const HttpRequest& request);

    mutable std::mutex m_mutex;
    std::map<std::string, HttpHandler> m_routes;
    HttpServer m_server;
};

}  // namespace fakes
