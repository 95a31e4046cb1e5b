// Drives a running TALVOR CRC Check from another process, the way an
// accessibility tool would: it finds the main window, reads the result list
// and the status bar through buffers placed in the program's own memory, and
// posts commands to it. Used by the talvor_driver console program and by the
// end-to-end tests.
#pragma once

#include <windows.h>

#include "window/ids.h"

enum DriverResult : int {
    DRIVER_OK = 0,
    DRIVER_ERR_NOT_FOUND = 1,  // no main window (with its controls) appeared
    DRIVER_ERR_TIMEOUT = 2,    // the awaited state did not come in time
    DRIVER_ERR_REMOTE = 3,     // the program did not answer or its memory was unreachable
    DRIVER_ERR_MEMORY = 4,
};

// Matches the window class of the program under test.
extern const wchar_t DRIVER_CLASS_NAME[];

// A block of memory inside the program under test: list-view and status-bar
// messages carry pointers that must be valid in the receiving process. The
// records placed there (LVITEMW) have the driver's layout, so the driver is
// built for the program's architecture, x86-64.
struct RemoteBuffer {
    HANDLE process;
    void *address;
    SIZE_T size;
};

struct DriverTarget {
    DWORD process_id;
    HWND main_window;
    HWND result_list;
    HWND status_bar;
    HWND progress_bar;
    RemoteBuffer scratch;
};

struct StatusPartState {
    wchar_t *text;  // owned
    bool popout;
    int right_edge;  // -1 for a part that reaches the right end
};

struct StatusBarState {
    int part_count;
    StatusPartState *parts;  // owned array of part_count
};

// Rows top first; cells[row * column_count + column], each owned.
struct ResultTable {
    int row_count;
    int column_count;
    wchar_t **cells;
};

struct WindowLayout {
    RECT window;        // screen coordinates
    RECT client;        // client coordinates of the main window
    RECT progress_bar;  // these three in client coordinates of the main window
    RECT result_list;
    RECT status_bar;
    int column_count;
    int column_widths[8];
};

struct ProgressState {
    int position;
    int minimum;
    int maximum;
};

// ---- Building blocks for reading other windows of the program --------------
// Opens the process for memory access and reserves `size` bytes in it.
int AllocRemoteBuffer(DWORD process_id, SIZE_T size, RemoteBuffer *buffer);
void FreeRemoteBuffer(RemoteBuffer *buffer);
bool WriteRemote(const RemoteBuffer *buffer, void *remote, const void *data, SIZE_T size);
bool ReadRemote(const RemoteBuffer *buffer, const void *remote, void *data, SIZE_T size);
// SendMessage that gives up when the window does not answer within a few
// seconds; false then.
bool SendToWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT *result);
// The first top-level window of the process (0: any) with this class name
// and title (null: any), e.g. a dialog ("#32770") or a message box.
HWND FindProcessWindow(DWORD process_id, const wchar_t *class_name, const wchar_t *title);

// ---- The main window -----------------------------------------------------------
// Waits up to timeout_ms for the main window of `process_id` (0: any process)
// to exist with its three controls, and prepares the remote scratch buffer.
int AttachDriver(DWORD process_id, DWORD timeout_ms, DriverTarget *target);
void DetachDriver(DriverTarget *target);

int ReadStatusBar(DriverTarget *target, StatusBarState *state);
void ReleaseStatusBar(StatusBarState *state);
int ReadResultTable(DriverTarget *target, ResultTable *table);
void ReleaseResultTable(ResultTable *table);
// The list's column titles, left to right; each title and the array owned.
int ReadColumnTitles(DriverTarget *target, wchar_t ***titles, int *count);
void ReleaseColumnTitles(wchar_t ***titles, int *count);
// The column whose header shows a sort arrow (-1: none) and its direction,
// read through HDM_GETITEM.
int ReadSortArrow(DriverTarget *target, int *column, bool *descending);
// Presses and releases the mouse button on a column's header.
int ClickColumnHeader(DriverTarget *target, int column);
const wchar_t *ResultCell(const ResultTable *table, int row, int column);
int ReadWindowLayout(const DriverTarget *target, WindowLayout *layout);
int ReadProgress(const DriverTarget *target, ProgressState *progress);

// Waits until the activity part reads "Ready" and, when phase_count > 0, the
// phase part reads one of `phases`. An earlier job's texts meet it too: to
// wait for a particular job's end, use WaitForJobsEnded.
int WaitForReady(DriverTarget *target, const wchar_t *const *phases, int phase_count,
                 DWORD timeout_ms);
// Waits until the job requested at start-up has ended, or waits on the
// "ERROR" box of a job that ran out of memory.
int WaitForJobEnd(DriverTarget *target, DWORD timeout_ms);
// The number of jobs the program has ended since it started, each counted
// once its job-end handling (-save=, -exit) is done.
int ReadJobsEnded(const DriverTarget *target, LONG *count);
// Waits until `count` jobs have ended. Read the count before starting a job
// and wait for one more: only that job's end meets the wait.
int WaitForJobsEnded(DriverTarget *target, LONG count, DWORD timeout_ms);

int PostMenuCommand(const DriverTarget *target, WORD command_id);
int PostClose(const DriverTarget *target);
// Waits for the process to end; its exit code goes to *exit_code.
int WaitForProcessExit(DWORD process_id, DWORD timeout_ms, DWORD *exit_code);

// UTF-16 to a malloc'd NUL-terminated UTF-8 text; null when out of memory.
char *ToUtf8(const wchar_t *text);
