// Windows Sockets over BSD sockets: start-up, blocking, binding, accepting, sending and error numbers.
#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>
// The client side (connect) is the system's own; it comes before the platform's headers, which then
// take the system's socket headers too.
#include <sys/socket.h>

#include <cstring>

#include "framework/afxsock.h"
#include "platform/win32api.h"

namespace {

sockaddr_in Loopback(unsigned short port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(port);
    return address;
}

class Sockets : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(AfxSocketInit()); }
    void TearDown() override {
        for (SOCKET s : m_open) closesocket(s);
    }

    SOCKET Tcp() {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        EXPECT_NE(s, INVALID_SOCKET);
        m_open.push_back(s);
        return s;
    }
    void Forget(SOCKET s) { m_open.erase(std::remove(m_open.begin(), m_open.end(), s), m_open.end()); }

    // A socket listening on 127.0.0.1 at a port the system picked; the port is returned too.
    SOCKET Listener(unsigned short& port) {
        SOCKET s = Tcp();
        sockaddr_in address = Loopback(0);
        EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        int length = sizeof(address);
        EXPECT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&address), &length), 0);
        port = ntohs(address.sin_port);
        EXPECT_EQ(listen(s, 3), 0);
        return s;
    }

    SOCKET Connect(unsigned short port) {
        SOCKET s = Tcp();
        sockaddr_in address = Loopback(port);
        EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        return s;
    }

    SOCKET Accept(SOCKET listener) {
        sockaddr_in peer;
        std::memset(&peer, 0, sizeof(peer));
        int length = sizeof(peer);
        SOCKET s = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
        if (s != INVALID_SOCKET) {
            m_open.push_back(s);
            EXPECT_EQ(length, static_cast<int>(sizeof(peer)));
            EXPECT_EQ(peer.sin_addr.s_addr, inet_addr("127.0.0.1"));
        }
        return s;
    }

    std::vector<SOCKET> m_open;
};

TEST_F(Sockets, StartupAsksForVersionOneOneOfTheTwoTwoOffered) {
    WSADATA data;
    std::memset(&data, 0xCC, sizeof(data));
    ASSERT_TRUE(AfxSocketInit(&data));
    EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
    EXPECT_EQ(data.wHighVersion, MAKEWORD(2, 2));
    EXPECT_STREQ(data.szSystemStatus, "Running");

    EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &data), WSAVERNOTSUPPORTED);
}

TEST_F(Sockets, CleanupWithoutStartFails) {
    int removed = 0;
    while (WSACleanup() == 0) ASSERT_LT(++removed, 100);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    while (removed-- > 0) WSAStartup(MAKEWORD(2, 2), nullptr);
}

TEST_F(Sockets, NonBlockingAcceptWithNothingPendingWouldBlock) {
    unsigned short port = 0;
    SOCKET listener = Listener(port);
    u_long on = 1;
    ASSERT_EQ(ioctlsocket(listener, FIONBIO, &on), 0);
    EXPECT_EQ(Accept(listener), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

    // A pending connection is taken, and the accepted socket is non-blocking like its listener.
    Connect(port);
    SOCKET client = INVALID_SOCKET;
    for (int i = 0; i < 500 && client == INVALID_SOCKET; ++i) {
        client = Accept(listener);
        if (client == INVALID_SOCKET) Sleep(10);
    }
    ASSERT_NE(client, INVALID_SOCKET);
    char buffer[16];
    EXPECT_EQ(recv(client, buffer, sizeof(buffer), 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
}

TEST_F(Sockets, BindToAPortThatIsListenedOnFailsWithAddressInUse) {
    unsigned short port = 0;
    Listener(port);
    SOCKET second = Tcp();
    sockaddr_in address = Loopback(port);
    EXPECT_EQ(bind(second, reinterpret_cast<sockaddr*>(&address), sizeof(address)), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
}

TEST_F(Sockets, ListenerCanBeRestartedWhileOldConnectionsWaitOut) {
    unsigned short port = 0;
    SOCKET listener = Listener(port);
    SOCKET client = Connect(port);
    SOCKET served = Accept(listener);
    ASSERT_NE(served, INVALID_SOCKET);
    // The server side closes first, so its end of the connection keeps the port in TIME_WAIT.
    closesocket(served);
    Forget(served);
    char byte;
    EXPECT_EQ(recv(client, &byte, 1, 0), 0);
    closesocket(client);
    Forget(client);
    closesocket(listener);
    Forget(listener);

    sockaddr_in address = Loopback(port);
    const int plain = ::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(::bind(plain, reinterpret_cast<sockaddr*>(&address), sizeof(address)), -1)
        << "without the Windows behaviour the port would still be taken";
    EXPECT_EQ(errno, EADDRINUSE);
    ::close(plain);

    SOCKET again = Tcp();
    EXPECT_EQ(bind(again, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0) << WSAGetLastError();
    EXPECT_EQ(listen(again, 3), 0);
}

TEST_F(Sockets, IoctlSwitchesBlockingAndCountsBytes) {
    unsigned short port = 0;
    SOCKET listener = Listener(port);
    SOCKET client = Connect(port);
    SOCKET served = Accept(listener);
    ASSERT_NE(served, INVALID_SOCKET);

    u_long mode = 1;
    ASSERT_EQ(ioctlsocket(served, FIONBIO, &mode), 0);
    EXPECT_NE(fcntl(static_cast<int>(served), F_GETFL) & O_NONBLOCK, 0);
    char buffer[16];
    EXPECT_EQ(recv(served, buffer, sizeof(buffer), 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

    ASSERT_EQ(send(client, "hello", 5, 0), 5);
    u_long waiting = 0;
    for (int i = 0; i < 500 && waiting < 5; ++i) {
        ASSERT_EQ(ioctlsocket(served, FIONREAD, &waiting), 0);
        if (waiting < 5) Sleep(10);
    }
    EXPECT_EQ(waiting, 5u);

    ULONG mode32 = 0;  // the 32-bit type Windows code may use
    ASSERT_EQ(ioctlsocket(served, FIONBIO, &mode32), 0);
    EXPECT_EQ(fcntl(static_cast<int>(served), F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(recv(served, buffer, sizeof(buffer), 0), 5);

    EXPECT_EQ(ioctlsocket(served, 0x1234, &mode), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

TEST_F(Sockets, SendToAClosedPeerFailsWithoutASignal) {
    unsigned short port = 0;
    SOCKET listener = Listener(port);
    SOCKET client = Connect(port);
    SOCKET served = Accept(listener);
    ASSERT_NE(served, INVALID_SOCKET);
    closesocket(client);
    Forget(client);

    // The first send may still be taken; the peer's reset makes the next ones fail (a SIGPIPE
    // would end the test program).
    const char data[1024] = {};
    int result = 0;
    for (int i = 0; i < 200 && result != SOCKET_ERROR; ++i) {
        result = send(served, data, sizeof(data), 0);
        if (result != SOCKET_ERROR) Sleep(5);
    }
    ASSERT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
}

TEST_F(Sockets, ConnectToAClosedPortIsRefused) {
    unsigned short port = 0;
    SOCKET listener = Listener(port);
    closesocket(listener);
    Forget(listener);
    SOCKET s = Tcp();
    sockaddr_in address = Loopback(port);
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
}

TEST_F(Sockets, ClosesocketClosesOnlySockets) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_EQ(closesocket(static_cast<SOCKET>(pipeEnds[0])), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_NE(fcntl(pipeEnds[0], F_GETFD), -1) << "the pipe stays open";
    close(pipeEnds[0]);
    close(pipeEnds[1]);

    EXPECT_EQ(closesocket(INVALID_SOCKET), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    u_long mode = 1;
    EXPECT_EQ(ioctlsocket(INVALID_SOCKET, FIONBIO, &mode), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);

    SOCKET s = Tcp();
    Forget(s);
    EXPECT_EQ(closesocket(s), 0);
}

TEST(WsaErrors, SetAndGetRoundTrip) {
    WSASetLastError(WSAEADDRINUSE);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
    WSASetLastError(12345);  // no errno stands for it
    EXPECT_EQ(WSAGetLastError(), 12345);
    WSASetLastError(0);
    EXPECT_EQ(WSAGetLastError(), 0);

    const struct {
        int errnoValue;
        int expected;
    } cases[] = {{EAGAIN, WSAEWOULDBLOCK},     {EWOULDBLOCK, WSAEWOULDBLOCK}, {EINPROGRESS, WSAEINPROGRESS},
                 {EADDRNOTAVAIL, WSAEADDRNOTAVAIL}, {ECONNRESET, WSAECONNRESET}, {EPIPE, WSAECONNRESET},
                 {EBADF, WSAEBADF},                {EMFILE, WSAEMFILE},           {EACCES, WSAEACCES},
                 {ENOTCONN, WSAENOTCONN},          {ETIMEDOUT, WSAETIMEDOUT},     {EINTR, WSAEINTR},
                 {ECONNABORTED, WSAECONNABORTED},  {ENETUNREACH, WSAENETUNREACH}, {EINVAL, WSAEINVAL}};
    for (const auto& c : cases) {
        errno = c.errnoValue;
        EXPECT_EQ(WSAGetLastError(), c.expected) << "errno " << c.errnoValue;
    }
    WSASetLastError(12345);
    errno = ENOTSOCK;  // a later failure replaces the stored number
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

}  // namespace
