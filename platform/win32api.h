// The one header through which library/, check/ and framework/ reach the operating system.
// On Windows it is the real Windows API; elsewhere our own implementation of the same subset.
#pragma once

#ifdef _WIN32
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  include <winsock2.h>
#  include <windows.h>
#  include <oleauto.h>
#  include <wininet.h>
#  include <shellapi.h>
#  include <userenv.h>
#  include <mbstring.h>
#  include <bcrypt.h>
#  include <commctrl.h>
#  include <time.h>
#  include "windows/additions.h"
#else
#  include "posix/wintypes.h"
#  include "posix/oleauto.h"
#  include "posix/critsec.h"
#  include "posix/module.h"
#  include "posix/version.h"
#  include "posix/crt.h"
#  include "posix/resource.h"
#  include "posix/random.h"
#  include "posix/sync.h"
#  include "posix/winsock.h"
#  include "posix/profile.h"
#  include "posix/shell.h"
#  include "posix/debug.h"
#  include "posix/wininet.h"
#  include "posix/window.h"
#endif
