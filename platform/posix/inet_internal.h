// Internal state of the WinINet handles (not part of the platform's interface).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "wininet.h"

namespace qp::inet {

enum class Kind { Session, Connection, Request };

// Settings that can be made on any handle; a handle without its own value takes its parent's, and the
// session takes the process-wide default.
struct Settings {
    std::optional<DWORD> connectTimeout;
    std::optional<DWORD> sendTimeout;
    std::optional<DWORD> receiveTimeout;
    std::optional<std::string> userName;
    std::optional<std::string> password;
    std::optional<std::string> proxyUserName;
    std::optional<std::string> proxyPassword;
};

struct Object {
    Object(Kind k, std::shared_ptr<Object> p, DWORD_PTR ctx) : kind(k), parent(std::move(p)), context(ctx) {}
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // True when this handle or one above it was closed.
    bool IsClosed() const {
        for (const Object* o = this; o; o = o->parent.get()) {
            if (o->closed.load(std::memory_order_acquire)) return true;
        }
        return false;
    }

    const Kind kind;
    const std::shared_ptr<Object> parent;
    HINTERNET handle = nullptr;  // set once when registered
    std::atomic<bool> closed{false};

    // Guards everything below and the changing members of the derived kinds. Locks are taken from a
    // request towards its session, never the other way.
    mutable std::mutex mutex;
    DWORD_PTR context;
    Settings settings;
};

struct Session : Object {
    Session(DWORD_PTR ctx) : Object(Kind::Session, nullptr, ctx) {}
    std::string agent;
    bool hasAgent = false;
    DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy;
    std::string proxyBypass;
    DWORD flags = 0;
};

struct Connection : Object {
    Connection(std::shared_ptr<Object> p, DWORD_PTR ctx) : Object(Kind::Connection, std::move(p), ctx) {}
    std::string server;
    INTERNET_PORT port = 0;
    DWORD flags = 0;
};

struct Header {
    std::string name;
    std::string value;
};

// The final answer of the last send, as received.
struct Answer {
    bool present = false;
    std::string statusLine;
    std::vector<std::string> lines;  // header lines after the status line, without line ends
    std::vector<Header> headers;
    DWORD status = 0;
    std::string version;
    std::string reason;
    std::string body;
    size_t readPos = 0;
    std::string url;  // where the answer came from, after redirects
};

struct Request : Object {
    Request(std::shared_ptr<Object> p, DWORD_PTR ctx) : Object(Kind::Request, std::move(p), ctx) {}
    ~Request() override;
    std::string verb;
    std::string object;
    std::string version;
    std::string referrer;
    std::vector<std::string> acceptTypes;
    DWORD flags = 0;
    DWORD securityFlags = 0;  // ignore bits asked for; they do not weaken verification
    std::vector<Header> headers;
    Answer answer;
    void* easy = nullptr;  // the transfer handle, kept for resends on the same request
};

// What a send needs from the handles above the request, read under their locks.
struct SendPlan {
    std::string url;
    bool secure = false;
    std::string host;
    std::string agent;
    bool hasAgent = false;
    DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy;
    std::string proxyBypass;
    DWORD connectTimeout = 0;
    DWORD sendTimeout = 0;
    DWORD receiveTimeout = 0;
    std::string userName;
    std::string password;
    std::string proxyUserName;
    std::string proxyPassword;
};

// Performs the exchange of a request whose lock the caller holds. Returns ERROR_SUCCESS or the error
// number; the answer is stored in the request (present only on success, or for a proxy's refusal of
// a tunnel, which is an answer too).
DWORD Perform(Request& request, const SendPlan& plan, const void* body, size_t bodyLength);
void ReleaseTransfer(void* easy);
// Has a transfer check the certificates it meets against the revocation lists it knows.
void CheckRevocation(void* easy);
// The error number of a transfer that failed on the server's certificate.
DWORD CertificateError(void* easy, const char* message);
// The body of a proxy's refusal of a tunnel, which the transfer reads but passes on to nobody: a copy
// of what waits unread in the plain-http connection to the proxy (found among the transfer's
// sockets), up to `length` bytes; the wait for bytes still under way ends after `waitMs` (200 ms at
// most) or when the request is closed.
std::string PeekRefusalBody(void* easy, const std::vector<int>& sockets, size_t length, long waitMs,
                            const Object& request);
void EnsureTransferLibrary();

// Helpers shared by the sources.
bool EqualNoCase(const std::string& a, const std::string& b);
bool IsLoopbackHost(const std::string& host);

// The table of live handles (inet_handles.cpp). A handle that was closed, or never made, finds
// nothing.
std::shared_ptr<Object> FindHandle(HINTERNET handle);

// The handle's object as the kind a function takes; null with the last error set otherwise.
template <typename T>
std::shared_ptr<T> FindAs(HINTERNET handle, Kind kind) {
    std::shared_ptr<Object> object = FindHandle(handle);
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

// Sets the last error and gives FALSE, for the functions' ways out.
BOOL Fail(DWORD error);

// The process-wide timeouts that a session without its own takes (inet_options.cpp sets them).
constexpr DWORD kDefaultConnectTimeout = 30000;
constexpr DWORD kDefaultSendTimeout = 60000;
constexpr DWORD kDefaultReceiveTimeout = 60000;
struct Defaults {
    std::mutex mutex;
    DWORD connectTimeout = kDefaultConnectTimeout;
    DWORD sendTimeout = kDefaultSendTimeout;
    DWORD receiveTimeout = kDefaultReceiveTimeout;
};
Defaults& ProcessDefaults();

}  // namespace qp::inet
