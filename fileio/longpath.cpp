// File operations by path. Each call opens, works and closes, except the
// open-file reads, whose descriptor belongs to the caller until it closes it.
// Files are shared freely with other programs.
#include "fileio/fileio.h"

#include "core/core.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

constexpr uint32_t SCRATCH_BYTES = 65536;
// The CRT's _write takes at most INT_MAX bytes per call; ReadFile is held
// to the same steps.
constexpr uint32_t MAX_TRANSFER = 1u << 30;

wchar_t *AllocPathBuffer()
{
    return static_cast<wchar_t *>(std::malloc(LONG_PATH_UNITS * sizeof(wchar_t)));
}

// Straight through Win32, not the C runtime: its open asks the file's type
// and its reads and seeks add calls of their own, each a round trip to the
// server under Wine, which for a small file cost more than reading it.
// Shared for reading and writing as the runtime's _SH_DENYNO shares it; the
// reads run front to back, which the cache is told.
HANDLE OpenHandleForReading(const wchar_t *path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

bool OpenFoundNothing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
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

// One read at `offset`, whatever the handle's own position: the offset
// travels with the call, so no seek is ever needed. The end of the file is
// a read of 0 bytes, however the system words it.
int ReadHandleAt(HANDLE handle, uint8_t *dest, uint64_t offset, uint32_t wanted, uint32_t *got)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    if (!ReadFile(handle, dest, wanted, &n, &at)) {
        if (GetLastError() != ERROR_HANDLE_EOF)
            return -1;
        n = 0;
    }
    *got = n;
    return 0;
}

// Reads until `wanted` bytes are in or the file ends; -1 when a read fails.
int ReadFully(HANDLE handle, uint8_t *dest, uint64_t offset, uint32_t wanted, uint32_t *got)
{
    uint32_t total = 0;
    while (total < wanted) {
        uint32_t step = wanted - total;
        if (step > MAX_TRANSFER)
            step = MAX_TRANSFER;
        uint32_t n = 0;
        if (ReadHandleAt(handle, dest + total, offset + total, step, &n) != 0)
            return -1;
        if (n == 0)
            break;
        total += n;
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

// Counts the bytes of a file whose size the system does not tell by reading
// them from the start. Stops early once the count passes `stop_above`.
// Returns -1 when the scratch block cannot be had or a read fails: a failed
// read is a file that could not be read, not its end.
int CountByReading(HANDLE handle, uint64_t stop_above, uint64_t *count)
{
    uint8_t *buf = static_cast<uint8_t *>(std::malloc(SCRATCH_BYTES));
    if (!buf)
        return -1;
    uint64_t total = 0;
    uint32_t got = 0;
    int result = 0;
    do {
        result = ReadHandleAt(handle, buf, total, SCRATCH_BYTES, &got);
        total += got;
    } while (result == 0 && got != 0 && total <= stop_above);
    std::free(buf);
    if (result == 0)
        *count = total;
    return result;
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

// \\.\ and \\?\ in either slash: the system's own namespaces.
int StartsWithNamespacePrefix(const wchar_t *path)
{
    return IsPathSeparator(path[0]) && IsPathSeparator(path[1]) &&
           (path[2] == L'.' || path[2] == L'?') && IsPathSeparator(path[3]);
}

// \\.\ and \\?\ (either slash) reach the object namespace directly; only
// a drive or a share behind them names files.
int IsDeviceNamespacePath(const wchar_t *path)
{
    if (!StartsWithNamespacePrefix(path))
        return 0;
    const wchar_t *rest = path + 4;
    if (IsDriveAbsolute(rest) || (rest[0] != 0 && rest[1] == L':' && rest[2] == L'/'))
        return 0;
    return !(_wcsnicmp(rest, L"UNC", 3) == 0 && IsPathSeparator(rest[3]));
}

const wchar_t *FinalComponent(const wchar_t *path)
{
    const wchar_t *start = path[0] != 0 && path[1] == L':' ? path + 2 : path;
    for (const wchar_t *at = start; *at; ++at)
        if (IsPathSeparator(*at))
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
int MeasureOpenFile(HANDLE handle, uint64_t stop_above, uint64_t *size)
{
    LARGE_INTEGER told;
    if (!GetFileSizeEx(handle, &told) || told.QuadPart < 0)
        return FILE_ERR_IO;
    uint64_t found = static_cast<uint64_t>(told.QuadPart);
    if (found == 0 && CountByReading(handle, stop_above, &found) != 0)
        return FILE_ERR_IO;
    *size = found;
    return FILE_OK;
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

constexpr wchar_t LONG_PREFIX[] = L"\\\\?\\";
constexpr size_t LONG_PREFIX_UNITS = 4;
constexpr wchar_t LONG_SHARE_PREFIX[] = L"\\\\?\\UNC\\";
constexpr size_t LONG_SHARE_PREFIX_UNITS = 8;

int IsShareStart(const wchar_t *path)
{
    return IsPathSeparator(path[0]) && IsPathSeparator(path[1]) && !StartsWithNamespacePrefix(path);
}

// Appends `units` units of `text` to the form of `*length` units. -1 when
// they (and a NUL) do not fit.
int AppendUnits(wchar_t *out, uint32_t capacity, size_t *length, const wchar_t *text, size_t units)
{
    if (*length + units + 1 > capacity)
        return -1;
    std::wmemcpy(out + *length, text, units);
    *length += units;
    out[*length] = 0;
    return 0;
}

size_t ComponentUnits(const wchar_t *path)
{
    size_t units = 0;
    while (path[units] != 0 && !IsPathSeparator(path[units]))
        ++units;
    return units;
}

// The units of the form once its last component is dropped (never the root).
size_t ParentUnits(const wchar_t *out, size_t root, size_t length)
{
    while (length > root && out[length - 1] != L'\\')
        --length;
    return length > root ? length - 1 : length;
}

// Appends the components of `rest` to a form whose root takes `root` units:
// separators of either slash, `.` and empty components are dropped, `..`
// drops the component before it (never the root), and every other name is
// kept exactly, trailing dots and blanks included. A separator that ends
// `rest` stays, as in the system's full path. 0, or -1 when it does not fit.
int AppendComponents(wchar_t *out, uint32_t capacity, size_t root, const wchar_t *rest)
{
    size_t length = std::wcslen(out);
    for (const wchar_t *at = rest; *at;) {
        size_t units = ComponentUnits(at);
        bool dot = units == 1 && at[0] == L'.';
        bool dots = units == 2 && at[0] == L'.' && at[1] == L'.';
        if (dots) {
            length = ParentUnits(out, root, length);
            out[length] = 0;
        } else if (units > 0 && !dot) {
            if (out[length - 1] != L'\\' && AppendUnits(out, capacity, &length, L"\\", 1) != 0)
                return -1;
            if (AppendUnits(out, capacity, &length, at, units) != 0)
                return -1;
        }
        at += units;
        if (*at)
            ++at;
    }
    size_t rest_units = std::wcslen(rest);
    if (rest_units > 0 && IsPathSeparator(rest[rest_units - 1]) && out[length - 1] != L'\\')
        return AppendUnits(out, capacity, &length, L"\\", 1);
    return 0;
}

// The root of a drive path (X:\...) or a share path (\\server\share\...) in
// long form: \\?\X:\ or \\?\UNC\server\share. *root: its units; *rest: the
// path after it. 0, or -1 when it does not fit or names no share.
int BuildRoot(const wchar_t *path, wchar_t *out, uint32_t capacity, size_t *root,
              const wchar_t **rest)
{
    size_t length = 0;
    out[0] = 0;
    if (!IsShareStart(path)) {
        if (AppendUnits(out, capacity, &length, LONG_PREFIX, LONG_PREFIX_UNITS) != 0 ||
            AppendUnits(out, capacity, &length, path, 2) != 0 ||
            AppendUnits(out, capacity, &length, L"\\", 1) != 0)
            return -1;
        *root = length;
        *rest = path + 3;
        return 0;
    }
    const wchar_t *server = path + 2;
    size_t server_units = ComponentUnits(server);
    const wchar_t *share = server + server_units + (server[server_units] ? 1 : 0);
    size_t share_units = ComponentUnits(share);
    if (server_units == 0 || share_units == 0)
        return -1;
    if (AppendUnits(out, capacity, &length, LONG_SHARE_PREFIX, LONG_SHARE_PREFIX_UNITS) != 0 ||
        AppendUnits(out, capacity, &length, server, server_units) != 0 ||
        AppendUnits(out, capacity, &length, L"\\", 1) != 0 ||
        AppendUnits(out, capacity, &length, share, share_units) != 0)
        return -1;
    *root = length;
    *rest = share + share_units;
    return 0;
}

// The long form of a drive or share path.
int BuildAbsoluteForm(const wchar_t *path, wchar_t *out, uint32_t capacity)
{
    size_t root = 0;
    const wchar_t *rest = nullptr;
    if (BuildRoot(path, out, capacity, &root, &rest) != 0)
        return -1;
    return AppendComponents(out, capacity, root, rest);
}

// Writes into `out` the long form of the full path the system gives for
// `base` (".", "\\" or "X:": the current folder, its drive's root, a drive's
// current folder) and then `rest`'s components. The system's full path is
// taken on the stack when it is short, as it nearly always is.
int BuildFromBase(const wchar_t *base, const wchar_t *rest, wchar_t *out, uint32_t capacity)
{
    wchar_t local[SHORT_PATH_UNITS];
    wchar_t *full = local;
    DWORD units = GetFullPathNameW(base, SHORT_PATH_UNITS, local, nullptr);
    if (units >= SHORT_PATH_UNITS) {
        full = AllocPathBuffer();
        units = full ? GetFullPathNameW(base, LONG_PATH_UNITS, full, nullptr) : 0;
        if (units >= LONG_PATH_UNITS)
            units = 0;
    }
    size_t root = 0;
    const wchar_t *full_rest = nullptr;
    int result = units == 0 ? -1 : BuildRoot(full, out, capacity, &root, &full_rest);
    if (result == 0)
        result = AppendComponents(out, capacity, root, full_rest);
    if (full != local)
        std::free(full);
    return result == 0 ? AppendComponents(out, capacity, root, rest) : -1;
}

}  // namespace

// Windows takes a \\?\ path literally: forward slashes, `.` and `..` stay in
// it and name nothing. So what a person may have typed is resolved first:
// the slashes, `.` and `..`, and a relative, rooted or drive-relative start.
// Nothing else: GetFullPathNameW would also strip the trailing dots and
// blanks of every name, and open "a." as its namesake "a", so names are kept
// exactly as given (the walker's and a list's names are exact).
int BuildLongPath(const wchar_t *path, wchar_t *out, uint32_t capacity)
{
    if (StartsWithLongPrefix(path)) {
        size_t length = wcsnlen(path, capacity);
        if (length + 1 > capacity)
            return -1;
        std::wmemcpy(out, path, length + 1);
        return 0;
    }
    if (capacity <= LONG_PREFIX_UNITS || path[0] == 0)
        return -1;
    if (StartsWithNamespacePrefix(path)) {
        // A device path: the system takes it as it is.
        DWORD units = GetFullPathNameW(path, capacity, out, nullptr);
        return units == 0 || units >= capacity ? -1 : 0;
    }
    if (IsShareStart(path) || (path[1] == L':' && IsPathSeparator(path[2])))
        return BuildAbsoluteForm(path, out, capacity);
    // The base a relative, rooted or drive-relative path continues from.
    wchar_t drive[3] = {path[0], L':', 0};
    bool drive_relative = path[1] == L':';
    const wchar_t *base = drive_relative ? drive : IsPathSeparator(path[0]) ? L"\\" : L".";
    const wchar_t *rest = drive_relative ? path + 2 : IsPathSeparator(path[0]) ? path + 1 : path;
    return BuildFromBase(base, rest, out, capacity);
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
    HANDLE handle = INVALID_HANDLE_VALUE;
    int result = OpenByLongPath(path, &handle);
    if (result == FILE_OK)
        file->handle = handle;
    return result;
}

int ReadOpenFileAt(sOpenFile *file, void *dest, uint64_t offset, uint32_t *length)
{
    uint32_t got = 0;
    if (ReadFully(static_cast<HANDLE>(file->handle), static_cast<uint8_t *>(dest), offset, *length,
                  &got) != 0)
        return FILE_ERR_IO;
    *length = got;
    return FILE_OK;
}

void CloseOpenFile(sOpenFile *file)
{
    CloseHandle(static_cast<HANDLE>(file->handle));
    file->handle = nullptr;
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
    HANDLE handle = static_cast<HANDLE>(file.handle);
    uint64_t total = 0;
    if (MeasureOpenFile(handle, *limit, &total) != FILE_OK || total > *limit) {
        CloseOpenFile(&file);
        return nullptr;
    }
    uint32_t size = static_cast<uint32_t>(total);
    uint8_t *buffer = static_cast<uint8_t *>(std::malloc(size ? size : 1));
    uint32_t got = 0;
    if (!buffer || ReadFully(handle, buffer, 0, size, &got) != 0) {
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
    if (MeasureOpenFile(static_cast<HANDLE>(file->handle), UINT64_MAX, &found) != FILE_OK)
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

namespace {

// The system's upper case of every UTF-16 unit, built once (128 KiB): the
// file-system casing LCMapStringEx gives without LCMAP_LINGUISTIC_CASING,
// which is the table CompareStringOrdinal ignores case through. Surrogate
// halves are their own upper case. Null without memory, or when the system
// would not map the units: then names go to CompareStringOrdinal itself.
const wchar_t *FileNameUpperTable()
{
    static wchar_t *table;
    static bool unmapped;
    if (table || unmapped)
        return table;
    wchar_t *units = static_cast<wchar_t *>(std::malloc(2 * 65536 * sizeof(wchar_t)));
    if (!units)
        return nullptr;
    wchar_t *upper = units + 65536;
    for (uint32_t unit = 0; unit < 65536; ++unit)
        units[unit] = upper[unit] = wchar_t(unit);
    // Both sides of the surrogates, each mapped whole.
    const int32_t below = 0xD800 - 1;
    const int32_t above = 0x10000 - 0xE000;
    unmapped = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, units + 1, below, upper + 1,
                             below, nullptr, nullptr, 0) != below ||
               LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, units + 0xE000, above,
                             upper + 0xE000, above, nullptr, nullptr, 0) != above;
    if (unmapped) {
        std::free(units);
        return nullptr;
    }
    // The table stays for the life of the program.
    std::memmove(units, upper, 65536 * sizeof(wchar_t));
    table = units;
    return table;
}

size_t UnitsOf(const wchar_t *text, int32_t units)
{
    return units >= 0 ? size_t(units) : std::wcslen(text);
}

}  // namespace

// The same order as CompareStringOrdinal with case ignored, through the
// table: the system's call costs a microsecond and more under some loads,
// and an audit of 100,000 files makes millions of comparisons.
int CompareFileNames(const wchar_t *a, int32_t a_units, const wchar_t *b, int32_t b_units)
{
    const wchar_t *upper = FileNameUpperTable();
    if (!upper)
        return CompareStringOrdinal(a, a_units, b, b_units, TRUE) - CSTR_EQUAL;
    size_t a_length = UnitsOf(a, a_units);
    size_t b_length = UnitsOf(b, b_units);
    size_t shorter = a_length < b_length ? a_length : b_length;
    for (size_t i = 0; i < shorter; ++i) {
        wchar_t x = upper[a[i]];
        wchar_t y = upper[b[i]];
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a_length == b_length ? 0 : a_length < b_length ? -1 : 1;
}
