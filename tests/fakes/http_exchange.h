// What the test HTTP servers share whatever their sockets: reading one request from a stream,
// writing one answer, and the request and answer helpers of http_server.h, defined here once. Include
// it only from the one server source a program links (tests/fakes/http_server.cpp, or
// tests/windows/http_server_winsock.cpp).
#pragma once

#include <cstdlib>
#include <string>

#include "tests/fakes/http_server.h"

namespace fakes {

namespace http_exchange {

constexpr size_t kMaxHead = size_t(1) << 20;
constexpr size_t kMaxBody = size_t(64) << 20;

// Header names compare without regard to ASCII case.
inline bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

inline std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

inline const char* ReasonFor(int status) {
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
inline bool ReadRequest(Stream& stream, HttpRequest& request) {
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

inline bool WriteResponse(Stream& stream, const HttpRequest& request, const HttpResponse& response) {
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       (response.reason.empty() ? std::string(ReasonFor(response.status)) : response.reason) + "\r\n";
    bool hasLength = false;
    for (const auto& [name, value] : response.headers) {
        if (SameName(name, "Content-Length")) hasLength = true;
        head += name + ": " + value + "\r\n";
    }
    const bool bodyless = request.method == "HEAD" || response.status == 204 || response.status == 304 ||
                          (response.status >= 100 && response.status < 200);
    if (response.contentLength && !hasLength && !bodyless) {
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    if (!stream.Write(head.data(), head.size())) return false;
    if (bodyless || response.body.empty()) return true;
    return stream.Write(response.body.data(), response.body.size());
}

}  // namespace http_exchange

using http_exchange::SameName;

std::string HttpRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (SameName(key, name)) return value;
    }
    return std::string();
}

bool HttpRequest::HasHeader(const std::string& name) const {
    for (const auto& header : headers) {
        if (SameName(header.first, name)) return true;
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

}  // namespace fakes
