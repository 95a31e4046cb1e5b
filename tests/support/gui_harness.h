// In-process GUI test harness: runs the program's start-up with a given
// command line inside the test process, pumps messages exactly like the
// message loop (the job dispatcher after every message), and reads back what
// the window's controls hold through their own messages.
//
// Link `talvor_gui_harness`; it brings the program's resources along, so
// the string table, menu, accelerators and About dialog load from the test
// executable. Keep one test binary per process: the window class and the
// application state are process-wide.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace gui {

// Clears the application state left by an earlier case, then runs start-up.
// `command_line` is a whole command line, program path first. Returns the
// start-up result (1, or 0 when the program would end at once).
// Cases that read only the controls may start hidden: under Wine without a
// window manager, destroying a window that was ever shown takes 2 s.
int Start(const wchar_t *command_line, int show = SW_SHOWNORMAL);

// Processes queued and arriving messages like the message loop until
// `done()` holds or `timeout_ms` passes. Returns whether `done()` held.
bool PumpUntil(const std::function<bool()> &done, DWORD timeout_ms = 10000);
void PumpFor(DWORD ms);
// Scan, Check and Save are all enabled.
bool JobCommandsEnabled();
// A job has ended: none pending, the activity part reads "Ready" and the
// job commands are enabled again.
bool JobEnded();
bool PumpUntilJobEnded(DWORD timeout_ms = 30000);
// Pumps until the quit message; its wParam, or -1 when none came in time.
int PumpUntilQuit(DWORD timeout_ms = 10000);
// Destroys the main window if it still exists; the exit code the message
// loop would return.
int Close();

HWND MainWindow();
HWND ResultList();
int RowCount();
std::wstring Cell(int row, int column);
int ColumnWidth(int column);
// Text of a status-bar part; `popout` tells whether it carries SBT_POPOUT.
std::wstring StatusText(int part, bool *popout = nullptr);
std::vector<int> StatusPartEdges();
int ProgressMin();
int ProgressMax();
int ProgressPos();
// The item's state as its popup shows it when opened now.
UINT MenuState(UINT command);
SIZE ClientSize();
// A child's rectangle in the main window's client coordinates.
RECT ChildRect(HWND child);

// Top-level window of this process with the given class and caption,
// waited for up to `timeout_ms` (for use from a helper thread while the
// test thread sits in a modal loop). Null when none appeared.
HWND WaitForWindow(const wchar_t *window_class, const wchar_t *caption, DWORD timeout_ms = 10000);

}  // namespace gui
