// The file digest (Windows): a kind letter and a path in, upper-case
// hexadecimal text out, read through the long-path file helpers; and SHA-3
// file digests in lock step. Seen only by the targets that link
// talvor_file_digest.
#pragma once

#include <cstdint>

#include "hash/hash.h"

// ---- File digest (file_digest.cpp) ------------------------------------------

// What became of a file digest.
enum file_digest_result : int {
    FILE_DIGEST_DONE = 0,        // read whole, `out` holds the digest text
    FILE_DIGEST_NOT_FOUND = 1,   // the open said the file or its folder does not exist
    FILE_DIGEST_UNREADABLE = 2,  // there, but not read whole (refused, locked, a read failed)
    FILE_DIGEST_NO_MEMORY = 3,   // its read block (or its path's buffer) could not be had
};

// Digests the whole file with the kind's algorithm into `out` (at least the
// kind's text capacity). On any failure `out` is left exactly as given.
file_digest_result file_digest_text(utf16 kind, const utf16 *path, utf16 *out);

// What the reads of file digests have covered, counted for a job's progress
// by any number of threads at once (atomically).
struct file_digest_meter {
    uint64_t files_sized;  // the files opened
    uint64_t bytes_sized;  // their sizes
    uint64_t bytes_read;   // the bytes read from them
};

// A read block kept from one file digest to the next (one per hashing
// thread); starts zeroed, grows as files need, freed by its release. The
// other fields may stay null.
struct file_digest_buffer {
    uint8_t *block;
    uint32_t capacity;
    file_digest_meter *meter;  // counts every open and read
    bool (*abandon)();         // asked after each block: true fails the digest there
};
// file_digest_text reading through `buffer`; *bytes_read: the bytes the
// reads delivered, also when the digest failed part-way.
file_digest_result file_digest_text_with(utf16 kind, const utf16 *path, utf16 *out,
                                         file_digest_buffer *buffer, uint64_t *bytes_read);
void release_file_digest_buffer(file_digest_buffer *buffer);

// ---- SHA-3 file digests in lock step (file_lanes.cpp) ------------------------

// Up to sha3_lanes' width of SHA-3 file digests advanced together, one file
// per lane, each read in blocks into its own part of one bounded buffer. A
// file's text goes to its `out` when it ends (left as given on failure), and
// its `tag` comes back to say so. Files moved alone go on through the
// single-stream path, one read block per step, beside the lanes.
struct file_lanes;

// Whether files of `kind` go on the lanes: the SHA-3 kinds. Others are
// digested one by one (file_digest_text_with).
bool file_lanes_fit(utf16 kind);
// Null when the processor has no multi-state kernel or memory runs out.
// `meter` (or null) counts every open and read; `abandon` (or null) is asked
// before each step: true fails every file on the lanes there.
file_lanes *create_file_lanes(file_digest_meter *meter, bool (*abandon)());
void release_file_lanes(file_lanes *lanes);
// Files on the lanes, and whether a lane is free for one more.
int32_t file_lanes_busy(const file_lanes *lanes);
bool file_lanes_full(const file_lanes *lanes);
// Opens `path` on a free lane for the SHA-3 kind `kind`; false when it does
// not open or the kind is no SHA-3 kind (the digest is then done, as given).
// `result` and `bytes_read` say how the file ended once its tag comes back
// (or at once, for a file that did not open).
bool file_lanes_start(file_lanes *lanes, utf16 kind, const utf16 *path, utf16 *out,
                      file_digest_result *result, uint64_t *bytes_read, void *tag);
// Moves every file still on the kernel to the single-stream path (when so
// few are left that the wide kernel is slower than one stream).
void file_lanes_go_alone(file_lanes *lanes);
// Files on the kernel that have not gone alone.
int32_t file_lanes_on_kernel(const file_lanes *lanes);
// Reads and hashes one step: every kernel file as many whole blocks as all
// of them have read, every lone file one read block. Puts the tags of the
// files that ended (digested or failed) in `ended`; returns how many.
int32_t file_lanes_step(file_lanes *lanes, void **ended);
