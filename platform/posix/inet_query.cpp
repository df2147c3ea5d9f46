// What HttpQueryInfoA tells of a request and its answer: status, version, the raw header block and
// single headers, as text or as numbers.
#include <cstdlib>
#include <cstring>

#include "inet_internal.h"

using namespace qp::inet;

namespace {

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

}  // namespace

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

