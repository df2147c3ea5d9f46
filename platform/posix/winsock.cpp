// Windows Sockets start-up, error numbers and the socket calls that differ from the BSD ones.
#include <cstddef>
#include <cstdint>
#include <type_traits>

// winsock.h declares the C library's socket types, structs and numbers by hand (winsock_glibc.h), so
// that code above the platform does not see the system's socket headers. This file holds them against
// those headers: a system with other numbers or layouts fails to compile here instead of passing
// wrong ones. First the declarations by hand, in a namespace of their own (<cstdint>, which they
// include, is already in); their numbers are macros, kept there as constants and then undefined.
namespace by_hand {
#include "winsock_glibc.h"
}

#define QP_NUMBERS_BY_HAND(X)                                                                    \
    X(AF_UNSPEC) X(AF_INET) X(PF_INET) X(SOCK_STREAM) X(SOCK_DGRAM) X(IPPROTO_IP) X(IPPROTO_TCP) \
    X(IPPROTO_UDP) X(INADDR_ANY) X(INADDR_LOOPBACK) X(INADDR_NONE) X(SOL_SOCKET) X(SO_REUSEADDR) \
    X(SO_KEEPALIVE) X(SOMAXCONN) X(TCP_NODELAY) X(FIONREAD) X(FIONBIO) X(SIOCATMARK)
#define QP_KEEP_NUMBER(name) constexpr auto name##_ = name;
namespace by_hand {
QP_NUMBERS_BY_HAND(QP_KEEP_NUMBER)
}
#undef QP_KEEP_NUMBER
#undef AF_UNSPEC
#undef AF_INET
#undef PF_INET
#undef SOCK_STREAM
#undef SOCK_DGRAM
#undef IPPROTO_IP
#undef IPPROTO_TCP
#undef IPPROTO_UDP
#undef INADDR_ANY
#undef INADDR_LOOPBACK
#undef INADDR_NONE
#undef SOL_SOCKET
#undef SO_REUSEADDR
#undef SO_KEEPALIVE
#undef SOMAXCONN
#undef TCP_NODELAY
#undef FIONREAD
#undef FIONBIO
#undef SIOCATMARK

// Then the system's socket headers, before winsock.h, which then takes them instead of its own.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/types.h>

#include "winsock.h"

#define QP_SAME_NUMBER(name) static_assert(by_hand::name##_ == name, #name " differs from the system's");
QP_NUMBERS_BY_HAND(QP_SAME_NUMBER)
#undef QP_SAME_NUMBER
#undef QP_NUMBERS_BY_HAND

#define QP_SAME_TYPE(name) \
    static_assert(std::is_same<by_hand::name, ::name>::value, #name " differs from the system's");
QP_SAME_TYPE(sa_family_t)
QP_SAME_TYPE(in_port_t)
QP_SAME_TYPE(in_addr_t)
QP_SAME_TYPE(socklen_t)
QP_SAME_TYPE(u_char)
QP_SAME_TYPE(u_short)
QP_SAME_TYPE(u_long)
#undef QP_SAME_TYPE

#define QP_SAME_LAYOUT(type)                                                                            \
    static_assert(sizeof(by_hand::type) == sizeof(::type) && alignof(by_hand::type) == alignof(::type), \
                  #type " differs from the system's");
#define QP_SAME_MEMBER(type, member)                                             \
    static_assert(offsetof(by_hand::type, member) == offsetof(::type, member) && \
                      sizeof(by_hand::type::member) == sizeof(::type::member),   \
                  #type "::" #member " differs from the system's");
QP_SAME_LAYOUT(sockaddr)
QP_SAME_MEMBER(sockaddr, sa_family)
QP_SAME_MEMBER(sockaddr, sa_data)
QP_SAME_LAYOUT(in_addr)
QP_SAME_MEMBER(in_addr, s_addr)
QP_SAME_LAYOUT(sockaddr_in)
QP_SAME_MEMBER(sockaddr_in, sin_family)
QP_SAME_MEMBER(sockaddr_in, sin_port)
QP_SAME_MEMBER(sockaddr_in, sin_addr)
QP_SAME_MEMBER(sockaddr_in, sin_zero)
#undef QP_SAME_MEMBER
#undef QP_SAME_LAYOUT

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <mutex>

namespace {

struct ErrorPair {
    int errnoValue;
    int wsaError;
};

// errno to Windows Sockets numbers. The first entry for a Windows number is the one that
// WSASetLastError stores.
const ErrorPair kErrors[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAEBADF},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EWOULDBLOCK, WSAEWOULDBLOCK},
    {EAGAIN, WSAEWOULDBLOCK},
    {EINPROGRESS, WSAEINPROGRESS},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {EPIPE, WSAECONNRESET},  // Windows reports a send to a closed peer as a reset
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETOOMANYREFS, WSAETOOMANYREFS},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
    {ENOTEMPTY, WSAENOTEMPTY},
    {EUSERS, WSAEUSERS},
    {EDQUOT, WSAEDQUOT},
    {ESTALE, WSAESTALE},
    {EREMOTE, WSAEREMOTE},
};

int ToWsa(int errnoValue) {
    for (const ErrorPair& pair : kErrors)
        if (pair.errnoValue == errnoValue) return pair.wsaError;
    return errnoValue;
}

// A number set with WSASetLastError that has no errno counterpart is kept here, and holds as long
// as errno still has the value that was stored with it.
struct StoredError {
    bool valid = false;
    int wsaError = 0;
    int errnoValue = 0;
};
thread_local StoredError t_stored;

// An errno value no system call sets, to mark a stored Windows number.
const int kStoredErrno = 0x51A7;

std::mutex g_startMutex;
int g_starts = 0;

// Only real sockets: the descriptor number must fit and name a socket.
bool IsSocket(SOCKET s) {
    if (s > static_cast<SOCKET>(INT_MAX)) return false;
    struct stat info;
    return fstat(static_cast<int>(s), &info) == 0 && S_ISSOCK(info.st_mode);
}

int Fail(int errnoValue) {
    errno = errnoValue;
    return SOCKET_ERROR;
}

}  // namespace

extern "C" int WSAStartup(WORD versionRequested, LPWSADATA data) {
    const BYTE major = static_cast<BYTE>(versionRequested & 0xff);
    const BYTE minor = static_cast<BYTE>(versionRequested >> 8);
    if (data) {
        std::memset(data, 0, sizeof(*data));
        data->wHighVersion = MAKEWORD(2, 2);
        data->wVersion = (major > 2 || (major == 2 && minor >= 2)) ? MAKEWORD(2, 2) : versionRequested;
        std::strcpy(data->szDescription, "WinSock 2.0");
        std::strcpy(data->szSystemStatus, "Running");
    }
    if (major < 1) return WSAVERNOTSUPPORTED;
    std::lock_guard<std::mutex> lock(g_startMutex);
    ++g_starts;
    return 0;
}

extern "C" int WSACleanup(void) {
    std::lock_guard<std::mutex> lock(g_startMutex);
    if (g_starts == 0) {
        WSASetLastError(WSANOTINITIALISED);
        return SOCKET_ERROR;
    }
    --g_starts;
    return 0;
}

extern "C" int WSAGetLastError(void) {
    const int current = errno;
    if (t_stored.valid && current == t_stored.errnoValue) return t_stored.wsaError;
    return ToWsa(current);
}

extern "C" void WSASetLastError(int error) {
    t_stored.valid = false;
    if (error == 0) {
        errno = 0;
        return;
    }
    for (const ErrorPair& pair : kErrors) {
        if (pair.wsaError == error) {
            errno = pair.errnoValue;
            return;
        }
    }
    t_stored = {true, error, kStoredErrno};
    errno = kStoredErrno;
}

extern "C" int closesocket(SOCKET s) {
    if (!IsSocket(s)) return Fail(ENOTSOCK);
    // Linux closes the descriptor even when close reports EINTR; never retry.
    if (close(static_cast<int>(s)) != 0 && errno != EINTR) return SOCKET_ERROR;
    return 0;
}

extern "C" int ioctlsocket(SOCKET s, long cmd, u_long* arg) {
    if (!IsSocket(s)) return Fail(ENOTSOCK);
    if (!arg) return Fail(EFAULT);
    const int fd = static_cast<int>(s);
    switch (cmd) {
    case FIONBIO: {
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0) return SOCKET_ERROR;
        const int wanted = *arg ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
        return fcntl(fd, F_SETFL, wanted) == 0 ? 0 : SOCKET_ERROR;
    }
    case FIONREAD:
    case SIOCATMARK: {
        int value = 0;
        if (ioctl(fd, static_cast<unsigned long>(cmd), &value) != 0) return SOCKET_ERROR;
        *arg = static_cast<u_long>(value);
        return 0;
    }
    default:
        return Fail(EINVAL);
    }
}

extern "C" int QpSocketBind(SOCKET s, const struct sockaddr* name, int nameLength) {
    if (s > static_cast<SOCKET>(INT_MAX)) return Fail(ENOTSOCK);
    const int fd = static_cast<int>(s);
    if (nameLength < 0) return Fail(EFAULT);
    int type = 0;
    socklen_t typeLength = sizeof(type);
    if (name && (name->sa_family == AF_INET || name->sa_family == AF_INET6) &&
        getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 && type == SOCK_STREAM) {
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    }
    return ::bind(fd, name, static_cast<socklen_t>(nameLength));
}

extern "C" SOCKET QpSocketAccept(SOCKET s, struct sockaddr* address, socklen_t* addressLength) {
    if (s > static_cast<SOCKET>(INT_MAX)) {
        errno = ENOTSOCK;
        return INVALID_SOCKET;
    }
    const int fd = static_cast<int>(s);
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return INVALID_SOCKET;
    const int client = accept4(fd, address, addressLength, (flags & O_NONBLOCK) ? SOCK_NONBLOCK : 0);
    return client < 0 ? INVALID_SOCKET : static_cast<SOCKET>(client);
}

extern "C" int QpSocketSend(SOCKET s, const void* buffer, size_t length, int flags) {
    if (s > static_cast<SOCKET>(INT_MAX)) return Fail(ENOTSOCK);
    if (length > static_cast<size_t>(INT_MAX)) length = INT_MAX;
    const ssize_t sent = ::send(static_cast<int>(s), buffer, length, flags | MSG_NOSIGNAL);
    return sent < 0 ? SOCKET_ERROR : static_cast<int>(sent);
}
