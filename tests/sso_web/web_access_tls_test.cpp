// https through the request function: the certificate is checked in full, chain and host name.
#include <cstdlib>

#include "framework/afxinet.h"
#include "tests/platform_inet/tls_support.h"
#include "tests/sso_web/sso_test_support.h"
#include "tests/support/scoped_env.h"

namespace {

using fakes::HttpRequest;
using fakes::HttpResponse;
using ssotest::Boxes;
using ssotest::Str;

class WebAccessTls : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        authority = new tls_support::Authority("Quarnels Sign-On Test Authority");
        trusted = new tls_support::TempFile(authority->CertificatePem());
        // Read by the transfer library on the thread that sends; no request runs yet.
        certificates = new testsupport::ScopedEnv("SSL_CERT_FILE", trusted->Path());
    }
    static void TearDownTestSuite() {
        delete certificates;
        delete trusted;
        delete authority;
    }

    // One GET through WebAccess to a TLS server with this identity, addressed by `host`.
    BOOL Fetch(const tls_support::Identity& identity, const std::string& host) {
        fakes::HttpServer server([](const HttpRequest&) { return HttpResponse::Text(200, "{\"secret\":1}"); },
                                 tls_support::TlsStreams(identity));
        EXPECT_TRUE(server.Start());
        const std::string url = "https://" + host + ":" + std::to_string(server.Port()) + "/v1/x";
        return client->WebAccess(CHttpConnection::HTTP_VERB_GET, url.c_str(), "", &status, &response, nullptr, nullptr,
                                 nullptr, nullptr, OAuth2::kBoxForFailures);
    }

    static tls_support::Authority* authority;
    static tls_support::TempFile* trusted;
    static testsupport::ScopedEnv* certificates;
    std::unique_ptr<OAuth2> client = ssotest::MakeClient(nullptr, nullptr);
    qp::observer::ScopedObserver observer{QP_BOX_DEFAULT};
    int status = 0;
    CString response;
};

tls_support::Authority* WebAccessTls::authority = nullptr;
tls_support::TempFile* WebAccessTls::trusted = nullptr;
testsupport::ScopedEnv* WebAccessTls::certificates = nullptr;

TEST_F(WebAccessTls, TrustedCertificateForTheHost) {
    EXPECT_TRUE(Fetch(authority->Issue({"localhost"}), "localhost"));
    EXPECT_EQ(status, 200);
    EXPECT_EQ(Str(response), "{\"secret\":1}");
}

TEST_F(WebAccessTls, WrongHostNameOrDateFailsAsAnInternetError) {
    client->errorText = "before";
    EXPECT_FALSE(Fetch(authority->Issue({"elsewhere.example"}), "localhost"));
    EXPECT_NE(Str(client->errorText), "before");
    EXPECT_FALSE(client->errorText.IsEmpty());

    client->errorText = "before";
    EXPECT_FALSE(Fetch(authority->Issue({"localhost"}, -30, -1), "localhost"));
    EXPECT_NE(Str(client->errorText), "before");
    EXPECT_EQ(Str(response), "");
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
