// Files dropped on the main window request a job like the pickers do.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "checklist/checklist.h"
#include "fileio/fileio.h"
#include "jobs/jobs.h"
#include "window/window.h"

namespace {

// Enough lines of any list to tell it from other files.
constexpr uint32_t LIST_HEAD_BYTES = 65536;

bool IsKindLetter(uint8_t byte)
{
    return byte < 0x80 && FindKind(utf16(byte)) != nullptr;
}

bool StartsLikeQcxLine(const uint8_t *bytes, size_t size)
{
    size_t at = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE ? 2 : 0;
    return size >= at + 4 && IsKindLetter(bytes[at]) && bytes[at + 1] == 0 &&
           bytes[at + 2] == '\t' && bytes[at + 3] == 0;
}

// The head cut after its last complete line: a line cut off by the head's
// end would count as a bad one. A UTF-16 text's line feed is two bytes.
size_t CompleteLinesBytes(const uint8_t *bytes, size_t size, bool whole)
{
    if (whole)
        return size;
    bool wide = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    for (size_t end = size; end-- > 0;) {
        if (bytes[end] != '\n')
            continue;
        if (!wide)
            return end + 1;
        if (end % 2 == 0 && end + 1 < size && bytes[end + 1] == 0)
            return end + 2;
    }
    return 0;
}

bool ParsesAsTaggedList(const uint8_t *bytes, size_t size)
{
    ParsedList list = {};
    ListProblems problems = {};
    int parsed = ParseListFile(bytes, size, &list, &problems);
    bool is_list = parsed == CHECKLIST_OK && list.count > 0 && list.count > problems.count;
    ReleaseParsedList(&list);
    ReleaseListProblems(&problems);
    return is_list;
}

bool IsFolder(const wchar_t *path)
{
    sLongPath form;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (FormLongPath(path, &form) == FILE_OK)
        attributes = GetFileAttributesW(form.text);
    ReleaseLongPath(&form);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file's size and head come through one open.
bool HoldsChecksumList(const wchar_t *path)
{
    uint8_t *head = static_cast<uint8_t *>(std::malloc(LIST_HEAD_BYTES));
    sOpenFile file;
    if (!head || OpenFileForReading(path, &file) != FILE_OK) {
        std::free(head);
        return false;
    }
    uint64_t size = 0;
    uint32_t length = LIST_HEAD_BYTES;
    bool is_list = QueryOpenFileSize(&file, &size) == FILE_OK &&
                   ReadOpenFileAt(&file, head, 0, &length) == FILE_OK &&
                   LooksLikeChecksumList(head, length, size <= length);
    CloseOpenFile(&file);
    std::free(head);
    return is_list;
}

// A folder scans, a checksum list checks, anything else is digested; a path
// that cannot be read at all is digested too, so the user sees its error row.
int32_t JobForDroppedPath(const wchar_t *path)
{
    if (IsFolder(path))
        return JOB_FOLDER_SCAN;
    return HoldsChecksumList(path) ? JOB_CHECK : JOB_SINGLE_FILE;
}

}  // namespace

bool LooksLikeChecksumList(const uint8_t *bytes, size_t size, bool whole)
{
    if (DetectListFormat(bytes, size) == LIST_FORMAT_QCX)
        return StartsLikeQcxLine(bytes, size);
    return ParsesAsTaggedList(bytes, CompleteLinesBytes(bytes, size, whole));
}

void HandleDroppedFiles(HDROP drop)
{
    if (g_app.pending_job != JOB_NONE || JobRunning())
        return;
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1)
        return;
    UINT units = DragQueryFileW(drop, 0, nullptr, 0);
    wchar_t *path = static_cast<wchar_t *>(std::malloc((size_t(units) + 1) * sizeof(wchar_t)));
    if (!path)
        return;
    if (units > 0 && DragQueryFileW(drop, 0, path, units + 1) == units)
        RequestJob(path, JobForDroppedPath(path));
    std::free(path);
}
