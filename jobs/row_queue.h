// Rows on their way to the result list: a worker queues them and they go to
// the window in batches, with the progress, so that no worker waits for the
// user-interface thread for every row.
#pragma once

#include <cstdint>

#include "progress.h"
#include "window/display.h"

// Rows go to the window by time, not by count: each hand-over makes the
// user-interface thread place the rows and repaint the list, the bar and the
// status texts, which under Wine cost as much as hashing dozens of small
// files, so it happens a few times a second however fast the files come.
// The count only bounds the queue, above what a delay's worth of the
// smallest files fills.
constexpr int32_t ROW_BATCH_ROWS = 4096;
constexpr uint64_t ROW_BATCH_DELAY_MS = 250;

struct RowQueue {
    DisplayRow rows[ROW_BATCH_ROWS];
    int32_t count;
    int32_t done;  // items through, the queued ones included
    int32_t total;
    uint64_t published_at;
    int32_t progress_shown;  // item index the progress shows; -1: none yet
    bool lost;               // a batch could not be kept for want of memory
    ByteProgress progress;   // the bar and the title, by bytes
};

// `total` items of `bytes` bytes (0: not known up front, see StartByteProgress).
void StartRowQueue(RowQueue *queue, int32_t total, uint64_t bytes);
// Queues the row of the next item; the texts must stay until the list is
// cleared (entry texts, static status texts). Publishes when due.
// Counts the row in the job's tally.
void QueueRow(RowQueue *queue, const wchar_t *path, const wchar_t *digest, RowStatus status);
// Shows the queued rows, the byte progress and the "Work p%" of the latest
// item now.
void PublishRows(RowQueue *queue);
