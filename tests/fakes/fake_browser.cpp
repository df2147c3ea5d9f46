// A stand-in for the user's browser, run as $BROWSER with one URL: it fetches the URL with a plain
// HTTP/1.1 GET and follows redirects (at most 5), the way a browser takes the user from the sign-on
// service's authorize page to the loopback listener.
//
// It reaches only loopback addresses ("localhost" is 127.0.0.1) and always ends on its own: every
// connect and read has a time-out and the whole run is cut off after 30 seconds.
//
// When FAKE_BROWSER_LOG names a file, each fetch is appended to it as
//   GET <url>\n<status code>\n<body>\n.\n
// (status 0 when no answer came), so a test can see the pages the browser was shown.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <strings.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const int kMaxHops = 5;
const int kIoTimeoutSeconds = 10;
const unsigned kRunLimitSeconds = 30;

struct Url {
    std::string host;
    unsigned port = 80;
    std::string target = "/";
};

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
        const std::string digits = text.substr(rest + 1, portEnd == std::string::npos ? std::string::npos : portEnd - rest - 1);
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
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

// Only the loopback network may be reached.
bool LoopbackAddress(const std::string& host, in_addr& address) {
    const std::string name = host == "localhost" ? "127.0.0.1" : host;
    if (inet_pton(AF_INET, name.c_str(), &address) != 1) return false;
    return (ntohl(address.s_addr) >> 24) == 127;
}

struct Answer {
    int status = 0;
    std::string location;
    std::string body;
};

// The value of a header in a raw header block, without regard to the name's case.
std::string HeaderValue(const std::string& head, const std::string& name) {
    size_t lineStart = head.find("\r\n");
    while (lineStart != std::string::npos && lineStart + 2 < head.size()) {
        lineStart += 2;
        const size_t lineEnd = head.find("\r\n", lineStart);
        const std::string line = head.substr(lineStart, lineEnd == std::string::npos ? std::string::npos : lineEnd - lineStart);
        const size_t colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.c_str(), name.c_str(), name.size()) == 0) {
            size_t valueStart = colon + 1;
            while (valueStart < line.size() && (line[valueStart] == ' ' || line[valueStart] == '\t')) ++valueStart;
            size_t valueEnd = line.size();
            while (valueEnd > valueStart && (line[valueEnd - 1] == ' ' || line[valueEnd - 1] == '\t')) --valueEnd;
            return line.substr(valueStart, valueEnd - valueStart);
        }
        lineStart = lineEnd;
    }
    return std::string();
}

bool Fetch(const Url& url, Answer& answer) {
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
    if (connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) != 0) {
        close(fd);
        return false;
    }
    const std::string request = "GET " + url.target + " HTTP/1.1\r\nHost: " + url.host + ":" + std::to_string(url.port) +
                                "\r\nUser-Agent: fake-browser\r\nAccept: text/html\r\nConnection: close\r\n\r\n";
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size())) {
        close(fd);
        return false;
    }
    // Both servers it talks to close the connection after their answer.
    std::string raw;
    char chunk[4096];
    for (;;) {
        const ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
        if (n <= 0) break;
        raw.append(chunk, size_t(n));
    }
    close(fd);

    const size_t headEnd = raw.find("\r\n\r\n");
    if (raw.compare(0, 5, "HTTP/") != 0 || headEnd == std::string::npos) return false;
    const std::string head = raw.substr(0, headEnd);
    const size_t blank = head.find(' ');
    answer.status = blank == std::string::npos ? 0 : std::atoi(head.c_str() + blank + 1);
    answer.location = HeaderValue(head, "Location");
    answer.body = raw.substr(headEnd + 4);
    return true;
}

void Log(const std::string& url, const Answer& answer) {
    const char* path = std::getenv("FAKE_BROWSER_LOG");
    if (!path || !*path) return;
    FILE* file = std::fopen(path, "ab");
    if (!file) return;
    const std::string record = "GET " + url + "\n" + std::to_string(answer.status) + "\n" + answer.body + "\n.\n";
    std::fwrite(record.data(), 1, record.size(), file);
    std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
    alarm(kRunLimitSeconds);  // the default action ends the process
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s URL\n", argv[0]);
        return 2;
    }
    std::string current = argv[1];
    for (int hop = 0; hop <= kMaxHops; ++hop) {
        Url url;
        if (!ParseUrl(current, url)) {
            std::fprintf(stderr, "fake browser: cannot open %s\n", current.c_str());
            return 2;
        }
        Answer answer;
        const bool answered = Fetch(url, answer);
        Log(current, answer);
        if (!answered) return 1;
        const bool redirect = answer.status == 301 || answer.status == 302 || answer.status == 303 ||
                              answer.status == 307 || answer.status == 308;
        if (!redirect || answer.location.empty()) return 0;
        if (answer.location[0] == '/')
            current = "http://" + url.host + ":" + std::to_string(url.port) + answer.location;
        else
            current = answer.location;
    }
    return 1;
}
