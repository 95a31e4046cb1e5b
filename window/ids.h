// Every identifier of the window and its resources in one place: resource
// and command ids, control ids, status-bar parts, the window's private message
// and timer. Shared by the resource script, the code, the tests and the
// out-of-process test driver. Plain #defines above, so the resource compiler
// can read this file too.
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
#define ID_FILE_STOP 32778
#define ID_OPTIONS_CRC32 32783
#define ID_OPTIONS_AUTOMODE 32784
#define ID_OPTIONS_HIDDEN 32786
#define ID_OPTIONS_SHA3_256 32787
#define ID_OPTIONS_SHA3_224 32788
#define ID_OPTIONS_SHA3_384 32789
#define ID_OPTIONS_SHA3_512 32790
#define ID_FILE_UPDATE 32797
#define ID_OPTIONS_NEW_FILES 32798

// The Options submenus of the algorithms lists carry besides CRC-32C and
// SHA-3: SHA-2; MD5, SHA-1 and CRC-32 (IEEE); BLAKE3 and XXH3.
#define ID_OPTIONS_CRC32_IEEE 32800
#define ID_OPTIONS_MD5 32801
#define ID_OPTIONS_SHA1 32802
#define ID_OPTIONS_SHA2_224 32803
#define ID_OPTIONS_SHA2_256 32804
#define ID_OPTIONS_SHA2_384 32805
#define ID_OPTIONS_SHA2_512 32806
#define ID_OPTIONS_BLAKE3 32807
#define ID_OPTIONS_XXH3 32808
#define ID_OPTIONS_XXH128 32809

// The result list's own commands: Select all and Copy (also Ctrl+A, Ctrl+C)
// and the context menu's "Copy" and "Copy digest".
#define ID_EDIT_SELECT_ALL 32791
#define ID_EDIT_COPY 32792
#define ID_EDIT_COPY_DIGEST 32793

// The View menu: "Show problems only", "Next problem" (F8), "Previous
// problem" (Shift+F8).
#define ID_VIEW_PROBLEMS_ONLY 32794
#define ID_VIEW_NEXT_PROBLEM 32795
#define ID_VIEW_PREVIOUS_PROBLEM 32796

#define ID_RESULT_LIST 6990
#define ID_STATUS_BAR 11990
#define ID_PROGRESS_BAR 12990

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#ifndef RC_INVOKED
enum StatusPart : int {
    STATUS_ENGINE = 0,
    STATUS_COUNT = 1,
    STATUS_PHASE = 2,
    STATUS_ACTIVITY = 3,
};

// Private message of the main window: run the call that RunOnUiThread has
// registered (lParam: its record; wParam is not used).
#define WM_APP_RUN_UI_CALL (WM_APP + 1)

// Private message of the main window: a job has ended (wParam: its outcome,
// 0 OK, 1 BAD, 2 could not run).
#define WM_APP_JOB_ENDED (WM_APP + 2)

// Private message of the main window: answers the number of jobs that have
// ended since start-up, each counted once its job-end handling is done. A
// program driving this one reads it before starting a job and waits for it
// to grow: no earlier job's texts can then pass for that job's end.
#define WM_APP_COUNT_JOBS_ENDED (WM_APP + 3)

// Timer of the main window that turns the result list's redraw on again
// while rows arrive (see window/display.cpp).
#define LIST_REDRAW_TIMER_ID 1
#endif
