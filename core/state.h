// The application state shared by the user-interface thread and the job
// worker. Platform-neutral: the window handles live beside it in the window
// layer (window/window.h).
#pragma once

#include <cstdint>

#include "core/core.h"

// Units in a target-path buffer (65,536 bytes).
constexpr int32_t TARGET_PATH_UNITS = 32768;

struct AppState {
    int32_t pending_job;
    int32_t hash_choice;
    int32_t hidden_files;
    int32_t list_new_files;  // a check also lists the files its list does not name
    int32_t entry_count;
    utf16 *target_path;  // points into target_buffer (after a command-line prefix)
    Entry *entries;      // null or a live array
    int32_t sse42;
    utf16 *target_buffer;  // the allocation target_path points into; owned
};

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
