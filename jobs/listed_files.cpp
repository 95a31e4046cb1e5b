#include "listed_files.h"

#include <cstdlib>

#include "fileio/fileio.h"
#include "hash/file_digest.h"
#include "worker.h"
#include "pipeline.h"
#include "row_queue.h"

namespace {

struct ScanRun {
    sListDir *listing;
    Entry *table;
    int32_t failed;
    bool out_of_memory;
    RowQueue rows;
};

// Fills the entry of a listed file as it is handed out: the path moves from
// the listing, the kind follows the hash choice of this moment (an Options
// change applies from the next file handed out). An unlisted folder keeps
// an empty digest text and is not read.
bool HandOutListedFile(void *job, int32_t index, DigestTask *task)
{
    ScanRun *run = static_cast<ScanRun *>(job);
    Entry *entry = &run->table[index];
    sDirItem *item = &run->listing->items[index];
    entry->kind = KindOfHashChoice(LoadHashChoice())->letter;
    entry->digest = static_cast<utf16 *>(
        std::calloc(size_t(kind_digest_length(utf16(entry->kind))) + 1, sizeof(utf16)));
    if (!entry->digest) {
        run->out_of_memory = true;
        return false;
    }
    bool unlisted = IsUnlistedFolder(item) != 0;
    entry->path = TakeItemPath(item);
    task->path = unlisted ? nullptr : entry->path;
    task->kind = utf16(entry->kind);
    task->digest = entry->digest;
    return true;
}

// After Stop no row is made: a file taken now may have been abandoned
// part-way, and its entry must not pass for a digest either.
bool TakeScannedFile(void *job, int32_t index, const DigestTask *task)
{
    ScanRun *run = static_cast<ScanRun *>(job);
    Entry *entry = &run->table[index];
    if (JobStopRequested()) {
        entry->digest[0] = 0;
        return false;
    }
    if (task->result == FILE_DIGEST_NO_MEMORY) {
        run->out_of_memory = true;
        return false;
    }
    ++g_app.tally.files_done;
    bool read = entry->digest[0] != 0;
    if (!read)
        ++run->failed;
    g_app.tally.bytes_read += task->bytes_read;
    QueueRow(&run->rows, entry->path, entry->digest, read ? ROW_CREATED : ROW_ERROR);
    if (run->rows.lost)
        run->out_of_memory = true;
    return !run->out_of_memory;
}

void ShowQueuedScanRows(void *job)
{
    PublishRows(&static_cast<ScanRun *>(job)->rows);
}

uint64_t ListedBytes(const sListDir *listing)
{
    uint64_t bytes = 0;
    for (int32_t i = 0; i < listing->count; ++i)
        bytes += listing->items[i].fsize;
    return bytes;
}

}  // namespace

int32_t DigestListedFiles(sListDir *listing, const wchar_t *target)
{
    int32_t n = listing->count;
    Entry *table = g_app.entries + g_app.entry_count;
    SetStatusText(STATUS_PHASE, L"Creating CRC", true);

    ScanRun run = {listing, table, 0, false, {}};
    g_app.tally.files += n;
    StartRowQueue(&run.rows, n, ListedBytes(listing));
    int32_t handed = RunDigestPipeline(target, n, HandOutListedFile, TakeScannedFile,
                                       ShowQueuedScanRows, &run, &run.rows.progress.meter);
    PublishRows(&run.rows);
    // An entry whose digest text could not be had holds nothing to release.
    g_app.entry_count += handed > 0 ? handed : 0;
    if (handed == DIGEST_PIPELINE_NO_MEMORY || run.out_of_memory || run.rows.lost)
        return JOB_OUTCOME_NO_MEMORY;
    if (!JobStopRequested())
        ShowByteProgressDone(&run.rows.progress);
    return run.failed ? JOB_OUTCOME_BAD : JOB_OUTCOME_OK;
}
