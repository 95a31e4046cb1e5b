// File operations by path. Each call opens, works and closes, except the
// open-file reads, whose handle belongs to the caller until it closes it.
// Files are shared freely with other programs.
#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstdlib>

#include "crt_io.h"
#include "fileio/fileio.h"
#include "handle_io.h"
#include "path_forms.h"

namespace {

// Opens `path` for reading by its long-path form. FILE_OK; FILE_ERR_NOT_FOUND
// when the system found neither the file nor its folder; FILE_ERR_OPEN for
// any other refusal; FILE_ERR_IO when no buffer for the long form could be
// had.
int OpenByLongPath(const wchar_t *path, HANDLE *handle)
{
    sLongPath form;
    int result = FormLongPath(path, &form);
    if (result == FILE_OK) {
        *handle = OpenHandleForReading(form.text);
        if (*handle == INVALID_HANDLE_VALUE)
            result = OpenFoundNothing(GetLastError()) ? FILE_ERR_NOT_FOUND : FILE_ERR_OPEN;
    }
    ReleaseLongPath(&form);
    return result;
}

// The size the system tells for an open file; 0 also for files that tell
// none (devices and some special files), which are counted by reading.
int MeasureOpenFile(sOpenFile *file, uint64_t stop_above, uint64_t *size)
{
    HANDLE handle = static_cast<HANDLE>(file->handle);
    LARGE_INTEGER told;
    if (!GetFileSizeEx(handle, &told) || told.QuadPart < 0)
        return FILE_ERR_IO;
    uint64_t found = static_cast<uint64_t>(told.QuadPart);
    if (found == 0) {
        file->position = OPEN_FILE_POSITION_UNKNOWN;
        if (CountByReading(handle, stop_above, &found) != 0)
            return FILE_ERR_IO;
    }
    *size = found;
    return FILE_OK;
}

}  // namespace

int OpenFileForReading(const wchar_t *path, sOpenFile *file)
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    int result = OpenByLongPath(path, &handle);
    if (result == FILE_OK) {
        file->handle = handle;
        file->position = 0;
    }
    return result;
}

int ReadOpenFileAt(sOpenFile *file, void *dest, uint64_t offset, uint32_t *length)
{
    HANDLE handle = static_cast<HANDLE>(file->handle);
    if (file->position != offset) {
        file->position = OPEN_FILE_POSITION_UNKNOWN;
        if (SeekHandle(handle, offset) != 0)
            return FILE_ERR_IO;
        file->position = offset;
    }
    uint32_t got = 0;
    if (ReadFully(handle, static_cast<uint8_t *>(dest), *length, &got) != 0) {
        // Part of the read may have moved the handle.
        file->position = OPEN_FILE_POSITION_UNKNOWN;
        return FILE_ERR_IO;
    }
    file->position = offset + got;
    *length = got;
    return FILE_OK;
}

void CloseOpenFile(sOpenFile *file)
{
    CloseHandle(static_cast<HANDLE>(file->handle));
    file->handle = nullptr;
    file->position = OPEN_FILE_POSITION_UNKNOWN;
}

int ReadFileAt(void *dest, const wchar_t *path, uint64_t offset, uint32_t *length)
{
    sOpenFile file;
    int result = OpenFileForReading(path, &file);
    if (result != FILE_OK)
        return result;
    result = ReadOpenFileAt(&file, dest, offset, length);
    CloseOpenFile(&file);
    return result;
}

void *ReadFileWhole(const wchar_t *path, uint32_t *limit)
{
    sOpenFile file;
    if (OpenFileForReading(path, &file) != FILE_OK)
        return nullptr;
    uint64_t total = 0;
    if (MeasureOpenFile(&file, *limit, &total) != FILE_OK || total > *limit) {
        CloseOpenFile(&file);
        return nullptr;
    }
    uint32_t size = static_cast<uint32_t>(total);
    uint8_t *buffer = static_cast<uint8_t *>(std::malloc(size ? size : 1));
    uint32_t got = size;
    if (!buffer || ReadOpenFileAt(&file, buffer, 0, &got) != FILE_OK) {
        std::free(buffer);
        CloseOpenFile(&file);
        return nullptr;
    }
    CloseOpenFile(&file);
    // A file that shrank since it was measured gives what is still there.
    *limit = got;
    return buffer;
}

int WriteFileAt(const void *src, const wchar_t *path, uint64_t offset, uint32_t length)
{
    wchar_t *tmp_Path = AllocPathBuffer();
    wchar_t *tmp_PathString = AllocPathBuffer();
    if (!tmp_Path || !tmp_PathString) {
        std::free(tmp_Path);
        std::free(tmp_PathString);
        return FILE_ERR_IO;
    }
    int fd = -1;
    int result = FILE_ERR_CREATE;
    if (BuildLongPath(path, tmp_Path, LONG_PATH_UNITS) == 0)
        result = OpenOrCreateForWriting(tmp_Path, tmp_PathString, &fd);
    std::free(tmp_Path);
    std::free(tmp_PathString);
    if (result != FILE_OK)
        return result;

    if (SeekFromStart(fd, offset) != 0 ||
        WriteFully(fd, static_cast<const uint8_t *>(src), length) != 0) {
        _close(fd);
        return FILE_ERR_IO;
    }
    return _close(fd) == 0 ? FILE_OK : FILE_ERR_IO;
}

int QueryOpenFileSize(sOpenFile *file, uint64_t *size)
{
    uint64_t found = 0;
    if (MeasureOpenFile(file, UINT64_MAX, &found) != FILE_OK)
        return FILE_ERR_IO;
    if (size)
        *size = found;
    return FILE_OK;
}

int QueryFileSize(const wchar_t *path, uint64_t *size)
{
    sOpenFile file;
    int result = OpenFileForReading(path, &file);
    if (result != FILE_OK)
        return result;
    result = QueryOpenFileSize(&file, size);
    CloseOpenFile(&file);
    return result;
}
