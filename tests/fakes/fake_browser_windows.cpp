// The user's browser for the Windows tests: registered as the program that opens http URLs, it is
// started by the library's ShellExecuteExA with the sign-on service's authorize URL. Like a browser
// it fetches the URL and follows redirects, so it ends at the library's loopback listener with the
// code the fake service handed out (tests/fakes/browsing.h says what it logs).
//
// It reaches only loopback addresses ("localhost" is 127.0.0.1), every socket has a time-out, and
// the whole run is cut off after 30 seconds.
#include <cstdio>
#include <string>

#include "platform/win32api.h"
#include "tests/fakes/browsing.h"

namespace {

constexpr DWORD kSocketTimeoutMs = 10000;
constexpr DWORD kRunLimitMs = 30000;

bool Loopback(const std::string& host, in_addr& address) {
    address.s_addr = inet_addr(browsing::AddressOf(host).c_str());
    return address.s_addr != INADDR_NONE && (ntohl(address.s_addr) >> 24) == 127;
}

bool Fetch(const browsing::Url& url, const std::string& request, std::string& answer) {
    in_addr address{};
    if (!Loopback(url.host, address)) return false;
    const SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connection == INVALID_SOCKET) return false;
    const DWORD limit = kSocketTimeoutMs;
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
    setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(u_short(url.port));
    peer.sin_addr = address;
    const bool sent = connect(connection, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0 &&
                      send(connection, request.data(), int(request.size()), 0) == int(request.size());
    char chunk[4096];
    int n;
    while (sent && (n = recv(connection, chunk, sizeof(chunk), 0)) > 0) answer.append(chunk, size_t(n));
    closesocket(connection);
    return sent;
}

DWORD WINAPI Deadline(LPVOID) {
    Sleep(kRunLimitMs);
    std::fprintf(stderr, "fake browser: gave up after %lu ms\n", static_cast<unsigned long>(kRunLimitMs));
    ExitProcess(3);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s URL\n", argv[0]);
        return 2;
    }
    if (HANDLE deadline = CreateThread(nullptr, 0, Deadline, nullptr, 0, nullptr)) CloseHandle(deadline);
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 2;
    const int code = browsing::Browse(argv[1], &Fetch);
    WSACleanup();
    return code;
}
