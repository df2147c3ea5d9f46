// A small HTTP/1.1 server for tests, on 127.0.0.1 and a port the system picks.
//
// Every connection carries one request: the server reads it (request line, headers and a body of
// Content-Length bytes), logs it, asks the handler what to do and answers, in one write, with
// "Connection: close" (unless the answer asks to keep the connection open).
// Each connection runs on its own thread, so the handler may be called on several threads at once
// and must be thread-safe. Stop() (also run by the destructor) ends everything, including
// connections whose handler chose never to answer.
//
// To use it, add tests/fakes/http_server.cpp and the socket layer of the system to the test's SOURCES:
// tests/fakes/http_server_posix.cpp, or tests/fakes/http_server_winsock.cpp on Windows.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace fakes {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method;
    std::string target;  // as sent: "/path?query", "http://host/path" through a proxy, "host:port" for CONNECT
    std::string version;
    HeaderList headers;  // in the order received, values without surrounding blanks
    std::string body;

    // The first header of that name, without regard to case; empty when there is none.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
    // The target up to the query.
    std::string Path() const;
};

struct HttpResponse {
    enum class Kind {
        Answer,  // send the answer below
        Close,   // close the connection without answering
        Hang,    // never answer; the connection stays open until Stop()
    };
    Kind kind = Kind::Answer;
    int status = 200;
    std::string reason;  // empty: the usual phrase for the status
    HeaderList headers;
    std::string body;
    bool contentLength = true;  // false: no Content-Length; the body ends when the connection closes
    // True: the connection stays open after the answer until Stop(), as a proxy keeps it open for the
    // credentials it asked for; the answer then says nothing of closing.
    bool keepOpen = false;

    static HttpResponse Text(int status, std::string body, const std::string& contentType = "text/plain");
    static HttpResponse Redirect(int status, const std::string& location);
    static HttpResponse CloseWithoutAnswer();
    static HttpResponse NoAnswer();
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

// The bytes of one accepted connection. The default reads and writes the socket; a test may put a
// TLS layer in between.
class Stream {
public:
    virtual ~Stream() = default;
    // Bytes read (> 0), 0 at the end, < 0 on failure.
    virtual long Read(void* buffer, size_t size) = 0;
    // Writes everything or fails.
    virtual bool Write(const void* data, size_t size) = 0;
};

// Wraps an accepted socket, which the server keeps owning; null drops the connection.
using StreamFactory = std::function<std::unique_ptr<Stream>(int socket)>;

class HttpServer {
public:
    explicit HttpServer(HttpHandler handler, StreamFactory streams = nullptr);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Starts listening; false when no socket could be had.
    bool Start();
    void Stop();

    uint16_t Port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by the path.
    std::string Url(const std::string& path = "/") const;

    // The requests read so far, in the order they were read.
    std::vector<HttpRequest> Requests() const;
    size_t RequestCount() const;
    // Waits until at least `count` requests were read; false on timeout.
    bool WaitForRequests(size_t count, std::chrono::milliseconds timeout) const;

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<bool> done;  // guarded by m_mutex
    };

    void AcceptLoop();
    void Serve(int socket, std::shared_ptr<bool> done);
    void ReapFinished();

    // The socket layer, the one part written for each system.
    // Makes the listening socket on 127.0.0.1 (m_listen, m_port); false when none could be had.
    bool OpenListener();
    // The next connection, with its time limits set; -1 once stopping, or when the listener fails.
    int Accept();
    // Called once stopping: ends a wait in Accept.
    void WakeAcceptor();
    void CloseListener();
    static std::unique_ptr<Stream> SocketStream(int socket);
    // Ends a connection's waiting reads and writes.
    static void ShutdownSocket(int socket);
    static void EndSending(int socket);
    static void CloseSocket(int socket);

    const HttpHandler m_handler;
    const StreamFactory m_streams;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};  // the POSIX acceptor's wake-up pipe
    uint16_t m_port = 0;
    std::thread m_acceptor;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_stopping = false;
    std::set<int> m_open;  // sockets of running connections
    std::vector<Worker> m_workers;
    std::vector<HttpRequest> m_requests;
};

}  // namespace fakes
