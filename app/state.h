// The application state shared by the user-interface thread and the one
// worker thread. Platform-neutral: the window handles live beside it in
// app/app.h, so the hash engines and the checksum-list code build anywhere.
#pragma once

#include <cstdint>

// One UTF-16 code unit. On Windows this is the platform's wchar_t, so texts go
// to the API unchanged; elsewhere char16_t keeps the same width.
#ifdef _WIN32
typedef wchar_t utf16;
#else
typedef char16_t utf16;
#endif

enum PendingJob : int32_t {
    JOB_NONE = 0,
    JOB_SINGLE_FILE = 1,
    JOB_FOLDER_SCAN = 2,
    JOB_CHECK = 3,
};

enum HashChoice : int32_t {
    HASH_AUTO = 0,
    HASH_CRC32C = 1,
    HASH_SHA3_224 = 2,
    HASH_SHA3_256 = 3,
    HASH_SHA3_384 = 4,
    HASH_SHA3_512 = 5,
};

// Units in a target-path buffer (65,536 bytes).
constexpr int32_t TARGET_PATH_UNITS = 32768;

// One result row: kind letter, owned digest text, owned path.
struct Entry {
    char kind;
    utf16 *digest;
    utf16 *path;
};

struct AppState {
    int32_t pending_job;
    int32_t hash_choice;
    int32_t hidden_files;
    int32_t entry_count;
    utf16 *target_path;     // points into target_buffer (after a command-line prefix)
    Entry *entries;         // null or a live array
    int32_t sse42;
    utf16 *target_buffer;   // the allocation target_path points into; owned
};

extern AppState g_app;

// Replaces the target path by a fresh copy of `text`; `skip` units of it are
// a prefix that the path itself starts after. Returns 0, or -1 when no
// memory could be had (the previous target stays).
int SetTargetPath(const utf16 *text, int32_t skip);

// Releases every entry's texts and the table; entry count back to 0.
void ReleaseEntryTable();
