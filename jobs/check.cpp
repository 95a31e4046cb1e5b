#include "worker.h"

#include <cstdlib>
#include <cwchar>

#include "checklist/checklist.h"
#include "fileio/fileio.h"
#include "hash/file_digest.h"
#include "list_audit.h"
#include "list_file.h"
#include "pipeline.h"
#include "row_queue.h"

namespace {

void ShowCheckStart()
{
    SetStatusText(STATUS_ENGINE, L"", true);
    SetStatusText(STATUS_COUNT, L"", true);
    BeginJob(L"Reading file");
}

struct CheckRun {
    const Entry *entries;
    uint64_t problems;
    bool out_of_memory;
    RowQueue rows;
};

// A device is never opened: a port can block the job for ever, a raw disk
// reads for hours. Its task keeps its place with nothing to read.
bool HandOutListedEntry(void *job, int32_t index, DigestTask *task)
{
    const Entry *entry = &static_cast<CheckRun *>(job)->entries[index];
    task->path = IsDevicePath(entry->path) ? nullptr : entry->path;
    task->kind = utf16(entry->kind);
    return true;
}

// Only a file read whole is compared; the open's own answer tells a file
// that is not there from one that could not be read.
RowStatus CheckedStatus(const DigestTask *task, const Entry *entry)
{
    if (task->result == FILE_DIGEST_NOT_FOUND)
        return ROW_MISSING;
    if (task->result != FILE_DIGEST_DONE)
        return ROW_ERROR;
    return std::wcscmp(task->digest, entry->digest) == 0 ? ROW_OK : ROW_MISMATCH;
}

// After Stop no row is made: the file may have been abandoned part-way.
bool TakeCheckedEntry(void *job, int32_t index, const DigestTask *task)
{
    if (JobStopRequested())
        return false;
    CheckRun *run = static_cast<CheckRun *>(job);
    if (task->result == FILE_DIGEST_NO_MEMORY) {
        run->out_of_memory = true;
        return false;
    }
    ++g_app.tally.files_done;
    const Entry *entry = &run->entries[index];
    RowStatus status = CheckedStatus(task, entry);
    if (status != ROW_OK)
        ++run->problems;
    g_app.tally.bytes_read += task->bytes_read;
    QueueRow(&run->rows, entry->path, entry->digest, status);
    return !run->rows.lost;
}

void ShowQueuedCheckRows(void *job)
{
    PublishRows(&static_cast<CheckRun *>(job)->rows);
}

// Digests every entry's file again; JOB_OUTCOME_OK or JOB_OUTCOME_BAD, or
// JOB_OUTCOME_NO_MEMORY when the pipeline, a read block or the rows could
// not be had.
int32_t VerifyEntries(const Entry *entries, int32_t n)
{
    wchar_t count_text[32];
    std::swprintf(count_text, 32, L"Files: %d", n);
    SetStatusText(STATUS_COUNT, count_text, false);
    SetStatusText(STATUS_PHASE, L"Checking CRC", true);

    CheckRun run = {entries, 0, false, {}};
    // A list holds no sizes: the files opened stand for the rest.
    g_app.tally.files += n;
    StartRowQueue(&run.rows, n, 0);
    int32_t taken = RunDigestPipeline(g_app.target_path, n, HandOutListedEntry, TakeCheckedEntry,
                                      ShowQueuedCheckRows, &run, &run.rows.progress.meter);
    PublishRows(&run.rows);
    if (taken == DIGEST_PIPELINE_NO_MEMORY || run.out_of_memory || run.rows.lost)
        return JOB_OUTCOME_NO_MEMORY;
    if (!JobStopRequested())
        ShowByteProgressDone(&run.rows.progress);
    return run.problems ? JOB_OUTCOME_BAD : JOB_OUTCOME_OK;
}

// Adds every file below the list's folder that no entry names to the entry
// table without a digest (Save leaves it out), each shown as a "NEW" row,
// and each folder that could not all be listed as an "ERROR" row. The
// number of those folders, or -1 when memory ran out.
int32_t ShowUnnamedFiles(sListDir *unnamed)
{
    int32_t n = unnamed->count;
    if (!GrowEntryTable(n))
        return -1;
    RowQueue rows;
    StartRowQueue(&rows, n, 0);
    int32_t unlisted = 0;
    char kind = KindOfHashChoice(LoadHashChoice())->letter;
    for (int32_t i = 0; i < n; ++i) {
        bool folder = IsUnlistedFolder(&unnamed->items[i]) != 0;
        Entry entry = {kind, static_cast<utf16 *>(std::calloc(1, sizeof(utf16))),
                       TakeItemPath(&unnamed->items[i])};
        if (!entry.digest) {
            std::free(entry.path);
            return -1;
        }
        g_app.entries[g_app.entry_count++] = entry;
        QueueRow(&rows, entry.path, entry.digest, folder ? ROW_ERROR : ROW_NEW);
        unlisted += folder ? 1 : 0;
    }
    PublishRows(&rows);
    return rows.lost ? -1 : unlisted;
}

// The files below the list's folder that no entry names, after the check's
// rows; the number of folders that could not all be listed, or -1 when
// memory ran out.
int32_t ListNewFiles(bool tagged)
{
    SetStatusText(STATUS_PHASE, L"Listing directory", true);
    ListAudit audit;
    int32_t unlisted = -1;
    if (AuditListFolder(g_app.target_path, tagged, g_app.entries, g_app.entry_count, &audit) ==
        JOB_OUTCOME_OK)
        unlisted = ShowUnnamedFiles(&audit.unnamed);
    ReleaseListAudit(&audit);
    return unlisted;
}

// The outcome of checking the list at the target path, or
// JOB_OUTCOME_NO_MEMORY. A list that cannot be read, or yields no entry, is
// a check that could not run; lines that gave no entry make it "BAD", new
// files (`list_new_files`) do not.
int32_t CheckListFile(bool list_new_files)
{
    uint32_t bytes = 0;
    uint8_t *file = ReadListFile(g_app.target_path, &bytes);
    if (!file) {
        // A list file that cannot be measured or read, or is too large to read.
        AddTalliedRow(L"Could not find item", L"ERROR", ROW_ERROR);
        return JOB_OUTCOME_FAILED;
    }
    ParsedList list = {};
    ListProblems problems = {};
    bool tagged = DetectListFormat(file, bytes) == LIST_FORMAT_TAGGED;
    int parsed = ParseListFile(file, bytes, &list, &problems);
    bool empty_list = HoldsOnlyByteOrderMark(file, bytes);
    std::free(file);
    // The table holds what was read even when memory ran out, so the next
    // job releases it and Save writes the list that was read.
    g_app.entries = list.entries;
    g_app.entry_count = list.count;
    ShowProblemRows(&problems);
    int32_t listing_errors = problems.count;
    ReleaseListProblems(&problems);
    if (parsed != CHECKLIST_OK)
        return JOB_OUTCOME_NO_MEMORY;
    if (tagged) {
        int32_t unanchored = AnchorListedPaths(g_app.target_path);
        if (unanchored < 0)
            return JOB_OUTCOME_NO_MEMORY;
        listing_errors += unanchored;
    }
    if (g_app.entry_count == 0 && !empty_list) {
        ShowListWithoutEntries();
        return JOB_OUTCOME_FAILED;
    }
    int32_t outcome = VerifyEntries(g_app.entries, g_app.entry_count);
    // A stopped check lists nothing more.
    if (list_new_files && outcome != JOB_OUTCOME_NO_MEMORY && !JobStopRequested()) {
        int32_t unlisted = ListNewFiles(tagged);
        if (unlisted < 0)
            return JOB_OUTCOME_NO_MEMORY;
        listing_errors += unlisted;
    }
    return listing_errors && outcome == JOB_OUTCOME_OK ? JOB_OUTCOME_BAD : outcome;
}

}  // namespace

DWORD WINAPI CheckJob(LPVOID)
{
    ShowCheckStart();
    SetProgressPos(0);
    EndJobWithOutcome(CheckListFile(g_app.list_new_files != 0));
    return 0;
}
