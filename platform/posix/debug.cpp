// OutputDebugStringA: each text to standard error as one line.
#include "debug.h"

#include <errno.h>
#include <unistd.h>

#include <string>

extern "C" void OutputDebugStringA(LPCSTR text) {
    if (!text || !*text) return;
    const int savedErrno = errno;  // callers read their error codes after logging
    std::string line(text);
    if (line.back() != '\n') line.push_back('\n');
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    errno = savedErrno;
}
