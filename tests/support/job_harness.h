// What the job tests need beyond the GUI harness: a record of every status
// text, a watcher that answers error boxes, and a way to put a given entry
// table in place.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/state.h"

// Starts the main window once per process and records its status texts.
void StartTestWindow();
// Requests `job` on `path` and pumps messages until it has ended.
void RunJobAndWait(int32_t job, const std::wstring &path);

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

// Dismisses every "ERROR" box of this process while it runs; keeps their
// texts and owner windows.
struct ErrorBoxWatch {
    HANDLE thread;
    volatile LONG stop;
    std::vector<std::wstring> texts;
    std::vector<HWND> owners;
};
void StartErrorBoxWatch(ErrorBoxWatch *watch);
void StopErrorBoxWatch(ErrorBoxWatch *watch);

struct TestEntry {
    char kind;
    std::wstring digest, path;
};
// Replaces the entry table by copies of `entries`, count included.
void SetEntryTable(const std::vector<TestEntry> &entries);

// Holds every file digest that reads a file whose whole content is `content`
// until ReleaseHeldDigest: the job goes on around it, as around a file that
// takes long. A job's later files can then be seen in a known state.
void HoldDigestOf(const std::string &content);
// True once a digest waits at the hold.
bool DigestHeld();
// Lets the held digests go on and reads files plainly again.
void ReleaseHeldDigest();

// A held digest stalls every file on its thread's lanes with it. While one
// of these lives, each hashing thread digests one file at a time, so a test
// that holds a file knows exactly which rows come before it.
struct OneFileAtATime {
    OneFileAtATime();
    ~OneFileAtATime();
};
// The paths a scan of `folder` lists, in its order.
std::vector<std::wstring> ListingOrder(const std::wstring &folder);
