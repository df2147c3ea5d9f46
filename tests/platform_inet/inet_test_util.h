// Helpers shared by the WinINet tests.
#pragma once

#include <cstring>
#include <string>

#include "platform/win32api.h"

namespace inet_test {

// A port on 127.0.0.1 that nothing listens on (bound once, then released).
inline INTERNET_PORT ClosedPort() {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    int size = sizeof(address);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(s);
    return ntohs(address.sin_port);
}

// Closes the handles of one exchange, request first.
struct Exchange {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;

    Exchange() = default;
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;
    ~Exchange() {
        if (request) InternetCloseHandle(request);
        if (connection) InternetCloseHandle(connection);
        if (session) InternetCloseHandle(session);
    }
};

struct Target {
    std::string host = "127.0.0.1";
    INTERNET_PORT port = 0;
    const char* verb = "GET";
    std::string object = "/";
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    const char* version = nullptr;
    DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    const char* proxy = nullptr;
    const char* agent = "Quarnels";
};

// Opens session, connection and request; false (with the handles made so far) on a failure.
inline bool Open(Exchange& e, const Target& t) {
    e.session = InternetOpenA(t.agent, t.accessType, t.proxy, nullptr, 0);
    if (!e.session) return false;
    e.connection = InternetConnectA(e.session, t.host.c_str(), t.port, nullptr, nullptr, INTERNET_SERVICE_HTTP,
                                    t.flags & INTERNET_FLAG_SECURE, 1);
    if (!e.connection) return false;
    e.request = HttpOpenRequestA(e.connection, t.verb, t.object.c_str(), t.version, nullptr, nullptr, t.flags, 1);
    return e.request != nullptr;
}

inline std::string ReadAll(HINTERNET request, DWORD chunk = 4096, int* reads = nullptr) {
    std::string body;
    std::string buffer(chunk, '\0');
    DWORD got = 0;
    int count = 0;
    while (InternetReadFile(request, &buffer[0], chunk, &got) && got > 0) {
        body.append(buffer.data(), got);
        ++count;
    }
    if (reads) *reads = count;
    return body;
}

// A text query; "<failed N>" with the error number when it fails.
inline std::string QueryText(HINTERNET request, DWORD level, const char* customName = nullptr) {
    std::string buffer(65536, '\0');
    if (customName) std::memcpy(&buffer[0], customName, std::strlen(customName) + 1);
    DWORD length = DWORD(buffer.size());
    if (!HttpQueryInfoA(request, level, &buffer[0], &length, nullptr)) {
        return "<failed " + std::to_string(GetLastError()) + ">";
    }
    buffer.resize(length);
    return buffer;
}

inline DWORD QueryNumber(HINTERNET request, DWORD level) {
    DWORD value = 0xDEADBEEF;
    DWORD length = sizeof(value);
    if (!HttpQueryInfoA(request, level | HTTP_QUERY_FLAG_NUMBER, &value, &length, nullptr)) return 0xFFFFFFFF;
    return value;
}

inline std::string MessageText(DWORD error) {
    char text[512] = {0};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                   text, sizeof(text), nullptr);
    return std::string(text, n);
}

}  // namespace inet_test
