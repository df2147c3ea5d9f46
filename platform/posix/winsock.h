// Windows Sockets over BSD sockets. The BSD functions (socket, bind, listen, accept, recv, send,
// htons, inet_addr, ...) keep their system names; this header adds the Windows names and types
// and, for calls made with a SOCKET, overloads that give Windows behaviour:
//   - bind sets SO_REUSEADDR on TCP sockets first. On Linux that still fails with WSAEADDRINUSE when
//     a socket listens on the address (or holds it without SO_REUSEADDR), but, as on Windows, lets a
//     new listener take a port whose old connections wait in TIME_WAIT: a listener on a fixed port
//     (the loopback sign-in port) can be restarted at once after its connections were closed, with no
//     waiting in tests. That needs the old listener to have been bound through this overload too.
//     One difference stays: two sockets bound here to one port that neither listens on yet both
//     succeed; the second listen then fails with WSAEADDRINUSE.
//   - send never raises SIGPIPE: writing to a connection the peer has closed fails with an error.
//   - accept takes an int length and returns a SOCKET; the accepted socket is non-blocking when the
//     listening socket is, as on Windows.
// Errors: WSAGetLastError maps the thread's errno to the Windows Sockets numbers.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef __cplusplus
#  include <type_traits>
#endif

#include "wintypes.h"

// Only what Windows Sockets code names as well, declared here rather than taken from the system's
// socket headers: with those, a POSIX-only call (socketpair, MSG_DONTWAIT, ...) written above the
// platform would compile on Linux and fail only in the Windows build. The names below and those of
// winsock_glibc.h are the C library's own, with its types and numbers. A file that needs the system
// headers themselves (the platform's sources, the tests' fake servers) includes them before any
// header of the platform, and this header then takes the rest of them too instead of declaring its
// own.
#if defined(_SYS_SOCKET_H) || defined(_NETINET_IN_H) || defined(_ARPA_INET_H)
#  include <arpa/inet.h>
#  include <netinet/in.h>
#  include <netinet/tcp.h>
#  include <sys/ioctl.h>
#  include <sys/socket.h>
#else
#  include "winsock_glibc.h"

// Declared as the C library declares them (noexcept where it does).
QP_BEGIN_C
int socket(int domain, int type, int protocol) noexcept;
int bind(int fd, const struct sockaddr* address, socklen_t length) noexcept;
int listen(int fd, int backlog) noexcept;
int accept(int fd, struct sockaddr* address, socklen_t* length);
long recv(int fd, void* buffer, size_t length, int flags);
long send(int fd, const void* buffer, size_t length, int flags);
int setsockopt(int fd, int level, int name, const void* value, socklen_t length) noexcept;
int getsockopt(int fd, int level, int name, void* value, socklen_t* length) noexcept;
int getsockname(int fd, struct sockaddr* address, socklen_t* length) noexcept;
int getpeername(int fd, struct sockaddr* address, socklen_t* length) noexcept;
uint16_t htons(uint16_t value) noexcept;
uint16_t ntohs(uint16_t value) noexcept;
in_addr_t inet_addr(const char* text) noexcept;
QP_END_C
#endif

typedef UINT_PTR SOCKET;
#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

typedef struct sockaddr SOCKADDR, *PSOCKADDR, *LPSOCKADDR;
typedef struct sockaddr_in SOCKADDR_IN, *PSOCKADDR_IN, *LPSOCKADDR_IN;
typedef struct in_addr IN_ADDR, *PIN_ADDR;

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

// The 64-bit Windows layout.
typedef struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
} WSADATA, *LPWSADATA;

#ifndef MAKEWORD
#  define MAKEWORD(low, high) ((WORD)(((BYTE)(((DWORD_PTR)(low)) & 0xff)) | ((WORD)((BYTE)(((DWORD_PTR)(high)) & 0xff))) << 8))
#endif

#define WSABASEERR 10000
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEDESTADDRREQ 10039
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAENOPROTOOPT 10042
#define WSAEPROTONOSUPPORT 10043
#define WSAESOCKTNOSUPPORT 10044
#define WSAEOPNOTSUPP 10045
#define WSAEPFNOSUPPORT 10046
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETOOMANYREFS 10059
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAELOOP 10062
#define WSAENAMETOOLONG 10063
#define WSAEHOSTDOWN 10064
#define WSAEHOSTUNREACH 10065
#define WSAENOTEMPTY 10066
#define WSAEUSERS 10068
#define WSAEDQUOT 10069
#define WSAESTALE 10070
#define WSAEREMOTE 10071
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003
#define WSANO_DATA 11004

QP_BEGIN_C
// Counts the starts; versions below 1.0 are refused with WSAVERNOTSUPPORTED. Sockets work without
// it on this system, but callers keep the Windows order.
QP_API int WSAStartup(WORD versionRequested, LPWSADATA data);
// SOCKET_ERROR with WSANOTINITIALISED when there was no start left.
QP_API int WSACleanup(void);
// The Windows Sockets number of the calling thread's last error (0 when none); errno values without
// a Windows counterpart come through unchanged.
QP_API int WSAGetLastError(void);
QP_API void WSASetLastError(int error);
// Closes only sockets: any other descriptor (or none) fails with WSAENOTSOCK and stays open.
QP_API int closesocket(SOCKET s);
// FIONBIO (*arg nonzero: non-blocking), FIONREAD (bytes waiting) and SIOCATMARK.
QP_API int ioctlsocket(SOCKET s, long cmd, u_long* arg);

// The SOCKET overloads below call these.
QP_API int QpSocketBind(SOCKET s, const struct sockaddr* name, int nameLength);
QP_API SOCKET QpSocketAccept(SOCKET s, struct sockaddr* address, socklen_t* addressLength);
QP_API int QpSocketSend(SOCKET s, const void* buffer, size_t length, int flags);
QP_END_C

#ifdef __cplusplus
// Chosen only when the first argument has the type SOCKET; calls with an int descriptor reach the
// system functions unchanged.
template <class S, class L, std::enable_if_t<std::is_same<S, SOCKET>::value && std::is_integral<L>::value, int> = 0>
inline int bind(S s, const struct sockaddr* name, L nameLength) {
    return QpSocketBind(s, name, static_cast<int>(nameLength));
}

template <class S, class L,
          std::enable_if_t<std::is_same<S, SOCKET>::value &&
                               (std::is_same<L, int>::value || std::is_same<L, socklen_t>::value),
                           int> = 0>
inline SOCKET accept(S s, struct sockaddr* address, L* addressLength) {
    socklen_t length = addressLength ? static_cast<socklen_t>(*addressLength) : 0;
    const SOCKET client = QpSocketAccept(s, address, addressLength ? &length : nullptr);
    if (addressLength && client != INVALID_SOCKET) *addressLength = static_cast<L>(length);
    return client;
}

template <class S, class L, std::enable_if_t<std::is_same<S, SOCKET>::value && std::is_integral<L>::value, int> = 0>
inline int send(S s, const void* buffer, L length, int flags) {
    return QpSocketSend(s, buffer, static_cast<size_t>(length), flags);
}

// Code written for Windows may hold the argument in a 32-bit ULONG (u_long is 64-bit here).
inline int ioctlsocket(SOCKET s, long cmd, ULONG* arg) {
    u_long value = arg ? *arg : 0;
    const int rc = ioctlsocket(s, cmd, arg ? &value : nullptr);
    if (rc == 0 && arg) *arg = static_cast<ULONG>(value);
    return rc;
}

// Windows passes option and address lengths as int.
template <class S, std::enable_if_t<std::is_same<S, SOCKET>::value, int> = 0>
inline int getsockname(S s, struct sockaddr* name, int* nameLength) {
    socklen_t length = static_cast<socklen_t>(*nameLength);
    const int rc = ::getsockname(static_cast<int>(s), name, &length);
    if (rc == 0) *nameLength = static_cast<int>(length);
    return rc;
}

template <class S, std::enable_if_t<std::is_same<S, SOCKET>::value, int> = 0>
inline int getpeername(S s, struct sockaddr* name, int* nameLength) {
    socklen_t length = static_cast<socklen_t>(*nameLength);
    const int rc = ::getpeername(static_cast<int>(s), name, &length);
    if (rc == 0) *nameLength = static_cast<int>(length);
    return rc;
}

template <class S, std::enable_if_t<std::is_same<S, SOCKET>::value, int> = 0>
inline int getsockopt(S s, int level, int name, char* value, int* valueLength) {
    socklen_t length = static_cast<socklen_t>(*valueLength);
    const int rc = ::getsockopt(static_cast<int>(s), level, name, value, &length);
    if (rc == 0) *valueLength = static_cast<int>(length);
    return rc;
}
#endif
