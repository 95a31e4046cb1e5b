// What the job tests need beyond the GUI harness of tests/app: a record of
// every status text, a watcher that answers error boxes, long-path file
// helpers and a way to put a given entry table in place.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/state.h"

// Starts the main window once per process and records its status texts.
void StartTestWindow();
// Requests `job` on `path` and pumps messages until it has ended, also by
// an exit that leaves the activity part at "Work".
void RunJobAndWait(int32_t job, const std::wstring &path);
bool JobCommandsEnabled();

struct ResultRow {
    std::wstring path, digest, status;
};
// Rows top first, as the list shows them.
std::vector<ResultRow> ReadResultRows();
int CountStatus(const std::vector<ResultRow> &rows, const wchar_t *status);

struct StatusChange {
    int part;
    std::wstring text;
};
void ClearStatusLog();
const std::vector<StatusChange> &StatusLog();
bool StatusLogHas(int part, const std::wstring &text);

// Dismisses every "ERROR" box of this process while it runs; keeps the texts.
struct ErrorBoxWatch {
    HANDLE thread;
    volatile LONG stop;
    std::vector<std::wstring> texts;
};
void StartErrorBoxWatch(ErrorBoxWatch *watch);
void StopErrorBoxWatch(ErrorBoxWatch *watch);

std::wstring MakeScratchFolder();
void RemoveTree(const std::wstring &folder);
// \\?\ in front of a drive path, for paths beyond the classic limit.
std::wstring LongForm(const std::wstring &path);
void WriteTestFile(const std::wstring &path, const std::string &bytes);
std::string ReadTestFile(const std::wstring &path);
bool FileExists(const std::wstring &path);
// FF FE and the UTF-16LE bytes of `body`.
std::string ListBytes(const std::wstring &body);

struct TestEntry {
    char kind;
    std::wstring digest, path;
};
// Replaces the entry table by copies of `entries`, count included.
void SetEntryTable(const std::vector<TestEntry> &entries);
