// File operations by path. Each call opens, works and closes, except the
// open-file reads, whose descriptor belongs to the caller until it closes it.
// Files are shared freely with other programs.
#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstdlib>

#include "crt_io.h"
#include "fileio/fileio.h"
#include "path_forms.h"

namespace {

// Opens `path` for reading by its long-path form. FILE_OK, FILE_ERR_OPEN, or
// FILE_ERR_IO when no buffer for the long form could be had.
int OpenByLongPath(const wchar_t *path, int *fd)
{
    sLongPath form;
    int result = FormLongPath(path, &form);
    if (result == FILE_OK && OpenForReading(form.text, fd) != 0)
        result = FILE_ERR_OPEN;
    ReleaseLongPath(&form);
    return result;
}

}  // namespace

int OpenFileForReading(const wchar_t *path, sOpenFile *file)
{
    int fd = -1;
    _doserrno = 0;
    int result = OpenByLongPath(path, &fd);
    if (result == FILE_ERR_OPEN && OpenFoundNothing())
        return FILE_ERR_NOT_FOUND;
    if (result == FILE_OK) {
        file->fd = fd;
        file->position = 0;
    }
    return result;
}

// A run of reads that each go on where the last ended skips the seeks: under
// Wine one costs about a fifth of a 64 KiB read.
int ReadOpenFileAt(sOpenFile *file, void *dest, uint64_t offset, uint32_t *length)
{
    if (file->position != offset) {
        file->position = OPEN_FILE_POSITION_UNKNOWN;
        if (SeekFromStart(file->fd, offset) != 0)
            return FILE_ERR_IO;
        file->position = offset;
    }
    uint32_t got = 0;
    if (ReadFully(file->fd, static_cast<uint8_t *>(dest), *length, &got) != 0) {
        // Part of the read may have moved the descriptor.
        file->position = OPEN_FILE_POSITION_UNKNOWN;
        return FILE_ERR_IO;
    }
    file->position = offset + got;
    *length = got;
    return FILE_OK;
}

void CloseOpenFile(sOpenFile *file)
{
    _close(file->fd);
    file->fd = -1;
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
    int fd = -1;
    if (OpenByLongPath(path, &fd) != FILE_OK)
        return nullptr;

    // A size the seek already shows above the limit spares reading it through.
    int64_t end = _lseeki64(fd, 0, SEEK_END);
    uint64_t total = 0;
    int read_any = 0;
    if (end < 0 || static_cast<uint64_t>(end) > *limit || _lseeki64(fd, 0, SEEK_SET) != 0 ||
        CountByReading(fd, *limit, &total, &read_any) != 0 || total > *limit) {
        _close(fd);
        return nullptr;
    }

    uint32_t size = static_cast<uint32_t>(total);
    uint8_t *buffer = static_cast<uint8_t *>(std::malloc(size ? size : 1));
    uint32_t got = 0;
    if (!buffer || _lseeki64(fd, 0, SEEK_SET) != 0 || ReadFully(fd, buffer, size, &got) != 0) {
        std::free(buffer);
        _close(fd);
        return nullptr;
    }
    _close(fd);
    // A file that shrank since it was counted gives what is still there.
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
    // The seek to the end (and any counting read) moves the descriptor.
    file->position = OPEN_FILE_POSITION_UNKNOWN;
    int64_t end = _lseeki64(file->fd, 0, SEEK_END);
    if (end < 0)
        return FILE_ERR_IO;
    uint64_t found = static_cast<uint64_t>(end);
    if (found == 0) {
        // Some files report no size to the seek; their bytes are counted.
        int read_any = 0;
        if (_lseeki64(file->fd, 0, SEEK_SET) != 0 ||
            CountByReading(file->fd, UINT64_MAX, &found, &read_any) != 0 ||
            (read_any && found == 0))
            return FILE_ERR_IO;
    }
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
