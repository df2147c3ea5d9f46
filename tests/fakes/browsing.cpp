// The fake browsers' walk from a URL through its redirects, with all but the sockets.
#include "tests/fakes/browsing.h"

#include <cstdio>
#include <cstdlib>

#include "tests/support/ascii_case.h"

namespace browsing {

namespace {

constexpr int kMaxHops = 5;

bool ParseUrl(const std::string& text, Url& url) {
    const std::string scheme = "http://";
    if (text.compare(0, scheme.size(), scheme) != 0) return false;
    const size_t hostStart = scheme.size();
    size_t hostEnd = text.find_first_of(":/?", hostStart);
    if (hostEnd == std::string::npos) hostEnd = text.size();
    url.host = text.substr(hostStart, hostEnd - hostStart);
    size_t rest = hostEnd;
    if (rest < text.size() && text[rest] == ':') {
        const size_t portEnd = text.find_first_of("/?", rest + 1);
        const std::string digits =
            text.substr(rest + 1, portEnd == std::string::npos ? std::string::npos : portEnd - rest - 1);
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        url.port = unsigned(std::atoi(digits.c_str()));
        rest = portEnd == std::string::npos ? text.size() : portEnd;
    }
    // As a browser does, bytes that may not stand in a request line are percent-encoded.
    static const char kHex[] = "0123456789ABCDEF";
    url.target.clear();
    for (size_t i = rest; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c <= ' ' || c >= 0x7F) {
            url.target += '%';
            url.target += kHex[c >> 4];
            url.target += kHex[c & 15];
        } else {
            url.target += char(c);
        }
    }
    if (url.target.empty() || url.target[0] != '/') url.target = "/" + url.target;
    return !url.host.empty() && url.port > 0 && url.port < 65536;
}

std::string RequestFor(const Url& url) {
    return "GET " + url.target + " HTTP/1.1\r\nHost: " + url.host + ":" + std::to_string(url.port) +
           "\r\nUser-Agent: fake-browser\r\nAccept: text/html\r\nConnection: close\r\n\r\n";
}

// The value of a header in a raw header block, without regard to the name's case.
std::string HeaderValue(const std::string& head, const std::string& name) {
    size_t lineStart = head.find("\r\n");
    while (lineStart != std::string::npos && lineStart + 2 < head.size()) {
        lineStart += 2;
        const size_t lineEnd = head.find("\r\n", lineStart);
        const std::string line =
            head.substr(lineStart, lineEnd == std::string::npos ? std::string::npos : lineEnd - lineStart);
        const size_t colon = line.find(':');
        if (colon != std::string::npos && testsupport::EqualIgnoringAsciiCase(line.substr(0, colon), name)) {
            const size_t begin = line.find_first_not_of(" \t", colon + 1);
            if (begin == std::string::npos) return std::string();
            return line.substr(begin, line.find_last_not_of(" \t") + 1 - begin);
        }
        lineStart = lineEnd;
    }
    return std::string();
}

struct Page {
    int status = 0;
    std::string location;
    std::string body;
};

// False for bytes that are no HTTP answer.
bool ReadPage(const std::string& raw, Page& page) {
    const size_t headEnd = raw.find("\r\n\r\n");
    if (raw.compare(0, 5, "HTTP/") != 0 || headEnd == std::string::npos) return false;
    const std::string head = raw.substr(0, headEnd);
    const size_t blank = head.find(' ');
    page.status = blank == std::string::npos ? 0 : std::atoi(head.c_str() + blank + 1);
    page.location = HeaderValue(head, "Location");
    page.body = raw.substr(headEnd + 4);
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

}  // namespace

std::string AddressOf(const std::string& host) { return host == "localhost" ? "127.0.0.1" : host; }

int Browse(const std::string& start, const Fetch& fetch) {
    std::string current = start;
    for (int hop = 0; hop <= kMaxHops; ++hop) {
        Url url;
        if (!ParseUrl(current, url)) {
            std::fprintf(stderr, "fake browser: cannot open %s\n", current.c_str());
            return 2;
        }
        std::string raw;
        Page page;
        const bool answered = fetch(url, RequestFor(url), raw) && ReadPage(raw, page);
        Log(current, page);
        if (!answered) return 1;
        const bool redirect = page.status == 301 || page.status == 302 || page.status == 303 ||
                              page.status == 307 || page.status == 308;
        if (!redirect || page.location.empty()) return 0;
        if (page.location[0] == '/')
            current = "http://" + url.host + ":" + std::to_string(url.port) + page.location;
        else
            current = page.location;
    }
    return 1;
}

}  // namespace browsing
