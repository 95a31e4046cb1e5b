#include "jobs/jobs.h"

#include <cstdlib>
#include <cwchar>

#include "fileio/fileio.h"
#include "hash/hash.h"

namespace {

// Fills one entry and digests its file; an unlisted folder gets an entry
// with an empty digest text and is not read. Returns 1 when the file was
// read, 0 when it was not (the digest text stays empty), -1 without memory.
int DigestListedFile(Entry *entry, const sDirItem *item)
{
    entry->path = DuplicateText(item->full_path);
    entry->kind = kind_from_hash_choice(LoadHashChoice());
    entry->digest = static_cast<utf16 *>(
        std::calloc(size_t(kind_digest_length(utf16(entry->kind))) + 1, sizeof(utf16)));
    if (!entry->path || !entry->digest)
        return -1;
    if (IsUnlistedFolder(item))
        return 0;
    file_digest_text(utf16(entry->kind), entry->path, entry->digest);
    return entry->digest[0] != 0 ? 1 : 0;
}

void ReleaseEntryTexts(Entry *entry)
{
    std::free(entry->path);
    std::free(entry->digest);
    entry->path = nullptr;
    entry->digest = nullptr;
}

// Digests every listed file into a new entry table, a row each. The outcome,
// or JOB_OUTCOME_NO_MEMORY: the rows made so far stay, counted.
int32_t DigestListing(const sListDir *listing)
{
    int32_t n = listing->count;
    Entry *table = static_cast<Entry *>(std::calloc(size_t(n), sizeof(Entry)));
    g_app.entries = table;
    if (!table)
        return JOB_OUTCOME_NO_MEMORY;
    SetProgressRange(n);
    SetStatusText(STATUS_PHASE, L"Creating CRC", true);

    int32_t failed = 0;
    for (int32_t done = 0; done < n; ++done) {
        int read = DigestListedFile(&table[done], &listing->items[done]);
        if (read < 0) {
            // The entry that ran out of memory may hold one of its texts.
            ReleaseEntryTexts(&table[done]);
            g_app.entry_count = done;
            return JOB_OUTCOME_NO_MEMORY;
        }
        if (read == 0)
            ++failed;
        AddResultRow(table[done].path, table[done].digest, read ? L"Created" : L"ERROR");
        ReportItemProgress(done, n);
    }
    SetProgressPos(n);
    g_app.entry_count = n;
    return failed ? JOB_OUTCOME_BAD : JOB_OUTCOME_OK;
}

// Ends the scan of the target folder.
void ScanFolder(sListDir *listing)
{
    // A walk cut short by memory would pass for the whole folder.
    if (ListDirRecursive(g_app.target_path, listing) != 0)
        EndJobOutOfMemory();
    else if (listing->count == 0)
        EndJob(L"Files not found", JOB_OUTCOME_FAILED);
    else
        EndJobWithOutcome(DigestListing(listing));
}

} // namespace

DWORD WINAPI FolderScanJob(LPVOID)
{
    BeginJob(L"Listing directory");
    sListDir listing;
    ListDirInit(&listing);
    ScanFolder(&listing);
    ListDirFree(&listing);
    return 0;
}
