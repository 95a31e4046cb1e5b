#include "jobs/jobs.h"

#include <cstdlib>
#include <cwchar>

#include "checklist/checklist.h"
#include "fileio/fileio.h"
#include "hash/hash.h"
#include "pipeline.h"
#include "row_queue.h"

namespace {

// ReadFileWhole counts in 32 bits; a list this large cannot be read.
constexpr uint64_t LIST_SIZE_LIMIT = 0x100000000ull;

void ShowCheckStart()
{
    SetStatusText(STATUS_ENGINE, L"", true);
    SetStatusText(STATUS_COUNT, L"", true);
    BeginJob(L"Reading file");
}

// Reads the list file whole; null when it cannot be read. *bytes: its size.
utf16 *ReadListText(const wchar_t *path, size_t *units, uint32_t *bytes)
{
    uint64_t size = 0;
    if (QueryFileSize(path, &size) != FILE_OK || size >= LIST_SIZE_LIMIT)
        return nullptr;
    uint32_t limit = uint32_t(size);
    void *text = ReadFileWhole(path, &limit);
    SetProgressPos(0);
    if (!text)
        return nullptr;
    *units = limit / sizeof(utf16);
    *bytes = limit;
    return static_cast<utf16 *>(text);
}

// Only an empty file or a lone byte order mark is a list without entries;
// anything else that yields none is not a list this program can check.
bool HoldsOnlyByteOrderMark(const utf16 *text, uint32_t bytes)
{
    return bytes == 0 || (bytes == sizeof(utf16) && text[0] == utf16(0xFEFF));
}

void ShowListWithoutEntries()
{
    SetStatusText(STATUS_COUNT, L"Files: 0", false);
    AddResultRow(g_app.target_path, L"", L"ERROR");
}

struct CheckRun {
    const Entry *entries;
    uint64_t mismatches;
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

// An unreadable file leaves the computed text empty, which never matches,
// not even a stored digest field that starts with a NUL.
bool TakeCheckedEntry(void *job, int32_t index, const DigestTask *task)
{
    CheckRun *run = static_cast<CheckRun *>(job);
    const Entry *entry = &run->entries[index];
    bool match = task->digest[0] != 0 && std::wcscmp(task->digest, entry->digest) == 0;
    if (!match)
        ++run->mismatches;
    QueueRow(&run->rows, entry->path, entry->digest, match ? L"OK" : L"MISMATCH");
    return !run->rows.lost;
}

void ShowQueuedCheckRows(void *job)
{
    PublishRows(&static_cast<CheckRun *>(job)->rows);
}

// Digests every entry's file again; the end phase, or null when memory ran
// out.
const wchar_t *VerifyEntries(const Entry *entries, int32_t n)
{
    SetProgressRange(n);
    wchar_t count_text[32];
    std::swprintf(count_text, 32, L"Files: %d", n);
    SetStatusText(STATUS_COUNT, count_text, false);
    SetStatusText(STATUS_PHASE, L"Checking CRC", true);

    CheckRun run = {entries, 0, {}};
    StartRowQueue(&run.rows, n);
    RunDigestPipeline(g_app.target_path, n, HandOutListedEntry, TakeCheckedEntry, ShowQueuedCheckRows, &run);
    PublishRows(&run.rows);
    if (run.rows.lost)
        return nullptr;
    SetProgressPos(n);
    return run.mismatches ? L"BAD" : L"OK";
}

// The end phase of checking the list at the target path; null when memory
// ran out.
const wchar_t *CheckListFile()
{
    size_t units = 0;
    uint32_t bytes = 0;
    utf16 *text = ReadListText(g_app.target_path, &units, &bytes);
    if (!text) {
        // A list file that cannot be measured or read, or is too large to read.
        AddResultRow(L"Could not find item", L"ERROR", L"ERROR");
        return L"BAD";
    }
    ParsedList list = {};
    int parsed = ParseChecksumList(text, units, &list);
    bool empty_list = HoldsOnlyByteOrderMark(text, bytes);
    std::free(text);
    // The table holds what was read even when memory ran out, so the next
    // job releases it and Save writes the list that was read.
    g_app.entries = list.entries;
    g_app.entry_count = list.count;
    if (parsed != CHECKLIST_OK)
        return nullptr;
    if (list.count == 0 && !empty_list) {
        ShowListWithoutEntries();
        return L"BAD";
    }
    return VerifyEntries(list.entries, list.count);
}

} // namespace

DWORD WINAPI CheckJob(LPVOID)
{
    ShowCheckStart();
    SetProgressPos(0);
    const wchar_t *phase = CheckListFile();
    if (phase)
        EndJob(phase);
    else
        EndJobOutOfMemory();
    return 0;
}
