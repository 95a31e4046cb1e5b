// Application shell (Windows): handles beside the application state, start-up
// and the command line, the main window, the menu commands and the pickers.
#pragma once

#include <windows.h>

#include "app/state.h"

constexpr UINT ID_RESULT_LIST = 6990;
constexpr UINT ID_STATUS_BAR = 11990;
constexpr UINT ID_PROGRESS_BAR = 12990;

constexpr int TITLE_UNITS = 100;

// Pixel sizes of the window as drawn at DESIGN_DPI. At any other DPI each one
// is scaled by the window's DPI and rescaled when the
// window moves to a screen of another DPI.
constexpr UINT DESIGN_DPI = 96;
constexpr int MIN_WINDOW_WIDTH = 500;
constexpr int MIN_WINDOW_HEIGHT = 400;
constexpr int PROGRESS_BAR_HEIGHT = 20;
// The result list leaves this much of the client height to the progress bar
// above it and the status bar below it.
constexpr int RESULT_LIST_HEIGHT_MARGIN = 42;

// Private message of the main window: run the call that RunOnUiThread has
// placed for it (wParam and lParam are not used).
constexpr UINT WM_APP_RUN_UI_CALL = WM_APP + 1;

// Inserting a row at the top repaints the whole result list; during a job the
// repainting, not the hashing, set the pace (a 1280-row check took 58 s shown
// against 3 s hidden). So while rows arrive the list's redraw is off, and this
// timer of the main window turns it on again: at most one repaint per delay,
// and the final rows are painted one delay after the last of them.
constexpr UINT_PTR LIST_REDRAW_TIMER_ID = 1;
constexpr UINT LIST_REDRAW_DELAY_MS = 75;

// Attached to the main window as its user data.
struct MainWindowRecord {
    HWND result_list;
};

struct AppWindows {
    HINSTANCE instance;
    wchar_t title[TITLE_UNITS];
    wchar_t class_name[TITLE_UNITS];
    HWND main_window;       // null again once the window is being destroyed
    HWND status_bar;
    HWND progress_bar;
    HANDLE scan_thread;
    DWORD scan_thread_id;
    HANDLE check_thread;
    DWORD check_thread_id;
    HACCEL accelerators;
    bool list_redraw_held;  // the result list's redraw is off, the timer armed
    UINT dpi;               // the main window's DPI, which every pixel size follows
    HFONT list_font;        // the controls' fonts at that DPI; owned
    HFONT status_font;
};

extern AppWindows g_win;

HWND ResultListHandle();

// ---- Start-up and message loop (startup.cpp) --------------------------------

// Everything before the message loop: texts, window class, main window,
// accelerators, engine text, command line. 1 on success, 0 when the program
// has to end at once with exit code 0.
int StartApplication(HINSTANCE instance, int show, const wchar_t *command_line);
// Reads a whole command line (program path first) into the pending job,
// the target path and the hash choice. 1, or 0 when it cannot be split.
int ApplyCommandLine(const wchar_t *command_line);
// One fetched message: accelerators, translation, dispatch, then the job
// dispatcher.
void ProcessMessage(MSG *message);
// Runs until the quit message; returns its wParam.
int RunMessageLoop();

// ---- Main window (window.cpp) -------------------------------------------------

ATOM RegisterMainWindowClass(HINSTANCE instance);
// Creates, shows and paints the main window with its controls. 1 or 0.
int CreateMainWindow(HINSTANCE instance, int show);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
void ShowAboutDialog();

// Widths of the columns "Path", "CRC" and "Status" for a client width.
void ComputeColumnWidths(int client_width, int widths[3]);
// Right edges of the four status-bar parts for a client width.
void ComputeStatusPartEdges(int client_width, int edges[4]);

// Runs `call(args)` on the user-interface thread and returns when it has run:
// directly when already there, else through the main window's private
// message. Does nothing once the main window is gone.
void RunOnUiThread(void (*call)(const void *args), const void *args);

// ---- Menu commands (commands.cpp) ----------------------------------------------

// WM_COMMAND of the main window.
LRESULT HandleCommand(HWND window, WPARAM wparam, LPARAM lparam);

// ---- Pickers and Options commands (pickers.cpp) ---------------------------------

// A greyed command does nothing however it arrives: a WM_COMMAND posted by
// another program must not start a picker or Save while a worker owns the
// target path and the entry table.
bool IsCommandGreyed(HWND window, UINT command);
// Scan: the folder browser; a confirmed file-system folder becomes the target
// path of a folder scan. A cancelled browser or a folder without a path
// changes nothing. Always 0.
int ChooseFolder();
// Check: the open dialog for a checksum list file; a confirmed name becomes
// the target path of a check job. Always 0.
int ChooseChecksumFile();
// An algorithm item: stores `choice`, then checks `command` alone among the
// algorithm items of the window's menu.
void ChooseHashAlgorithm(HWND window, UINT command, int32_t choice);
// Flips the hidden-files flag and shows its new value as the item's mark.
void ToggleHiddenFiles(HWND window);
