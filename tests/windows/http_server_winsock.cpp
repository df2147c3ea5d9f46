// The test HTTP server of tests/fakes/http_server.h over Windows Sockets, for the tests that run on
// Windows (under Wine): the same requests and answers as the POSIX one, one thread per connection.
#include "tests/fakes/http_server.h"

#include <cstdlib>
#include <cstring>

#include "platform/win32api.h"

namespace fakes {

namespace {

constexpr size_t kHeadLimit = size_t(1) << 20;
constexpr size_t kBodyLimit = size_t(64) << 20;
constexpr DWORD kSocketTimeoutMs = 20000;  // no connection thread waits for ever
constexpr long kAcceptPollUs = 50000;      // how often the acceptor looks whether it must stop

// Socket handles fit in 32 bits on Windows, which lets the shared header keep them as int.
SOCKET AsSocket(int socket) { return static_cast<SOCKET>(static_cast<unsigned>(socket)); }

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string Stripped(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t") + 1 - begin);
}

const char* StandardReason(int status) {
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Unknown";
    }
}

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

// One request: head up to the blank line, then Content-Length bytes of body.
bool ReadOne(Stream& stream, HttpRequest& request) {
    std::string data;
    char chunk[16384];
    size_t blank;
    while ((blank = data.find("\r\n\r\n")) == std::string::npos) {
        if (data.size() > kHeadLimit) return false;
        const long n = stream.Read(chunk, sizeof(chunk));
        if (n <= 0) return false;
        data.append(chunk, size_t(n));
    }
    const std::string head = data.substr(0, blank);
    std::string body = data.substr(blank + 4);

    size_t end = head.find("\r\n");
    const std::string first = head.substr(0, end);
    const size_t a = first.find(' ');
    const size_t b = a == std::string::npos ? a : first.find(' ', a + 1);
    if (b == std::string::npos) return false;
    request.method = first.substr(0, a);
    request.target = first.substr(a + 1, b - a - 1);
    request.version = first.substr(b + 1);
    while (end != std::string::npos) {
        const size_t begin = end + 2;
        end = head.find("\r\n", begin);
        const std::string line = head.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        const size_t colon = line.find(':');
        if (colon != std::string::npos)
            request.headers.emplace_back(Stripped(line.substr(0, colon)), Stripped(line.substr(colon + 1)));
    }

    const std::string lengthText = request.Header("Content-Length");
    const size_t length = lengthText.empty() ? 0 : size_t(std::strtoull(lengthText.c_str(), nullptr, 10));
    if (length > kBodyLimit) return false;
    while (body.size() < length) {
        const long n = stream.Read(chunk, sizeof(chunk));
        if (n <= 0) return false;
        body.append(chunk, size_t(n));
    }
    request.body = body.substr(0, length);
    return true;
}

bool Answer(Stream& stream, const HttpRequest& request, const HttpResponse& response) {
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       (response.reason.empty() ? StandardReason(response.status) : response.reason) + "\r\n";
    bool lengthGiven = false;
    for (const auto& header : response.headers) {
        lengthGiven = lengthGiven || SameName(header.first, "Content-Length");
        head += header.first + ": " + header.second + "\r\n";
    }
    const bool noBody = request.method == "HEAD" || response.status == 204 || response.status == 304 ||
                        (response.status >= 100 && response.status < 200);
    if (response.contentLength && !lengthGiven && !noBody)
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!stream.Write(head.data(), head.size())) return false;
    return noBody || response.body.empty() || stream.Write(response.body.data(), response.body.size());
}

}  // namespace

std::string HttpRequest::Header(const std::string& name) const {
    for (const auto& header : headers)
        if (SameName(header.first, name)) return header.second;
    return {};
}

bool HttpRequest::HasHeader(const std::string& name) const {
    for (const auto& header : headers)
        if (SameName(header.first, name)) return true;
    return false;
}

std::string HttpRequest::Path() const { return target.substr(0, target.find('?')); }

HttpResponse HttpResponse::Text(int status, std::string body, const std::string& contentType) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    response.headers.emplace_back("Content-Type", contentType);
    return response;
}

HttpResponse HttpResponse::Redirect(int status, const std::string& location) {
    HttpResponse response;
    response.status = status;
    response.headers.emplace_back("Location", location);
    return response;
}

HttpResponse HttpResponse::CloseWithoutAnswer() {
    HttpResponse response;
    response.kind = Kind::Close;
    return response;
}

HttpResponse HttpResponse::NoAnswer() {
    HttpResponse response;
    response.kind = Kind::Hang;
    return response;
}

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
        if (stream && ReadOne(*stream, request)) {
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
                Answer(*stream, request, response);
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
