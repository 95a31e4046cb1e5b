// Update: the files below a list's folder that it does not name are
// digested and added at the list's end; nothing it held is rewritten.
#include <cstdlib>
#include <cwchar>

#include "worker.h"
#include "list_audit.h"
#include "list_file.h"
#include "listed_files.h"
#include "pipeline.h"
#include "row_queue.h"
#include "save.h"

namespace {

// A list as it was read, kept to write back in front of the added lines.
struct ReadList {
    uint8_t *bytes;
    uint32_t size;
    ListStyle style;
    KindMask *candidates;  // per entry, the kinds it may be; null: all settled
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
    int result = ParseNamedListFile(list->bytes, list->size, g_app.target_path, &parsed, &problems);
    g_app.entries = parsed.entries;
    g_app.entry_count = parsed.count;
    list->candidates = parsed.candidates;
    ShowProblemRows(&problems);
    ReleaseListProblems(&problems);
    if (result != CHECKLIST_OK)
        return JOB_OUTCOME_NO_MEMORY;
    ReadNamedListStyle(list->bytes, list->size, &parsed, g_app.target_path, &list->style);
    if (!list->style.appendable ||
        (g_app.entry_count == 0 && !HoldsOnlyByteOrderMark(list->bytes, list->size))) {
        ShowListWithoutEntries();
        return JOB_OUTCOME_FAILED;
    }
    if (IsTextListFormat(list->style.format) &&
        AnchorListedPaths(g_app.target_path, list->candidates) < 0)
        return JOB_OUTCOME_NO_MEMORY;
    return JOB_OUTCOME_OK;
}

// The kind of the first listed file that one of its open kinds matches, read
// once with all of them; null when no file matches (or Stop was chosen).
const KindInfo *KindTheFilesMatch(const KindMask *candidates)
{
    file_digest_buffer buffer = {};
    WatchDigestBuffer(&buffer, nullptr);
    const KindInfo *found = nullptr;
    for (int32_t i = 0; i < g_app.entry_count && !found && !JobStopRequested(); ++i) {
        utf16 kinds[FILE_DIGEST_MAX_KINDS];
        utf16 texts[FILE_DIGEST_MAX_KINDS][DIGEST_TEXT_CAPACITY];
        utf16 *outs[FILE_DIGEST_MAX_KINDS];
        int32_t count = 0;
        for (const KindInfo &kind : g_kinds)
            if ((candidates[i] & KindBit(&kind)) && count < FILE_DIGEST_MAX_KINDS) {
                outs[count] = texts[count];
                kinds[count++] = utf16(kind.letter);
            }
        uint64_t bytes_read = 0;
        if (count == 0 || IsDevicePath(g_app.entries[i].path) ||
            file_digests_text_with(kinds, count, g_app.entries[i].path, outs, &buffer,
                                   &bytes_read) != FILE_DIGEST_DONE)
            continue;
        for (int32_t k = 0; k < count && !found; ++k)
            if (std::wcscmp(texts[k], g_app.entries[i].digest) == 0)
                found = FindKind(kinds[k]);
    }
    release_file_digest_buffer(&buffer);
    return found;
}

// A list of one algorithm (GNU, SFV) that does not say which: its files tell,
// so that the added lines are of the same. JOB_OUTCOME_OK, or
// JOB_OUTCOME_FAILED when none tells (shown).
int32_t LearnListKind(ReadList *list)
{
    bool one_kind = list->style.format == LIST_FORMAT_GNU || list->style.format == LIST_FORMAT_SFV;
    if (!one_kind || list->style.kind != 0 || !list->candidates || g_app.entry_count == 0)
        return JOB_OUTCOME_OK;
    SetStatusText(STATUS_PHASE, L"Finding the algorithm", true);
    const KindInfo *kind = KindTheFilesMatch(list->candidates);
    if (!kind) {
        if (!JobStopRequested())
            ShowErrorMessage(L"ERROR: No file the list names matches its digest in any algorithm "
                             L"of that length, so no line can be added in the same one; the list "
                             L"was left as it was!");
        return JOB_OUTCOME_FAILED;
    }
    list->style.kind = kind->letter;
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
    // A list of one algorithm grows in that one, whatever Options say.
    int32_t digested = DigestListedFiles(&audit->unnamed, g_app.target_path, list->style.kind);
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
    if (outcome == JOB_OUTCOME_OK)
        outcome = LearnListKind(&list);
    if (outcome == JOB_OUTCOME_OK) {
        SetStatusText(STATUS_PHASE, L"Listing directory", true);
        ListAudit audit;
        outcome = AuditListFolder(g_app.target_path, IsTextListFormat(list.style.format),
                                  g_app.entries, g_app.entry_count, &audit);
        if (outcome == JOB_OUTCOME_OK && !ShowMissingEntries(audit.named, g_app.entry_count))
            outcome = JOB_OUTCOME_NO_MEMORY;
        if (outcome == JOB_OUTCOME_OK)
            outcome = AddUnnamedFiles(&list, &audit);
        ReleaseListAudit(&audit);
    }
    std::free(list.bytes);
    std::free(list.candidates);
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
