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

// ---- Unattended runs (startup.cpp) ----------------------------------------------

// What -save= and -exit ask for the job requested on the command line. Acted
// on once, when that job has ended (HandleJobEnd); a later job is the user's.
struct UnattendedRun {
    wchar_t *save_path;   // owned; null without -save=; .qcx appended when it had no extension
    bool exit_when_done;  // -exit: close with the job's outcome as exit code
};

extern UnattendedRun g_unattended;

// The job-end handler of the main window: saves to the -save= path (not
// after a job that could not run, which would replace a good list by an
// empty one, nor after a stopped one, which holds part of it) and, with -exit, closes the window
// with the exit code: the job's outcome, 2 when the save failed, at least 1 when the save left
// entries out.
void HandleJobEnd(int32_t outcome);

// ---- Drag and drop (drop.cpp) ------------------------------------------------------

// The drop handler of the main window: one dropped folder is scanned, one
// dropped checksum list (LooksLikeChecksumList) is checked, one other file
// is digested. Several items, or any drop while a job runs or is pending,
// change nothing.
void HandleDroppedFiles(HDROP drop);
// Whether the first bytes of a file (`size` of them, `whole` when that is
// the whole file) are a checksum list to check rather than a file to digest:
// a .qcx list starts (after its byte order mark) with a kind letter and a
// tab; a tagged list gives at least one entry from its complete lines there,
// and more entries than lines that gave none.
bool LooksLikeChecksumList(const uint8_t *bytes, size_t size, bool whole);

// ---- Menu commands (commands.cpp) ----------------------------------------------

// WM_COMMAND of the main window.
LRESULT HandleCommand(HWND window, WPARAM wparam, LPARAM lparam);
// The menu-open handler of the main window: Stop is enabled exactly while a
// job runs.
void DeriveMenuStates(HMENU menu);

// ---- Pickers and Options commands (pickers.cpp) ---------------------------------

// Makes `path` the target of `job`. Without memory for the new path the
// previous target stays and no job is requested.
void RequestJob(const wchar_t *path, int32_t job);
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
// After a stopped scan it first asks whether to save a list that holds only
// part of the folder ("... N of M files ..."); No changes nothing. Always 0.
int SaveChecksumList();
// An algorithm item: stores `choice`, then checks `command` alone among the
// algorithm items of the window's menu.
void ChooseHashAlgorithm(HWND window, UINT command, int32_t choice);
// Flips the hidden-files flag and shows its new value as the item's mark.
void ToggleHiddenFiles(HWND window);
