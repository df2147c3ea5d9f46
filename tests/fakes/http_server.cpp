#include "tests/fakes/http_server.h"
#include "tests/fakes/http_exchange.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace fakes {

namespace {

using namespace http_exchange;

constexpr int kSocketTimeoutSeconds = 20;  // a backstop: no connection thread blocks forever

class SocketStream : public Stream {
public:
    explicit SocketStream(int socket) : m_socket(socket) {}
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

HttpServer::HttpServer(HttpHandler handler, StreamFactory streams)
    : m_handler(std::move(handler)), m_streams(std::move(streams)) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Start() {
    if (m_listen >= 0) return true;
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
    m_acceptor = std::thread([this] { AcceptLoop(); });
    return true;
}

void HttpServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping || m_listen < 0) return;
        m_stopping = true;
        // Wakes connections that wait for data or hang on purpose.
        for (int socket : m_open) shutdown(socket, SHUT_RDWR);
    }
    m_changed.notify_all();
    const char byte = 0;
    if (write(m_wake[1], &byte, 1) < 0) {
        // The acceptor also wakes when the listening socket is shut down.
        shutdown(m_listen, SHUT_RDWR);
    }
    m_acceptor.join();
    std::vector<Worker> workers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        workers.swap(m_workers);
    }
    for (Worker& worker : workers) worker.thread.join();
    close(m_listen);
    close(m_wake[0]);
    close(m_wake[1]);
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
    for (;;) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const int ready = poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || fds[1].revents) return;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping) return;
        }
        const int socket = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
            return;
        }
        timeval limit{kSocketTimeoutSeconds, 0};
        setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
        setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
        ReapFinished();
        auto done = std::make_shared<bool>(false);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping) {
            close(socket);
            return;
        }
        m_open.insert(socket);
        m_workers.push_back(Worker{std::thread([this, socket, done] { Serve(socket, done); }), done});
    }
}

void HttpServer::Serve(int socket, std::shared_ptr<bool> done) {
    {
        std::unique_ptr<Stream> stream = m_streams ? m_streams(socket) : std::make_unique<SocketStream>(socket);
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
        // The stream (a TLS layer perhaps) ends before its socket is closed.
    }
    shutdown(socket, SHUT_WR);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open.erase(socket);
    close(socket);
    *done = true;
}

}  // namespace fakes
