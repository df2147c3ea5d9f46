// The test HTTP server's part that is the same on every system: reading a request, writing an
// answer, the request log, and the connections' threads from their start to their end. The sockets
// are in tests/fakes/http_server_posix.cpp and tests/fakes/http_server_winsock.cpp.
#include "tests/fakes/http_server.h"

#include <cstdlib>
#include <string>

#include "tests/support/ascii_case.h"

namespace fakes {

namespace {

constexpr size_t kMaxHead = size_t(1) << 20;
constexpr size_t kMaxBody = size_t(64) << 20;

using testsupport::EqualIgnoringAsciiCase;

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

const char* ReasonFor(int status) {
    switch (status) {
        case 100: return "Continue";
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
        case 407: return "Proxy Authentication Required";
        case 500: return "Internal Server Error";
        case 502: return "Bad Gateway";
        case 503: return "Service Unavailable";
        default: return "Unknown";
    }
}

// Reads one request; false when the connection ended or sent something that is not HTTP.
bool ReadRequest(Stream& stream, HttpRequest& request) {
    std::string data;
    size_t headEnd;
    char buffer[16384];
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (data.size() > kMaxHead) return false;
        const long n = stream.Read(buffer, sizeof(buffer));
        if (n <= 0) return false;
        data.append(buffer, size_t(n));
    }
    const std::string head = data.substr(0, headEnd);
    std::string rest = data.substr(headEnd + 4);

    size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const size_t s1 = requestLine.find(' ');
    const size_t s2 = s1 == std::string::npos ? std::string::npos : requestLine.find(' ', s1 + 1);
    if (s2 == std::string::npos) return false;
    request.method = requestLine.substr(0, s1);
    request.target = requestLine.substr(s1 + 1, s2 - s1 - 1);
    request.version = requestLine.substr(s2 + 1);

    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }

    const std::string lengthText = request.Header("Content-Length");
    const size_t length = lengthText.empty() ? 0 : size_t(std::strtoull(lengthText.c_str(), nullptr, 10));
    if (length > kMaxBody) return false;
    while (rest.size() < length) {
        const long n = stream.Read(buffer, sizeof(buffer));
        if (n <= 0) return false;
        rest.append(buffer, size_t(n));
    }
    request.body = rest.substr(0, length);
    return true;
}

bool WriteResponse(Stream& stream, const HttpRequest& request, const HttpResponse& response) {
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       (response.reason.empty() ? std::string(ReasonFor(response.status)) : response.reason) + "\r\n";
    bool hasLength = false;
    for (const auto& [name, value] : response.headers) {
        if (EqualIgnoringAsciiCase(name, "Content-Length")) hasLength = true;
        head += name + ": " + value + "\r\n";
    }
    const bool bodyless = request.method == "HEAD" || response.status == 204 || response.status == 304 ||
                          (response.status >= 100 && response.status < 200);
    if (response.contentLength && !hasLength && !bodyless) {
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    }
    head += response.keepOpen ? "\r\n" : "Connection: close\r\n\r\n";
    // One write, as servers usually send a short answer: a TLS layer then seals it in one record.
    const std::string answer = bodyless ? head : head + response.body;
    return stream.Write(answer.data(), answer.size());
}

}  // namespace

std::string HttpRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (EqualIgnoringAsciiCase(key, name)) return value;
    }
    return std::string();
}

bool HttpRequest::HasHeader(const std::string& name) const {
    for (const auto& header : headers) {
        if (EqualIgnoringAsciiCase(header.first, name)) return true;
    }
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
    if (!OpenListener()) return false;
    m_acceptor = std::thread([this] { AcceptLoop(); });
    return true;
}

void HttpServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping || m_listen < 0) return;
        m_stopping = true;
        // Wakes connections that wait for data or hang on purpose.
        for (int socket : m_open) ShutdownSocket(socket);
    }
    m_changed.notify_all();
    WakeAcceptor();
    m_acceptor.join();
    std::vector<Worker> workers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        workers.swap(m_workers);
    }
    for (Worker& worker : workers) worker.thread.join();
    CloseListener();
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
        const int socket = Accept();
        if (socket < 0) return;
        ReapFinished();
        auto done = std::make_shared<bool>(false);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping) {
            CloseSocket(socket);
            return;
        }
        m_open.insert(socket);
        m_workers.push_back(Worker{std::thread([this, socket, done] { Serve(socket, done); }), done});
    }
}

void HttpServer::Serve(int socket, std::shared_ptr<bool> done) {
    {
        std::unique_ptr<Stream> stream = m_streams ? m_streams(socket) : SocketStream(socket);
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
            const bool answered =
                response.kind == HttpResponse::Kind::Answer && WriteResponse(*stream, request, response);
            if (response.kind == HttpResponse::Kind::Hang || (answered && response.keepOpen)) {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [this] { return m_stopping; });
            }
        }
        // The stream (a TLS layer perhaps) ends before its socket is closed.
    }
    EndSending(socket);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open.erase(socket);
    CloseSocket(socket);
    *done = true;
}

}  // namespace fakes
