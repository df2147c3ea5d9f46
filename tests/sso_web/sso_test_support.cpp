// A private home folder, clients aimed at the fakes, a dead port, loopback visits and the boxes shown.
// The system's socket headers before the platform's, which then takes them instead of its own.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "tests/sso_web/sso_test_support.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <memory>

#include "tests/support/temp_folder.h"

namespace ssotest {

namespace {
std::unique_ptr<testsupport::TempFolder> g_folder;
std::string g_home;

// Registered once for every test program that links this file.
::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new HomeEnvironment);
}  // namespace

void HomeEnvironment::SetUp() {
    g_folder = std::make_unique<testsupport::TempFolder>("quarnels-sso");
    g_home = g_folder->Path();
    ASSERT_FALSE(g_home.empty());
    ASSERT_EQ(mkdir((g_home + "/.local").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((g_home + "/.local/share").c_str(), 0700), 0);
    // Set before any thread of a test starts: nothing else reads the environment at the same time.
    setenv("HOME", g_home.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    setenv("BROWSER", "true", 1);
}

void HomeEnvironment::TearDown() { g_folder.reset(); }

const std::string& HomeEnvironment::Home() { return g_home; }

std::string HomeEnvironment::IniFile() { return g_home + "/.local/share/Quarnels.ini"; }

void WriteStoredRefreshToken(const char* token) {
    ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "RefreshKey", token, OAuth2::GetIniPath()));
}

std::unique_ptr<OAuth2> MakeClient(fakes::FakeSignOn* signOn, fakes::FakeWebApi* webApi) {
    std::unique_ptr<OAuth2> client(new OAuth2);
    AimAtFakes(*client, signOn, webApi);
    return client;
}

void AimAtFakes(OAuth2& client, fakes::FakeSignOn* signOn, fakes::FakeWebApi* webApi) {
    if (signOn) {
        client.authorizeUrl = signOn->AuthorizeUrl().c_str();
        client.tokenUrl = signOn->TokenUrl().c_str();
        client.verifyUrl = signOn->VerifyUrl().c_str();
        signOn->SetClient(client.clientId.GetString(), client.clientSecret.GetString());
    }
    if (webApi) client.esiBaseUrl = webApi->BaseUrl().c_str();
}

std::string Str(const CString& text) { return std::string(text.GetString(), size_t(text.GetLength())); }

int DeadPort() {
    // Bound once and closed: the system hands the port out again only much later.
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        address.sin_port = htons(1);
    close(s);
    return ntohs(address.sin_port);
}

std::string VisitLoopback(int port, const std::string& target) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{10, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    std::string answer;
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: localhost:" + std::to_string(port) +
                                    "\r\nUser-Agent: test\r\n\r\n";
        if (send(s, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
            char buffer[4096];
            ssize_t got;
            while ((got = recv(s, buffer, sizeof(buffer), 0)) > 0) answer.append(buffer, size_t(got));
        }
    }
    close(s);
    return answer;
}

std::vector<Box> Boxes() {
    std::vector<Box> boxes;
    const unsigned count = QpObserverRecordCount();
    for (unsigned serial = 1; serial <= count; ++serial) {
        const QpUiRecord record = qp::observer::Record(serial);
        if (record.kind != QP_UI_MESSAGEBOX) continue;
        boxes.push_back(Box{qp::observer::Caption(serial), qp::observer::BoxText(serial), record.type});
    }
    return boxes;
}

}  // namespace ssotest
