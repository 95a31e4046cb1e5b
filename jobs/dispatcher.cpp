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

// True when the file was measured and read: its digest text is filled in.
bool DigestEntryFile(Entry *entry)
{
    entry->kind = kind_from_hash_choice(g_app.hash_choice);
    file_digest_text(utf16(entry->kind), entry->path, entry->digest);
    return entry->digest[0] != 0;
}

// Runs on the user-interface thread; the window handles no messages until
// it returns. A file that cannot be opened, measured or read is reported as
// a failed row and a "BAD" phase, and leaves nothing to save.
void RunSingleFileJob()
{
    BeginJob(L"Creating CRC");
    SetProgressRange(100);
    bool digested = false;
    Entry *entry = CreateSingleEntryTable();
    if (!entry) {
        ShowOutOfMemoryMessage();
        AddResultRow(g_app.target_path, L"", L"ERROR");
    } else if (DigestEntryFile(entry)) {
        AddResultRow(entry->path, entry->digest, L"Created");
        digested = true;
    } else {
        AddResultRow(entry->path, L"", L"ERROR");
        ReleaseEntryTable();
    }
    SetProgressPos(100);
    EndJob(digested ? L"OK" : L"BAD");
    g_app.pending_job = JOB_NONE;
}

} // namespace

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
