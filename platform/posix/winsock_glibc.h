// The part of the C library's socket headers that Windows Sockets code names as well, declared by
// hand with glibc's types, layouts and numbers on amd64 and arm64, for winsock.h when the system's
// headers are not there. winsock.cpp holds each of them against those headers: a name added here
// goes into its list too.
#pragma once

#include <cstdint>

typedef unsigned short sa_family_t;
typedef uint16_t in_port_t;
typedef uint32_t in_addr_t;
typedef unsigned int socklen_t;
typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned long u_long;

struct sockaddr {
    sa_family_t sa_family;
    char sa_data[14];
};
struct in_addr {
    in_addr_t s_addr;
};
struct sockaddr_in {
    sa_family_t sin_family;
    in_port_t sin_port;
    struct in_addr sin_addr;
    unsigned char sin_zero[8];
};

#define AF_UNSPEC 0
#define AF_INET 2
#define PF_INET AF_INET
#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define IPPROTO_IP 0
#define IPPROTO_TCP 6
#define IPPROTO_UDP 17
#define INADDR_ANY ((in_addr_t)0x00000000)
#define INADDR_LOOPBACK ((in_addr_t)0x7f000001)
#define INADDR_NONE ((in_addr_t)0xffffffff)
#define SOL_SOCKET 1
#define SO_REUSEADDR 2
#define SO_KEEPALIVE 9
#define SOMAXCONN 4096
#define TCP_NODELAY 1
// The requests of ioctlsocket, with this system's ioctl numbers.
#define FIONREAD 0x541B
#define FIONBIO 0x5421
#define SIOCATMARK 0x8905
