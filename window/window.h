// The main window (Windows): its handles beside the application state, the
// controls and their layout, the About box, and the one way other threads
// reach the window: RunOnUiThread. Knows nothing of jobs or the shell; menu
// commands go to whatever handler the shell installs.
#pragma once

#include <windows.h>

#include "core/core.h"
#include "window/display.h"
#include "window/ids.h"

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

// WM_COMMAND of the main window, by command id.
typedef LRESULT (*CommandHandler)(HWND window, WPARAM wparam, LPARAM lparam);
// The end of a job (NotifyJobEnded), with its outcome.
typedef void (*JobEndHandler)(int32_t outcome);
// Files dropped on the main window; the drop is released after the call.
typedef void (*DropHandler)(HDROP drop);
// A menu of the main window is about to open (WM_INITMENU with the menu
// bar, WM_INITMENUPOPUP with a popup; both also come before an accelerator's
// command, which a greyed item would swallow): the handler sets its items'
// greyed and checked states.
typedef void (*MenuPopupHandler)(HMENU menu);

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

HWND ResultListHandle();
// The text of a result-list cell, row 0 on top; "" for a cell not shown.
const wchar_t *ResultCellText(int row, int column);
// Drops the rows of a result list that is gone.
void ForgetResultRows();
// The rows stored in the order they came (0 the oldest), whatever the view
// shows or hides: a job's whole result. StoredResultRow is null past the
// end; *status (may be null) gets the row's RowStatus.
int32_t StoredResultRowCount();
const DisplayRow *StoredResultRow(int32_t index, RowStatus *status);

// Where the main window sends its menu and accelerator commands, the ends of
// jobs, dropped files and the opening of its menu's popups. The window accepts drops from its
// creation on.
void SetCommandHandler(CommandHandler handler);
void SetJobEndHandler(JobEndHandler handler);
void SetDropHandler(DropHandler handler);
void SetMenuPopupHandler(MenuPopupHandler handler);
// Whether ShowErrorMessage shows its box (on unless turned off).
void SetErrorBoxesShown(bool shown);
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

// ---- The order and filter of the result list (result_view.cpp) -------------
// Rows sorted by a column: 0 "Path" as Explorer orders names, 1 "CRC" as
// text, 2 "Status" problems first; ties by path. -1: the designed order,
// newest on top. The header shows the arrow; rows that arrive later are
// placed in the order shown.
void SortResultRows(int column, bool descending);
// A click on a column header: sorts by it, a second click reverses, a third
// returns to the designed order.
void ClickResultColumn(int column);
int ResultSortColumn();
bool ResultSortDescending();
// Hides the rows that read "OK" or "Created", or shows every row again.
void ShowProblemsOnly(bool on);
bool ProblemsOnlyShown();
// Whether any row of the list, shown or hidden, is a problem.
bool AnyProblemRow();
// Selects the next (direction 1) or previous (-1) problem row from the
// (first) selected one, wrapping at the ends, and scrolls it into view. Does nothing
// without a problem row.
void SelectNextProblem(int direction);

// ---- Copying results (copy.cpp) ----------------------------------------------
// The selection comes from the list view, each cell's text straight from
// the rows shown (ResultCellText), in the order shown.

// Selects every row of the result list.
void SelectAllResultRows();
// What CopyResultRows puts on the clipboard for each selected row.
enum CopyColumns : int {
    COPY_WHOLE_ROWS = 0,    // path TAB digest TAB status
    COPY_DIGESTS_ONLY = 1,  // the digest
};
// Puts the selected rows, in the order shown, on the clipboard as Unicode text, one
// row a line with CR LF between lines. 1 when copied; 0 when nothing is
// selected, memory ran out or the clipboard refused (the clipboard is then
// left as it was).
int CopyResultRows(int columns);
// Pops up the result list's context menu ("Copy", "Copy digest", greyed
// without a selection) at `screen` (-1, -1: below the focused row).
void ShowResultListMenu(POINT screen);

// The main window as any thread may read it (the user-interface thread
// clears it when the window is being destroyed); null from then on.
HWND MainWindowFromAnyThread();
// Runs `call(args)` on the user-interface thread and returns when it has run:
// directly when already there, else through the main window's private
// message. Any number of threads may call it at once. Does nothing once the
// main window is gone.
void RunOnUiThread(void (*call)(const void *args), const void *args);

// ---- The taskbar button (taskbar.cpp) ---------------------------------------------
// Its progress states, as ITaskbarList3 knows them.
enum TaskbarState : int {
    TASKBAR_NONE = 0,    // no progress shown
    TASKBAR_NORMAL = 1,  // green
    TASKBAR_ERROR = 2,   // red
};

// What the display operations do to the taskbar button. By default the
// shell's ITaskbarList3 and FlashWindowEx, each doing nothing where the shell
// lacks them; tests put recorders in their place.
struct TaskbarCalls {
    void (*set_state)(HWND window, int state);
    void (*set_value)(HWND window, uint64_t done, uint64_t total);
    // Flashes the button until the window is activated.
    void (*flash)(HWND window);
};

// taskbar.cpp's; replaced only by tests, while no job runs, and called by
// the display operations on the user-interface thread.
extern TaskbarCalls g_taskbar;

// The window was activated: a red button has been seen.
void ClearTaskbarAlert();
