#include <cstdlib>
#include <cwchar>

#include "fileio/fileio.h"
#include "hash/hash.h"
#include "jobs/jobs.h"

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

// JOB_OUTCOME_OK when the file was measured and read (its digest text is
// filled in), JOB_OUTCOME_FAILED when it cannot be opened or measured (no
// file), JOB_OUTCOME_BAD when it could not be read.
int32_t DigestEntryFile(Entry *entry)
{
    entry->kind = kind_from_hash_choice(g_app.hash_choice);
    file_digest_text(utf16(entry->kind), entry->path, entry->digest);
    if (entry->digest[0] != 0)
        return JOB_OUTCOME_OK;
    // Only a failure opens the file again: one that is not there at all is
    // a job that could not run, one that could not be read a failed digest.
    uint64_t size = 0;
    return QueryFileSize(entry->path, &size) == FILE_OK ? JOB_OUTCOME_BAD : JOB_OUTCOME_FAILED;
}

// Runs on the user-interface thread; the window handles no messages until
// it returns. A file that cannot be opened, measured or read is reported as
// a failed row and a "BAD" phase, and leaves nothing to save.
void RunSingleFileJob()
{
    BeginJob(L"Creating CRC");
    SetProgressRange(100);
    int32_t outcome = JOB_OUTCOME_FAILED;
    Entry *entry = CreateSingleEntryTable();
    if (!entry) {
        ShowOutOfMemoryMessage();
        AddResultRow(g_app.target_path, L"", L"ERROR");
    } else if ((outcome = DigestEntryFile(entry)) == JOB_OUTCOME_OK) {
        AddResultRow(entry->path, entry->digest, L"Created");
    } else {
        AddResultRow(entry->path, L"", L"ERROR");
        ReleaseEntryTable();
    }
    SetProgressPos(100);
    EndJob(outcome == JOB_OUTCOME_OK ? L"OK" : L"BAD", outcome);
    g_app.pending_job = JOB_NONE;
}

}  // namespace

void DispatchPendingJob()
{
    int32_t job = g_app.pending_job;
    if (job < JOB_SINGLE_FILE)
        return;
    SetProgressPos(0);
    ClearResultList();
    ReleaseEntryTable();
    if (job == JOB_SINGLE_FILE)
        RunSingleFileJob();
    else
        StartJobWorker(job);
}
