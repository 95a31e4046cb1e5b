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
    wchar_t *save_path;    // owned; null without -save=; .qcx appended when it had no extension
    wchar_t *report_path;  // owned; null without -report=
    bool exit_when_done;   // -exit: close with the job's outcome as exit code
};

// Written by the command line at start-up (ApplyCommandLine) and read by the
// job-end handler, both on the user-interface thread.
extern UnattendedRun g_unattended;

// The job-end handler of the main window: saves to the -save= path (not
// after a job that could not run, which would replace a good list by an
// empty one, nor after a stopped one, which holds only part of it), writes
// the -report= file and, with -exit, closes the window with the exit code:
// the job's outcome, 2 when the save or the report failed, at least 1 when
// the save left entries out.
void HandleJobEnd(int32_t outcome);

// ---- Reports (report.cpp) -------------------------------------------------------

// The report of the job that has just ended, as UTF-8 text with CR LF line
// ends: its summary line (ComposeJobSummary), then one line per result row
// that is a problem, not "OK" or "Created" (status TAB path), in the order
// the job made them, whatever the list shows. A new buffer of *bytes bytes
// (free() it), or null when memory ran out.
char *ComposeJobReport(size_t *bytes);
// Writes that report to `path`, replacing the file atomically (a reader sees
// the old report or the new one, never a part). FILE_OK or a file error.
int WriteJobReport(const wchar_t *path);

// ---- Drag and drop (drop.cpp) ------------------------------------------------------

// The drop handler of the main window: one dropped folder is scanned, one
// dropped checksum list is checked (JobForPath), one other file
// is digested. Several items, or any drop while a job runs or is pending,
// change nothing.
void HandleDroppedFiles(HDROP drop);

// ---- Menu commands (commands.cpp) ----------------------------------------------

// WM_COMMAND of the main window.
LRESULT HandleCommand(HWND window, WPARAM wparam, LPARAM lparam);
// The menu holds no state of its own: when one of its popups opens, every
// item in it is greyed and checked as the application state says (the menu
// popup handler of the main window).
void DeriveMenuStates(HMENU popup);
// Whether the item of `command` is greyed in the present state. A greyed job
// command does nothing however it arrives: a WM_COMMAND posted by another
// program must not start a picker or Save while a worker owns the target path
// and the entry table.
bool CommandGreyed(UINT command);

// ---- The algorithms to choose (hash_options.cpp) ---------------------------------

// One algorithm the user can choose: the hash choice its Options item and
// its command-line switch store. Adding a kind to the choices is adding its
// row to the table in hash_options.cpp (and its command id to window/ids.h).
struct HashOption {
    HashChoice choice;
    UINT command;                // its Options item's command id
    const wchar_t *item_text;    // the item's text, with its access key
    const wchar_t *submenu;      // the Options submenu it sits in; null: Options itself
    const wchar_t *switch_text;  // the command-line switch, matched whole and by case
};

int32_t HashOptionCount();
// Row `index` of the table, in menu order; null past its end.
const HashOption *HashOptionAt(int32_t index);
// The row of an Options item's command, or of a command-line argument; null
// for anything else.
const HashOption *HashOptionOfCommand(UINT command);
const HashOption *HashOptionOfSwitch(const wchar_t *argument);
// Puts every row's item into the Options popup of `menu_bar`, in table
// order after Auto-mode. False when the popup is not there or an item could
// not be added.
bool InsertHashOptionItems(HMENU menu_bar);

// ---- Pickers and Options commands (pickers.cpp) ---------------------------------

// Makes `path` the target of `job`. Without memory for the new path the
// previous target stays and no job is requested.
void RequestJob(const wchar_t *path, int32_t job);
// Scan: the folder browser; a confirmed file-system folder becomes the target
// path of a folder scan. A cancelled browser or a folder without a path
// changes nothing. Always 0.
int ChooseFolder();
// Check: the open dialog for a checksum list file; a confirmed name becomes
// the target path of a check job. Always 0.
int ChooseChecksumFile();
// Update list: the same open dialog; a confirmed name becomes the target
// path of an update job. Always 0.
int ChooseListToUpdate();
// Save: the save dialog; a confirmed name is written by SaveChecksumListTo.
// After a stopped scan it first asks whether to save a list that holds only
// part of the folder ("... N of M files ..."); No changes nothing. Always 0.
int SaveChecksumList();
// An algorithm item: stores `choice`, and marks it alone among the
// algorithm items.
void ChooseHashAlgorithm(int32_t choice);
// Flips the hidden-files flag; its item's mark shows the new value.
void ToggleHiddenFiles();
// Flips whether a check also lists the files its list does not name.
void ToggleNewFiles();
