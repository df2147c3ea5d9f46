// Version resources: the version block that the build embeds in a module file, read back from it.
#pragma once

#include "wintypes.h"

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

#define VS_FFI_SIGNATURE 0xFEEF04BDu
#define VS_FFI_STRUCVERSION 0x00010000u
#define VS_FFI_FILEFLAGSMASK 0x0000003Fu
#define VOS_NT_WINDOWS32 0x00040004u
#define VOS__WINDOWS32 0x00000004u
#define VFT_APP 0x00000001u
#define VFT_DLL 0x00000002u

QP_BEGIN_C
QP_API DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);
QP_API BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD size, LPVOID data);
// Sub-blocks: "\\" (the VS_FIXEDFILEINFO), "\\VarFileInfo\\Translation" and
// "\\StringFileInfo\\<language><codepage>\\<name>" with both numbers as four hexadecimal digits.
QP_API BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length);
QP_END_C

// The embedded form. A module defines one QpVersionBlock in the section QP_VERSION_SECTION; the
// string table holds name and value pairs, each NUL-terminated, ended by an empty name.
#define QP_VERSION_SECTION ".qp_version"
#define QP_VERSION_MAGIC "QPVERS1"

struct QpVersionHeader {
    char magic[8];
    WORD language;
    WORD codepage;
    DWORD stringBytes;
    VS_FIXEDFILEINFO fixed;
};

#ifdef __cplusplus
template <size_t N>
struct QpVersionBlock {
    QpVersionHeader header;
    char strings[N];
};

// Defines the module's version block with every field of the fixed record that a resource script
// sets; `strings` is a literal of "name\0value\0" pairs. The resource compiler (tools/rc) writes it.
#  define QP_DEFINE_VERSION_RESOURCE_EX(lang, cp, fileMS, fileLS, prodMS, prodLS, flagsMask, flags, fileOS,   \
                                        fileType, fileSubtype, strings)                                  \
    extern "C" __attribute__((used, section(QP_VERSION_SECTION), visibility("hidden")))            \
    const QpVersionBlock<sizeof(strings) + 1> qp_version_resource = {                              \
        {QP_VERSION_MAGIC, (WORD)(lang), (WORD)(cp), (DWORD)(sizeof(strings) + 1),                   \
         {VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, (fileMS), (fileLS), (prodMS), (prodLS), (flagsMask), \
          (flags), (fileOS), (fileType), (fileSubtype), 0, 0}},                                       \
        strings}

// The same with the usual mask, no flags, Windows NT 32-bit and no subtype.
#  define QP_DEFINE_VERSION_RESOURCE(lang, cp, fileMS, fileLS, prodMS, prodLS, fileType, strings)      \
    QP_DEFINE_VERSION_RESOURCE_EX(lang, cp, fileMS, fileLS, prodMS, prodLS, VS_FFI_FILEFLAGSMASK, 0,    \
                                  VOS_NT_WINDOWS32, fileType, 0, strings)
#endif
