// A stand-in for the user's browser, run as $BROWSER with one URL: it fetches the URL with a plain
// HTTP/1.1 GET and follows redirects, the way a browser takes the user from the sign-on service's
// authorize page to the loopback listener (tests/fakes/browsing.h says what it logs).
//
// It reaches only loopback addresses ("localhost" is 127.0.0.1) and always ends on its own: every
// connect and read has a time-out and the whole run is cut off after 30 seconds.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/fakes/browsing.h"

namespace {

const int kIoTimeoutSeconds = 10;
const unsigned kRunLimitSeconds = 30;

// Only the loopback network may be reached.
bool LoopbackAddress(const std::string& host, in_addr& address) {
    if (inet_pton(AF_INET, browsing::AddressOf(host).c_str(), &address) != 1) return false;
    return (ntohl(address.s_addr) >> 24) == 127;
}

bool Fetch(const browsing::Url& url, const std::string& request, std::string& answer) {
    in_addr address{};
    if (!LoopbackAddress(url.host, address)) return false;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    timeval timeout{kIoTimeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(url.port));
    peer.sin_addr = address;
    if (connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) != 0 ||
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size())) {
        close(fd);
        return false;
    }
    // Both servers it talks to close the connection after their answer.
    char chunk[4096];
    for (;;) {
        const ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
        if (n <= 0) break;
        answer.append(chunk, size_t(n));
    }
    close(fd);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    alarm(kRunLimitSeconds);  // the default action ends the process
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s URL\n", argv[0]);
        return 2;
    }
    return browsing::Browse(argv[1], &Fetch);
}
