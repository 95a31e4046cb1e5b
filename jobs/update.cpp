// Update: the files below a list's folder that it does not name are
// digested and added at the list's end; nothing it held is rewritten.
#include <cstdlib>
#include <cwchar>

#include "worker.h"
#include "list_audit.h"
#include "list_file.h"
#include "listed_files.h"
#include "row_queue.h"
#include "save.h"

namespace {

// A list as it was read, kept to write back in front of the added lines.
struct ReadList {
    uint8_t *bytes;
    uint32_t size;
    ListStyle style;
};

bool IsGoneError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Whether the file an entry names is gone: the file system says there is no
// such file or folder (a file it cannot reach for another reason is not).
bool EntryFileIsGone(const Entry *entry)
{
    sLongPath form;
    bool gone = false;
    if (FormLongPath(entry->path, &form) == FILE_OK)
        gone =
            GetFileAttributesW(form.text) == INVALID_FILE_ATTRIBUTES && IsGoneError(GetLastError());
    ReleaseLongPath(&form);
    return gone;
}

// A "MISSING" row for each entry no walked file matched whose file is gone;
// the entry stays in the list. False when the rows could not be kept.
bool ShowMissingEntries(const bool *named, int32_t count)
{
    RowQueue rows;
    StartRowQueue(&rows, count, 0);
    for (int32_t i = 0; i < count; ++i) {
        const Entry *entry = &g_app.entries[i];
        if (!named[i] && EntryFileIsGone(entry))
            QueueRow(&rows, entry->path, entry->digest, ROW_MISSING);
    }
    PublishRows(&rows);
    return !rows.lost;
}

// The path an added entry gets in the list: relative to the list's folder
// when the list's entries are, else full; with the list's separator.
utf16 *PathAsListed(const ListStyle *style, const ListAudit *audit, const utf16 *path)
{
    const utf16 *written = path;
    if (style->relative) {
        written = path + audit->folder_units;
        if (*written == L'\\')
            ++written;
    }
    utf16 *copy = DuplicateText(written);
    if (copy)
        UseListSeparator(style, copy);
    return copy;
}

void ReleaseAddedEntries(Entry *added, int32_t count)
{
    for (int32_t i = 0; i < count && added; ++i)
        std::free(added[i].path);
    std::free(added);
}

// The entries from `first` on as the list writes them: their digests
// shared with the table, their paths in the list's form. Null without memory.
Entry *AddedEntries(const ReadList *list, const ListAudit *audit, int32_t first, int32_t count)
{
    Entry *added = static_cast<Entry *>(std::calloc(size_t(count) + 1, sizeof(Entry)));
    for (int32_t i = 0; i < count && added; ++i) {
        added[i] = g_app.entries[first + i];
        added[i].path = PathAsListed(&list->style, audit, g_app.entries[first + i].path);
        if (!added[i].path) {
            ReleaseAddedEntries(added, i);
            return nullptr;
        }
    }
    return added;
}

enum WriteBack : int32_t {
    WRITE_BACK_DONE = 0,
    WRITE_BACK_NOTHING = 1,  // no added entry fits the list: it stays untouched
    WRITE_BACK_FAILED = 2,
    WRITE_BACK_CHANGED = 3,
    WRITE_BACK_NO_MEMORY = 4,
};

int32_t WriteBackResult(int replaced)
{
    if (replaced == FILE_OK)
        return WRITE_BACK_DONE;
    return replaced == FILE_ERR_CHANGED ? WRITE_BACK_CHANGED : WRITE_BACK_FAILED;
}

// Writes the list back: its old bytes, then the added entries' lines, in
// place of the old file once the new one is complete and only while the
// file still holds exactly the bytes read at the start.
int32_t WriteBackList(ReadList *list, const ListAudit *audit, int32_t first, int32_t count)
{
    Entry *added = AddedEntries(list, audit, first, count);
    if (!added)
        return WRITE_BACK_NO_MEMORY;
    uint64_t extra = AddedLinesBytes(&list->style, added, count);
    int32_t result = WRITE_BACK_NOTHING;
    if (extra > 0) {
        uint8_t *grown = static_cast<uint8_t *>(std::realloc(list->bytes, list->size + extra));
        if (grown) {
            list->bytes = grown;
            ComposeAddedLines(&list->style, added, count, grown + list->size);
        }
        if (!grown)
            result = WRITE_BACK_NO_MEMORY;
        else
            result = WriteBackResult(
                ReplaceGrownFile(g_app.target_path, grown, list->size + extra, list->size));
    }
    ReleaseAddedEntries(added, count);
    return result;
}

int32_t ShowWriteBackFailure(int32_t written)
{
    if (written == WRITE_BACK_NO_MEMORY)
        return JOB_OUTCOME_NO_MEMORY;
    ShowErrorMessage(written == WRITE_BACK_CHANGED
                         ? L"ERROR: The checksum list changed while it was updated; it was left "
                           L"as it was!"
                         : L"ERROR: Could not update the checksum list; it was left as it was!");
    return JOB_OUTCOME_FAILED;
}

// Reads and parses the list at the target path into the entry table, its
// problem lines as "ERROR" rows. JOB_OUTCOME_OK, JOB_OUTCOME_FAILED (no
// list: shown), or JOB_OUTCOME_NO_MEMORY.
int32_t ReadListToUpdate(ReadList *list)
{
    list->bytes = ReadListFile(g_app.target_path, &list->size);
    if (!list->bytes) {
        AddTalliedRow(L"Could not find item", L"ERROR", ROW_ERROR);
        return JOB_OUTCOME_FAILED;
    }
    ParsedList parsed = {};
    ListProblems problems = {};
    int result = ParseListFile(list->bytes, list->size, &parsed, &problems);
    g_app.entries = parsed.entries;
    g_app.entry_count = parsed.count;
    ShowProblemRows(&problems);
    ReleaseListProblems(&problems);
    if (result != CHECKLIST_OK)
        return JOB_OUTCOME_NO_MEMORY;
    int named_format = ListPathIsTagged(g_app.target_path) ? LIST_FORMAT_TAGGED : LIST_FORMAT_QCX;
    ReadListStyle(list->bytes, list->size, &parsed, named_format, &list->style);
    if (!list->style.appendable ||
        (g_app.entry_count == 0 && !HoldsOnlyByteOrderMark(list->bytes, list->size))) {
        ShowListWithoutEntries();
        return JOB_OUTCOME_FAILED;
    }
    if (list->style.format == LIST_FORMAT_TAGGED && AnchorListedPaths(g_app.target_path) < 0)
        return JOB_OUTCOME_NO_MEMORY;
    return JOB_OUTCOME_OK;
}

void ShowNewFileCount(int32_t count)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"Files: %d", count);
    SetStatusText(STATUS_COUNT, text, false);
}

// Digests the unnamed files into new entries and writes them back.
int32_t AddUnnamedFiles(ReadList *list, ListAudit *audit)
{
    int32_t first = g_app.entry_count;
    int32_t count = audit->unnamed.count;
    ShowNewFileCount(count);
    if (count == 0)
        return JOB_OUTCOME_OK;
    if (!GrowEntryTable(count))
        return JOB_OUTCOME_NO_MEMORY;
    int32_t digested = DigestListedFiles(&audit->unnamed, g_app.target_path);
    // A stopped update leaves the list as it was: it never holds a part of
    // what the user asked to add without saying so.
    if (digested == JOB_OUTCOME_NO_MEMORY || JobStopRequested())
        return digested;
    SetStatusText(STATUS_ACTIVITY, L"Saving", true);
    int32_t written = WriteBackList(list, audit, first, g_app.entry_count - first);
    if (written == WRITE_BACK_DONE || written == WRITE_BACK_NOTHING)
        return digested;
    return ShowWriteBackFailure(written);
}

int32_t UpdateListFile()
{
    ReadList list = {};
    int32_t outcome = ReadListToUpdate(&list);
    if (outcome == JOB_OUTCOME_OK) {
        SetStatusText(STATUS_PHASE, L"Listing directory", true);
        ListAudit audit;
        outcome = AuditListFolder(g_app.target_path, list.style.format == LIST_FORMAT_TAGGED,
                                  g_app.entries, g_app.entry_count, &audit);
        if (outcome == JOB_OUTCOME_OK && !ShowMissingEntries(audit.named, g_app.entry_count))
            outcome = JOB_OUTCOME_NO_MEMORY;
        if (outcome == JOB_OUTCOME_OK)
            outcome = AddUnnamedFiles(&list, &audit);
        ReleaseListAudit(&audit);
    }
    std::free(list.bytes);
    return outcome;
}

}  // namespace

DWORD WINAPI UpdateJob(LPVOID)
{
    SetStatusText(STATUS_ENGINE, L"", true);
    SetStatusText(STATUS_COUNT, L"", true);
    BeginJob(L"Reading file");
    SetProgressPos(0);
    EndJobWithOutcome(UpdateListFile());
    return 0;
}
