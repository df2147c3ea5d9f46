// The fake sign-on service's endpoints and checks, the fake web API's routes, and their small encoders.
#include "tests/fakes/fake_services.h"

#include <cctype>
#include <utility>

namespace fakes {

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

HttpResponse Json(int status, const std::string& body) { return HttpResponse::Text(status, body, "application/json"); }

// The part of an "Authorization" header value behind the scheme, or empty when the scheme differs.
std::string Credentials(const HttpRequest& request, const std::string& scheme) {
    const std::string value = request.Header("Authorization");
    if (value.size() <= scheme.size()) return std::string();
    for (size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(value[i])) != std::tolower(static_cast<unsigned char>(scheme[i])))
            return std::string();
    size_t start = scheme.size();
    while (start < value.size() && value[start] == ' ') ++start;
    return value.substr(start);
}
}  // namespace

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::map<std::string, std::string> QueryOf(const std::string& target) {
    std::map<std::string, std::string> query;
    const size_t mark = target.find('?');
    if (mark == std::string::npos) return query;
    size_t start = mark + 1;
    while (start <= target.size()) {
        size_t end = target.find('&', start);
        if (end == std::string::npos) end = target.size();
        const std::string part = target.substr(start, end - start);
        const size_t equals = part.find('=');
        if (equals != std::string::npos) query.emplace(part.substr(0, equals), PercentDecode(part.substr(equals + 1)));
        start = end + 1;
    }
    return query;
}

std::map<std::string, std::string> FormOf(const std::string& body) {
    std::string spaced = body;
    for (char& c : spaced)
        if (c == '+') c = ' ';
    return QueryOf("?" + spaced);
}

std::string Base64(const std::string& bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (unsigned char byte : bytes) {
        bits = (bits << 8) | byte;
        count += 8;
        while (count >= 6) {
            count -= 6;
            out += alphabet[(bits >> count) & 63];
        }
    }
    if (count > 0) out += alphabet[(bits << (6 - count)) & 63];
    while (out.size() % 4) out += '=';
    return out;
}

// ---- FakeSignOn ----

std::string FakeSignOn::TokenAnswer(const std::string& accessToken, const std::string& refreshToken) {
    return "{\"access_token\":" + JsonString(accessToken) + ",\"token_type\":\"Bearer\",\"expires_in\":1199," +
           "\"refresh_token\":" + JsonString(refreshToken) + "}";
}

std::string FakeSignOn::JwtWithClaims(const std::string& claims) {
    const auto base64url = [](const std::string& bytes) {
        std::string text = Base64(bytes);
        while (!text.empty() && text.back() == '=') text.pop_back();
        for (char& c : text) c = c == '+' ? '-' : c == '/' ? '_' : c;
        return text;
    };
    return base64url("{\"alg\":\"RS256\",\"kid\":\"JWT-Signature-Key\",\"typ\":\"JWT\"}") + "." +
           base64url(claims) + "." + base64url("signature~~~");
}

std::string FakeSignOn::Jwt(int characterId, const std::string& name) {
    return JwtWithClaims("{\"scp\":[\"esi-skills.read_skills.v1\"],\"jti\":\"b1f7\",\"sub\":\"CHARACTER:EVE:" +
                         std::to_string(characterId) + "\",\"azp\":\"client\",\"name\":" + JsonString(name) +
                         ",\"owner\":\"owner-hash\",\"exp\":1900000000,\"iss\":\"login.eveonline.com\"}");
}

FakeSignOn::FakeSignOn() : m_server([this](const HttpRequest& request) { return Handle(request); }) {
    m_server.Start();
}

FakeSignOn::~FakeSignOn() { m_server.Stop(); }

std::string FakeSignOn::BaseUrl() const {
    const std::string url = m_server.Url("/");
    return url.substr(0, url.size() - 1);
}

void FakeSignOn::SetClient(const std::string& id, const std::string& secret) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clientId = id;
    m_clientSecret = secret;
}

void FakeSignOn::SetAuthorizeCode(const std::string& code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_code = code;
}

void FakeSignOn::SetAuthorizeState(const std::string& state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state = state;
}

void FakeSignOn::SetAuthorizeQuery(const std::string& query) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_query = query;
}

void FakeSignOn::SetExpectedCode(const std::string& code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_expectedCode = code;
}

void FakeSignOn::SetExpectedRefreshToken(const std::string& token) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_expectedRefresh = token;
}

void FakeSignOn::SetTokenAnswer(int status, const std::string& body) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_customToken = true;
    m_tokenStatus = status;
    m_tokenBody = body;
}

void FakeSignOn::SetAccessToken(const std::string& token) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_accessToken = token;
}

void FakeSignOn::SetCharacter(int id, const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_characterId = id;
    m_characterName = name;
}

void FakeSignOn::SetVerifyAnswer(int status, const std::string& body) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_customVerify = true;
    m_verifyStatus = status;
    m_verifyBody = body;
}

std::vector<HttpRequest> FakeSignOn::RequestsTo(const std::string& path) const {
    std::vector<HttpRequest> matching;
    for (const HttpRequest& request : m_server.Requests())
        if (request.Path() == path) matching.push_back(request);
    return matching;
}

HttpResponse FakeSignOn::Handle(const HttpRequest& request) {
    const std::string path = request.Path();
    if (path == "/v2/oauth/authorize") return Authorize(request);
    if (path == "/v2/oauth/token") return Token(request);
    if (path == "/oauth/verify") return Verify(request);
    return Json(404, "{\"error\":\"not_found\"}");
}

HttpResponse FakeSignOn::Authorize(const HttpRequest& request) {
    std::map<std::string, std::string> query = QueryOf(request.target);
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string redirect = query["redirect_uri"];
    if (redirect.empty() || query["response_type"] != "code") return Json(400, "{\"error\":\"invalid_request\"}");
    std::string answer = m_query;
    if (answer.empty()) answer = "code=" + m_code + "&state=" + (m_state.empty() ? query["state"] : m_state);
    return HttpResponse::Redirect(302, redirect + (redirect.find('?') == std::string::npos ? "?" : "&") + answer);
}

HttpResponse FakeSignOn::Token(const HttpRequest& request) {
    // Parameters in the URL are refused: they would end up in logs.
    if (request.target != request.Path()) return Json(400, "{\"error\":\"invalid_request\"}");
    const std::string contentType = request.Header("Content-Type");
    if (contentType.rfind("application/x-www-form-urlencoded", 0) != 0)
        return Json(400, "{\"error\":\"invalid_request\"}");
    std::map<std::string, std::string> form = FormOf(request.body);
    std::lock_guard<std::mutex> lock(m_mutex);

    std::string basic = Credentials(request, "Basic");
    std::string presented;
    if (!basic.empty())
        presented = basic;
    else if (form.count("client_id"))
        presented = Base64(form["client_id"] + ":" + form["client_secret"]);
    const bool anyClient = m_clientId.empty() && m_clientSecret.empty();
    if (request.method != "POST" || presented.empty() ||
        (!anyClient && presented != Base64(m_clientId + ":" + m_clientSecret)))
        return Json(401, "{\"error\":\"invalid_client\"}");

    const std::string grant = form["grant_type"];
    bool granted = false;
    if (grant == "authorization_code")
        granted = !form["code"].empty() && form["code"] == m_expectedCode;
    else if (grant == "refresh_token")
        granted = !form["refresh_token"].empty() && form["refresh_token"] == m_expectedRefresh;
    if (!granted) return Json(400, "{\"error\":\"invalid_grant\"}");

    if (m_customToken) return Json(m_tokenStatus, m_tokenBody);
    return Json(200, TokenAnswer(m_accessToken, "fake-refresh-2"));
}

HttpResponse FakeSignOn::Verify(const HttpRequest& request) {
    const std::string token = Credentials(request, "Bearer");
    std::lock_guard<std::mutex> lock(m_mutex);
    if (request.method != "GET" || token.empty() || token != m_accessToken)
        return Json(401, "{\"error\":\"invalid_token\"}");
    if (m_customVerify) return Json(m_verifyStatus, m_verifyBody);
    return Json(200, "{\"CharacterID\":" + std::to_string(m_characterId) +
                         ",\"CharacterName\":" + JsonString(m_characterName) +
                         ",\"ExpiresOn\":\"2030-01-01T00:00:00\",\"Scopes\":\"\",\"TokenType\":\"Character\"}");
}

// ---- FakeWebApi ----

FakeWebApi::FakeWebApi() : m_server([this](const HttpRequest& request) { return Handle(request); }) {
    m_server.Start();
}

FakeWebApi::~FakeWebApi() { m_server.Stop(); }

std::string FakeWebApi::BaseUrl() const { return m_server.Url("/"); }

void FakeWebApi::Set(const std::string& target, const HttpResponse& response) {
    SetHandler(target, [response](const HttpRequest&) { return response; });
}

void FakeWebApi::Set(const std::string& target, int status, const std::string& body, const HeaderList& headers) {
    HttpResponse response = Json(status, body);
    for (const auto& header : headers) response.headers.push_back(header);
    Set(target, response);
}

void FakeWebApi::SetHandler(const std::string& target, HttpHandler handler) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_routes[target] = std::move(handler);
}

HttpResponse FakeWebApi::Handle(const HttpRequest& request) {
    HttpHandler handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto found = m_routes.find(request.target);
        if (found == m_routes.end()) found = m_routes.find(request.Path());
        if (found != m_routes.end()) handler = found->second;
    }
    if (handler) return handler(request);
    return Json(404, "{\"error\":\"Requested page does not exist!\"}");
}

}  // namespace fakes
