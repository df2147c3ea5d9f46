// The test HTTP server's sockets over Windows Sockets, for the tests that run on Windows (under Wine).
// The acceptor looks between short waits whether the server stops.
#include "tests/fakes/http_server.h"

#include "platform/win32api.h"

namespace fakes {

namespace {

constexpr DWORD kSocketTimeoutMs = 20000;  // no connection thread waits for ever
constexpr long kAcceptPollUs = 50000;      // how often the acceptor looks whether it must stop

// Socket handles fit in 32 bits on Windows, which lets the shared header keep them as int.
SOCKET AsSocket(int socket) { return static_cast<SOCKET>(static_cast<unsigned>(socket)); }

class WinsockStream : public Stream {
public:
    explicit WinsockStream(SOCKET socket) : m_socket(socket) {}
    long Read(void* buffer, size_t size) override {
        const int n = recv(m_socket, static_cast<char*>(buffer), int(size > 65536 ? 65536 : size), 0);
        return n == SOCKET_ERROR ? -1 : long(n);
    }
    bool Write(const void* data, size_t size) override {
        const char* next = static_cast<const char*>(data);
        while (size > 0) {
            const int n = send(m_socket, next, int(size > 65536 ? 65536 : size), 0);
            if (n == SOCKET_ERROR || n == 0) return false;
            next += n;
            size -= size_t(n);
        }
        return true;
    }

private:
    SOCKET m_socket;
};

}  // namespace

bool HttpServer::OpenListener() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) {
        WSACleanup();
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listener, 64) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        closesocket(listener);
        WSACleanup();
        return false;
    }
    m_listen = int(listener);
    m_port = ntohs(address.sin_port);
    return true;
}

int HttpServer::Accept() {
    const SOCKET listener = AsSocket(m_listen);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping) return -1;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener, &readable);
        timeval wait{0, kAcceptPollUs};
        const int ready = select(0, &readable, nullptr, nullptr, &wait);
        if (ready == SOCKET_ERROR) return -1;
        if (ready == 0) continue;
        const SOCKET connection = accept(listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET) continue;
        const DWORD limit = kSocketTimeoutMs;
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
        setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
        return int(connection);
    }
}

void HttpServer::WakeAcceptor() {
    // Nothing to do: the acceptor sees m_stopping within one wait.
}

void HttpServer::CloseListener() {
    closesocket(AsSocket(m_listen));
    WSACleanup();
}

std::unique_ptr<Stream> HttpServer::SocketStream(int socket) {
    return std::make_unique<WinsockStream>(AsSocket(socket));
}

void HttpServer::ShutdownSocket(int socket) { shutdown(AsSocket(socket), SD_BOTH); }

void HttpServer::EndSending(int socket) { shutdown(AsSocket(socket), SD_SEND); }

void HttpServer::CloseSocket(int socket) { closesocket(AsSocket(socket)); }

}  // namespace fakes
