// A proxy's refusal of a tunnel keeps its body for the caller, as WinINet keeps it. libcurl reads
// such an answer itself and hands its body to nobody; but from a proxy spoken to in plain http it
// reads the answer one byte at a time, so when the header block has ended the body still waits in
// the socket, where a copy is taken without consuming it. A body sent in chunks is not copied.
#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "inet_internal.h"

namespace qp::inet {

namespace {

// No more is kept than a socket holds unread at once.
constexpr size_t kMaxRefusalBody = 64 * 1024;
// The body follows its header block at once. A body that is not on the socket by then may never come
// (a libcurl that reads ahead has taken it), and the caller waits on the refusal, perhaps several
// times over: the wait is kept short, whatever the receive timeout.
constexpr long kMaxRefusalWaitMs = 200;

std::string EndpointText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {0};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof(text));
        return std::string(text) + " " + std::to_string(ntohs(v4.sin_port));
    }
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof(text));
        return std::string(text) + " " + std::to_string(ntohs(v6.sin6_port));
    }
    return std::string();
}

// The socket of the connection the transfer uses now: the one whose two ends are those it reports.
int CurrentSocket(CURL* easy, const std::vector<int>& sockets) {
    char* remoteIp = nullptr;
    char* localIp = nullptr;
    long remotePort = 0;
    long localPort = 0;
    if (curl_easy_getinfo(easy, CURLINFO_PRIMARY_IP, &remoteIp) != CURLE_OK || !remoteIp ||
        curl_easy_getinfo(easy, CURLINFO_PRIMARY_PORT, &remotePort) != CURLE_OK ||
        curl_easy_getinfo(easy, CURLINFO_LOCAL_IP, &localIp) != CURLE_OK || !localIp ||
        curl_easy_getinfo(easy, CURLINFO_LOCAL_PORT, &localPort) != CURLE_OK) {
        return -1;
    }
    const std::string remote = std::string(remoteIp) + " " + std::to_string(remotePort);
    const std::string local = std::string(localIp) + " " + std::to_string(localPort);
    for (auto it = sockets.rbegin(); it != sockets.rend(); ++it) {
        sockaddr_storage peer{};
        sockaddr_storage self{};
        socklen_t peerSize = sizeof(peer);
        socklen_t selfSize = sizeof(self);
        if (getpeername(*it, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0 &&
            getsockname(*it, reinterpret_cast<sockaddr*>(&self), &selfSize) == 0 && EndpointText(peer) == remote &&
            EndpointText(self) == local) {
            return *it;
        }
    }
    return -1;
}

}  // namespace

std::string PeekRefusalBody(void* easy, const std::vector<int>& sockets, size_t length, long waitMs,
                            const Object& request) {
    const size_t wanted = std::min(length, kMaxRefusalBody);
    const int socket = wanted ? CurrentSocket(static_cast<CURL*>(easy), sockets) : -1;
    if (socket < 0) return std::string();
    std::string bytes(wanted, '\0');
    const long shortWaitMs = std::min(waitMs, kMaxRefusalWaitMs);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(shortWaitMs);
    ssize_t got = 0;
    for (;;) {
        got = recv(socket, &bytes[0], wanted, MSG_PEEK | MSG_DONTWAIT);
        if (got >= ssize_t(wanted) || got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) break;
        // Peeked bytes keep the socket readable, so the wait for the rest is a short sleep; a peer
        // that has stopped sending ends it.
        pollfd state{socket, POLLRDHUP, 0};
        if (poll(&state, 1, 0) > 0 && (state.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
            got = recv(socket, &bytes[0], wanted, MSG_PEEK | MSG_DONTWAIT);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline || request.IsClosed()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    bytes.resize(got > 0 ? size_t(got) : 0);
    return bytes;
}

}  // namespace qp::inet
