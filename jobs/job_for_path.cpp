// What a path given alone asks for: telling a folder, a checksum list (by
// its head) and any other file apart.
#include <cstdlib>

#include "checklist/checklist.h"
#include "fileio/fileio.h"
#include "worker.h"

bool FileHoldsChecksumList(const wchar_t *path)
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

int32_t JobForPath(const wchar_t *path)
{
    sLongPath form;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (FormLongPath(path, &form) == FILE_OK)
        attributes = GetFileAttributesW(form.text);
    ReleaseLongPath(&form);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return JOB_FOLDER_SCAN;
    return FileHoldsChecksumList(path) ? JOB_CHECK : JOB_SINGLE_FILE;
}
