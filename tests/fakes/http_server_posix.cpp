// The test HTTP server's sockets on POSIX systems. A pipe wakes the acceptor when the server stops.
#include "tests/fakes/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

namespace fakes {

namespace {

constexpr int kSocketTimeoutSeconds = 20;  // a backstop: no connection thread blocks forever

class PosixStream : public Stream {
public:
    explicit PosixStream(int socket) : m_socket(socket) {}
    long Read(void* buffer, size_t size) override {
        for (;;) {
            const ssize_t n = recv(m_socket, buffer, size, 0);
            if (n < 0 && errno == EINTR) continue;
            return long(n);
        }
    }
    bool Write(const void* data, size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size) {
            const ssize_t n = send(m_socket, p, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p += n;
            size -= size_t(n);
        }
        return true;
    }

private:
    int m_socket;
};

}  // namespace

bool HttpServer::OpenListener() {
    if (pipe2(m_wake, O_CLOEXEC) != 0) return false;
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0) {
        close(m_wake[0]);
        close(m_wake[1]);
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof(address);
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(m_listen, 64) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        close(m_listen);
        close(m_wake[0]);
        close(m_wake[1]);
        m_listen = -1;
        return false;
    }
    m_port = ntohs(address.sin_port);
    return true;
}

int HttpServer::Accept() {
    for (;;) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const int ready = poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || fds[1].revents) return -1;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping) return -1;
        }
        const int socket = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
            return -1;
        }
        timeval limit{kSocketTimeoutSeconds, 0};
        setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
        setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
        return socket;
    }
}

void HttpServer::WakeAcceptor() {
    const char byte = 0;
    if (write(m_wake[1], &byte, 1) < 0) {
        // The acceptor also wakes when the listening socket is shut down.
        shutdown(m_listen, SHUT_RDWR);
    }
}

void HttpServer::CloseListener() {
    close(m_listen);
    close(m_wake[0]);
    close(m_wake[1]);
}

std::unique_ptr<Stream> HttpServer::SocketStream(int socket) { return std::make_unique<PosixStream>(socket); }

void HttpServer::ShutdownSocket(int socket) { shutdown(socket, SHUT_RDWR); }

void HttpServer::EndSending(int socket) { shutdown(socket, SHUT_WR); }

void HttpServer::CloseSocket(int socket) { close(socket); }

}  // namespace fakes
