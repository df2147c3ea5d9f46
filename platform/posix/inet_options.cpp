// WinINet options: the timeouts, credentials, agent, context and security flags set on a handle, or
// the process-wide timeouts.
#include <cstring>

#include "inet_internal.h"

using namespace qp::inet;

namespace {

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

// A handle's settings and the process-wide defaults alike.
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

}  // namespace

extern "C" BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
    if (!handle) {
        // Process-wide defaults: only the timeouts.
        Defaults& d = ProcessDefaults();
        DWORD* target = TimeoutSetting(d, option);
        if (!target) return Fail(ERROR_INTERNET_INVALID_OPTION);
        if (!buffer) return Fail(ERROR_INVALID_PARAMETER);
        if (bufferLength < sizeof(DWORD)) return Fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
        std::lock_guard<std::mutex> lock(d.mutex);
        std::memcpy(target, buffer, sizeof(DWORD));
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    std::shared_ptr<Object> object = FindHandle(handle);
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

