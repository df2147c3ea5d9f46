// Windows Sockets start-up for the class library.
#pragma once

#include "platform/win32api.h"

// Starts Windows Sockets, asking for version 1.1, once per module (the matching cleanup runs when the
// module is unloaded or the program ends) and copies the start-up data when asked. FALSE when the
// start failed.
BOOL AfxSocketInit(WSADATA* data = nullptr);
