// Jobs (Windows): what the shell asks of the jobs layer. The dispatcher
// starts the job the application state asks for; the workers read their
// input from that state, leave their result there, and report through the
// display operations of the window layer. What the jobs share among
// themselves is in the headers the folder keeps to itself (worker.h, ...).
#pragma once

#include <windows.h>

#include "core/state.h"

// ---- Dispatcher (dispatcher.cpp) ------------------------------------------------
// Called by the message loop after every message.
void DispatchPendingJob();

// How a job ended; the values are the exit codes of an unattended run (-exit).
enum JobOutcome : int32_t {
    JOB_OUTCOME_OK = 0,          // phase "OK"
    JOB_OUTCOME_BAD = 1,         // phase "BAD": a mismatch, an unreadable file, a listing error
    JOB_OUTCOME_FAILED = 2,      // the job could not run: no list, no file, no memory
    JOB_OUTCOME_NO_MEMORY = -1,  // not an end by itself: EndJobWithOutcome ends it as FAILED
};

// ---- The job a dropped path asks for (job_for_path.cpp) ------------------------
// The job a path given alone asks for (a file dropped on the window): a
// folder is scanned (JOB_FOLDER_SCAN), a checksum list checked (JOB_CHECK),
// anything else digested (JOB_SINGLE_FILE), also a path that cannot be read
// at all, so that the user sees its error row.
int32_t JobForPath(const wchar_t *path);

// ---- Summary (summary.cpp) -------------------------------------------------------
// Room for any summary, its NUL included.
constexpr size_t JOB_SUMMARY_UNITS = 256;
// The one-line summary of an ended job, e.g.
// "BAD: 3 MISMATCH, 1 MISSING, 0 ERROR, 99,996 OK; 412 GB in 18 min":
// "OK" or "BAD" ("Stopped after N of M files" after Stop), the rows by
// status (a check's four and its "NEW" rows when it has any, a scan's
// "ERROR" and "Created", an update's "ERROR", "MISSING" and "Created"), the
// bytes read and the time taken, numbers grouped as the user's locale groups
// them and sizes in the units Explorer shows. A check of a list that named
// no algorithm also says which one its files matched (", algorithm BLAKE3")
// or that none did (", no algorithm matched"). Cut to fit `units`; returns the
// units written before the NUL.
size_t ComposeJobSummary(const JobTally *tally, wchar_t *out, size_t units);

// "ERROR: Not enough free memory!" in a message box the user dismisses.
void ShowOutOfMemoryMessage();

// ---- Save (save.cpp) ----------------------------------------------------------------
// Saves under `path` with "Saving"/"Ready" in the activity part and an error
// box when the list could not be written (one that names a format that can
// hold the entries when its own cannot), or was written without some
// entries (*left_out, may be null). FILE_OK, a file error or a SaveRefusal.
int SaveChecksumListTo(const wchar_t *path, int32_t *left_out = nullptr);
// The entries of the table a list would hold: those with a digest text.
int32_t ListedEntryCount();
// What a save returns besides the file results when the list's format
// cannot hold the entries; nothing is written then.
enum SaveRefusal : int {
    SAVE_REFUSED_MIXED_KINDS = 128,    // a one-algorithm format, entries of several
    SAVE_REFUSED_KIND_NOT_HELD = 129,  // the format (or its name) holds another algorithm
};
// The extension of the last component of `path`, from its last dot, or null
// when it has no dot. A dot that ends the name is an empty extension: typed
// so, it keeps the save dialog from adding one.
const wchar_t *SaveNameExtension(const wchar_t *path);
// Whether a name typed for a list gets ".qcx" added: it has no extension,
// and it is not a name such as SHA256SUMS that says its format.
bool SaveNameNeedsExtension(const wchar_t *path);
