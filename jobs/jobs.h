// Jobs (Windows): the job dispatcher with the single-file job, the folder
// scan and check workers, and saving the checksum list. They read their
// input from the application state, leave their result there, and report
// through the display operations of the window layer.
#pragma once

#include <windows.h>

#include "core/state.h"
#include "window/display.h"

// ---- Dispatcher ---------------------------------------------------------------
// Called by the message loop after every message.
void DispatchPendingJob();

// ---- Workers --------------------------------------------------------------------

// The last worker started for each job. Nothing waits on them: the handle is
// closed once the thread runs, the id stays to recognise the thread.
struct JobThreads {
    HANDLE scan_thread;
    DWORD scan_thread_id;
    HANDLE check_thread;
    DWORD check_thread_id;
    HANDLE single_thread;
    DWORD single_thread_id;
};

// Written by StartJobWorker on the user-interface thread; read by the tests
// that recognise a worker.
extern JobThreads g_job_threads;

// Marks a job running (MarkJobRunning), which greys the job commands, and
// starts the single-file job (JOB_SINGLE_FILE), the folder scan
// (JOB_FOLDER_SCAN), the check (JOB_CHECK) or the update (JOB_UPDATE) on an
// idle-priority thread; pending job back to 0.
void StartJobWorker(int32_t job);

// How a job ended; the values are the exit codes of an unattended run (-exit).
enum JobOutcome : int32_t {
    JOB_OUTCOME_OK = 0,          // phase "OK"
    JOB_OUTCOME_BAD = 1,         // phase "BAD": a mismatch, an unreadable file, a listing error
    JOB_OUTCOME_FAILED = 2,      // the job could not run: no list, no file, no memory
    JOB_OUTCOME_NO_MEMORY = -1,  // not an end by itself: EndJobWithOutcome ends it as FAILED
};

// ---- Digest pipeline ------------------------------------------------------------
// Hashing threads for a scan or check: `forced` when above 0, one on a drive
// with a seek penalty (a spinning disk is read one file at a time), else one
// per core the process may use (also when the drive does not answer).
int32_t ChooseDigestThreads(int32_t cores, int seek_penalty, int32_t forced);
// Forces the count of hashing threads of the next jobs; 0 lets the drive and
// the cores decide again.
void ForceDigestThreads(int32_t count);

// ---- What every job does on its way -----------------------------------------------
// Empties the tally for `job` and starts its clock; the plain title again.
void StartJobTally(int32_t job);
// AddResultRow with the status's text, counted in the job's tally.
void AddTalliedRow(const wchar_t *path, const wchar_t *digest, RowStatus status);
// "Work" in the activity part and `phase` in the phase part.
void BeginJob(const wchar_t *phase);
// "Work " and the share of items done (index / total, single precision,
// truncated) in the activity part.
void ShowWorkPercentage(int32_t index, int32_t total);
// Ends a job in a state the user can see is over: the tally closed and its
// summary in the title, the taskbar button told, `phase` in the phase part
// ("Stopped" instead after Stop, with JOB_OUTCOME_BAD for an outcome that
// was OK), "Ready" in the activity part, the job no longer running (the job
// commands enabled again); then announces the outcome to the main window
// (NotifyJobEnded). Every job ends here or in EndJobOutOfMemory, exactly
// once.
void EndJob(const wchar_t *phase, int32_t outcome);
// EndJob with "OK" or "BAD" for the outcome; EndJobOutOfMemory for
// JOB_OUTCOME_NO_MEMORY.
void EndJobWithOutcome(int32_t outcome);
// "ERROR: Not enough free memory!" in a message box the user dismisses.
void ShowOutOfMemoryMessage();
// The memory message, then EndJob("BAD", JOB_OUTCOME_FAILED).
void EndJobOutOfMemory();
DWORD WINAPI SingleFileJob(LPVOID unused);
DWORD WINAPI FolderScanJob(LPVOID unused);
DWORD WINAPI CheckJob(LPVOID unused);
// Adds the files below a list's folder that it does not name to the list at
// the target path, digested; shows the entries whose files are gone.
DWORD WINAPI UpdateJob(LPVOID unused);
// Whether the file at `path` holds a checksum list (LooksLikeNamedChecksumList
// of its head and its name: a sidecar such as file.iso.sha256 holding only a
// digest is one); false when it cannot be read.
bool FileHoldsChecksumList(const wchar_t *path);
// The job a path given alone asks for (a file dropped on the window): a
// folder is scanned (JOB_FOLDER_SCAN), a checksum list checked (JOB_CHECK),
// anything else digested (JOB_SINGLE_FILE), also a path that cannot be read
// at all, so that the user sees its error row.
int32_t JobForPath(const wchar_t *path);

// ---- The title's progress -------------------------------------------------------
constexpr int32_t TITLE_PROGRESS_UNITS = 64;
// "42 %", then " - 310 MB/s" when `bytes_per_second` is above 0, then
// " - about 2 min left" when `seconds_left` is 0 or more, into `out`
// (TITLE_PROGRESS_UNITS units).
void FormatProgressTitle(int32_t percent, uint64_t bytes_per_second, int64_t seconds_left,
                         wchar_t *out);
// ---- Summary ---------------------------------------------------------------------
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

// ---- Save ------------------------------------------------------------------------
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
// Writes the entry table as a checksum list file at `path` in the format its
// name asks for (ListFormatOfName: .qcx, a GNU list for SHA256SUMS or
// *.sha256, SFV for *.sfv, a tagged list for any other extension),
// replacing an existing file only once the new one is complete. *left_out
// (may be null): listed entries whose names the format cannot hold, which
// it leaves out. FILE_OK, a file error or a SaveRefusal.
int WriteChecksumList(const wchar_t *path, int32_t *left_out = nullptr);
// The extension of the last component of `path`, from its last dot, or null
// when it has no dot. A dot that ends the name is an empty extension: typed
// so, it keeps the save dialog from adding one.
const wchar_t *SaveNameExtension(const wchar_t *path);
// Whether a name typed for a list gets ".qcx" added: it has no extension,
// and it is not a name such as SHA256SUMS that says its format.
bool SaveNameNeedsExtension(const wchar_t *path);
