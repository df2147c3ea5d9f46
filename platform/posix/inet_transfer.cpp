// The exchange of an HTTP request, performed by libcurl, and the mapping of its failures to WinINet
// error numbers.
#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "inet_internal.h"

namespace qp::inet {

namespace {

constexpr long kWholeExchangeMs = 5 * 60 * 1000;  // no exchange lasts longer than this
// Answers are kept in memory whole. The largest the system asks for, a page of the web API, is well
// below 10 MiB; the bound keeps a broken or hostile server from taking the host's memory, and a
// larger answer fails as out of memory.
constexpr size_t kMaxBody = size_t(64) << 20;
constexpr long kMaxRedirects = 10;

struct Capture {
    Request* request = nullptr;
    CURL* easy = nullptr;
    long idleMs = 0;
    bool plainProxy = false;  // the proxy, if any, is spoken to in plain http
    std::string statusLine;
    std::vector<std::string> lines;
    std::vector<Header> headers;
    std::string body;
    bool tooLarge = false;
    std::vector<int> sockets;  // every socket opened for the exchange, the newest last
};

std::string TrimmedBlank(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

size_t ContentLength(const std::vector<Header>& headers) {
    for (const Header& h : headers) {
        if (EqualNoCase(h.name, "Content-Length")) return size_t(std::strtoull(h.value.c_str(), nullptr, 10));
    }
    return 0;
}

// Receives every header line of every answer; a status line starts a new answer (a redirect's
// target, the answer behind a proxy tunnel), so only the last answer's lines remain.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* capture = static_cast<Capture*>(user);
    const size_t length = size * count;
    std::string line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.compare(0, 5, "HTTP/") == 0) {
        capture->statusLine = line;
        capture->lines.clear();
        capture->headers.clear();
        capture->body.clear();
        return length;
    }
    if (line.empty()) {
        // The end of a header block. It is a refused tunnel's when the proxy's answer to CONNECT,
        // known from its status line on, is no success. Its body is readable on the socket only
        // when the proxy is spoken to in plain http; through TLS it comes without one.
        long tunnelStatus = 0;
        curl_easy_getinfo(capture->easy, CURLINFO_HTTP_CONNECTCODE, &tunnelStatus);
        if (tunnelStatus >= 300 && capture->plainProxy) {
            capture->body = PeekRefusalBody(capture->easy, capture->sockets, ContentLength(capture->headers),
                                            capture->idleMs, *capture->request);
        }
        return length;
    }
    if ((line[0] == ' ' || line[0] == '\t') && !capture->headers.empty()) {
        capture->lines.back() += line;
        capture->headers.back().value += " " + TrimmedBlank(line);
        return length;
    }
    capture->lines.push_back(line);
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
        capture->headers.push_back(Header{TrimmedBlank(line.substr(0, colon)), TrimmedBlank(line.substr(colon + 1))});
    }
    return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* capture = static_cast<Capture*>(user);
    const size_t length = size * count;
    if (capture->body.size() + length > kMaxBody) {
        capture->tooLarge = true;
        return 0;
    }
    capture->body.append(data, length);
    return length;
}

// Each request (also one after a redirect) starts with nothing answered.
int OnRequestStart(void* user, char*, char*, int, int) {
    static_cast<Capture*>(user)->statusLine.clear();
    return CURL_PREREQFUNC_OK;
}

int OnSocket(void* user, curl_socket_t socket, curlsocktype) {
    static_cast<Capture*>(user)->sockets.push_back(socket);
    return CURL_SOCKOPT_OK;
}

// Lets InternetCloseHandle on another thread cancel a running exchange.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Capture*>(user)->request->IsClosed() ? 1 : 0;
}

bool WildcardMatch(const char* pattern, const char* text) {
    while (*pattern) {
        if (*pattern == '*') {
            ++pattern;
            for (const char* t = text;; ++t) {
                if (WildcardMatch(pattern, t)) return true;
                if (!*t) return false;
            }
        }
        if (!*text || std::tolower(static_cast<unsigned char>(*pattern)) != std::tolower(static_cast<unsigned char>(*text))) {
            return false;
        }
        ++pattern;
        ++text;
    }
    return !*text;
}

std::vector<std::string> SplitList(const std::string& text, const char* separators) {
    std::vector<std::string> items;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find_first_of(separators, pos);
        const std::string item = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!item.empty()) items.push_back(item);
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return items;
}

bool Bypassed(const std::string& host, const std::string& bypassList) {
    for (std::string entry : SplitList(bypassList, "; ,\t")) {
        if (entry == "<local>") {
            if (host.find('.') == std::string::npos) return true;
            continue;
        }
        const size_t scheme = entry.find("://");
        if (scheme != std::string::npos) entry = entry.substr(scheme + 3);
        if (WildcardMatch(entry.c_str(), host.c_str())) return true;
    }
    return false;
}

// The proxy for the exchange: nothing (the environment's, as libcurl reads it), an empty text for a
// direct connection, or a proxy URL.
std::optional<std::string> ChooseProxy(const SendPlan& plan) {
    if (plan.accessType == INTERNET_OPEN_TYPE_DIRECT || IsLoopbackHost(plan.host)) return std::string();
    if (plan.accessType != INTERNET_OPEN_TYPE_PROXY) return std::nullopt;
    if (Bypassed(plan.host, plan.proxyBypass)) return std::string();
    std::string general;
    std::string specific;
    const char* wanted = plan.secure ? "https" : "http";
    for (const std::string& entry : SplitList(plan.proxy, "; \t")) {
        const size_t equals = entry.find('=');
        const size_t scheme = entry.find("://");
        if (equals != std::string::npos && (scheme == std::string::npos || equals < scheme)) {
            if (specific.empty() && EqualNoCase(entry.substr(0, equals), wanted)) specific = entry.substr(equals + 1);
        } else if (general.empty()) {
            general = entry;
        }
    }
    std::string chosen = specific.empty() ? general : specific;
    if (chosen.empty()) return std::string();
    if (chosen.find("://") == std::string::npos) chosen = "http://" + chosen;
    return chosen;
}

// The proxy libcurl takes from the environment for https, looked for as it looks.
std::string EnvironmentHttpsProxy() {
    for (const char* name : {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        if (const char* value = std::getenv(name)) return value;
    }
    return std::string();
}

// Whether the proxy of an exchange is spoken to in plain http: a proxy URL without a scheme or with
// http's. Only https is tunnelled, so without a proxy of ours the environment's for https counts.
bool SpeaksPlainHttp(const std::optional<std::string>& chosen) {
    const std::string proxy = chosen ? *chosen : EnvironmentHttpsProxy();
    const size_t scheme = proxy.find("://");
    return scheme == std::string::npos || EqualNoCase(proxy.substr(0, scheme), "http");
}

// The certificates named the OpenSSL way, trusted by the server's connection and by an https
// proxy's alike. A file replaces the built-in store; a folder is taken beside it only when named.
void TrustNamedCertificates(CURL* easy) {
    const char* file = std::getenv("SSL_CERT_FILE");
    const char* folder = std::getenv("SSL_CERT_DIR");
    if (folder && !*folder) folder = nullptr;
    const std::pair<CURLoption, CURLoption> stores[] = {{CURLOPT_CAINFO, CURLOPT_CAPATH},
                                                        {CURLOPT_PROXY_CAINFO, CURLOPT_PROXY_CAPATH}};
    for (const auto& [fileOption, folderOption] : stores) {
        if (file && *file) {
            curl_easy_setopt(easy, fileOption, file);
            curl_easy_setopt(easy, folderOption, folder);
        } else if (folder) {
            curl_easy_setopt(easy, folderOption, folder);
        }
    }
}

long MsOrCap(DWORD ms) { return ms == 0 || ms > DWORD(kWholeExchangeMs) ? kWholeExchangeMs : long(ms); }

DWORD MapFailure(CURLcode code, CURL* easy, const char* message, const Capture& capture) {
    switch (code) {
        // Every URL sent is http or https: libcurl names the scheme of a redirect it cannot follow,
        // or an answer without a status line (which it takes for HTTP/0.9).
        case CURLE_UNSUPPORTED_PROTOCOL:
            return capture.statusLine.empty() ? ERROR_HTTP_INVALID_SERVER_RESPONSE : ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST: return ERROR_INTERNET_NAME_NOT_RESOLVED;
        case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
        case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_HTTP2:
        case CURLE_BAD_CONTENT_ENCODING: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
        case CURLE_SEND_ERROR: return ERROR_INTERNET_CONNECTION_ABORTED;
        case CURLE_RECV_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
        case CURLE_TOO_MANY_REDIRECTS: return ERROR_HTTP_REDIRECT_FAILED;
        case CURLE_ABORTED_BY_CALLBACK: return ERROR_INTERNET_OPERATION_CANCELLED;
        case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS: return CertificateError(easy, message);
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_USE_SSL_FAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_CLIENTCERT: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
        default: return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

bool HasHeader(const std::vector<Header>& list, const char* name) {
    for (const Header& h : list) {
        if (EqualNoCase(h.name, name)) return true;
    }
    return false;
}

bool ParseStatusLine(const std::string& line, Answer& answer) {
    const size_t space = line.find(' ');
    if (space == std::string::npos) return false;
    answer.version = line.substr(0, space);
    const size_t codeStart = line.find_first_not_of(' ', space);
    if (codeStart == std::string::npos) return false;
    const size_t codeEnd = line.find(' ', codeStart);
    const std::string code = line.substr(codeStart, codeEnd == std::string::npos ? std::string::npos : codeEnd - codeStart);
    if (code.size() != 3 || code.find_first_not_of("0123456789") != std::string::npos) return false;
    answer.status = DWORD(std::atoi(code.c_str()));
    answer.reason = codeEnd == std::string::npos ? std::string() : TrimmedBlank(line.substr(codeEnd + 1));
    answer.statusLine = line;
    return true;
}

class HeaderList {
public:
    ~HeaderList() { curl_slist_free_all(m_list); }
    bool Add(const std::string& line) {
        curl_slist* grown = curl_slist_append(m_list, line.c_str());
        if (!grown) return false;
        m_list = grown;
        return true;
    }
    curl_slist* get() const { return m_list; }

private:
    curl_slist* m_list = nullptr;
};

}  // namespace

void EnsureTransferLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void ReleaseTransfer(void* easy) {
    if (easy) curl_easy_cleanup(static_cast<CURL*>(easy));
}

Request::~Request() { ReleaseTransfer(easy); }

namespace {

void SetCallbacks(CURL* easy, Capture& capture, char* message) {
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, message);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &capture);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &capture);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &capture);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &OnRequestStart);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &capture);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &OnSocket);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, &capture);
}

// Timeouts: connecting, then the longest stretch without data moving (the receive timeout; a send
// that stalls is caught by it too), then the whole exchange.
void SetTimeouts(CURL* easy, const SendPlan& plan, Capture& capture) {
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, MsOrCap(plan.connectTimeout));
    const long idleMs = MsOrCap(plan.receiveTimeout);
    capture.idleMs = idleMs;
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, std::max(1L, (idleMs + 999) / 1000));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, kWholeExchangeMs);
}

// The URL, the protocol version, redirects and the checks of the server's certificate.
void SetExchange(CURL* easy, const Request& request, const SendPlan& plan) {
    curl_easy_setopt(easy, CURLOPT_URL, plan.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                     request.version == "HTTP/1.0" ? long(CURL_HTTP_VERSION_1_0) : long(CURL_HTTP_VERSION_1_1));
    const bool follow = !(request.flags & INTERNET_FLAG_NO_AUTO_REDIRECT);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);

    // Certificates are checked in full whatever the request's flags ask for.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    CheckRevocation(easy);
    TrustNamedCertificates(easy);
}

// The proxy and the credentials for it and for the server, the agent and the referrer.
void SetProxyAndIdentity(CURL* easy, const Request& request, const SendPlan& plan, Capture& capture) {
    const std::optional<std::string> proxy = ChooseProxy(plan);
    if (proxy) curl_easy_setopt(easy, CURLOPT_PROXY, proxy->c_str());
    capture.plainProxy = SpeaksPlainHttp(proxy);
    if (!plan.proxyUserName.empty()) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, plan.proxyUserName.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, plan.proxyPassword.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
    }
    if (!plan.userName.empty() && !(request.flags & INTERNET_FLAG_NO_AUTH)) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, plan.userName.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, plan.password.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
    }
    if (plan.hasAgent && !plan.agent.empty()) curl_easy_setopt(easy, CURLOPT_USERAGENT, plan.agent.c_str());
    if (!request.referrer.empty()) curl_easy_setopt(easy, CURLOPT_REFERER, request.referrer.c_str());
}

void SetVerbAndBody(CURL* easy, const Request& request, const void* body, size_t bodyLength) {
    static const char kNoBody[] = "";
    const char* bodyBytes = body ? static_cast<const char*>(body) : kNoBody;
    if (request.verb == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (request.verb == "POST") {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, bodyBytes);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(bodyLength));
    } else {
        if (request.verb != "GET" || bodyLength) curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
        if (bodyLength) {
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, bodyBytes);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(bodyLength));
        }
    }
}

// The request's own headers, and none of libcurl's defaults that WinINet would not send. False when
// memory ran out.
bool ListHeaders(const Request& request, HeaderList& headers) {
    bool listOk = true;
    for (const Header& h : request.headers) {
        listOk = listOk && headers.Add(h.value.empty() ? h.name + ";" : h.name + ": " + h.value);
    }
    if (!HasHeader(request.headers, "Accept")) {
        std::string accept;
        for (const std::string& type : request.acceptTypes) accept += (accept.empty() ? "" : ", ") + type;
        listOk = listOk && headers.Add("Accept:" + (accept.empty() ? std::string() : " " + accept));
    }
    if (!HasHeader(request.headers, "Content-Type")) listOk = listOk && headers.Add("Content-Type:");
    if (!HasHeader(request.headers, "Expect")) listOk = listOk && headers.Add("Expect:");
    if ((request.flags & INTERNET_FLAG_PRAGMA_NOCACHE) && !HasHeader(request.headers, "Pragma")) {
        listOk = listOk && headers.Add("Pragma: no-cache");
    }
    return listOk;
}

// What the finished exchange gave: the answer kept in the request, or the error number of its failure.
DWORD TakeOutcome(CURL* easy, CURLcode code, const char* message, Capture& capture, Request& request) {
    long tunnelStatus = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &tunnelStatus);
    const bool tunnelRefused = code != CURLE_OK && tunnelStatus >= 300 && !capture.statusLine.empty();
    if (code != CURLE_OK && !tunnelRefused) {
        if (capture.tooLarge) return ERROR_NOT_ENOUGH_MEMORY;
        if (request.IsClosed()) return ERROR_INTERNET_OPERATION_CANCELLED;
        return MapFailure(code, easy, message, capture);
    }

    Answer answer;
    if (!ParseStatusLine(capture.statusLine, answer)) return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    answer.present = true;
    answer.lines = std::move(capture.lines);
    answer.headers = std::move(capture.headers);
    // A proxy that refuses a tunnel answers the request itself, its body included.
    answer.body = std::move(capture.body);
    char* effective = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) answer.url = effective;
    request.answer = std::move(answer);
    return ERROR_SUCCESS;
}

}  // namespace

DWORD Perform(Request& request, const SendPlan& plan, const void* body, size_t bodyLength) {
    EnsureTransferLibrary();
    request.answer = Answer();
    if (!request.easy) request.easy = curl_easy_init();
    CURL* easy = static_cast<CURL*>(request.easy);
    if (!easy) return ERROR_INTERNET_INTERNAL_ERROR;
    curl_easy_reset(easy);

    Capture capture;
    capture.request = &request;
    capture.easy = easy;
    char message[CURL_ERROR_SIZE] = {0};
    SetCallbacks(easy, capture, message);
    SetTimeouts(easy, plan, capture);
    SetExchange(easy, request, plan);
    SetProxyAndIdentity(easy, request, plan, capture);
    SetVerbAndBody(easy, request, body, bodyLength);
    HeaderList headers;
    if (!ListHeaders(request, headers)) return ERROR_NOT_ENOUGH_MEMORY;
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());

    const CURLcode code = curl_easy_perform(easy);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
    return TakeOutcome(easy, code, message, capture, request);
}

}  // namespace qp::inet
