#include "worker.h"

#include <cstdlib>

#include "fileio/fileio.h"
#include "listed_files.h"

namespace {

// Digests every listed file into a new entry table, a row each, in listing
// order. The outcome, or JOB_OUTCOME_NO_MEMORY: the rows made so far stay,
// counted. After Stop the table holds the files digested before it, and
// the listing's count is kept for Save to tell.
int32_t DigestListing(sListDir *listing)
{
    Entry *table = static_cast<Entry *>(std::calloc(size_t(listing->count), sizeof(Entry)));
    g_app.entries = table;
    if (!table)
        return JOB_OUTCOME_NO_MEMORY;
    int32_t outcome = DigestListedFiles(listing, g_app.target_path);
    if (outcome != JOB_OUTCOME_NO_MEMORY && JobStopRequested())
        g_app.stopped_scan_total = listing->count;
    return outcome;
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

}  // namespace

DWORD WINAPI FolderScanJob(LPVOID)
{
    BeginJob(L"Listing directory");
    sListDir listing;
    ListDirInit(&listing);
    ScanFolder(&listing);
    ListDirFree(&listing);
    return 0;
}
