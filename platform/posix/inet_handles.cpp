// The WinINet handles: the table of live ones, their making and their closing. A handle below
// another (a request below its connection, that below its session) goes when the one above it does.
#include <cstdlib>
#include <unordered_map>

#include "inet_internal.h"

using namespace qp::inet;

namespace {

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

std::string TextOrEmpty(LPCSTR text) { return text ? std::string(text) : std::string(); }

}  // namespace

namespace qp::inet {

std::shared_ptr<Object> FindHandle(HINTERNET handle) { return Handles().Find(handle); }

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

Defaults& ProcessDefaults() {
    static Defaults* defaults = new Defaults();
    return *defaults;
}

}  // namespace qp::inet

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

extern "C" BOOL InternetCloseHandle(HINTERNET handle) {
    if (!handle || !Handles().Close(handle)) return Fail(ERROR_INVALID_HANDLE);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

