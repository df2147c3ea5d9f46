// A WinINet request's headers, its sending and the reading of its answer's body. The exchange itself
// is in inet_transfer.cpp.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "inet_internal.h"

namespace qp::inet {

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool IsLoopbackHost(const std::string& host) {
    if (EqualNoCase(host, "localhost") || host == "::1" || host == "[::1]") return true;
    return host.compare(0, 4, "127.") == 0 && host.find_first_not_of("0123456789.") == std::string::npos;
}

}  // namespace qp::inet

using namespace qp::inet;

namespace {

// ---- header text ----

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Splits header text into lines at CR and LF; the last line needs no line end. Empty lines are
// skipped. Returns false for a line that is not "name: value".
bool ParseHeaderLines(const char* text, size_t length, std::vector<Header>& out) {
    size_t pos = 0;
    while (pos < length) {
        size_t end = pos;
        while (end < length && text[end] != '\r' && text[end] != '\n') ++end;
        std::string line(text + pos, end - pos);
        pos = end;
        while (pos < length && (text[pos] == '\r' || text[pos] == '\n')) ++pos;
        line.erase(std::remove(line.begin(), line.end(), '\0'), line.end());
        if (Trimmed(line).empty()) continue;
        const size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) return false;
        Header header{Trimmed(line.substr(0, colon)), Trimmed(line.substr(colon + 1))};
        if (header.name.empty()) return false;
        out.push_back(std::move(header));
    }
    return true;
}

size_t HeaderTextLength(LPCSTR text, DWORD length) {
    if (!text) return 0;
    return length == DWORD(-1) ? std::strlen(text) : size_t(length);
}

// Puts a header given to a send in place of the request's same-named ones; an empty value only
// removes them.
void ReplaceHeader(std::vector<Header>& list, const Header& header) {
    const auto sameName = [&](const Header& h) { return EqualNoCase(h.name, header.name); };
    list.erase(std::remove_if(list.begin(), list.end(), sameName), list.end());
    if (!header.value.empty()) list.push_back(header);
}

DWORD ApplyHeaderText(Request& request, LPCSTR text, DWORD length) {
    std::vector<Header> parsed;
    if (!ParseHeaderLines(text, HeaderTextLength(text, length), parsed)) return ERROR_HTTP_INVALID_HEADER;
    for (const Header& header : parsed) ReplaceHeader(request.headers, header);
    return ERROR_SUCCESS;
}

std::string EscapeObject(const std::string& object);std::string EscapeObject(const std::string& object);

// Only the flag makes a request secure, as in WinINet: plain http to port 443 stays plain.
bool IsSecure(const Request& request, const Connection& connection) {
    return (request.flags & INTERNET_FLAG_SECURE) || (connection.flags & INTERNET_FLAG_SECURE);
}

// The request's URL; the port is left out when it is the scheme's default and `alwaysPort` is off.
// The connection's fields are fixed when it is made, so no lock is needed.
std::string ComposeUrl(const Request& request, const Connection& connection, bool alwaysPort) {
    const bool secure = IsSecure(request, connection);
    const INTERNET_PORT standard = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    const INTERNET_PORT port = connection.port == INTERNET_INVALID_PORT_NUMBER ? standard : connection.port;
    std::string host = connection.server;
    if (host.find(':') != std::string::npos && host[0] != '[') host = "[" + host + "]";
    std::string url = (secure ? "https://" : "http://") + host;
    if (alwaysPort || port != standard) url += ":" + std::to_string(port);
    return url + EscapeObject(request.object);
}

// Percent-encodes the bytes that cannot stand in a request target as they are.
std::string EscapeObject(const std::string& object) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    if (object.empty() || object[0] != '/') out += '/';
    for (unsigned char c : object) {
        if (c <= 0x20 || c >= 0x7F) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

// Reads the settings that the handles above a request give it; the request's lock is held.
SendPlan MakePlan(const Request& request) {
    SendPlan plan;
    const auto& connection = static_cast<const Connection&>(*request.parent);
    const auto& session = static_cast<const Session&>(*connection.parent);
    Settings merged = request.settings;
    auto fill = [&merged](const Settings& s) {
        if (!merged.connectTimeout) merged.connectTimeout = s.connectTimeout;
        if (!merged.sendTimeout) merged.sendTimeout = s.sendTimeout;
        if (!merged.receiveTimeout) merged.receiveTimeout = s.receiveTimeout;
        if (!merged.userName) merged.userName = s.userName;
        if (!merged.password) merged.password = s.password;
        if (!merged.proxyUserName) merged.proxyUserName = s.proxyUserName;
        if (!merged.proxyPassword) merged.proxyPassword = s.proxyPassword;
    };
    {
        std::lock_guard<std::mutex> lock(connection.mutex);
        fill(connection.settings);
    }
    {
        std::lock_guard<std::mutex> lock(session.mutex);
        fill(session.settings);
        plan.agent = session.agent;
        plan.hasAgent = session.hasAgent;
        plan.accessType = session.accessType;
        plan.proxy = session.proxy;
        plan.proxyBypass = session.proxyBypass;
    }
    {
        Defaults& d = ProcessDefaults();
        std::lock_guard<std::mutex> lock(d.mutex);
        plan.connectTimeout = merged.connectTimeout.value_or(d.connectTimeout);
        plan.sendTimeout = merged.sendTimeout.value_or(d.sendTimeout);
        plan.receiveTimeout = merged.receiveTimeout.value_or(d.receiveTimeout);
    }
    plan.userName = merged.userName.value_or(std::string());
    plan.password = merged.password.value_or(std::string());
    plan.proxyUserName = merged.proxyUserName.value_or(std::string());
    plan.proxyPassword = merged.proxyPassword.value_or(std::string());

    plan.secure = IsSecure(request, connection);
    plan.host = connection.server;
    plan.url = ComposeUrl(request, connection, true);
    return plan;
}

}  // namespace

extern "C" BOOL HttpSendRequestA(HINTERNET requestHandle, LPCSTR headers, DWORD headersLength, LPVOID optional,
                                 DWORD optionalLength) {
    auto request = FindAs<Request>(requestHandle, Kind::Request);
    if (!request) return FALSE;
    if (!optional && optionalLength) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(request->mutex);
    if (headers && HeaderTextLength(headers, headersLength) > 0) {
        // Headers given to a send stay on the request and replace same-named ones, so a resend
        // carries them once.
        const DWORD error = ApplyHeaderText(*request, headers, headersLength);
        if (error != ERROR_SUCCESS) return Fail(error);
    }
    const SendPlan plan = MakePlan(*request);
    const DWORD error = Perform(*request, plan, optional, optionalLength);
    if (error != ERROR_SUCCESS) return Fail(error);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

extern "C" BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead) {
    auto request = FindAs<Request>(file, Kind::Request);
    if (!request) return FALSE;
    if (!bytesRead || (!buffer && bytesToRead)) return Fail(ERROR_INVALID_PARAMETER);
    *bytesRead = 0;
    std::lock_guard<std::mutex> lock(request->mutex);
    Answer& answer = request->answer;
    if (!answer.present) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    const size_t left = answer.body.size() - answer.readPos;
    const size_t count = left < bytesToRead ? left : size_t(bytesToRead);
    if (count) std::memcpy(buffer, answer.body.data() + answer.readPos, count);
    answer.readPos += count;
    *bytesRead = DWORD(count);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

