// The one start of Windows Sockets that a module makes, kept until it unloads.
#include "framework/afxsock.h"

#include <cstring>

namespace {

struct SocketStart {
    SocketStart() { started = WSAStartup(MAKEWORD(1, 1), &data) == 0; }
    ~SocketStart() {
        if (started) WSACleanup();
    }
    WSADATA data{};
    bool started = false;
};

}  // namespace

BOOL AfxSocketInit(WSADATA* data) {
    static SocketStart start;
    if (!start.started) return FALSE;
    if (data) std::memcpy(data, &start.data, sizeof(WSADATA));
    return TRUE;
}
