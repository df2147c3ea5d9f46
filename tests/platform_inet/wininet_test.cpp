// WinINet over libcurl, against the fake HTTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "inet_test_util.h"
#include "tests/fakes/http_server.h"
#include "tests/support/scoped_env.h"

using namespace inet_test;
using testsupport::ScopedEnv;
using fakes::HttpRequest;
using fakes::HttpResponse;

namespace {

std::string BigBody() {
    std::string body(70000, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = char((i * 7) % 251);
    return body;
}

HttpResponse Route(const HttpRequest& r) {
    if (r.method == "CONNECT") {
        HttpResponse refusal = HttpResponse::Text(407, "tunnel refused");
        refusal.headers.emplace_back("Proxy-Authenticate", "Basic realm=\"fake\"");
        return refusal;
    }
    if (r.target.rfind("http://origin.test/", 0) == 0) {
        if (r.Header("Proxy-Authorization") != "Basic cHVzZXI6cHBhc3M=") {  // puser:ppass
            HttpResponse refusal = HttpResponse::Text(407, "proxy says no");
            refusal.headers.emplace_back("Proxy-Authenticate", "Basic realm=\"fake\"");
            return refusal;
        }
        return HttpResponse::Text(200, "through proxy");
    }
    const std::string path = r.Path();
    if (path == "/pages") {
        HttpResponse answer = HttpResponse::Text(200, "[]", "application/json");
        answer.headers.emplace_back("x-pages", "3");
        return answer;
    }
    if (path == "/big") return HttpResponse::Text(200, BigBody(), "application/octet-stream");
    if (path == "/missing") return HttpResponse::Text(404, "{\"error\":\"nope\"}", "application/json");
    if (path == "/teapot") {
        HttpResponse answer = HttpResponse::Text(418, "short");
        answer.reason = "Short And Stout";
        return answer;
    }
    if (path == "/old") return HttpResponse::Redirect(302, "/new");
    if (path == "/see-other") return HttpResponse::Redirect(303, "/new");
    if (path == "/new") return HttpResponse::Text(200, "moved here");
    if (path == "/hang") return HttpResponse::NoAnswer();
    if (path == "/close") return HttpResponse::CloseWithoutAnswer();
    return HttpResponse::Text(200, "ok " + r.method);
}

class WinInet : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    Target To(const std::string& object, const char* verb = "GET") {
        Target t;
        t.port = server.Port();
        t.object = object;
        t.verb = verb;
        return t;
    }

    fakes::HttpServer server{&Route};
};

TEST_F(WinInet, GetSendsTheRequestAsAskedAndReadsTheAnswer) {
    Exchange e;
    Target t = To("/echo?a=1&b=two");
    t.flags |= INTERNET_FLAG_PRAGMA_NOCACHE;
    t.version = "HTTP/1.0";
    ASSERT_TRUE(Open(e, t));
    // Header text as the request function builds it: the last line has no line end.
    const char headers[] = "X-Custom: one\r\nAuthorization:Basic dXNlcjpwYXNz";
    ASSERT_TRUE(HttpSendRequestA(e.request, headers, DWORD(-1), nullptr, 0)) << GetLastError();

    EXPECT_EQ(200u, QueryNumber(e.request, HTTP_QUERY_STATUS_CODE));
    EXPECT_EQ("OK", QueryText(e.request, HTTP_QUERY_STATUS_TEXT));
    EXPECT_EQ("ok GET", ReadAll(e.request));

    ASSERT_EQ(1u, server.RequestCount());
    const HttpRequest seen = server.Requests()[0];
    EXPECT_EQ("GET", seen.method);
    EXPECT_EQ("/echo?a=1&b=two", seen.target);
    EXPECT_EQ("HTTP/1.0", seen.version);
    EXPECT_EQ("one", seen.Header("X-Custom"));
    EXPECT_EQ("Basic dXNlcjpwYXNz", seen.Header("Authorization"));
    EXPECT_EQ("Quarnels", seen.Header("User-Agent"));
    EXPECT_EQ("no-cache", seen.Header("Pragma"));
    // Nothing WinINet would not send of its own accord.
    EXPECT_FALSE(seen.HasHeader("Accept"));
    EXPECT_FALSE(seen.HasHeader("Content-Type"));
}

TEST_F(WinInet, PostSendsTheBodyBytesExactly) {
    Exchange e;
    ASSERT_TRUE(Open(e, To("/token", "POST")));
    std::string body("grant=1&x=\0\xff", 12);
    const char headers[] = "Content-Type: application/x-www-form-urlencoded\r\n";
    ASSERT_TRUE(HttpSendRequestA(e.request, headers, DWORD(sizeof(headers) - 1), &body[0], DWORD(body.size())));
    EXPECT_EQ("ok POST", ReadAll(e.request));

    const HttpRequest seen = server.Requests().at(0);
    EXPECT_EQ("POST", seen.method);
    EXPECT_EQ(body, seen.body);
    EXPECT_EQ("application/x-www-form-urlencoded", seen.Header("Content-Type"));
    EXPECT_FALSE(seen.HasHeader("Expect"));

    // An empty POST still says that its body is empty.
    Exchange empty;
    ASSERT_TRUE(Open(empty, To("/token", "POST")));
    ASSERT_TRUE(HttpSendRequestA(empty.request, "", 0, nullptr, 0));
    EXPECT_EQ("0", server.Requests().at(1).Header("Content-Length"));
    EXPECT_FALSE(server.Requests().at(1).HasHeader("Authorization"));
}

TEST_F(WinInet, StatusAndHeaderQueries) {
    Exchange e;
    ASSERT_TRUE(Open(e, To("/pages")));
    ASSERT_TRUE(HttpSendRequestA(e.request, nullptr, 0, nullptr, 0));

    const std::string raw = QueryText(e.request, HTTP_QUERY_RAW_HEADERS_CRLF);
    EXPECT_EQ(0u, raw.find("HTTP/1.1 200 OK\r\n")) << raw;
    EXPECT_NE(std::string::npos, raw.find("\r\nx-pages: 3\r\n")) << raw;
    EXPECT_EQ(raw.size() - 4, raw.rfind("\r\n\r\n"));
    const std::string nulSeparated = QueryText(e.request, HTTP_QUERY_RAW_HEADERS);
    EXPECT_NE(std::string::npos, nulSeparated.find(std::string("\0x-pages: 3\0", 12)));

    EXPECT_EQ("3", QueryText(e.request, HTTP_QUERY_CUSTOM, "X-Pages"));
    EXPECT_EQ("application/json", QueryText(e.request, HTTP_QUERY_CONTENT_TYPE));
    EXPECT_EQ(2u, QueryNumber(e.request, HTTP_QUERY_CONTENT_LENGTH));
    EXPECT_EQ("HTTP/1.1", QueryText(e.request, HTTP_QUERY_VERSION));
    EXPECT_EQ("<failed 12150>", QueryText(e.request, HTTP_QUERY_CUSTOM, "X-Absent"));
    EXPECT_EQ("<failed 12150>", QueryText(e.request, HTTP_QUERY_LOCATION));

    // Too small a buffer learns the size it needs, NUL included, and gets nothing.
    char small[4] = "abc";
    DWORD length = sizeof(small);
    EXPECT_FALSE(HttpQueryInfoA(e.request, HTTP_QUERY_CONTENT_TYPE, small, &length, nullptr));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(17u, length);
    DWORD number = 0;
    length = 2;
    EXPECT_FALSE(HttpQueryInfoA(e.request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &number, &length, nullptr));
    EXPECT_EQ(4u, length);
}

TEST_F(WinInet, StatusCodeAndTextOfFailedAnswers) {
    Exchange missing;
    ASSERT_TRUE(Open(missing, To("/missing")));
    ASSERT_TRUE(HttpSendRequestA(missing.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(404u, QueryNumber(missing.request, HTTP_QUERY_STATUS_CODE));
    EXPECT_EQ("404", QueryText(missing.request, HTTP_QUERY_STATUS_CODE));
    EXPECT_EQ("Not Found", QueryText(missing.request, HTTP_QUERY_STATUS_TEXT));
    EXPECT_EQ("{\"error\":\"nope\"}", ReadAll(missing.request));

    Exchange teapot;
    ASSERT_TRUE(Open(teapot, To("/teapot")));
    ASSERT_TRUE(HttpSendRequestA(teapot.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(418u, QueryNumber(teapot.request, HTTP_QUERY_STATUS_CODE));
    EXPECT_EQ("Short And Stout", QueryText(teapot.request, HTTP_QUERY_STATUS_TEXT));
}

TEST_F(WinInet, LargeBodyIsReadInChunksAndReassembledExactly) {
    Exchange e;
    ASSERT_TRUE(Open(e, To("/big")));
    ASSERT_TRUE(HttpSendRequestA(e.request, nullptr, 0, nullptr, 0));
    int reads = 0;
    const std::string body = ReadAll(e.request, 29999, &reads);
    EXPECT_EQ(3, reads);
    EXPECT_TRUE(body == BigBody());
    // The end stays the end.
    char byte;
    DWORD got = 1;
    EXPECT_TRUE(InternetReadFile(e.request, &byte, 1, &got));
    EXPECT_EQ(0u, got);
}

TEST_F(WinInet, RedirectsAreFollowedUnlessSwitchedOff) {
    Exchange e;
    ASSERT_TRUE(Open(e, To("/old")));
    ASSERT_TRUE(HttpSendRequestA(e.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(200u, QueryNumber(e.request, HTTP_QUERY_STATUS_CODE));
    EXPECT_EQ("moved here", ReadAll(e.request));
    // Headers are the final answer's only.
    EXPECT_EQ(std::string::npos, QueryText(e.request, HTTP_QUERY_RAW_HEADERS_CRLF).find("Location"));

    // A POST answered 303 goes on as a GET.
    Exchange post;
    ASSERT_TRUE(Open(post, To("/see-other", "POST")));
    ASSERT_TRUE(HttpSendRequestA(post.request, nullptr, 0, const_cast<char*>("x=1"), 3));
    EXPECT_EQ("moved here", ReadAll(post.request));
    EXPECT_EQ("GET", server.Requests().back().method);

    Exchange manual;
    Target t = To("/old");
    t.flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
    ASSERT_TRUE(Open(manual, t));
    ASSERT_TRUE(HttpSendRequestA(manual.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(302u, QueryNumber(manual.request, HTTP_QUERY_STATUS_CODE));
    EXPECT_EQ("/new", QueryText(manual.request, HTTP_QUERY_LOCATION));
}

TEST_F(WinInet, ProxyRefusalComesBackAsStatusAndCredentialsAreSentOnTheResend) {
    const std::string proxy = "127.0.0.1:" + std::to_string(server.Port());
    Exchange e;
    Target t = To("/resource?q=1");
    t.host = "origin.test";
    t.port = 0;
    t.accessType = INTERNET_OPEN_TYPE_PROXY;
    t.proxy = proxy.c_str();
    ASSERT_TRUE(Open(e, t));
    ASSERT_TRUE(HttpSendRequestA(e.request, "X-Once: 1\r\n", DWORD(-1), nullptr, 0));
    EXPECT_EQ(407u, QueryNumber(e.request, HTTP_QUERY_STATUS_CODE));
    EXPECT_EQ("Basic realm=\"fake\"", QueryText(e.request, HTTP_QUERY_PROXY_AUTHENTICATE));
    EXPECT_EQ("proxy says no", ReadAll(e.request));
    EXPECT_EQ("http://origin.test/resource?q=1", server.Requests().at(0).target);

    ASSERT_TRUE(InternetSetOptionA(e.request, INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>("puser"), 5));
    ASSERT_TRUE(InternetSetOptionA(e.request, INTERNET_OPTION_PROXY_PASSWORD, const_cast<char*>("ppass"), 5));
    ASSERT_TRUE(HttpSendRequestA(e.request, "X-Once: 1\r\n", DWORD(-1), nullptr, 0));
    EXPECT_EQ(200u, QueryNumber(e.request, HTTP_QUERY_STATUS_CODE));
    EXPECT_EQ("through proxy", ReadAll(e.request));
    // The resend carries the send's headers once, not twice.
    int once = 0;
    const HttpRequest resent = server.Requests().at(1);
    for (const auto& header : resent.headers) once += header.first == "X-Once";
    EXPECT_EQ(1, once);

    // A proxy that refuses an https tunnel answers 407 too, with its text.
    Exchange secure;
    t.flags |= INTERNET_FLAG_SECURE;
    ASSERT_TRUE(Open(secure, t));
    ASSERT_TRUE(HttpSendRequestA(secure.request, nullptr, 0, nullptr, 0)) << GetLastError();
    EXPECT_EQ(407u, QueryNumber(secure.request, HTTP_QUERY_STATUS_CODE));
    EXPECT_EQ("tunnel refused", ReadAll(secure.request));
    EXPECT_EQ("CONNECT", server.Requests().back().method);
    EXPECT_EQ("origin.test:443", server.Requests().back().target);
}

TEST_F(WinInet, PreconfiguredAccessUsesTheEnvironmentProxyButNeverForLoopback) {
    const std::string proxy = server.Url("");
    ScopedEnv httpProxy("http_proxy", proxy.c_str());
    ScopedEnv noProxy("no_proxy", nullptr);
    ScopedEnv upperNoProxy("NO_PROXY", nullptr);

    Exchange far;
    Target t = To("/resource");
    t.host = "origin.test";
    t.port = 0;
    ASSERT_TRUE(Open(far, t));
    ASSERT_TRUE(HttpSendRequestA(far.request, nullptr, 0, nullptr, 0)) << GetLastError();
    EXPECT_EQ("http://origin.test/resource", server.Requests().at(0).target);

    ScopedEnv deadProxy("http_proxy", ("http://127.0.0.1:" + std::to_string(ClosedPort())).c_str());
    Exchange near;
    ASSERT_TRUE(Open(near, To("/plain")));
    ASSERT_TRUE(HttpSendRequestA(near.request, nullptr, 0, nullptr, 0)) << GetLastError();
    EXPECT_EQ("/plain", server.Requests().back().target);
}

TEST_F(WinInet, TransportFailuresSetTheirErrorNumbersAndHaveTexts) {
    Exchange refused;
    Target t = To("/");
    t.port = ClosedPort();
    ASSERT_TRUE(Open(refused, t));
    EXPECT_FALSE(HttpSendRequestA(refused.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(DWORD(ERROR_INTERNET_CANNOT_CONNECT), GetLastError());
    EXPECT_FALSE(MessageText(ERROR_INTERNET_CANNOT_CONNECT).empty());
    // Nothing was answered, so there is nothing to query or read.
    EXPECT_EQ("<failed 12019>", QueryText(refused.request, HTTP_QUERY_STATUS_CODE));
    DWORD got;
    char byte;
    EXPECT_FALSE(InternetReadFile(refused.request, &byte, 1, &got));
    EXPECT_EQ(DWORD(ERROR_INTERNET_INCORRECT_HANDLE_STATE), GetLastError());

    Exchange closed;
    ASSERT_TRUE(Open(closed, To("/close")));
    EXPECT_FALSE(HttpSendRequestA(closed.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(DWORD(ERROR_INTERNET_CONNECTION_ABORTED), GetLastError());

    Exchange unnamed;
    Target blank = To("/");
    blank.host = "";
    ASSERT_TRUE(Open(unnamed, blank));
    EXPECT_FALSE(HttpSendRequestA(unnamed.request, nullptr, 0, nullptr, 0));
    EXPECT_NE(DWORD(ERROR_SUCCESS), GetLastError());
}

TEST_F(WinInet, SilentServerHitsTheReceiveTimeout) {
    Exchange e;
    ASSERT_TRUE(Open(e, To("/hang")));
    DWORD timeout = 1000;
    ASSERT_TRUE(InternetSetOptionA(e.session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout)));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(HttpSendRequestA(e.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(DWORD(ERROR_INTERNET_TIMEOUT), GetLastError());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(WinInet, ClosingAHandleCancelsARunningSendOnAnotherThread) {
    Exchange e;
    ASSERT_TRUE(Open(e, To("/hang")));
    std::atomic<DWORD> error{0};
    std::atomic<BOOL> result{TRUE};
    std::thread sender([&] {
        result = HttpSendRequestA(e.request, nullptr, 0, nullptr, 0);
        error = GetLastError();
    });
    ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(10)));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(InternetCloseHandle(e.session));  // closes the connection and the request with it
    sender.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(result);
    EXPECT_EQ(DWORD(ERROR_INTERNET_OPERATION_CANCELLED), error.load());
    EXPECT_FALSE(InternetCloseHandle(e.request));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    e.session = e.connection = e.request = nullptr;
}

TEST_F(WinInet, ConcurrentExchangesOnSeveralThreads) {
    constexpr int kThreads = 6;
    constexpr int kEach = 4;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            for (int j = 0; j < kEach; ++j) {
                Exchange e;
                const bool big = (i + j) % 2 == 0;
                if (!Open(e, To(big ? "/big" : "/n" + std::to_string(i)))) continue;
                if (!HttpSendRequestA(e.request, nullptr, 0, nullptr, 0)) continue;
                const std::string body = ReadAll(e.request, 8192);
                if (big ? body == BigBody() : body == "ok GET") ++good;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(kThreads * kEach, good.load());
}

TEST_F(WinInet, HandlesChecksAndOptions) {
    Exchange e;
    ASSERT_TRUE(Open(e, To("/")));
    // Wrong kinds of handle, and handles that are no more.
    EXPECT_EQ(nullptr, HttpOpenRequestA(e.session, "GET", "/", nullptr, nullptr, nullptr, 0, 0));
    EXPECT_EQ(DWORD(ERROR_INTERNET_INCORRECT_HANDLE_TYPE), GetLastError());
    EXPECT_FALSE(HttpSendRequestA(e.connection, nullptr, 0, nullptr, 0));
    EXPECT_EQ(DWORD(ERROR_INTERNET_INCORRECT_HANDLE_TYPE), GetLastError());
    EXPECT_EQ(nullptr, InternetConnectA(e.session, "h", 80, nullptr, nullptr, INTERNET_SERVICE_FTP, 0, 0));
    EXPECT_FALSE(HttpSendRequestA(nullptr, nullptr, 0, nullptr, 0));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(nullptr, InternetOpenA("a", INTERNET_OPEN_TYPE_PROXY, nullptr, nullptr, 0));

    DWORD value = 4321;
    EXPECT_TRUE(InternetSetOptionA(e.session, INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof(value)));
    EXPECT_TRUE(InternetSetOptionA(e.request, INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof(value)));
    EXPECT_FALSE(InternetSetOptionA(e.request, INTERNET_OPTION_CONNECT_TIMEOUT, &value, 2));
    EXPECT_EQ(DWORD(ERROR_INTERNET_BAD_OPTION_LENGTH), GetLastError());
    EXPECT_FALSE(InternetSetOptionA(e.request, 9999, &value, sizeof(value)));
    EXPECT_EQ(DWORD(ERROR_INTERNET_INVALID_OPTION), GetLastError());
    EXPECT_FALSE(InternetSetOptionA(e.request, INTERNET_OPTION_HANDLE_TYPE, &value, sizeof(value)));
    EXPECT_EQ(DWORD(ERROR_INTERNET_OPTION_NOT_SETTABLE), GetLastError());

    // The certificate-ignoring bits are taken, yet verification stays on (see the TLS tests); they
    // belong to requests only.
    value = SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    EXPECT_TRUE(InternetSetOptionA(e.request, INTERNET_OPTION_SECURITY_FLAGS, &value, sizeof(value)));
    EXPECT_FALSE(InternetSetOptionA(e.connection, INTERNET_OPTION_SECURITY_FLAGS, &value, sizeof(value)));
    EXPECT_EQ(DWORD(ERROR_INTERNET_INCORRECT_HANDLE_TYPE), GetLastError());
    EXPECT_TRUE(InternetSetOptionA(e.session, INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>("someone"), 7));
}

TEST_F(WinInet, ConnectionCredentialsGoOutAsBasicAuthorization) {
    Exchange e;
    e.session = InternetOpenA("Quarnels", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    e.connection = InternetConnectA(e.session, "127.0.0.1", server.Port(), "user", "pass", INTERNET_SERVICE_HTTP, 0, 1);
    e.request = HttpOpenRequestA(e.connection, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 1);
    ASSERT_NE(nullptr, e.request);
    ASSERT_TRUE(HttpSendRequestA(e.request, nullptr, 0, nullptr, 0));
    const HttpRequest seen = server.Requests().at(0);
    EXPECT_EQ("GET", seen.method);
    EXPECT_EQ("/", seen.target);
    EXPECT_EQ("Basic dXNlcjpwYXNz", seen.Header("Authorization"));
}

TEST(WinInetMessages, EveryErrorNumberHasAText) {
    const DWORD numbers[] = {ERROR_INTERNET_TIMEOUT, ERROR_INTERNET_INVALID_URL, ERROR_INTERNET_NAME_NOT_RESOLVED,
                             ERROR_INTERNET_INVALID_OPERATION, ERROR_INTERNET_OPERATION_CANCELLED,
                             ERROR_INTERNET_INCORRECT_HANDLE_TYPE, ERROR_INTERNET_INCORRECT_HANDLE_STATE,
                             ERROR_INTERNET_CANNOT_CONNECT, ERROR_INTERNET_CONNECTION_ABORTED,
                             ERROR_INTERNET_CONNECTION_RESET, ERROR_INTERNET_SEC_CERT_DATE_INVALID,
                             ERROR_INTERNET_SEC_CERT_CN_INVALID, ERROR_INTERNET_SEC_CERT_ERRORS,
                             ERROR_HTTP_HEADER_NOT_FOUND, ERROR_HTTP_INVALID_SERVER_RESPONSE,
                             ERROR_HTTP_REDIRECT_FAILED, ERROR_INTERNET_SECURITY_CHANNEL_ERROR,
                             ERROR_INTERNET_INTERNAL_ERROR, ERROR_INVALID_HANDLE, ERROR_NOT_ENOUGH_MEMORY};
    for (DWORD number : numbers) {
        const std::string text = MessageText(number);
        EXPECT_GT(text.size(), 10u) << number;
        EXPECT_EQ("\r\n", text.substr(text.size() - 2)) << number;
    }
    char text[256];
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 12999, 0, text, sizeof(text), nullptr));
    EXPECT_EQ(DWORD(ERROR_MR_MID_NOT_FOUND), GetLastError());
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, nullptr, ERROR_INTERNET_TIMEOUT, 0, text, 5, nullptr));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr,
                                   ERROR_INTERNET_TIMEOUT, 0, text, sizeof(text), nullptr);
    ASSERT_GT(n, 0u);
    EXPECT_NE('\n', text[n - 1]);
    EXPECT_EQ(n, DWORD(std::strlen(text)));
}

}  // namespace
