#include "save.h"

#include <cstdlib>
#include <cwchar>

#include "checklist/checklist.h"
#include "fileio/fileio.h"
#include "worker.h"

namespace {

int SaveResultOfComposition(int composed)
{
    switch (composed) {
    case CHECKLIST_ERR_MIXED_KINDS:
        return SAVE_REFUSED_MIXED_KINDS;
    case CHECKLIST_ERR_KIND_NOT_HELD:
        return SAVE_REFUSED_KIND_NOT_HELD;
    default:
        return FILE_ERR_IO;
    }
}

// What the user reads when a list could not be written: a refusal names
// the formats that hold any entries.
const wchar_t *SaveFailureText(int result)
{
    switch (result) {
    case SAVE_REFUSED_MIXED_KINDS:
        return L"ERROR: A list of this type holds one algorithm, and these files were digested "
               L"with several. Nothing was saved: save it as a .qcx list, or as a tagged list "
               L"(.txt), which hold every algorithm.";
    case SAVE_REFUSED_KIND_NOT_HELD:
        return L"ERROR: A list of this type cannot hold these digests (an .sfv list holds CRC-32, "
               L"a name such as SHA256SUMS or list.md5 its own algorithm). Nothing was saved: save "
               L"it as a .qcx list, or as a tagged list (.txt), which hold every algorithm.";
    default:
        return L"ERROR: Could not save the checksum list!";
    }
}

}  // namespace

const wchar_t *SaveNameExtension(const wchar_t *path)
{
    return std::wcsrchr(FileNameOf(path), L'.');
}

bool SaveNameNeedsExtension(const wchar_t *path)
{
    return !SaveNameExtension(path) && !KindOfListName(path);
}

int WriteChecksumList(const wchar_t *path, int32_t *left_out)
{
    uint8_t *file = nullptr;
    uint64_t bytes = 0;
    int32_t unwritten = 0;
    int composed = ComposeListFile(ListFormatOfName(path), path, g_app.entries, g_app.entry_count,
                                   &file, &bytes, &unwritten);
    if (left_out)
        *left_out = composed == CHECKLIST_OK ? unwritten : 0;
    if (composed != CHECKLIST_OK)
        return SaveResultOfComposition(composed);
    int result = ReplaceFileWhole(path, file, bytes);
    std::free(file);
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
        ShowErrorMessage(SaveFailureText(result));
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
