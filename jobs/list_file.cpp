#include "list_file.h"

#include <cstdlib>
#include <cstring>

#include "fileio/fileio.h"
#include "worker.h"

namespace {

// ReadFileWhole counts in 32 bits; a list this large cannot be read.
constexpr uint64_t LIST_SIZE_LIMIT = 0x100000000ull;

}  // namespace

uint8_t *ReadListFile(const wchar_t *path, uint32_t *bytes)
{
    uint64_t size = 0;
    if (QueryFileSize(path, &size) != FILE_OK || size >= LIST_SIZE_LIMIT)
        return nullptr;
    uint32_t limit = uint32_t(size);
    void *file = ReadFileWhole(path, &limit);
    SetProgressPos(0);
    if (!file)
        return nullptr;
    *bytes = limit;
    return static_cast<uint8_t *>(file);
}

bool HoldsOnlyByteOrderMark(const uint8_t *file, uint32_t bytes)
{
    return bytes == 0 || (bytes == 2 && StartsWithUtf16Mark(file, bytes));
}

void ShowListWithoutEntries()
{
    SetStatusText(STATUS_COUNT, L"Files: 0", false);
    AddTalliedRow(g_app.target_path, L"", ROW_ERROR);
}

int32_t AnchorListedPaths(const wchar_t *list_path)
{
    int32_t kept = 0;
    int32_t dropped = 0;
    for (int32_t i = 0; i < g_app.entry_count; ++i) {
        Entry entry = g_app.entries[i];
        bool anchored = true;
        wchar_t *path = AnchorListedPath(list_path, entry.path, &anchored);
        if (!path) {
            // Close the gap left by dropped entries before giving up.
            std::memmove(&g_app.entries[kept], &g_app.entries[i],
                         sizeof(Entry) * size_t(g_app.entry_count - i));
            g_app.entry_count -= dropped;
            return -1;
        }
        if (!anchored) {
            AddTalliedRow(entry.path, entry.digest, ROW_ERROR);
            std::free(entry.path);
            std::free(entry.digest);
            ++dropped;
            continue;
        }
        if (path != entry.path)
            std::free(entry.path);
        entry.path = path;
        g_app.entries[kept++] = entry;
    }
    g_app.entry_count = kept;
    return dropped;
}

void ShowProblemRows(const ListProblems *problems)
{
    for (int32_t i = 0; i < problems->count; ++i)
        AddTalliedRow(problems->items[i].text, L"", ROW_ERROR);
}

bool GrowEntryTable(int32_t more)
{
    size_t wanted = size_t(g_app.entry_count) + size_t(more);
    Entry *grown = static_cast<Entry *>(std::realloc(g_app.entries, (wanted + 1) * sizeof(Entry)));
    if (!grown)
        return false;
    g_app.entries = grown;
    return true;
}
