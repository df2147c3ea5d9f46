// What the fake browsers of both systems share, all but their sockets: reading a URL, the request
// they send, the answer's status and Location, the log of FAKE_BROWSER_LOG, and following redirects.
#pragma once

#include <functional>
#include <string>

namespace browsing {

struct Url {
    std::string host;
    unsigned port = 80;
    std::string target = "/";  // path and query, percent-encoded where a request line needs it
};

// The address to connect to for a host: "localhost" is 127.0.0.1.
std::string AddressOf(const std::string& host);

// Sends the request to the URL's host and gives back every byte of the answer, up to the server's
// closing of the connection; false when the host is no loopback one or no connection was made.
using Fetch = std::function<bool(const Url& url, const std::string& request, std::string& answer)>;

// Opens the URL as a browser does: fetches it and follows up to 5 redirects. When FAKE_BROWSER_LOG
// names a file, each fetch is appended to it as "GET <url>\n<status code>\n<body>\n.\n" (status 0
// when no answer came). Returns the program's exit code: 0 at a page that is no redirect, 1 when a
// fetch brought no answer or the redirects did not end, 2 for a URL it cannot open.
int Browse(const std::string& url, const Fetch& fetch);

}  // namespace browsing
