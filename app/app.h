// Application shell (Windows): handles beside the application state, start-up
// and the command line, the main window, the menu commands and the pickers.
#pragma once

#include <windows.h>

#include "app/state.h"

constexpr UINT ID_RESULT_LIST = 6990;
constexpr UINT ID_STATUS_BAR = 11990;
constexpr UINT ID_PROGRESS_BAR = 12990;

// Attached to the main window as its user data.
struct MainWindowRecord {
    HWND result_list;
};

struct AppWindows {
    HINSTANCE instance;
    wchar_t title[100];
    wchar_t class_name[100];
    HWND main_window;
    HWND status_bar;
    HWND progress_bar;
    HANDLE scan_thread;
    DWORD scan_thread_id;
    HANDLE check_thread;
    DWORD check_thread_id;
};

extern AppWindows g_win;

HWND ResultListHandle();
