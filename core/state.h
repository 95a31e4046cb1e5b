// The application state shared by the user-interface thread and the job
// worker. Platform-neutral: the window handles live beside it in the window
// layer (window/window.h).
#pragma once

#include <cstdint>

#include "core/core.h"

// Units in a target-path buffer (65,536 bytes).
constexpr int32_t TARGET_PATH_UNITS = 32768;

// What the last scan, check or single-file job did, for its summary. The
// job's thread writes it from the job's start to its end; others read it
// once the job has ended.
struct JobTally {
    int32_t job;                     // JOB_FOLDER_SCAN, JOB_CHECK, JOB_UPDATE or JOB_SINGLE_FILE
    int32_t outcome;                 // JobOutcome once ended
    bool ended;                      // the job is over and the tally complete
    int64_t rows[ROW_STATUS_COUNT];  // rows shown, by RowStatus
    uint64_t bytes_read;             // bytes the digests read
    uint64_t started_ms;             // a monotonic clock at the start
    uint64_t elapsed_ms;             // start to end
    bool stopped;                    // ended after Stop was chosen
    int32_t files;                   // files the job set out to digest
    int32_t files_done;              // of those, the files digested before it ended
};

struct AppState {
    int32_t pending_job;
    int32_t hash_choice;
    // The hidden-files setting: kept for the menu's mark and for callers
    // outside the program; the walker lists hidden files whatever it says.
    int32_t hidden_files;
    int32_t list_new_files;  // a check also lists the files its list does not name
    int32_t entry_count;
    utf16 *target_path;  // points into target_buffer (after a command-line prefix)
    Entry *entries;      // null or a live array
    int32_t sse42;
    utf16 *target_buffer;  // the allocation target_path points into; owned
    // A JobState, through the job-state functions below only. From the start
    // of a worker to its EndJob the worker owns the target path, the entry
    // table and the entry count, and no job, picker or Save may start.
    int32_t job_state;
    // The files a stopped scan had listed; 0 when the entry table holds the
    // whole of what its job set out to do.
    int32_t stopped_scan_total;
    JobTally tally;
    // The check marks of the Options menu, which only its commands move (the
    // command-line switches change the hash choice and leave them): the
    // algorithm chosen there last, and the hidden-files mark.
    int32_t marked_hash_choice;
    int32_t hidden_files_marked;
};

// Whether a job runs, and whether Stop was chosen for it. The user-interface
// thread starts jobs and asks them to stop, the job's threads end them, so
// every change is one atomic step.
enum JobState : int32_t {
    JOB_IDLE = 0,  // no job runs; the last one, if any, ran to its end
    JOB_RUNNING = 1,
    JOB_STOPPING = 2,  // running, Stop chosen: no further file is started
    JOB_STOPPED = 3,   // no job runs; the last one ended after Stop was chosen
};

// The one application state (state.cpp). The user-interface thread writes it
// while no job runs; from MarkJobRunning to the job's end its worker owns the
// target path, the entry table, the entry count and the tally, and the two
// threads share only the hash choice (LoadHashChoice, StoreHashChoice) and
// the job state (the job-state functions below: the user-interface thread
// starts a job and asks it to stop, the job's threads end it).
extern AppState g_app;

// Replaces the target path by a fresh copy of `text`; `skip` units of it are
// a prefix that the path itself starts after. Returns 0, or -1 when no
// memory could be had (the previous target stays).
int SetTargetPath(const utf16 *text, int32_t skip);

// Releases every entry's texts and the table; entry count back to 0.
void ReleaseEntryTable();

// The hash choice is the one field written by the user-interface thread while
// a worker reads it (an Options change applies mid-scan), so both sides go
// through these.
int32_t LoadHashChoice();
void StoreHashChoice(int32_t choice);

// JOB_RUNNING, whatever the last job did.
void MarkJobRunning();
// True, and JOB_STOPPING, when a job runs; false and no change otherwise.
bool RequestJobStop();
// Whether a job runs (stopping or not).
bool JobRunning();
// Whether the running job was asked to stop.
bool JobStopRequested();
// Ends the running job's state: JOB_STOPPED when it ended as stopped, else
// JOB_IDLE. The worker calls it last, after storing everything it produced,
// so a thread that sees no job running sees all of it.
void MarkJobEnded(bool stopped);
// Whether the last job ended after Stop was chosen.
bool LastJobStopped();

// The marks the Options menu starts with: "Always use SHA-3-256" (what hash
// choice 0 digests with) and the hidden-files item checked.
void ResetMenuMarks();
