// The user's browser for the Windows tests: registered as the program that opens http URLs, it is
// started by the library's ShellExecuteExA with the sign-on service's authorize URL. Like a browser
// it fetches the URL and follows redirects (at most 5), so it ends at the library's loopback
// listener with the code the fake service handed out.
//
// It reaches only loopback addresses ("localhost" is 127.0.0.1), every socket has a time-out, and
// the whole run is cut off after 30 seconds. When FAKE_BROWSER_LOG names a file, every fetch is
// appended to it as "GET <url>\n<status>\n<body>\n.\n" (status 0 when nothing came back).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32api.h"

namespace {

constexpr int kHopLimit = 5;
constexpr DWORD kSocketTimeoutMs = 10000;
constexpr DWORD kRunLimitMs = 30000;

struct Target {
    std::string host;
    unsigned port = 80;
    std::string path = "/";
};

bool Split(const std::string& url, Target& target) {
    const std::string scheme = "http://";
    if (url.compare(0, scheme.size(), scheme) != 0) return false;
    size_t at = url.find_first_of(":/?", scheme.size());
    if (at == std::string::npos) at = url.size();
    target.host = url.substr(scheme.size(), at - scheme.size());
    if (at < url.size() && url[at] == ':') {
        const size_t end = url.find_first_of("/?", at + 1);
        const std::string digits = url.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        target.port = unsigned(std::atoi(digits.c_str()));
        at = end == std::string::npos ? url.size() : end;
    }
    // Bytes that may not stand in a request line go percent-encoded, as a browser sends them.
    static const char kHex[] = "0123456789ABCDEF";
    target.path.clear();
    for (size_t i = at; i < url.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        if (c <= ' ' || c >= 0x7F) {
            target.path += '%';
            target.path += kHex[c >> 4];
            target.path += kHex[c & 15];
        } else {
            target.path += char(c);
        }
    }
    if (target.path.empty() || target.path[0] != '/') target.path.insert(0, "/");
    return !target.host.empty() && target.port > 0 && target.port < 65536;
}

bool Loopback(const std::string& host, in_addr& address) {
    const std::string name = host == "localhost" ? "127.0.0.1" : host;
    address.s_addr = inet_addr(name.c_str());
    return address.s_addr != INADDR_NONE && (ntohl(address.s_addr) >> 24) == 127;
}

struct Page {
    int status = 0;
    std::string location;
    std::string body;
};

std::string HeaderOf(const std::string& head, const std::string& name) {
    size_t line = head.find("\r\n");
    while (line != std::string::npos) {
        line += 2;
        const size_t end = head.find("\r\n", line);
        const std::string text = head.substr(line, end == std::string::npos ? std::string::npos : end - line);
        const size_t colon = text.find(':');
        if (colon == name.size() && _strnicmp(text.c_str(), name.c_str(), name.size()) == 0) {
            const size_t begin = text.find_first_not_of(" \t", colon + 1);
            if (begin == std::string::npos) return {};
            return text.substr(begin, text.find_last_not_of(" \t") + 1 - begin);
        }
        line = end;
    }
    return {};
}

bool Fetch(const Target& target, Page& page) {
    in_addr address{};
    if (!Loopback(target.host, address)) return false;
    const SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connection == INVALID_SOCKET) return false;
    const DWORD limit = kSocketTimeoutMs;
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
    setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(u_short(target.port));
    peer.sin_addr = address;
    std::string raw;
    bool sent = false;
    if (connect(connection, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0) {
        const std::string request = "GET " + target.path + " HTTP/1.1\r\nHost: " + target.host + ":" +
                                    std::to_string(target.port) +
                                    "\r\nUser-Agent: fake-browser\r\nAccept: text/html\r\nConnection: close\r\n\r\n";
        sent = send(connection, request.data(), int(request.size()), 0) == int(request.size());
        char chunk[4096];
        int n;
        while (sent && (n = recv(connection, chunk, sizeof(chunk), 0)) > 0) raw.append(chunk, size_t(n));
    }
    closesocket(connection);
    const size_t blank = raw.find("\r\n\r\n");
    if (!sent || raw.compare(0, 5, "HTTP/") != 0 || blank == std::string::npos) return false;
    const std::string head = raw.substr(0, blank);
    const size_t space = head.find(' ');
    page.status = space == std::string::npos ? 0 : std::atoi(head.c_str() + space + 1);
    page.location = HeaderOf(head, "Location");
    page.body = raw.substr(blank + 4);
    return true;
}

void Log(const std::string& url, const Page& page) {
    const char* path = std::getenv("FAKE_BROWSER_LOG");
    if (!path || !*path) return;
    FILE* file = std::fopen(path, "ab");
    if (!file) return;
    const std::string record = "GET " + url + "\n" + std::to_string(page.status) + "\n" + page.body + "\n.\n";
    std::fwrite(record.data(), 1, record.size(), file);
    std::fclose(file);
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
    std::string url = argv[1];
    int code = 1;
    for (int hop = 0; hop <= kHopLimit; ++hop) {
        Target target;
        if (!Split(url, target)) {
            std::fprintf(stderr, "fake browser: cannot open %s\n", url.c_str());
            code = 2;
            break;
        }
        Page page;
        const bool answered = Fetch(target, page);
        Log(url, page);
        if (!answered) break;
        const bool redirect = page.status == 301 || page.status == 302 || page.status == 303 || page.status == 307 ||
                              page.status == 308;
        if (!redirect || page.location.empty()) {
            code = 0;
            break;
        }
        url = page.location[0] == '/' ? "http://" + target.host + ":" + std::to_string(target.port) + page.location
                                      : page.location;
    }
    WSACleanup();
    return code;
}
