// Windows-style paths on this system. The library builds its file paths the Windows way, from the
// profile directory and backslashes; the platform's file functions pass them through
// qp::TranslatePath, which:
//   1. turns every "\" into "/" and collapses runs of "/" into one;
//   2. maps "<profile>/AppData/Local" and what lies below it (the folder names compared without
//      regard to case; <profile> being what GetUserProfileDirectoryA gives) to the user's data
//      folder: "$XDG_DATA_HOME" when that is set and absolute, else "<profile>/.local/share".
// So "<profile>\AppData\Local\Quarnels.ini" is "~/.local/share/Quarnels.ini". Other paths only get
// step 1.
#pragma once

#include "wintypes.h"

#ifdef __cplusplus
#  include <string>
namespace qp {
// $HOME when set and not empty, else the home directory of the user's passwd entry; no trailing "/"
// (except for "/" itself). Empty when neither is known.
std::string HomeDirectory();
std::string TranslatePath(const char* windowsPath);
}  // namespace qp
#endif
