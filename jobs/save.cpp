#include "save.h"

#include <cstdlib>
#include <cwchar>

#include "checklist/checklist.h"
#include "fileio/fileio.h"
#include "worker.h"

namespace {

constexpr wchar_t BYTE_ORDER_MARK = 0xFEFF;

// BOM and body in one buffer, so the temporary file gets written in one go.
void *ComposeQcxFile(uint64_t *bytes)
{
    uint64_t units = 1 + ComposedListUnits(g_app.entries, g_app.entry_count);
    if (units > SIZE_MAX / sizeof(wchar_t))
        return nullptr;
    wchar_t *text = static_cast<wchar_t *>(std::malloc(size_t(units) * sizeof(wchar_t)));
    if (!text)
        return nullptr;
    text[0] = BYTE_ORDER_MARK;
    ComposeChecksumList(g_app.entries, g_app.entry_count, text + 1);
    *bytes = units * sizeof(wchar_t);
    return text;
}

// The tagged body alone: no byte order mark. A list of no line is an empty
// file, which still needs a buffer to write from.
void *ComposeTaggedFile(uint64_t *bytes)
{
    uint64_t size = TaggedListBytes(g_app.entries, g_app.entry_count);
    if (size >= SIZE_MAX)
        return nullptr;
    char *text = static_cast<char *>(std::malloc(size_t(size) + 1));
    if (!text)
        return nullptr;
    ComposeTaggedList(g_app.entries, g_app.entry_count, text);
    *bytes = size;
    return text;
}

int32_t CountLeftOutOfTaggedList()
{
    int32_t left_out = 0;
    for (int32_t i = 0; i < g_app.entry_count; ++i)
        if (EntryIsListed(&g_app.entries[i]) && !EntryFitsTaggedList(&g_app.entries[i]))
            ++left_out;
    return left_out;
}

bool SameTextIgnoringAsciiCase(const wchar_t *a, const wchar_t *b)
{
    for (; *a && *b; ++a, ++b) {
        wchar_t x = *a >= L'A' && *a <= L'Z' ? wchar_t(*a - L'A' + L'a') : *a;
        wchar_t y = *b >= L'A' && *b <= L'Z' ? wchar_t(*b - L'A' + L'a') : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
}

}  // namespace

const wchar_t *SaveNameExtension(const wchar_t *path)
{
    const wchar_t *name = path;
    for (const wchar_t *p = path; *p; ++p)
        if (IsPathSeparator(*p))
            name = p + 1;
    return std::wcsrchr(name, L'.');
}

bool ListPathIsTagged(const wchar_t *path)
{
    const wchar_t *extension = SaveNameExtension(path);
    return extension && extension[1] && !SameTextIgnoringAsciiCase(extension, L".qcx");
}

int WriteChecksumList(const wchar_t *path, int32_t *left_out)
{
    bool tagged = ListPathIsTagged(path);
    if (left_out)
        *left_out = tagged ? CountLeftOutOfTaggedList() : 0;
    uint64_t bytes = 0;
    void *text = tagged ? ComposeTaggedFile(&bytes) : ComposeQcxFile(&bytes);
    int result = text ? ReplaceFileWhole(path, text, bytes) : FILE_ERR_IO;
    std::free(text);
    return result;
}

int32_t ListedEntryCount()
{
    int32_t listed = 0;
    for (int32_t i = 0; i < g_app.entry_count; ++i)
        if (EntryIsListed(&g_app.entries[i]))
            ++listed;
    return listed;
}

int SaveChecksumListTo(const wchar_t *path, int32_t *left_out)
{
    SetStatusText(STATUS_ACTIVITY, L"Saving", true);
    int32_t unwritten = 0;
    int result = WriteChecksumList(path, &unwritten);
    SetStatusText(STATUS_ACTIVITY, L"Ready", true);
    if (left_out)
        *left_out = result == FILE_OK ? unwritten : 0;
    if (result != FILE_OK) {
        ShowErrorMessage(L"ERROR: Could not save the checksum list!");
    } else if (unwritten > 0) {
        wchar_t text[160];
        std::swprintf(text, 160,
                      L"ERROR: %ld files were left out of the list: their names cannot be written "
                      L"in this list format!",
                      long(unwritten));
        ShowErrorMessage(text);
    }
    return result;
}
