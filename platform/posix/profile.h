// Profile (ini) files in the Windows format, and the user's profile directory.
//
// File: "[section]" lines open sections; "key=value" lines inside them hold the entries. Section and
// key names are compared without regard to the case of A-Z and with the white space around them
// trimmed; a value is read with its surrounding white space trimmed and one pair of matching quotes
// (" or ') removed. Lines before the first section, comment lines (";") and other lines are kept as
// they are. A file is written back with the line ending it already uses (CR LF for a new file).
//
// Paths go through qp::TranslatePath (paths.h). A write replaces the file atomically (a temporary file
// in the same folder, then a rename), creates missing parent folders, and gives a new file the mode
// 0600, since it may hold credentials. Within the process the profile functions are serialised;
// between processes the last writer wins.
#pragma once

#include "paths.h"
#include "wintypes.h"

QP_BEGIN_C
// Copies the value (or the default, without its trailing blanks) into the buffer and returns the
// characters copied without the NUL; a longer text is cut to size - 1 characters and size - 1 is
// returned. A null key lists the section's keys and a null section the file's sections, each
// NUL-terminated, the list ended by a second NUL (cut lists return size - 2). A missing file, section
// or key gives the default.
QP_API DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                      LPCSTR fileName);
// Sets the key's value (an empty value keeps "key="); a null value deletes the key, a null key the
// whole section. A key that exists keeps its spelling; a new key goes after the section's last entry,
// a new section at the end of the file.
QP_API BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);

// The user's home directory ($HOME, else the passwd entry). *size is the buffer size in, and the
// size needed (NUL included) out; a null or small buffer fails with ERROR_INSUFFICIENT_BUFFER.
// The token must come from OpenProcessToken.
QP_API BOOL GetUserProfileDirectoryA(HANDLE token, LPSTR profileDir, LPDWORD size);
QP_END_C
