// Helpers of the loopback listener's tests: a private home folder and a plain client for the
// listener's port. The client is written against the system's socket headers, so a file includes
// this header before any header of the platform.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace listen_test {

constexpr uint16_t kLoopbackPort = 3017;

// A fresh folder as $HOME (and no XDG_DATA_HOME), so the ini file is <folder>/.local/share/Quarnels.ini.
class TempHome {
public:
    TempHome() { EXPECT_FALSE(m_folder.Path().empty()); }

    const std::string& Path() const { return m_folder.Path(); }
    std::string File(const std::string& name) const { return m_folder.File(name); }

private:
    testsupport::TempFolder m_folder{"sso_listen"};
    testsupport::ScopedEnv m_home{"HOME", m_folder.Path()};
    testsupport::ScopedEnv m_data{"XDG_DATA_HOME", nullptr};
};

// Polls the condition every 10 ms until it holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A blocking client connection to 127.0.0.1.
class Client {
public:
    Client() = default;
    ~Client() { Close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Connect(uint16_t port = kLoopbackPort) {
        Close();
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd < 0) return false;
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_port = htons(port);
        peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(m_fd, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) != 0) {
            Close();
            return false;
        }
        return true;
    }
    bool Send(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += size_t(n);
        }
        return true;
    }
    // Everything until the peer closes (or resets) the connection; gives up after the limit.
    std::string ReadToEnd(std::chrono::milliseconds limit = std::chrono::milliseconds(15000)) {
        std::string bytes;
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                m_timedOut = true;
                break;
            }
            pollfd wait{m_fd, POLLIN, 0};
            if (poll(&wait, 1, int(left.count())) <= 0) continue;
            char chunk[4096];
            const ssize_t n = recv(m_fd, chunk, sizeof(chunk), 0);
            if (n <= 0) break;
            bytes.append(chunk, size_t(n));
        }
        return bytes;
    }
    // Whether bytes (or the end) arrive within the limit.
    bool Readable(std::chrono::milliseconds limit) {
        pollfd wait{m_fd, POLLIN, 0};
        return poll(&wait, 1, int(limit.count())) > 0;
    }
    // Ends the sending side, as a browser that gives up before its request is whole.
    void ShutdownSend() { shutdown(m_fd, SHUT_WR); }
    bool TimedOut() const { return m_timedOut; }
    // The client's end of the connection; 0 when not connected.
    uint16_t LocalPort() const {
        sockaddr_in self{};
        socklen_t size = sizeof(self);
        if (m_fd < 0 || getsockname(m_fd, reinterpret_cast<sockaddr*>(&self), &size) != 0) return 0;
        return ntohs(self.sin_port);
    }
    void Close() {
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    bool m_timedOut = false;
};

// One request to the listener and its whole answer.
inline std::string Exchange(const std::string& request, uint16_t port = kLoopbackPort) {
    Client client;
    if (!client.Connect(port)) return "<no connection>";
    client.Send(request);
    return client.ReadToEnd();
}

inline std::string Get(const std::string& target, uint16_t port = kLoopbackPort) {
    return Exchange("GET " + target + " HTTP/1.1\r\nHost: localhost:3017\r\n\r\n", port);
}

// A client's connection to the listener as the kernel reports it, in /proc/net/tcp of this network
// namespace: what a test waits for instead of sleeping until the listener has surely got so far.
struct ListenerSide {
    bool accepted = false;  // the listener took the connection: its end has a socket file now
    // Bytes the client sent that the listener has not read: not yet acknowledged to the client, or
    // waiting in the listener's receive queue.
    unsigned long unread = 0;
};

inline ListenerSide ListenerSideOf(const Client& client, uint16_t port = kLoopbackPort) {
    constexpr unsigned kEstablished = 0x01;
    ListenerSide side;
    const unsigned clientPort = client.LocalPort();
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the column names
    while (std::getline(table, line)) {
        unsigned localAddress = 0, localPort = 0, remoteAddress = 0, remotePort = 0, state = 0;
        unsigned long sendQueue = 0, receiveQueue = 0, inode = 0;
        if (std::sscanf(line.c_str(), " %*s %x:%x %x:%x %x %lx:%lx %*x:%*x %*x %*u %*u %lu", &localAddress, &localPort,
                        &remoteAddress, &remotePort, &state, &sendQueue, &receiveQueue, &inode) != 8 ||
            state != kEstablished)
            continue;
        if (localPort == port && remotePort == clientPort) {
            side.accepted = inode != 0;
            side.unread += receiveQueue;
        } else if (localPort == clientPort && remotePort == port) {
            side.unread += sendQueue;
        }
    }
    return side;
}

// Waits until the listener has taken the client's connection and read everything sent on it.
inline bool ListenerReadAll(const Client& client, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
    return WaitUntil(
        [&client] {
            const ListenerSide side = ListenerSideOf(client);
            return side.accepted && side.unread == 0;
        },
        limit);
}

// Whether anything accepts connections on the port.
inline bool Listening(uint16_t port = kLoopbackPort) {
    Client client;
    return client.Connect(port);
}

inline std::string Answer(const std::string& page) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page;
}

const char kPageMismatch[] = "<html><body>Request does not match authentication request</body></html>";
const char kPageSuccess[] = "<html><body><h1>Success</h1>You max close this window now</body></html>";

}  // namespace listen_test
