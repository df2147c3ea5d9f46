// https through WinINet: certificates are always verified in full, whatever the request's flags say;
// only the request's flag makes an exchange secure.
// Before the platform's headers: the one-answer server below is written against the system's sockets.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include "inet_test_util.h"
#include "tests/fakes/http_server.h"
#include "tests/support/scoped_env.h"
#include "tls_support.h"

using namespace inet_test;
using testsupport::ScopedEnv;
using fakes::HttpRequest;
using fakes::HttpResponse;

namespace {

constexpr DWORD kIgnoringFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_SECURE |
                                 INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
                                 INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;

HttpResponse Answer(const HttpRequest& r) { return HttpResponse::Text(200, "secret " + r.target); }

// A proxy's page, longer than one TLS record (16 KiB): through TLS its tail lies sealed on the socket
// once the header block is read.
std::string RefusalPage() {
    std::string page = "<html><body>";
    while (page.size() < 20000) page += "Sign in to the proxy first. ";
    return page + "</body></html>";
}

// A proxy that refuses every tunnel with its page and keeps the connection open for the credentials.
HttpResponse RefuseTunnel(const HttpRequest&) {
    HttpResponse refusal = HttpResponse::Text(407, RefusalPage(), "text/html");
    refusal.headers.emplace_back("Proxy-Authenticate", "Basic realm=\"fake\"");
    refusal.keepOpen = true;
    return refusal;
}

// Takes one connection on 127.0.0.1, reads the request's head and sends back the bytes given.
class OneAnswerServer {
public:
    OneAnswerServer(uint16_t port, std::string answer) : m_answer(std::move(answer)) {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        socklen_t size = sizeof(address);
        if (bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(m_listen, 1) != 0 ||
            getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            m_error = errno;
            return;
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            const int client = accept(m_listen, nullptr, nullptr);
            if (client < 0) return;
            char chunk[4096];
            ssize_t got;
            while (m_received.find("\r\n\r\n") == std::string::npos && (got = recv(client, chunk, sizeof(chunk), 0)) > 0)
                m_received.append(chunk, size_t(got));
            send(client, m_answer.data(), m_answer.size(), MSG_NOSIGNAL);
            close(client);
        });
    }
    ~OneAnswerServer() {
        shutdown(m_listen, SHUT_RDWR);
        if (m_thread.joinable()) m_thread.join();
        close(m_listen);
    }
    int Error() const { return m_error; }
    INTERNET_PORT Port() const { return m_port; }
    // What the connection sent, once the answer went out.
    std::string Received() {
        if (m_thread.joinable()) m_thread.join();
        return m_received;
    }

private:
    std::string m_answer;
    int m_listen = -1;
    int m_error = 0;
    INTERNET_PORT m_port = 0;
    std::string m_received;
    std::thread m_thread;
};

class WinInetTls : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        authority = new tls_support::Authority("Quarnels Test Authority");
        trusted = new tls_support::TempFile(authority->CertificatePem());
    }
    static void TearDownTestSuite() {
        delete trusted;
        delete authority;
    }

    // Sends a GET to a TLS server with the given identity; returns the error number (0 when answered).
    DWORD Fetch(const tls_support::Identity& identity, const std::string& host, DWORD flags, std::string* body) {
        fakes::HttpServer server(&Answer, tls_support::TlsStreams(identity));
        if (!server.Start()) return DWORD(-1);
        Exchange e;
        Target t;
        t.host = host;
        t.port = server.Port();
        t.object = "/v1/x";
        t.flags = flags;
        if (!Open(e, t)) return GetLastError();
        if (!HttpSendRequestA(e.request, nullptr, 0, nullptr, 0)) return GetLastError();
        if (body) *body = ReadAll(e.request);
        return ERROR_SUCCESS;
    }

    static tls_support::Authority* authority;
    static tls_support::TempFile* trusted;
};

tls_support::Authority* WinInetTls::authority = nullptr;
tls_support::TempFile* WinInetTls::trusted = nullptr;

TEST_F(WinInetTls, TrustedCertificateForTheHostIsAccepted) {
    ScopedEnv store("SSL_CERT_FILE", trusted->Path().c_str());
    std::string body;
    EXPECT_EQ(DWORD(ERROR_SUCCESS), Fetch(authority->Issue({"localhost"}), "localhost", kIgnoringFlags, &body));
    EXPECT_EQ("secret /v1/x", body);
}

TEST_F(WinInetTls, HostNameMismatchFailsEvenWhenAskedToIgnoreIt) {
    ScopedEnv store("SSL_CERT_FILE", trusted->Path().c_str());
    EXPECT_EQ(DWORD(ERROR_INTERNET_SEC_CERT_CN_INVALID),
              Fetch(authority->Issue({"elsewhere.test"}), "localhost", kIgnoringFlags, nullptr));
    EXPECT_FALSE(MessageText(ERROR_INTERNET_SEC_CERT_CN_INVALID).empty());
}

TEST_F(WinInetTls, ExpiredCertificateFailsEvenWhenAskedToIgnoreIt) {
    ScopedEnv store("SSL_CERT_FILE", trusted->Path().c_str());
    EXPECT_EQ(DWORD(ERROR_INTERNET_SEC_CERT_DATE_INVALID),
              Fetch(authority->Issue({"localhost"}, -30, -1), "localhost", kIgnoringFlags, nullptr));
    EXPECT_EQ(DWORD(ERROR_INTERNET_SEC_CERT_DATE_INVALID),
              Fetch(authority->Issue({"localhost"}, 2, 30), "localhost", kIgnoringFlags, nullptr));
}

TEST_F(WinInetTls, UntrustedIssuerFails) {
    tls_support::Authority stranger("Someone Else");
    tls_support::TempFile otherStore(stranger.CertificatePem());
    ScopedEnv store("SSL_CERT_FILE", otherStore.Path().c_str());
    EXPECT_EQ(DWORD(ERROR_INTERNET_INVALID_CA),
              Fetch(authority->Issue({"localhost"}), "localhost", kIgnoringFlags, nullptr));
}

TEST_F(WinInetTls, RefusedTunnelAnswersAtOnceWithTheTextOnlyOfAPlainProxy) {
    ScopedEnv store("SSL_CERT_FILE", trusted->Path().c_str());
    fakes::HttpServer plainProxy(&RefuseTunnel);
    fakes::HttpServer secureProxy(&RefuseTunnel, tls_support::TlsStreams(authority->Issue({"localhost"})));
    ASSERT_TRUE(plainProxy.Start());
    ASSERT_TRUE(secureProxy.Start());
    // Through TLS the proxy's page is sealed, so none is given rather than its sealed bytes.
    const std::pair<std::string, std::string> proxies[] = {
        {"http://127.0.0.1:" + std::to_string(plainProxy.Port()), RefusalPage()},
        {"https://localhost:" + std::to_string(secureProxy.Port()), ""}};
    for (const auto& [proxy, text] : proxies) {
        Exchange e;
        Target t;
        t.host = "origin.test";
        t.flags |= INTERNET_FLAG_SECURE;
        t.accessType = INTERNET_OPEN_TYPE_PROXY;
        t.proxy = proxy.c_str();
        ASSERT_TRUE(Open(e, t));
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(HttpSendRequestA(e.request, nullptr, 0, nullptr, 0)) << proxy << " " << GetLastError();
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), 1000) << proxy;
        EXPECT_EQ(407u, QueryNumber(e.request, HTTP_QUERY_STATUS_CODE)) << proxy;
        const std::string page = ReadAll(e.request);
        EXPECT_EQ(text.size(), page.size()) << proxy;
        EXPECT_TRUE(page == text) << proxy;
    }
}

TEST_F(WinInetTls, FailuresGiveTheErrorNumbersOfWindowsAndPort443StaysPlainWithoutTheFlag) {
    {
        // A revocation list beside the authority's certificate in the store names one certificate.
        const tls_support::Identity revoked = authority->Issue({"localhost"});
        tls_support::TempFile withList(authority->CertificatePem() + authority->RevocationListPem({revoked}));
        ScopedEnv store("SSL_CERT_FILE", withList.Path().c_str());
        EXPECT_EQ(DWORD(ERROR_INTERNET_SEC_CERT_REVOKED), Fetch(revoked, "localhost", kIgnoringFlags, nullptr));
        EXPECT_EQ(DWORD(ERROR_SUCCESS), Fetch(authority->Issue({"localhost"}), "localhost", kIgnoringFlags, nullptr));
    }
    ScopedEnv store("SSL_CERT_FILE", trusted->Path().c_str());
    EXPECT_EQ(DWORD(ERROR_INTERNET_INVALID_CA),
              Fetch(tls_support::SelfSigned({"localhost"}), "localhost", kIgnoringFlags, nullptr));

    OneAnswerServer notHttp(0, "SSH-2.0-OpenSSH_9.2\r\n");
    ASSERT_EQ(0, notHttp.Error());
    Exchange e;
    Target t;
    t.port = notHttp.Port();
    ASSERT_TRUE(Open(e, t));
    EXPECT_FALSE(HttpSendRequestA(e.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(DWORD(ERROR_HTTP_INVALID_SERVER_RESPONSE), GetLastError());

    for (DWORD number : {ERROR_INTERNET_SEC_CERT_REVOKED, ERROR_INTERNET_INVALID_CA, ERROR_HTTP_INVALID_SERVER_RESPONSE})
        EXPECT_GT(MessageText(number).size(), 10u) << number;

    OneAnswerServer https(INTERNET_DEFAULT_HTTPS_PORT, "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nplain");
    if (https.Error()) GTEST_SKIP() << "port 443 cannot be bound here: " << std::strerror(https.Error());
    Exchange plain;
    Target onPort443;
    onPort443.port = INTERNET_DEFAULT_HTTPS_PORT;
    ASSERT_TRUE(Open(plain, onPort443));
    ASSERT_TRUE(HttpSendRequestA(plain.request, nullptr, 0, nullptr, 0)) << GetLastError();
    EXPECT_EQ("plain", ReadAll(plain.request));
    EXPECT_EQ(0u, https.Received().rfind("GET / HTTP/1.1\r\n", 0));
}

}  // namespace
