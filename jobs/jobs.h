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
};

extern JobThreads g_job_threads;

// Greys the job commands and starts the folder scan (JOB_FOLDER_SCAN) or the
// check (JOB_CHECK) on an idle-priority thread; pending job back to 0.
void StartJobWorker(int32_t job);

// ---- Digest pipeline ------------------------------------------------------------
// Hashing threads for a scan or check: `forced` when above 0, one on a drive
// with a seek penalty (a spinning disk is read one file at a time), else one
// per core the process may use (also when the drive does not answer).
int32_t ChooseDigestThreads(int32_t cores, int seek_penalty, int32_t forced);
// Forces the count of hashing threads of the next jobs; 0 lets the drive and
// the cores decide again.
void ForceDigestThreads(int32_t count);

// ---- What every job does on its way -----------------------------------------------
// "Work" in the activity part and `phase` in the phase part.
void BeginJob(const wchar_t *phase);
// "Work " and the share of items done (index / total, single precision,
// truncated) in the activity part.
void ShowWorkPercentage(int32_t index, int32_t total);
// Ends a job in a state the user can see is over: `phase` in the phase
// part, "Ready" in the activity part, the job commands enabled again.
void EndJob(const wchar_t *phase);
// "ERROR: Not enough free memory!" in a message box the user dismisses.
void ShowOutOfMemoryMessage();
// The memory message, then EndJob("BAD").
void EndJobOutOfMemory();
DWORD WINAPI FolderScanJob(LPVOID unused);
DWORD WINAPI CheckJob(LPVOID unused);

// ---- Save ------------------------------------------------------------------------
// Saves under `path` with "Saving"/"Ready" in the activity part and an error
// box when the list could not be written. FILE_OK or a file error.
int SaveChecksumListTo(const wchar_t *path);
// Writes the entry table as a checksum list file at `path`, replacing an
// existing file only once the new one is complete. FILE_OK or a file error.
int WriteChecksumList(const wchar_t *path);
