// Resource identifiers of Quarnels64 and QuarnelCheck, shared by the resource scripts and the code.
#ifndef QUARNELS_RESOURCES_RESOURCE_H
#define QUARNELS_RESOURCES_RESOURCE_H

// Quarnels64
#define IDP_SOCKETS_INIT_FAILED 101
#define IDD_AUTHENTICATION 1000
#define IDD_ESI_DOWNLOAD 1002
#define IDC_DOWNLOAD_TITLE 1000

// QuarnelCheck
#define IDD_QUARNELCHECK_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_START 1000
#define IDC_LIST_RESULT 1001

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
