#include <cstdlib>
#include <cwchar>

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

// JOB_OUTCOME_OK when the file was read (its digest text is filled in),
// JOB_OUTCOME_FAILED when the open found no file (a job that could not run),
// JOB_OUTCOME_BAD when it is there but could not be read.
int32_t DigestEntryFile(Entry *entry)
{
    entry->kind = KindOfHashChoice(g_app.hash_choice)->letter;
    file_digest_buffer buffer = {};
    file_digest_result result = file_digest_text_with(
        utf16(entry->kind), entry->path, entry->digest, &buffer, &g_app.tally.bytes_read);
    release_file_digest_buffer(&buffer);
    if (result == FILE_DIGEST_DONE)
        return JOB_OUTCOME_OK;
    return result == FILE_DIGEST_NOT_FOUND ? JOB_OUTCOME_FAILED : JOB_OUTCOME_BAD;
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
        AddTalliedRow(g_app.target_path, L"", ROW_ERROR);
    } else if ((outcome = DigestEntryFile(entry)) == JOB_OUTCOME_OK) {
        AddTalliedRow(entry->path, entry->digest, ROW_CREATED);
    } else {
        AddTalliedRow(entry->path, L"", ROW_ERROR);
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
    StartJobTally(job);
    SetProgressPos(0);
    ClearResultList();
    ReleaseEntryTable();
    if (job == JOB_SINGLE_FILE)
        RunSingleFileJob();
    else
        StartJobWorker(job);
}
