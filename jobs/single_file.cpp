// The single-file job: one file digested on a hashing thread while the
// worker shows the bytes read, then its row and the job's end.
#include <cstdlib>

#include "hash/file_digest.h"
#include "worker.h"
#include "pipeline.h"
#include "progress.h"

namespace {

// One entry for the target path with an empty digest text long enough for
// any kind. Counted from the start, so that the one release mechanism frees
// it whether the job fails now or the next job replaces it. Null when memory
// runs out (nothing is left allocated).
Entry *CreateSingleEntryTable()
{
    g_app.entries = static_cast<Entry *>(std::calloc(1, sizeof(Entry)));
    if (!g_app.entries)
        return nullptr;
    g_app.entry_count = 1;
    Entry *entry = &g_app.entries[0];
    entry->path = DuplicateText(g_app.target_path);
    entry->digest = static_cast<utf16 *>(std::calloc(DIGEST_TEXT_CAPACITY, sizeof(utf16)));
    if (!entry->path || !entry->digest) {
        ReleaseEntryTable();
        return nullptr;
    }
    return entry;
}

struct SingleFileRun {
    Entry *entry;
    ByteProgress progress;
    file_digest_result result;
};

bool HandOutSingleFile(void *job, int32_t, DigestTask *task)
{
    Entry *entry = static_cast<SingleFileRun *>(job)->entry;
    task->path = entry->path;
    task->kind = utf16(entry->kind);
    task->digest = entry->digest;
    return true;
}

bool TakeSingleFile(void *job, int32_t, const DigestTask *task)
{
    static_cast<SingleFileRun *>(job)->result = task->result;
    g_app.tally.bytes_read += task->bytes_read;
    if (!JobStopRequested())
        ++g_app.tally.files_done;
    return true;
}

void ShowSingleFileProgress(void *job)
{
    ShowByteProgress(&static_cast<SingleFileRun *>(job)->progress);
}

// JOB_OUTCOME_OK when the file was read (its digest text is filled in),
// JOB_OUTCOME_FAILED when the open found no file (a job that could not run),
// JOB_OUTCOME_BAD when it is there but could not be read, or Stop abandoned
// it, JOB_OUTCOME_NO_MEMORY when its read block or the pipeline could not
// be had. Digested on a hashing thread, so that the worker shows the bytes
// read; the size comes from the digest's own open.
int32_t DigestEntryFile(Entry *entry)
{
    entry->kind = KindOfHashChoice(LoadHashChoice())->letter;
    SingleFileRun run = {entry, {}, FILE_DIGEST_UNREADABLE};
    g_app.tally.files = 1;
    StartByteProgress(&run.progress, 0, 1);
    if (RunDigestPipeline(entry->path, 1, HandOutSingleFile, TakeSingleFile, ShowSingleFileProgress,
                          &run, &run.progress.meter) == DIGEST_PIPELINE_NO_MEMORY)
        return JOB_OUTCOME_NO_MEMORY;
    if (run.result == FILE_DIGEST_DONE) {
        ShowByteProgressDone(&run.progress);
        return JOB_OUTCOME_OK;
    }
    if (run.result == FILE_DIGEST_NO_MEMORY)
        return JOB_OUTCOME_NO_MEMORY;
    return run.result == FILE_DIGEST_NOT_FOUND ? JOB_OUTCOME_FAILED : JOB_OUTCOME_BAD;
}

// A file that cannot be opened or read is reported as a failed row and a
// "BAD" phase, and leaves nothing to save; one that Stop abandoned leaves
// no row at all.
void DigestTargetFile()
{
    Entry *entry = CreateSingleEntryTable();
    int32_t outcome = entry ? DigestEntryFile(entry) : JOB_OUTCOME_NO_MEMORY;
    if (outcome == JOB_OUTCOME_OK) {
        AddTalliedRow(entry->path, entry->digest, ROW_CREATED);
    } else {
        if (outcome == JOB_OUTCOME_NO_MEMORY) {
            ShowOutOfMemoryMessage();
            outcome = JOB_OUTCOME_FAILED;
        }
        if (!JobStopRequested())
            AddTalliedRow(g_app.target_path, L"", ROW_ERROR);
        ReleaseEntryTable();
    }
    if (!JobStopRequested())
        SetProgressPos(PROGRESS_STEPS);
    EndJob(JobPhaseText(outcome), outcome);
}

}  // namespace

DWORD WINAPI SingleFileJob(LPVOID)
{
    BeginJob(L"Creating CRC");
    DigestTargetFile();
    return 0;
}
