#include <cstdlib>
#include <cwchar>

#include "fileio/fileio.h"
#include "hash/hash.h"
#include "jobs/jobs.h"
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
};

bool HandOutSingleFile(void *job, int32_t, DigestTask *task)
{
    Entry *entry = static_cast<SingleFileRun *>(job)->entry;
    task->path = entry->path;
    task->kind = utf16(entry->kind);
    task->digest = entry->digest;
    return true;
}

bool TakeSingleFile(void *, int32_t, const DigestTask *)
{
    return true;
}

void ShowSingleFileProgress(void *job)
{
    ShowByteProgress(&static_cast<SingleFileRun *>(job)->progress);
}

// JOB_OUTCOME_OK when the file was measured and read (its digest text is
// filled in), JOB_OUTCOME_FAILED when it cannot be opened or measured (no
// file), JOB_OUTCOME_BAD when it could not be read or Stop abandoned it.
// Digested on a hashing thread, so that the worker shows the bytes read.
int32_t DigestEntryFile(Entry *entry)
{
    uint64_t size = 0;
    if (QueryFileSize(entry->path, &size) != FILE_OK)
        return JOB_OUTCOME_FAILED;
    entry->kind = kind_from_hash_choice(LoadHashChoice());
    SingleFileRun run = {entry, {}};
    StartByteProgress(&run.progress, size, 1);
    RunDigestPipeline(entry->path, 1, HandOutSingleFile, TakeSingleFile, ShowSingleFileProgress,
                      &run, &run.progress.meter);
    if (entry->digest[0] == 0)
        return JOB_OUTCOME_BAD;
    ShowByteProgressDone(&run.progress);
    return JOB_OUTCOME_OK;
}

// A file that cannot be opened, measured or read is reported as a failed
// row and a "BAD" phase, and leaves nothing to save; one that Stop
// abandoned leaves no row at all.
void DigestTargetFile()
{
    Entry *entry = CreateSingleEntryTable();
    if (!entry) {
        ShowOutOfMemoryMessage();
        AddResultRow(g_app.target_path, L"", L"ERROR");
        EndJob(L"BAD", JOB_OUTCOME_FAILED);
        return;
    }
    int32_t outcome = DigestEntryFile(entry);
    if (outcome == JOB_OUTCOME_OK) {
        AddResultRow(entry->path, entry->digest, L"Created");
    } else {
        if (!JobStopRequested())
            AddResultRow(entry->path, L"", L"ERROR");
        ReleaseEntryTable();
    }
    if (!JobStopRequested())
        SetProgressPos(PROGRESS_STEPS);
    EndJob(outcome == JOB_OUTCOME_OK ? L"OK" : L"BAD", outcome);
}

}  // namespace

DWORD WINAPI SingleFileJob(LPVOID)
{
    BeginJob(L"Creating CRC");
    DigestTargetFile();
    return 0;
}

void DispatchPendingJob()
{
    int32_t job = g_app.pending_job;
    if (job < JOB_SINGLE_FILE)
        return;
    SetProgressPos(0);
    ClearResultList();
    ReleaseEntryTable();
    g_app.stopped_scan_total = 0;
    StartJobWorker(job);
}
