// Resource and command identifiers, shared by the resource script and the code.
// Plain #defines so the resource compiler can read this file too.
#pragma once

#define IDS_APP_TITLE 103
#define IDC_TALVOR 109  // window class name, menu and accelerator table

#define IDD_ABOUTBOX 103
#define IDC_VERSION_TEXT 1000

#define IDI_TALVOR 134
#define IDI_SMALL 135
#define IDI_ABOUT 107

#define IDM_ABOUT 104
#define IDM_EXIT 105
#define ID_FILE_SAVE 32773
#define ID_FILE_CHECK 32775
#define ID_FILE_SCAN 32777
#define ID_OPTIONS_CRC32 32783
#define ID_OPTIONS_AUTOMODE 32784
#define ID_OPTIONS_HIDDEN 32786
#define ID_OPTIONS_SHA3_256 32787
#define ID_OPTIONS_SHA3_224 32788
#define ID_OPTIONS_SHA3_384 32789
#define ID_OPTIONS_SHA3_512 32790

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
