// The class library's internet classes against the fake HTTP server.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/afxinet.h"
#include "inet_test_util.h"
#include "tests/fakes/http_server.h"

using fakes::HttpRequest;
using fakes::HttpResponse;

namespace {

constexpr DWORD kPlainFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE;

std::string PagesBody() {
    std::string body(70000, 'x');
    for (size_t i = 0; i < body.size(); i += 1000) body[i] = char('a' + (i / 1000) % 26);
    return body;
}

HttpResponse Route(const HttpRequest& r) {
    if (r.target.rfind("http://origin.test/", 0) == 0) {
        if (r.Header("Proxy-Authorization").empty()) return HttpResponse::Text(407, "who are you");
        return HttpResponse::Text(200, "welcome");
    }
    if (r.Path() == "/pages") {
        HttpResponse answer = HttpResponse::Text(200, PagesBody());
        answer.headers.emplace_back("X-Pages", "3");
        return answer;
    }
    return HttpResponse::Text(r.Path() == "/missing" ? 404 : 200, r.method + " " + r.body);
}

// Runs `action` and returns the internet exception it throws (null when it throws none).
template <typename Action>
std::unique_ptr<CInternetException, void (*)(CInternetException*)> Catch(Action action) {
    auto release = [](CInternetException* e) {
        if (e) e->Delete();
    };
    try {
        action();
    } catch (CInternetException* e) {
        return {e, release};
    }
    return {nullptr, release};
}

std::string Message(const CException& e, UINT size = 256) {
    std::string text(size, '\1');
    e.GetErrorMessage(&text[0], size);
    return text.c_str();
}

class AfxInet : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    fakes::HttpServer server{&Route};
};

TEST_F(AfxInet, PostWithHeadersAndBodyThenQueriesAndChunkedReads) {
    CInternetSession session("Quarnels", 1, PRE_CONFIG_INTERNET_ACCESS, nullptr, nullptr, 0);
    std::unique_ptr<CHttpConnection> connection(session.GetHttpConnection("127.0.0.1", DWORD(0), server.Port()));
    std::unique_ptr<CHttpFile> file(
        connection->OpenRequest(CHttpConnection::HTTP_VERB_POST, "/token?code=1", nullptr, 1, nullptr, "HTTP/1.0",
                                kPlainFlags));
    const CString headers("Authorization:Basic YTpi");
    char body[] = "a=1&b=2";
    EXPECT_TRUE(file->SendRequest(headers, body, DWORD(sizeof(body) - 1)));

    DWORD status = 0;
    ASSERT_TRUE(file->QueryInfo(HTTP_QUERY_STATUS_CODE, status));
    EXPECT_EQ(200u, status);
    CString text;
    ASSERT_TRUE(file->QueryInfo(HTTP_QUERY_STATUS_TEXT, text));
    EXPECT_STREQ("OK", text);
    char chunk[64] = {0};
    const UINT got = file->Read(chunk, sizeof(chunk) - 1);
    EXPECT_STREQ("POST a=1&b=2", chunk);
    EXPECT_EQ(12u, got);
    EXPECT_EQ(0u, file->Read(chunk, sizeof(chunk)));

    const HttpRequest seen = server.Requests().at(0);
    EXPECT_EQ("/token?code=1", seen.target);
    EXPECT_EQ("Basic YTpi", seen.Header("Authorization"));
    EXPECT_EQ("Quarnels", seen.Header("User-Agent"));
    EXPECT_EQ("HTTP/1.0", seen.version);
}

TEST_F(AfxInet, RawHeadersAndALongBodyInChunks) {
    CInternetSession session("Quarnels");
    std::unique_ptr<CHttpConnection> connection(
        session.GetHttpConnection("127.0.0.1", INTERNET_PORT(server.Port())));
    std::unique_ptr<CHttpFile> file(connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, "/pages"));
    file->SendRequest(nullptr, 0, nullptr, 0);

    CString raw;
    ASSERT_TRUE(file->QueryInfo(HTTP_QUERY_RAW_HEADERS_CRLF, raw));
    raw.MakeLower();
    EXPECT_GE(raw.Find("\r\nx-pages: 3\r\n"), 0) << raw.GetString();
    CString pages("X-Pages");
    ASSERT_TRUE(file->QueryInfo(HTTP_QUERY_CUSTOM, pages));
    EXPECT_STREQ("3", pages);
    CString absent("X-None");
    EXPECT_FALSE(file->QueryInfo(HTTP_QUERY_CUSTOM, absent));
    EXPECT_TRUE(absent.IsEmpty());
    DWORD length = 0;
    ASSERT_TRUE(file->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, length));
    EXPECT_EQ(70000u, length);

    std::string body;
    std::vector<char> buffer(30000);
    int reads = 0;
    while (UINT n = file->Read(buffer.data(), 29999)) {
        body.append(buffer.data(), n);
        ++reads;
    }
    EXPECT_EQ(3, reads);
    EXPECT_EQ(70000u, body.size());
    EXPECT_TRUE(body == PagesBody());
}

TEST_F(AfxInet, EveryVerbConstantReachesTheServerAsItsMethod) {
    const std::vector<std::pair<int, std::string>> verbs = {
        {CHttpConnection::HTTP_VERB_POST, "POST"},     {CHttpConnection::HTTP_VERB_GET, "GET"},
        {CHttpConnection::HTTP_VERB_HEAD, "HEAD"},     {CHttpConnection::HTTP_VERB_PUT, "PUT"},
        {CHttpConnection::HTTP_VERB_LINK, "LINK"},     {CHttpConnection::HTTP_VERB_DELETE, "DELETE"},
        {CHttpConnection::HTTP_VERB_UNLINK, "UNLINK"}};
    CInternetSession session("Quarnels");
    std::unique_ptr<CHttpConnection> connection(session.GetHttpConnection("127.0.0.1", INTERNET_PORT(server.Port())));
    std::vector<std::string> expected;
    for (const auto& [verb, method] : verbs) {
        std::unique_ptr<CHttpFile> file(connection->OpenRequest(verb, "/thing"));
        file->SendRequest();
        expected.push_back(method);
    }
    std::vector<std::string> methods;
    for (const HttpRequest& request : server.Requests()) methods.push_back(request.method);
    EXPECT_EQ(methods, expected);

    // Numbers outside the table name no verb.
    EXPECT_STREQ("", CHttpConnection::VerbText(CHttpConnection::HTTP_VERB_MAX + 1));
    EXPECT_STREQ("", CHttpConnection::VerbText(-1));
}

TEST_F(AfxInet, ProxyRefusalThenCredentialsOnTheSameRequest) {
    const std::string proxy = "127.0.0.1:" + std::to_string(server.Port());
    CInternetSession session("Quarnels", 1, CERN_PROXY_INTERNET_ACCESS, proxy.c_str());
    std::unique_ptr<CHttpConnection> connection(session.GetHttpConnection("origin.test", DWORD(0), INTERNET_PORT(80)));
    std::unique_ptr<CHttpFile> file(connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, "/x"));
    file->SendRequest();
    DWORD status = 0;
    ASSERT_TRUE(file->QueryInfo(HTTP_QUERY_STATUS_CODE, status));
    EXPECT_EQ(407u, status);
    char drain[100];
    while (file->Read(drain, sizeof(drain))) {
    }
    char user[] = "me";
    char password[] = "secret";
    file->SetOption(INTERNET_OPTION_PROXY_USERNAME, user, 2);
    file->SetOption(INTERNET_OPTION_PROXY_PASSWORD, password, 6);
    file->SendRequest();
    ASSERT_TRUE(file->QueryInfo(HTTP_QUERY_STATUS_CODE, status));
    EXPECT_EQ(200u, status);
    EXPECT_EQ("Basic bWU6c2VjcmV0", server.Requests().at(1).Header("Proxy-Authorization"));
}

TEST_F(AfxInet, FailuresArriveAsInternetExceptionsWithNumberAndText) {
    CInternetSession session("Quarnels");
    std::unique_ptr<CHttpConnection> connection(
        session.GetHttpConnection("127.0.0.1", INTERNET_PORT(inet_test::ClosedPort())));
    std::unique_ptr<CHttpFile> file(connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, "/", nullptr, 7));
    auto refused = Catch([&] { file->SendRequest(); });
    ASSERT_NE(nullptr, refused);
    EXPECT_EQ(DWORD(ERROR_INTERNET_CANNOT_CONNECT), refused->m_dwError);
    EXPECT_EQ(7u, refused->m_dwContext);
    const std::string text = Message(*refused);
    EXPECT_GT(text.size(), 10u);
    EXPECT_EQ(std::string::npos, text.find_first_of("\r\n")) << text;
    EXPECT_EQ(text.substr(0, 9), Message(*refused, 10));

    // Reading what never came fails too.
    auto unread = Catch([&] {
        char byte;
        file->Read(&byte, 1);
    });
    ASSERT_NE(nullptr, unread);
    EXPECT_EQ(DWORD(ERROR_INTERNET_INCORRECT_HANDLE_STATE), unread->m_dwError);

    // A request that could not be opened is still handed out and fails at its send.
    connection->Close();
    std::unique_ptr<CHttpFile> orphan(connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, "/"));
    ASSERT_NE(nullptr, orphan);
    EXPECT_EQ(nullptr, static_cast<HINTERNET>(*orphan));
    auto invalid = Catch([&] { orphan->SendRequest(); });
    ASSERT_NE(nullptr, invalid);
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), invalid->m_dwError);
    EXPECT_FALSE(Message(*invalid).empty());

    auto noProxy = Catch([] { CInternetSession broken("Quarnels", 1, CERN_PROXY_INTERNET_ACCESS, nullptr); });
    ASSERT_NE(nullptr, noProxy);
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), noProxy->m_dwError);
}

TEST(AfxInetException, NumberFromTheCallerOrTheLastError) {
    SetLastError(ERROR_INTERNET_TIMEOUT);
    auto fromLast = Catch([] { AfxThrowInternetException(5); });
    ASSERT_NE(nullptr, fromLast);
    EXPECT_EQ(DWORD(ERROR_INTERNET_TIMEOUT), fromLast->m_dwError);
    EXPECT_EQ(5u, fromLast->m_dwContext);

    auto given = Catch([] { AfxThrowInternetException(1, ERROR_INTERNET_SEC_CERT_CN_INVALID); });
    ASSERT_NE(nullptr, given);
    EXPECT_NE(Message(*given), Message(*fromLast));

    // A number without a text gives an empty message and FALSE.
    CInternetException unknown(12999);
    char text[32] = "untouched";
    EXPECT_FALSE(unknown.GetErrorMessage(text, sizeof(text)));
    EXPECT_STREQ("", text);
}

}  // namespace
