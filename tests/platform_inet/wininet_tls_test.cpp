// https through WinINet: certificates are always verified in full, whatever the request's flags say.
#include <gtest/gtest.h>

#include "inet_test_util.h"
#include "tests/fakes/http_server.h"
#include "tls_support.h"

using namespace inet_test;
using fakes::HttpRequest;
using fakes::HttpResponse;

namespace {

constexpr DWORD kIgnoringFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_SECURE |
                                 INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
                                 INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;

HttpResponse Answer(const HttpRequest& r) { return HttpResponse::Text(200, "secret " + r.target); }

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
    EXPECT_EQ(DWORD(ERROR_INTERNET_SEC_CERT_ERRORS),
              Fetch(authority->Issue({"localhost"}), "localhost", kIgnoringFlags, nullptr));
}

}  // namespace
