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

// Without memory for the table or an entry the scan ends as a failed one:
// the rows made so far stay and are countable.
void EndOutOfMemory()
{
    ShowErrorMessage(L"ERROR: Not enough free memory!");
    EndJob(L"BAD");
}

} // namespace

DWORD WINAPI FolderScanJob(LPVOID)
{
    SetStatusText(STATUS_ACTIVITY, L"Work", true);
    SetStatusText(STATUS_PHASE, L"Listing directory", true);
    sListDir listing;
    ListDirInit(&listing);
    // A walk cut short by memory would pass for the whole folder.
    int walked = ListDirRecursive(g_app.target_path, &listing);
    int32_t n = listing.count;
    if (walked != 0) {
        ListDirFree(&listing);
        g_app.entry_count = 0;
        EndOutOfMemory();
        return 0;
    }
    if (n == 0) {
        ListDirFree(&listing);
        g_app.entry_count = 0;
        EndJob(L"Files not found");
        return 0;
    }

    Entry *table = static_cast<Entry *>(std::calloc(size_t(n), sizeof(Entry)));
    g_app.entries = table;
    if (!table) {
        ListDirFree(&listing);
        EndOutOfMemory();
        return 0;
    }
    SetProgressRange(n);
    SetStatusText(STATUS_PHASE, L"Creating CRC", true);

    int32_t failed = 0;
    int32_t done = 0;
    for (; done < n; ++done) {
        int read = DigestListedFile(&table[done], &listing.items[done]);
        if (read < 0)
            break;
        if (read == 0)
            ++failed;
        AddResultRow(table[done].path, table[done].digest, read ? L"Created" : L"ERROR");
        if (done % 5 == 3) {
            SetProgressPos(done);
            ShowWorkPercentage(done, n);
        }
    }
    if (done < n) {
        // The entry that ran out of memory may hold one of its texts.
        std::free(table[done].path);
        std::free(table[done].digest);
        table[done].path = nullptr;
        table[done].digest = nullptr;
        g_app.entry_count = done;
        ListDirFree(&listing);
        EndOutOfMemory();
        return 0;
    }

    SetProgressPos(n);
    g_app.entry_count = n;
    ListDirFree(&listing);
    EndJob(failed ? L"BAD" : L"OK");
    return 0;
}
