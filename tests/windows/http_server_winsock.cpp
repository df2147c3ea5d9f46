// The test HTTP server of tests/fakes/http_server.h over Windows Sockets, for the tests that run on
// Windows (under Wine): the same requests and answers as the POSIX one, one thread per connection.
#include "tests/fakes/http_server.h"
#include "tests/fakes/http_exchange.h"

#include <cstdlib>
#include <cstring>

#include "platform/win32api.h"

namespace fakes {

namespace {

using namespace http_exchange;

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

HttpServer::HttpServer(HttpHandler handler, StreamFactory streams)
    : m_handler(std::move(handler)), m_streams(std::move(streams)) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Start() {
    if (m_listen >= 0) return true;
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
    m_acceptor = std::thread([this] { AcceptLoop(); });
    return true;
}

void HttpServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping || m_listen < 0) return;
        m_stopping = true;
        // Wakes the connections that wait for bytes or hang on purpose.
        for (int socket : m_open) shutdown(AsSocket(socket), SD_BOTH);
    }
    m_changed.notify_all();
    m_acceptor.join();
    std::vector<Worker> workers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        workers.swap(m_workers);
    }
    for (Worker& worker : workers) worker.thread.join();
    closesocket(AsSocket(m_listen));
    WSACleanup();
}

std::string HttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<HttpRequest> HttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

size_t HttpServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.size();
}

bool HttpServer::WaitForRequests(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

void HttpServer::ReapFinished() {
    std::vector<Worker> finished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            if (*it->done) {
                finished.push_back(std::move(*it));
                it = m_workers.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Worker& worker : finished) worker.thread.join();
}

void HttpServer::AcceptLoop() {
    const SOCKET listener = AsSocket(m_listen);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping) return;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener, &readable);
        timeval wait{0, kAcceptPollUs};
        const int ready = select(0, &readable, nullptr, nullptr, &wait);
        if (ready == SOCKET_ERROR) return;
        if (ready == 0) continue;
        const SOCKET connection = accept(listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET) continue;
        const DWORD limit = kSocketTimeoutMs;
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
        setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
        ReapFinished();
        auto done = std::make_shared<bool>(false);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping) {
            closesocket(connection);
            return;
        }
        const int socket = int(connection);
        m_open.insert(socket);
        m_workers.push_back(Worker{std::thread([this, socket, done] { Serve(socket, done); }), done});
    }
}

void HttpServer::Serve(int socket, std::shared_ptr<bool> done) {
    {
        std::unique_ptr<Stream> stream =
            m_streams ? m_streams(socket) : std::make_unique<WinsockStream>(AsSocket(socket));
        HttpRequest request;
        if (stream && ReadRequest(*stream, request)) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request);
            }
            m_changed.notify_all();
            HttpResponse response;
            try {
                response = m_handler(request);
            } catch (...) {
                response = HttpResponse::Text(500, "handler failed");
            }
            if (response.kind == HttpResponse::Kind::Answer) {
                WriteResponse(*stream, request, response);
            } else if (response.kind == HttpResponse::Kind::Hang) {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [this] { return m_stopping; });
            }
        }
    }
    shutdown(AsSocket(socket), SD_SEND);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open.erase(socket);
    closesocket(AsSocket(socket));
    *done = true;
}

}  // namespace fakes
