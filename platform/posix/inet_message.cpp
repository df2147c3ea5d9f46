// Message texts for the error numbers this platform sets, through FormatMessageA.
#include <cstring>

#include "wininet.h"

namespace {

struct Message {
    DWORD id;
    const char* text;
};

const Message kMessages[] = {
    {0, "The operation succeeded."},
    {2, "The file was not found."},
    {6, "The handle is not valid."},
    {8, "There is not enough memory for the operation."},
    {50, "The request is not supported."},
    {87, "A parameter is not valid."},
    {122, "The buffer given is too small for the data."},
    {126, "The module could not be found."},
    {127, "The procedure could not be found."},
    {317, "No message text exists for this message number."},
    {12001, "No more internet handles can be allocated."},
    {12002, "The operation timed out."},
    {12003, "The server returned extended error information."},
    {12004, "An internal error occurred in the internet functions."},
    {12005, "The URL is not valid."},
    {12006, "The URL scheme is not recognized or not supported."},
    {12007, "The server name or address could not be resolved."},
    {12008, "The requested protocol could not be found."},
    {12009, "The internet option is not valid."},
    {12010, "The length given for the internet option does not fit its type."},
    {12011, "The internet option can only be queried, not set."},
    {12012, "The internet functions are shutting down."},
    {12013, "The user name was not accepted."},
    {12014, "The password was not accepted."},
    {12015, "The login failed."},
    {12016, "The operation is not valid on this handle."},
    {12017, "The operation was cancelled because its handle was closed."},
    {12018, "The internet handle is of the wrong type for this operation."},
    {12019, "The internet handle is not in the right state for this operation."},
    {12020, "The request cannot be made through a proxy."},
    {12028, "The requested item was not found."},
    {12029, "A connection to the server could not be established."},
    {12030, "The connection to the server ended before the exchange was complete."},
    {12031, "The server reset the connection."},
    {12032, "The request has to be sent again."},
    {12033, "The proxy request is not valid."},
    {12037, "The server's security certificate has expired or is not yet valid."},
    {12038, "The host name in the server's security certificate does not match the server's name."},
    {12039, "The request was redirected from an unsecured to a secured address."},
    {12040, "The request was redirected from a secured to an unsecured address."},
    {12044, "The server asks for a client certificate."},
    {12045, "The server's certificate was issued by an authority that is not trusted."},
    {12055, "The server's security certificate could not be verified."},
    {12056, "The revocation status of the server's certificate could not be checked."},
    {12057, "The revocation check of the server's certificate failed."},
    {12150, "The requested header was not found in the answer."},
    {12151, "The server does not support the requested protocol level."},
    {12152, "The server sent an answer that is not valid HTTP."},
    {12153, "The header is not valid."},
    {12154, "The query is not valid for this header."},
    {12155, "The header is already present."},
    {12156, "The redirection failed: too many redirections or an unusable target."},
    {12157, "A secure channel to the server could not be set up."},
    {12160, "The request was not redirected."},
    {12163, "The network connection is down."},
    {12164, "The server cannot be reached."},
    {12165, "The proxy server cannot be reached."},
    {12169, "The server's security certificate is not valid."},
    {12170, "The server's security certificate has been revoked."},
    {12175, "The content of the answer could not be decoded."},
};

const char* Find(DWORD id) {
    for (const Message& m : kMessages) {
        if (m.id == id) return m.text;
    }
    return nullptr;
}

}  // namespace

// Texts come from one table whatever module is named; inserts, allocation and message strings of the
// caller's own are not provided.
extern "C" DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list*) {
    if ((flags & (FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING)) ||
        !(flags & (FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM)) || !buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* text = Find(messageId);
    if (!text) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    // The width mask at its maximum asks for the text without line breaks.
    const bool oneLine = (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) == FORMAT_MESSAGE_MAX_WIDTH_MASK;
    const size_t length = std::strlen(text) + (oneLine ? 0 : 2);
    if (size < length + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, text, std::strlen(text));
    if (!oneLine) std::memcpy(buffer + std::strlen(text), "\r\n", 2);
    buffer[length] = 0;
    SetLastError(ERROR_SUCCESS);
    return DWORD(length);
}
