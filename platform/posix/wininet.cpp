// WinINet handles, options, headers and the reading of answers. The exchange itself is in
// inet_transfer.cpp.
#include "wininet.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

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

constexpr DWORD kDefaultConnectTimeout = 30000;
constexpr DWORD kDefaultSendTimeout = 60000;
constexpr DWORD kDefaultReceiveTimeout = 60000;

// The table of live handles. Handle values count up and are never reused, so a stale handle finds
// nothing. It is never destroyed: handles may still be closed while the process ends.
class Registry {
public:
    HINTERNET Add(const std::shared_ptr<Object>& object) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_next += 4;
        HINTERNET handle = reinterpret_cast<HINTERNET>(m_next);
        object->handle = handle;
        m_objects.emplace(m_next, object);
        return handle;
    }

    std::shared_ptr<Object> Find(HINTERNET handle) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_objects.find(reinterpret_cast<uintptr_t>(handle));
        if (it == m_objects.end() || it->second->IsClosed()) return nullptr;
        return it->second;
    }

    // Marks the handle closed and drops it and every handle below it.
    bool Close(HINTERNET handle) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_objects.find(reinterpret_cast<uintptr_t>(handle));
        if (it == m_objects.end()) return false;
        const Object* closing = it->second.get();
        it->second->closed.store(true, std::memory_order_release);
        for (auto entry = m_objects.begin(); entry != m_objects.end();) {
            bool below = false;
            for (const Object* o = entry->second.get(); o; o = o->parent.get()) {
                if (o == closing) {
                    below = true;
                    break;
                }
            }
            entry = below ? m_objects.erase(entry) : std::next(entry);
        }
        return true;
    }

private:
    std::mutex m_mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> m_objects;
    uintptr_t m_next = 0xCC0000;
};

Registry& Handles() {
    static Registry* registry = new Registry();
    return *registry;
}

struct Defaults {
    std::mutex mutex;
    DWORD connectTimeout = kDefaultConnectTimeout;
    DWORD sendTimeout = kDefaultSendTimeout;
    DWORD receiveTimeout = kDefaultReceiveTimeout;
};

Defaults& ProcessDefaults() {
    static Defaults* defaults = new Defaults();
    return *defaults;
}

template <typename T>
std::shared_ptr<T> FindAs(HINTERNET handle, Kind kind) {
    std::shared_ptr<Object> object = Handles().Find(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (object->kind != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

std::string TextOrEmpty(LPCSTR text) { return text ? std::string(text) : std::string(); }

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

// Applies one header to the request's list as HttpAddRequestHeadersA's modifiers say.
DWORD ApplyHeader(std::vector<Header>& list, const Header& header, DWORD modifiers) {
    auto found = list.end();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (EqualNoCase(it->name, header.name)) {
            found = it;
            break;
        }
    }
    const bool exists = found != list.end();
    if (modifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW) {
        if (exists) return ERROR_HTTP_HEADER_ALREADY_EXISTS;
        list.push_back(header);
        return ERROR_SUCCESS;
    }
    if (modifiers & (HTTP_ADDREQ_FLAG_COALESCE_WITH_COMMA | HTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON)) {
        if (exists) {
            found->value += (modifiers & HTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON) ? "; " : ", ";
            found->value += header.value;
        } else {
            list.push_back(header);
        }
        return ERROR_SUCCESS;
    }
    if (modifiers & HTTP_ADDREQ_FLAG_REPLACE) {
        if (exists) {
            list.erase(std::remove_if(list.begin(), list.end(),
                                      [&](const Header& h) { return EqualNoCase(h.name, header.name); }),
                       list.end());
        } else if (!(modifiers & HTTP_ADDREQ_FLAG_ADD)) {
            return ERROR_HTTP_HEADER_NOT_FOUND;
        }
        if (!header.value.empty()) list.push_back(header);
        return ERROR_SUCCESS;
    }
    list.push_back(header);
    return ERROR_SUCCESS;
}

DWORD ApplyHeaderText(Request& request, LPCSTR text, DWORD length, DWORD modifiers) {
    std::vector<Header> parsed;
    if (!ParseHeaderLines(text, HeaderTextLength(text, length), parsed)) return ERROR_HTTP_INVALID_HEADER;
    for (const Header& header : parsed) {
        const DWORD error = ApplyHeader(request.headers, header, modifiers);
        if (error != ERROR_SUCCESS) return error;
    }
    return ERROR_SUCCESS;
}

// ---- answers ----

// Copies a text result the way WinINet does: too small a buffer gets nothing and learns the size
// needed with the NUL; otherwise the length written without the NUL.
BOOL CopyText(const std::string& text, LPVOID buffer, LPDWORD length) {
    if (!buffer || *length < text.size() + 1) {
        *length = DWORD(text.size() + 1);
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, text.data(), text.size());
    static_cast<char*>(buffer)[text.size()] = 0;
    *length = DWORD(text.size());
    return TRUE;
}

BOOL CopyNumber(unsigned long long value, bool wide, LPVOID buffer, LPDWORD length) {
    const DWORD size = wide ? 8 : 4;
    if (!buffer || *length < size) {
        *length = size;
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    if (wide) {
        const ULONGLONG v = value;
        std::memcpy(buffer, &v, 8);
    } else {
        const DWORD v = DWORD(value);
        std::memcpy(buffer, &v, 4);
    }
    *length = size;
    return TRUE;
}

const char* const kHeaderNames[] = {
    "MIME-Version", "Content-Type", "Content-Transfer-Encoding", "Content-ID", "Content-Description",
    "Content-Length", "Content-Language", "Allow", "Public", "Date", "Expires", "Last-Modified",
    "Message-ID", "URI", "Derived-From", "Cost", "Link", "Pragma", nullptr, nullptr, nullptr, nullptr,
    nullptr, "Connection", "Accept", "Accept-Charset", "Accept-Encoding", "Accept-Language",
    "Authorization", "Content-Encoding", "Forwarded", "From", "If-Modified-Since", "Location",
    "Orig-URI", "Referer", "Retry-After", "Server", "Title", "User-Agent", "WWW-Authenticate",
    "Proxy-Authenticate", "Accept-Ranges", "Set-Cookie", "Cookie", nullptr, "Refresh",
    "Content-Disposition", "Age", "Cache-Control", "Content-Base", "Content-Location", "Content-MD5",
    "Content-Range", "ETag", "Host", "If-Match", "If-None-Match", "If-Range", "If-Unmodified-Since",
    "Max-Forwards", "Proxy-Authorization", "Range", "Transfer-Encoding", "Upgrade", "Vary", "Via",
    "Warning", "Expect", "Proxy-Connection", "Unless-Modified-Since",
};

std::string JoinLines(const std::string& first, const std::vector<std::string>& lines, char separator,
                      bool crlf) {
    std::string out;
    auto add = [&](const std::string& line) {
        out += line;
        if (crlf) out += "\r\n";
        else out += separator;
    };
    add(first);
    for (const std::string& line : lines) add(line);
    if (crlf) out += "\r\n";
    return out;
}

// The value of one header occurrence (or all, coalesced); false when there is none.
bool FindHeader(const std::vector<Header>& list, const std::string& name, bool coalesce, DWORD index,
                std::string& value, DWORD& nextIndex) {
    if (coalesce) {
        bool any = false;
        for (const Header& h : list) {
            if (!EqualNoCase(h.name, name)) continue;
            if (any) value += ", ";
            value += h.value;
            any = true;
        }
        nextIndex = 0;
        return any;
    }
    DWORD seen = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (!EqualNoCase(list[i].name, name)) continue;
        if (seen++ == index) {
            value = list[i].value;
            nextIndex = index + 1;
            return true;
        }
    }
    return false;
}

std::string EscapeObject(const std::string& object);

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

// ---- options ----

bool IsTextOption(DWORD option) {
    return option == INTERNET_OPTION_USERNAME || option == INTERNET_OPTION_PASSWORD ||
           option == INTERNET_OPTION_PROXY_USERNAME || option == INTERNET_OPTION_PROXY_PASSWORD ||
           option == INTERNET_OPTION_USER_AGENT || option == INTERNET_OPTION_URL;
}

// Works on const and non-const settings alike.
template <typename S>
auto TextSetting(S& s, DWORD option) -> decltype(&s.userName) {
    switch (option) {
        case INTERNET_OPTION_USERNAME: return &s.userName;
        case INTERNET_OPTION_PASSWORD: return &s.password;
        case INTERNET_OPTION_PROXY_USERNAME: return &s.proxyUserName;
        case INTERNET_OPTION_PROXY_PASSWORD: return &s.proxyPassword;
        default: return nullptr;
    }
}

template <typename S>
auto TimeoutSetting(S& s, DWORD option) -> decltype(&s.connectTimeout) {
    switch (option) {
        case INTERNET_OPTION_CONNECT_TIMEOUT: return &s.connectTimeout;
        case INTERNET_OPTION_SEND_TIMEOUT:
        case INTERNET_OPTION_DATA_SEND_TIMEOUT: return &s.sendTimeout;
        case INTERNET_OPTION_RECEIVE_TIMEOUT:
        case INTERNET_OPTION_DATA_RECEIVE_TIMEOUT: return &s.receiveTimeout;
        default: return nullptr;
    }
}

DWORD* DefaultTimeout(Defaults& d, DWORD option) {
    switch (option) {
        case INTERNET_OPTION_CONNECT_TIMEOUT: return &d.connectTimeout;
        case INTERNET_OPTION_SEND_TIMEOUT:
        case INTERNET_OPTION_DATA_SEND_TIMEOUT: return &d.sendTimeout;
        case INTERNET_OPTION_RECEIVE_TIMEOUT:
        case INTERNET_OPTION_DATA_RECEIVE_TIMEOUT: return &d.receiveTimeout;
        default: return nullptr;
    }
}

}  // namespace

extern "C" HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags) {
    if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT &&
        accessType != INTERNET_OPEN_TYPE_PROXY && accessType != INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (accessType == INTERNET_OPEN_TYPE_PROXY && (!proxy || !*proxy)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    EnsureTransferLibrary();
    auto session = std::make_shared<Session>(0);
    session->hasAgent = agent != nullptr;
    session->agent = TextOrEmpty(agent);
    session->accessType = accessType;
    if (accessType == INTERNET_OPEN_TYPE_PROXY) {
        session->proxy = proxy;
        session->proxyBypass = TextOrEmpty(proxyBypass);
    }
    session->flags = flags;
    HINTERNET handle = Handles().Add(session);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

extern "C" HINTERNET InternetConnectA(HINTERNET sessionHandle, LPCSTR serverName, INTERNET_PORT serverPort,
                                      LPCSTR userName, LPCSTR password, DWORD service, DWORD flags,
                                      DWORD_PTR context) {
    auto session = FindAs<Session>(sessionHandle, Kind::Session);
    if (!session) return nullptr;
    if (!serverName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (service != INTERNET_SERVICE_HTTP) {
        SetLastError(ERROR_INTERNET_INVALID_OPERATION);
        return nullptr;
    }
    auto connection = std::make_shared<Connection>(session, context);
    connection->server = serverName;
    connection->port = serverPort;
    connection->flags = flags;
    if (userName && *userName) connection->settings.userName = std::string(userName);
    if (password && *password) connection->settings.password = std::string(password);
    HINTERNET handle = Handles().Add(connection);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

extern "C" HINTERNET HttpOpenRequestA(HINTERNET connectionHandle, LPCSTR verb, LPCSTR objectName, LPCSTR version,
                                      LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context) {
    auto connection = FindAs<Connection>(connectionHandle, Kind::Connection);
    if (!connection) return nullptr;
    auto request = std::make_shared<Request>(connection, context);
    request->verb = verb && *verb ? std::string(verb) : std::string("GET");
    request->object = objectName && *objectName ? std::string(objectName) : std::string("/");
    request->version = version && *version ? std::string(version) : std::string("HTTP/1.1");
    request->referrer = TextOrEmpty(referrer);
    for (LPCSTR* type = acceptTypes; type && *type; ++type) request->acceptTypes.emplace_back(*type);
    request->flags = flags;
    request->securityFlags = flags & (INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
                                      INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS);
    HINTERNET handle = Handles().Add(request);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

extern "C" BOOL HttpAddRequestHeadersA(HINTERNET requestHandle, LPCSTR headers, DWORD headersLength, DWORD modifiers) {
    auto request = FindAs<Request>(requestHandle, Kind::Request);
    if (!request) return FALSE;
    if (!headers) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(request->mutex);
    const DWORD error = ApplyHeaderText(*request, headers, headersLength, modifiers);
    if (error != ERROR_SUCCESS) return Fail(error);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

extern "C" BOOL HttpSendRequestA(HINTERNET requestHandle, LPCSTR headers, DWORD headersLength, LPVOID optional,
                                 DWORD optionalLength) {
    auto request = FindAs<Request>(requestHandle, Kind::Request);
    if (!request) return FALSE;
    if (!optional && optionalLength) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(request->mutex);
    if (headers && HeaderTextLength(headers, headersLength) > 0) {
        // Headers given to a send stay on the request and replace same-named ones, so a resend
        // carries them once.
        const DWORD error = ApplyHeaderText(*request, headers, headersLength,
                                            HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
        if (error != ERROR_SUCCESS) return Fail(error);
    }
    const SendPlan plan = MakePlan(*request);
    const DWORD error = Perform(*request, plan, optional, optionalLength);
    if (error != ERROR_SUCCESS) return Fail(error);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

extern "C" BOOL HttpQueryInfoA(HINTERNET requestHandle, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                               LPDWORD index) {
    auto request = FindAs<Request>(requestHandle, Kind::Request);
    if (!request) return FALSE;
    if (!bufferLength) return Fail(ERROR_INVALID_PARAMETER);
    const DWORD level = infoLevel & HTTP_QUERY_HEADER_MASK;
    const DWORD modifiers = infoLevel & HTTP_QUERY_MODIFIER_FLAGS_MASK;
    const bool ofRequest = (modifiers & HTTP_QUERY_FLAG_REQUEST_HEADERS) != 0;
    if (modifiers & HTTP_QUERY_FLAG_SYSTEMTIME) return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);

    std::lock_guard<std::mutex> lock(request->mutex);
    const Answer& answer = request->answer;
    if (!ofRequest && !answer.present) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);

    std::string value;
    DWORD nextIndex = 0;
    const DWORD wantedIndex = index ? *index : 0;
    std::string name;
    switch (level) {
        case HTTP_QUERY_STATUS_CODE:
            if (ofRequest) return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
            value = std::to_string(answer.status);
            break;
        case HTTP_QUERY_STATUS_TEXT:
            if (ofRequest) return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
            value = answer.reason;
            break;
        case HTTP_QUERY_VERSION:
            value = ofRequest ? request->version : answer.version;
            break;
        case HTTP_QUERY_REQUEST_METHOD:
            value = request->verb;
            break;
        case HTTP_QUERY_RAW_HEADERS:
        case HTTP_QUERY_RAW_HEADERS_CRLF: {
            const bool crlf = level == HTTP_QUERY_RAW_HEADERS_CRLF;
            if (ofRequest) {
                std::vector<std::string> lines;
                for (const Header& h : request->headers) lines.push_back(h.name + ": " + h.value);
                value = JoinLines(request->verb + " " + request->object + " " + request->version, lines, '\0', crlf);
            } else {
                value = JoinLines(answer.statusLine, answer.lines, '\0', crlf);
            }
            break;
        }
        case HTTP_QUERY_CUSTOM:
            if (!buffer) return Fail(ERROR_INVALID_PARAMETER);
            name.assign(static_cast<const char*>(buffer), strnlen(static_cast<const char*>(buffer), *bufferLength));
            if (name.empty()) return Fail(ERROR_INVALID_PARAMETER);
            [[fallthrough]];
        default: {
            if (name.empty()) {
                if (level >= sizeof(kHeaderNames) / sizeof(kHeaderNames[0]) || !kHeaderNames[level]) {
                    return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
                }
                name = kHeaderNames[level];
            }
            const std::vector<Header>& list = ofRequest ? request->headers : answer.headers;
            if (!FindHeader(list, name, (modifiers & HTTP_QUERY_FLAG_COALESCE) != 0, wantedIndex, value, nextIndex)) {
                return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
            }
            break;
        }
    }

    BOOL ok;
    if (modifiers & (HTTP_QUERY_FLAG_NUMBER | HTTP_QUERY_FLAG_NUMBER64)) {
        ok = CopyNumber(std::strtoull(value.c_str(), nullptr, 10), (modifiers & HTTP_QUERY_FLAG_NUMBER64) != 0,
                        buffer, bufferLength);
    } else {
        ok = CopyText(value, buffer, bufferLength);
    }
    if (!ok) return FALSE;
    if (index && nextIndex) *index = nextIndex;
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

extern "C" BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
    if (!handle) {
        // Process-wide defaults: only the timeouts.
        Defaults& d = ProcessDefaults();
        DWORD* target = DefaultTimeout(d, option);
        if (!target) return Fail(ERROR_INTERNET_INVALID_OPTION);
        if (!buffer) return Fail(ERROR_INVALID_PARAMETER);
        if (bufferLength < sizeof(DWORD)) return Fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
        std::lock_guard<std::mutex> lock(d.mutex);
        std::memcpy(target, buffer, sizeof(DWORD));
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    std::shared_ptr<Object> object = Handles().Find(handle);
    if (!object) return Fail(ERROR_INVALID_HANDLE);
    if (!buffer) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(object->mutex);

    if (IsTextOption(option)) {
        const std::string text(static_cast<const char*>(buffer), strnlen(static_cast<const char*>(buffer), bufferLength));
        if (auto* setting = TextSetting(object->settings, option)) {
            *setting = text;
        } else if (option == INTERNET_OPTION_USER_AGENT && object->kind == Kind::Session) {
            auto& session = static_cast<Session&>(*object);
            session.agent = text;
            session.hasAgent = true;
        } else {
            return Fail(ERROR_INTERNET_OPTION_NOT_SETTABLE);
        }
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }

    if (option == INTERNET_OPTION_CONTEXT_VALUE) {
        if (bufferLength < sizeof(DWORD_PTR)) return Fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
        std::memcpy(&object->context, buffer, sizeof(DWORD_PTR));
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (option == INTERNET_OPTION_HANDLE_TYPE || option == INTERNET_OPTION_PARENT_HANDLE) {
        return Fail(ERROR_INTERNET_OPTION_NOT_SETTABLE);
    }
    if (bufferLength < sizeof(DWORD)) {
        return Fail(TimeoutSetting(object->settings, option) || option == INTERNET_OPTION_SECURITY_FLAGS
                        ? ERROR_INTERNET_BAD_OPTION_LENGTH
                        : ERROR_INTERNET_INVALID_OPTION);
    }
    DWORD value;
    std::memcpy(&value, buffer, sizeof(DWORD));
    if (auto* timeout = TimeoutSetting(object->settings, option)) {
        *timeout = value;
    } else if (option == INTERNET_OPTION_SECURITY_FLAGS) {
        if (object->kind != Kind::Request) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        static_cast<Request&>(*object).securityFlags = value & ~SECURITY_FLAG_SECURE;
    } else {
        return Fail(ERROR_INTERNET_INVALID_OPTION);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

extern "C" BOOL InternetCloseHandle(HINTERNET handle) {
    if (!handle || !Handles().Close(handle)) return Fail(ERROR_INVALID_HANDLE);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

