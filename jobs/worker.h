// What every job shares on its way (worker.cpp), and the workers' entry
// points. Private to the jobs folder.
#pragma once

#include <windows.h>

#include "jobs/jobs.h"
#include "window/display.h"

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
// The phase an outcome ends in, "OK" or "BAD" (for a job that could not run
// too); the summary starts with it.
const wchar_t *JobPhaseText(int32_t outcome);
// EndJob with "OK" or "BAD" for the outcome; EndJobOutOfMemory for
// JOB_OUTCOME_NO_MEMORY.
void EndJobWithOutcome(int32_t outcome);
// The memory message, then EndJob("BAD", JOB_OUTCOME_FAILED).
void EndJobOutOfMemory();

// ---- The workers (single_file.cpp, scan.cpp, check.cpp, update.cpp) -----------
DWORD WINAPI SingleFileJob(LPVOID unused);
DWORD WINAPI FolderScanJob(LPVOID unused);
DWORD WINAPI CheckJob(LPVOID unused);
// Adds the files below a list's folder that it does not name to the list at
// the target path, digested; shows the entries whose files are gone.
DWORD WINAPI UpdateJob(LPVOID unused);

// ---- Lists among other files (job_for_path.cpp) ------------------------------------
// Whether the file at `path` holds a checksum list (LooksLikeChecksumList of
// its head); false when it cannot be read.
bool FileHoldsChecksumList(const wchar_t *path);
