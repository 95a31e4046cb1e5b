#include "row_queue.h"

#include <windows.h>

#include "worker.h"

void StartRowQueue(RowQueue *queue, int32_t total, uint64_t bytes)
{
    StartByteProgress(&queue->progress, bytes, total);
    queue->count = 0;
    queue->done = 0;
    queue->total = total;
    queue->published_at = GetTickCount64();
    queue->lost = false;
    queue->progress_shown = -1;
}

void QueueRow(RowQueue *queue, const wchar_t *path, const wchar_t *digest, RowStatus status)
{
    ++g_app.tally.rows[status];
    queue->rows[queue->count++] = DisplayRow{path, digest, RowStatusText(status)};
    ++queue->done;
    if (queue->count == ROW_BATCH_ROWS ||
        GetTickCount64() - queue->published_at >= ROW_BATCH_DELAY_MS)
        PublishRows(queue);
}

// The percentage stops at every fifth item (index 3, 8, 13, ...), showing
// the latest one reached each time rows are published; the bar follows the
// bytes read.
void PublishRows(RowQueue *queue)
{
    // After a lost batch no later row may take its place in the list.
    if (!queue->lost && !AddResultRows(queue->rows, queue->count))
        queue->lost = true;
    queue->count = 0;
    queue->published_at = GetTickCount64();
    ShowByteProgress(&queue->progress);
    int32_t latest = queue->done - 1;
    if (latest < 3)
        return;
    int32_t stop = latest - (latest - 3) % 5;
    if (stop <= queue->progress_shown)
        return;
    queue->progress_shown = stop;
    ShowWorkPercentage(stop, queue->total);
}
