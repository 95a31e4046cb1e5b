// The digest pipeline every worker digests through (the single file, the
// scan, the check, the update): the worker hands files out in listing order
// to a pool of hashing threads and takes the results back in that same
// order, whatever order they finish in. Private to the jobs folder.
#pragma once

#include <cstdint>

#include "core/core.h"
#include "hash/file_digest.h"

struct DigestTask {
    const utf16 *path;  // null: nothing to read, the task only keeps its place
    utf16 kind;
    utf16 *digest;                     // room for the kind's text; left as given on failure
    utf16 text[DIGEST_TEXT_CAPACITY];  // a digest buffer the task may point at
    file_digest_result result;         // a task with no path is FILE_DIGEST_UNREADABLE
    uint64_t bytes_read;
};

// Hashing threads for a scan or check: `forced` when above 0, one on a drive
// with a seek penalty (a spinning disk is read one file at a time), else one
// per core the process may use (also when the drive does not answer).
int32_t ChooseDigestThreads(int32_t cores, int seek_penalty, int32_t forced);
// Forces the count of hashing threads of the next jobs; 0 lets the drive and
// the cores decide again.
void ForceDigestThreads(int32_t count);

// Fills task `index` as it is handed out, on the worker, in listing order: a
// setting read here applies to every file not yet handed out. False stops
// the hand-out (memory ran out); the tasks handed out before are still taken.
typedef bool (*HandOutTask)(void *job, int32_t index, DigestTask *task);
// Takes task `index` back once digested, on the worker, in listing order.
// False stops the hand-out; every task handed out is still taken. A task
// that ends FILE_DIGEST_NO_MEMORY (its read block could not be had) is no
// result: the job stops there and ends in its memory exit.
typedef bool (*TakeDigest)(void *job, int32_t index, const DigestTask *task);

// Called on the worker while it waits for a file that takes long.
typedef void (*WhileWaiting)(void *job);

// What RunDigestPipeline returns when it could not be set up for want of
// memory: nothing was handed out, and the job ends in its memory exit.
constexpr int32_t DIGEST_PIPELINE_NO_MEMORY = -1;

// Digests `count` tasks on as many threads as ChooseDigestThreads gives for
// the drive holding `target`, every read counted in `meter`. Returns how many
// were handed out (and taken); below `count` only when a callback stopped the
// hand-out or Stop was chosen; or DIGEST_PIPELINE_NO_MEMORY. After Stop the
// files in flight are abandoned: their tasks are taken with the digest text
// as given.
int32_t RunDigestPipeline(const utf16 *target, int32_t count, HandOutTask hand_out, TakeDigest take,
                          WhileWaiting waiting, void *job, file_digest_meter *meter);
// A digest buffer of a job: its reads counted in `meter`, abandoned at Stop.
void WatchDigestBuffer(file_digest_buffer *buffer, file_digest_meter *meter);
