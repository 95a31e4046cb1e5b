// The main window (Windows) as the shell sees it: opening and closing it,
// the handlers it calls, the result view's commands, the About box, and the
// one way other threads reach the window: RunOnUiThread. Knows nothing of
// jobs or the shell; menu commands go to whatever handler the shell
// installs. Its own record and layout are in window_record.h, kept to the
// folder (and its tests).
#pragma once

#include <windows.h>

#include "core/core.h"
#include "window/display.h"
#include "window/ids.h"

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
// Loads the title and the class name from the string table, registers the
// window class and creates, shows and paints the main window with its
// controls and its accelerators; the exit code 0. 1, or 0 when the window
// could not be made.
int OpenMainWindow(HINSTANCE instance, int show);
// Closes the main window (when there is one); the message loop then ends
// with `exit_code`.
void CloseMainWindow(int exit_code);
// Translates an accelerator of the main window's table for the main window,
// whichever of its controls has the focus. True when `message` was one.
bool TranslateMainWindowKeys(MSG *message);
// The program's title as the title bar shows it without a job's detail.
const wchar_t *MainWindowTitle();
void ShowAboutDialog();

// ---- The order and filter of the result list (result_view.cpp) -------------
// Rows sorted by a column: 0 "Path" as Explorer orders names, 1 "CRC" as
// text, 2 "Status" problems first; ties by path. -1: the designed order,
// newest on top. The header shows the arrow; rows that arrive later are
// placed in the order shown.
void SortResultRows(int column, bool descending);
// A click on a column header: sorts by it, a second click reverses, a third
// returns to the designed order.
void ClickResultColumn(int column);
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
