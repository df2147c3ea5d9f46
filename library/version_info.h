// The file and product version texts of a module file's version resource.
#pragma once

#include "framework/afxstr.h"

// The two version texts of a module file, "%u,%u,%u,%u"; empty when they cannot be read.
struct version_info {
    CString fileVersion;
    CString productVersion;
};

// Fills the record from the version resource of the file at `path`; leaves it unchanged on failure.
void ReadVersionInfo(version_info& record, const char* path);
