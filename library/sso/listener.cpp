// The loopback listener that receives the browser's redirect at the end of a sign-in.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/afxthread.h"
#include "library/sso/oauth2.h"

namespace {
const int kChunkSize = 8192;
// One request may not be larger than this; a bigger one is dropped unanswered.
const int kMaxRequestSize = 64 * 1024;
// Receive calls on one connection after which a silent browser is given up.
const int kMaxReceiveCalls = 50;

// Whether a failed accept means that the listening socket itself is gone or unusable. Anything else
// (a connection reset or aborted before it was taken, no descriptors or buffers left, an interrupted
// call) concerns one connection, or passes, and the listener goes on.
bool ListenSocketIsGone(int error) {
    switch (error) {
    case WSAENOTSOCK:
    case WSAEBADF:
    case WSAEINVAL:
    case WSAEOPNOTSUPP:
    case WSAEFAULT:
    case WSAENETDOWN:
    case WSANOTINITIALISED: return true;
    default: return false;
    }
}
}  // namespace

int OAuth2::Login() {
    StopListener();
    const int result = Listen();
    if (result) {
        const CString url = GetAuthorizeUrl();
        SHELLEXECUTEINFOA info;
        std::memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        info.lpVerb = "open";
        info.lpFile = url;
        info.nShow = SW_SHOWNORMAL;
        // Without a browser nobody can come back to the listener: waiting for it would never end.
        if (!ShellExecuteExA(&info)) {
            StopListener();
            errorText = "Error opening the browser";
            return 0;
        }
    }
    return result;
}

int OAuth2::Listen() {
    doneEvent.ResetEvent();
    stopEvent.ResetEvent();
    state = kListening;

    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) {
        errorText.Format("Error creating Listen Socket: %d", WSAGetLastError());
        doneEvent.SetEvent();
        return 0;
    }
    listenSocket = listener;

    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(static_cast<u_short>(port & 0xFFFF));
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == SOCKET_ERROR) {
        errorText.Format("Error binding Listen Socket: %d", WSAGetLastError());
    } else if (listen(listener, 3) == SOCKET_ERROR) {
        errorText.Format("Error start listening: %d", WSAGetLastError());
    } else if (!AfxBeginThread(&OAuth2::ListenThread, this)) {
        // Nobody would close the socket or signal the end: give both up here.
        errorText.Format("Error starting listener thread: %d", static_cast<int>(GetLastError()));
    } else {
        return 1;
    }
    closesocket(listener);
    listenSocket = INVALID_SOCKET;
    doneEvent.SetEvent();
    return 0;
}

UINT OAuth2::ListenThread(LPVOID param) {
    OAuth2* self = static_cast<OAuth2*>(param);
    const SOCKET listener = self->listenSocket;
    u_long nonBlocking = 1;
    ioctlsocket(listener, FIONBIO, &nonBlocking);

    while (self->state == kListening) {
        if (WaitForSingleObject(self->stopEvent, 100) != WAIT_TIMEOUT) break;
        sockaddr_in peer;
        std::memset(&peer, 0, sizeof(peer));
        int peerLength = sizeof(peer);
        const SOCKET client = accept(listener, reinterpret_cast<sockaddr*>(&peer), &peerLength);
        if (client != INVALID_SOCKET) {
            self->HandleConnection(client);
            Sleep(250);
            closesocket(client);
        } else if (const int error = WSAGetLastError(); error != WSAEWOULDBLOCK) {
            // The listener's error texts are kept exactly, "incomeing" and "start listening" included:
            // callers read them from errorText, and the browser's failure page shows them.
            self->errorText.Format("Error connecting incomeing connection: %d", error);
            if (ListenSocketIsGone(error)) break;
        }
    }

    closesocket(listener);
    // Marked closed before the end is signalled: whoever wakes on doneEvent finds it so. A stopper
    // that saw the mark may destroy the object at once, so the object is not touched after it.
    const HANDLE done = self->doneEvent;
    self->listenSocket = INVALID_SOCKET;
    SetEvent(done);
    return 0;
}

void OAuth2::HandleConnection(SOCKET client) {
    u_long nonBlocking = 1;
    ioctlsocket(client, FIONBIO, &nonBlocking);

    std::vector<char> buffer;
    char chunk[kChunkSize];
    int calls = 0;
    for (;;) {
        const int received = recv(client, chunk, kChunkSize, 0);
        ++calls;
        if (received == SOCKET_ERROR) {
            if (WSAGetLastError() == WSAEWOULDBLOCK && calls < kMaxReceiveCalls) {
                // Waiting on the stop request instead of sleeping lets a stop end a slow connection.
                if (WaitForSingleObject(stopEvent, 100) == WAIT_OBJECT_0) {
                    stopEvent.SetEvent();  // for the listener's loop, which ends on it
                    return;
                }
                continue;
            }
            errorText.Format("Error reading from socket: %d", WSAGetLastError());
            return;
        }
        if (received == 0) {
            errorText = "Connection closed by browser";
            return;
        }
        buffer.insert(buffer.end(), chunk, chunk + received);
        const int length = static_cast<int>(buffer.size());
        // Only the first 64 KiB may hold the request; what lies beyond is never looked at.
        const int examined = length < kMaxRequestSize ? length : kMaxRequestSize;
        if (IsRequestComplete(buffer.data(), examined)) {
            ParseRequest(buffer.data(), examined);
            SendAnswer(client);
            return;
        }
        if (length >= kMaxRequestSize) {
            errorText = "Request too large";
            return;
        }
    }
}

BOOL OAuth2::IsRequestComplete(const char* data, int length) {
    long long content = 0;
    int lineStart = 0;
    for (;;) {
        int p = lineStart;
        while (p + 1 < length && !(data[p] == '\r' && data[p + 1] == '\n')) ++p;
        if (p + 1 >= length) return FALSE;

        const CString line = ExtractText(data, lineStart, p - 1);
        if (line.IsEmpty()) return static_cast<long long>(length) >= p + 2LL + content ? TRUE : FALSE;

        const int colon = line.Find(':');
        if (colon >= 0) {
            CString name = line.Left(colon);
            CString value = line.Mid(colon + 1);
            name.Trim();
            value.Trim();
            if (name.CompareNoCase("Content-Length") == 0) content = std::atoi(value);
        }
        lineStart = p + 2;
    }
}

CString OAuth2::ExtractText(const char* data, int first, int last) {
    if (last < first) return CString();
    return CString(data + first, last - first + 1);
}

void OAuth2::ParseRequest(const char* data, int length) {
    // The request line, up to the first CR LF.
    int end = 0;
    while (end + 1 < length && !(data[end] == '\r' && data[end + 1] == '\n')) ++end;
    const CString requestLine = end + 1 < length ? ExtractText(data, 0, end - 1) : CString();

    // The target lies between the first blank and the next one.
    CString target;
    const int firstBlank = requestLine.Find(' ');
    if (firstBlank >= 0) {
        const int secondBlank = requestLine.Find(' ', firstBlank + 1);
        if (secondBlank >= 0) target = requestLine.Mid(firstBlank + 1, secondBlank - firstBlank - 1);
    }

    CString query;
    const int question = target.Find('?');
    if (question >= 0) query = target.Mid(question + 1);

    // The header lines and the body carry nothing the sign-in needs.
    FieldList fields;
    SplitQuery(query, fields);
    OnRedirect(fields);
}

void OAuth2::StopListener() {
    if (state == kListening) {
        stopEvent.SetEvent();
        DWORD waited = WaitForSingleObject(doneEvent, 1000);
        for (int again = 0; waited == WAIT_TIMEOUT && again < 30; ++again) waited = WaitForSingleObject(doneEvent, 1000);
        // A redirect that ended the login meanwhile keeps its outcome (2, 3 or 4).
        int32_t listening = kListening;
        state.compare_exchange_strong(listening, kIdle);
    }
    while (listenSocket != INVALID_SOCKET) Sleep(250);
}
