// File operations by path. Each call opens, works and closes, except the
// open-file reads, whose descriptor belongs to the caller until it closes it.
// Files are shared freely with other programs.
#include "fileio/fileio.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

constexpr uint32_t SCRATCH_BYTES = 65536;
// The CRT's _read and _write take at most INT_MAX bytes per call.
constexpr uint32_t MAX_TRANSFER = 1u << 30;

wchar_t *AllocPathBuffer()
{
    return static_cast<wchar_t *>(std::malloc(LONG_PATH_UNITS * sizeof(wchar_t)));
}

int OpenForReading(const wchar_t *path, int *fd)
{
    return _wsopen_s(fd, path, _O_BINARY | _O_RDONLY, _SH_DENYNO, 0) == 0 ? 0 : -1;
}

// The system's own reason for the failed open: the CRT keeps it in
// _doserrno, where errno alone would fold a sharing violation and a missing
// file into the same codes as other refusals.
bool OpenFoundNothing()
{
    return _doserrno == ERROR_FILE_NOT_FOUND || _doserrno == ERROR_PATH_NOT_FOUND;
}

int OpenForWriting(const wchar_t *path, int *fd)
{
    return _wsopen_s(fd, path, _O_BINARY | _O_RDWR, _SH_DENYNO, 0) == 0 ? 0 : -1;
}

int CreateForWriting(const wchar_t *path, int *fd)
{
    return _wsopen_s(fd, path, _O_BINARY | _O_RDWR | _O_CREAT | _O_TRUNC, _SH_DENYNO,
                     _S_IREAD | _S_IWRITE) == 0
               ? 0
               : -1;
}

int SeekFromStart(int fd, uint64_t offset)
{
    if (offset > static_cast<uint64_t>(INT64_MAX))
        return -1;
    return _lseeki64(fd, static_cast<int64_t>(offset), SEEK_SET) < 0 ? -1 : 0;
}

// Reads until `wanted` bytes are in or the file ends; -1 when a read fails.
int ReadFully(int fd, uint8_t *dest, uint32_t wanted, uint32_t *got)
{
    uint32_t total = 0;
    while (total < wanted) {
        uint32_t step = wanted - total;
        if (step > MAX_TRANSFER)
            step = MAX_TRANSFER;
        int n = _read(fd, dest + total, step);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        total += static_cast<uint32_t>(n);
    }
    *got = total;
    return 0;
}

int WriteFully(int fd, const uint8_t *src, uint32_t length)
{
    uint32_t total = 0;
    while (total < length) {
        uint32_t step = length - total;
        if (step > MAX_TRANSFER)
            step = MAX_TRANSFER;
        int n = _write(fd, src + total, step);
        if (n <= 0)
            return -1;
        total += static_cast<uint32_t>(n);
    }
    return 0;
}

// Counts the bytes from the current position to the end by reading them,
// for files whose size the seek does not tell. Stops early once the count
// passes `stop_above`. Returns -1 when the scratch block cannot be had.
int CountByReading(int fd, uint64_t stop_above, uint64_t *count, int *read_any)
{
    uint8_t *buf = static_cast<uint8_t *>(std::malloc(SCRATCH_BYTES));
    if (!buf)
        return -1;
    uint64_t total = 0;
    *read_any = 0;
    while (_eof(fd) == 0) {
        int n = _read(fd, buf, SCRATCH_BYTES);
        *read_any = 1;
        if (n <= 0)
            break;
        total += static_cast<uint64_t>(n);
        if (total > stop_above)
            break;
    }
    std::free(buf);
    *count = total;
    return 0;
}

// Cuts the long-path form back to its parent folder: the text before the
// last backslash that is not the first unit; without one the path stays.
void CutToParentFolder(wchar_t *path)
{
    size_t i = std::wcslen(path);
    while (i > 1) {
        --i;
        if (path[i] == L'\\') {
            path[i] = 0;
            return;
        }
    }
}

int OpenOrCreateForWriting(const wchar_t *path, wchar_t *parent, int *fd)
{
    if (OpenForWriting(path, fd) == 0)
        return FILE_OK;
    if (CreateForWriting(path, fd) != 0) {
        std::wcscpy(parent, path);
        CutToParentFolder(parent);
        if (_wmkdir(parent) != 0)
            return FILE_ERR_CREATE;
        if (CreateForWriting(path, fd) != 0)
            return FILE_ERR_CREATE;
    }
    // The created descriptor is reopened so the write goes through the same
    // no-truncate open as for an existing file.
    _close(*fd);
    return OpenForWriting(path, fd) == 0 ? FILE_OK : FILE_ERR_CREATE;
}

int StartsWithLongPrefix(const wchar_t *path)
{
    return path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\';
}

int IsDriveAbsolute(const wchar_t *path)
{
    return path[0] != 0 && path[1] == L':' && path[2] == L'\\';
}

int IsSlash(wchar_t unit)
{
    return unit == L'\\' || unit == L'/';
}

// \\.\ and \\?\ (either slash) reach the object namespace directly; only
// a drive or a share behind them names files.
int IsDeviceNamespacePath(const wchar_t *path)
{
    int device_prefix = IsSlash(path[0]) && IsSlash(path[1]) &&
                        (path[2] == L'.' || path[2] == L'?') && IsSlash(path[3]);
    if (!device_prefix)
        return 0;
    const wchar_t *rest = path + 4;
    if (IsDriveAbsolute(rest) || (rest[0] != 0 && rest[1] == L':' && rest[2] == L'/'))
        return 0;
    return !(_wcsnicmp(rest, L"UNC", 3) == 0 && IsSlash(rest[3]));
}

const wchar_t *FinalComponent(const wchar_t *path)
{
    const wchar_t *start = path[0] != 0 && path[1] == L':' ? path + 2 : path;
    for (const wchar_t *at = start; *at; ++at)
        if (IsSlash(*at))
            start = at + 1;
    return start;
}

int IsPortDigit(wchar_t unit)
{
    // The superscript digits count as well: Windows maps them to the ports.
    return (unit >= L'0' && unit <= L'9') || unit == 0x00B9 || unit == 0x00B2 || unit == 0x00B3;
}

constexpr const wchar_t *kReservedNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};

// The reserved names stand for devices in every folder, also with an
// extension or trailing spaces ("NUL.txt", "COM1 ").
int IsReservedDeviceName(const wchar_t *name)
{
    size_t stem = 0;
    while (name[stem] != 0 && name[stem] != L'.' && name[stem] != L':')
        ++stem;
    while (stem > 0 && name[stem - 1] == L' ')
        --stem;
    for (const wchar_t *reserved : kReservedNames)
        if (stem == std::wcslen(reserved) && _wcsnicmp(name, reserved, stem) == 0)
            return 1;
    int port = _wcsnicmp(name, L"COM", 3) == 0 || _wcsnicmp(name, L"LPT", 3) == 0;
    return stem == 4 && port && IsPortDigit(name[3]);
}

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

typedef int (*BuildForm)(const wchar_t *path, wchar_t *out, uint32_t capacity);

// A form that does not fit the record is built again in a full-size buffer.
int FormWith(BuildForm build, const wchar_t *path, sLongPath *form)
{
    form->text = nullptr;
    form->heap = nullptr;
    if (build(path, form->local, SHORT_PATH_UNITS) == 0) {
        form->text = form->local;
        return FILE_OK;
    }
    form->heap = AllocPathBuffer();
    if (!form->heap)
        return FILE_ERR_IO;
    if (build(path, form->heap, LONG_PATH_UNITS) != 0)
        return FILE_ERR_OPEN;
    form->text = form->heap;
    return FILE_OK;
}

}  // namespace

// Windows takes a \\?\ path literally: forward slashes, `.` and `..` stay
// in it and name nothing. So the path is made full and normal first, as the
// system would have done without the prefix, and only then prefixed.
int BuildLongPath(const wchar_t *path, wchar_t *out, uint32_t capacity)
{
    if (StartsWithLongPrefix(path)) {
        size_t length = wcsnlen(path, capacity);
        if (length + 1 > capacity)
            return -1;
        std::wmemcpy(out, path, length + 1);
        return 0;
    }
    if (capacity <= 4)
        return -1;
    DWORD room = capacity - 4;
    DWORD units = GetFullPathNameW(path, room, out + 4, nullptr);
    if (units == 0 || units >= room)
        return -1;
    if (!IsDriveAbsolute(out + 4)) {
        // A share or device path: the system takes it as it is.
        std::wmemmove(out, out + 4, units + 1);
        return 0;
    }
    std::wmemcpy(out, L"\\\\?\\", 4);
    return 0;
}

int BuildSearchPattern(const wchar_t *folder, wchar_t *out, uint32_t capacity)
{
    if (capacity < 3 || BuildLongPath(folder, out, capacity - 2) != 0)
        return -1;
    size_t units = std::wcslen(out);
    if (units > 0 && out[units - 1] == L'\\')
        --units;
    std::wmemcpy(out + units, L"\\*", 3);
    return 0;
}

wchar_t *NewLongPath(const wchar_t *path)
{
    wchar_t *tmp_Path = AllocPathBuffer();
    if (tmp_Path && BuildLongPath(path, tmp_Path, LONG_PATH_UNITS) != 0) {
        std::free(tmp_Path);
        return nullptr;
    }
    return tmp_Path;
}

int FormLongPath(const wchar_t *path, sLongPath *form)
{
    return FormWith(BuildLongPath, path, form);
}

int FormSearchPattern(const wchar_t *folder, sLongPath *form)
{
    return FormWith(BuildSearchPattern, folder, form);
}

void ReleaseLongPath(sLongPath *form)
{
    std::free(form->heap);
    form->heap = nullptr;
    form->text = nullptr;
}

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

int IsDevicePath(const wchar_t *path)
{
    return IsDeviceNamespacePath(path) || IsReservedDeviceName(FinalComponent(path));
}

wchar_t *SaveCurrentFolder()
{
    DWORD units = GetCurrentDirectoryW(0, nullptr);
    if (units == 0)
        return nullptr;
    wchar_t *folder = static_cast<wchar_t *>(std::malloc(units * sizeof(wchar_t)));
    if (folder && GetCurrentDirectoryW(units, folder) + 1 != units) {
        std::free(folder);
        return nullptr;
    }
    return folder;
}

void RestoreCurrentFolder(wchar_t *saved)
{
    if (!saved)
        return;
    SetCurrentDirectoryW(saved);
    std::free(saved);
}
