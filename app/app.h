// Application shell (Windows): start-up and the command line, the message
// loop, the menu commands and the pickers. The top layer: it requests jobs,
// the jobs layer runs them, the window layer shows them.
#pragma once

#include <windows.h>

#include "core/state.h"

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
// Save: the save dialog; a confirmed name is written by SaveChecksumListTo.
// Always 0.
int SaveChecksumList();
// An algorithm item: stores `choice`, then checks `command` alone among the
// algorithm items of the window's menu.
void ChooseHashAlgorithm(HWND window, UINT command, int32_t choice);
// Flips the hidden-files flag and shows its new value as the item's mark.
void ToggleHiddenFiles(HWND window);
