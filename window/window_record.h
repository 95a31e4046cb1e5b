// The main window's own record, its sizes and layout, and the calls the
// window layer makes among its files (window.cpp, result_rows.cpp). Private
// to the window folder and its tests; the shell goes through window.h.
#pragma once

#include <windows.h>

#include "window/window.h"

constexpr int TITLE_UNITS = 100;
// The most of a detail the title bar shows after the title (SetTitleDetail).
constexpr int JOB_DETAIL_UNITS = 256;

// Pixel sizes of the window as drawn at DESIGN_DPI. At any other DPI each one
// is scaled by the window's DPI and rescaled when the window moves to a
// screen of another DPI.
constexpr UINT DESIGN_DPI = 96;
constexpr int MIN_WINDOW_WIDTH = 500;
constexpr int MIN_WINDOW_HEIGHT = 400;
constexpr int PROGRESS_BAR_HEIGHT = 20;
// The result list leaves this much of the client height to the progress bar
// above it and the status bar below it.
constexpr int RESULT_LIST_HEIGHT_MARGIN = 42;

// Inserting a row at the top repaints the whole result list; during a job the
// repainting, not the hashing, set the pace (a 1280-row check took 58 s shown
// against 3 s hidden). So while rows arrive the list's redraw is off, and the
// main window's LIST_REDRAW_TIMER_ID turns it on again: at most one repaint
// per delay, and the final rows are painted one delay after the last of them.
constexpr UINT LIST_REDRAW_DELAY_MS = 75;

// Attached to the main window as its user data.
struct MainWindowRecord {
    HWND result_list;
};

struct AppWindows {
    HINSTANCE instance;
    wchar_t title[TITLE_UNITS];
    wchar_t class_name[TITLE_UNITS];
    HWND main_window;  // null again once the window is being destroyed
    HWND status_bar;
    HWND progress_bar;
    HACCEL accelerators;
    CommandHandler command_handler;       // null: commands go to DefWindowProcW
    JobEndHandler job_end_handler;        // null: a job's end changes nothing more
    DropHandler drop_handler;             // null: drops are ignored
    MenuPopupHandler menu_popup_handler;  // null: items keep their states
    bool error_boxes_off;                 // ShowErrorMessage shows nothing (an unattended run)
    int exit_code;          // carried by the quit message when the window is destroyed
    LRESULT jobs_ended;     // answered to WM_APP_COUNT_JOBS_ENDED
    bool list_redraw_held;  // the result list's redraw is off, the timer armed
    UINT dpi;               // the main window's DPI, which every pixel size follows
    HFONT list_font;        // the controls' fonts at that DPI; owned
    HFONT status_font;
    bool taskbar_alert;  // the taskbar button is red until the window is activated
};

// The window layer's own record (window.cpp), written on the user-interface
// thread only: by the window layer, and by the shell's start-up for the
// texts, the accelerators and the exit code (the handlers go through their
// setters). Other threads read `main_window` alone, through
// MainWindowFromAnyThread, to reach the window (RunOnUiThread,
// NotifyJobEnded).
extern AppWindows g_win;

// ---- The result list's cells (result_rows.cpp) --------------------------------
// The text of a result-list cell, row 0 on top; "" for a cell not shown.
const wchar_t *ResultCellText(int row, int column);
// Drops the rows of a result list that is gone.
void ForgetResultRows();

// ---- The window itself (window.cpp) --------------------------------------------
HWND ResultListHandle();
ATOM RegisterMainWindowClass(HINSTANCE instance);
// Creates, shows and paints the main window with its controls. 1 or 0.
int CreateMainWindow(HINSTANCE instance, int show);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Widths of the columns "Path", "CRC" and "Status" for a client width.
void ComputeColumnWidths(int client_width, int widths[3]);
// Right edges of the four status-bar parts for a client width.
void ComputeStatusPartEdges(int client_width, int edges[4]);
