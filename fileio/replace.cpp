#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "fileio/fileio.h"

namespace {

// WriteFileAt takes a 32-bit length; larger contents go out in pieces.
constexpr uint64_t WRITE_PIECE_BYTES = 0x40000000ull;
// ReplaceFileWhole replaces whatever the file holds.
constexpr uint64_t ANY_HELD = UINT64_MAX;
// The file is compared with what it should hold in blocks of this size.
constexpr uint32_t COMPARE_BYTES = 0x4000;

// The temporary file sits beside the chosen one, so the final rename stays
// within one folder and one volume; the process id keeps two instances that
// write the same name apart.
wchar_t *TemporaryNameFor(const wchar_t *path)
{
    size_t units = std::wcslen(path) + 32;
    wchar_t *name = static_cast<wchar_t *>(std::malloc(units * sizeof(wchar_t)));
    if (name)
        std::swprintf(name, units, L"%ls.%lu.saving", path,
                      static_cast<unsigned long>(GetCurrentProcessId()));
    return name;
}

// WriteFileAt neither truncates nor reports a short write, so the result is
// judged by the size that ends up on disk.
int WritePieces(const wchar_t *path, const void *bytes, uint64_t size)
{
    const char *source = static_cast<const char *>(bytes);
    for (uint64_t offset = 0; offset < size; offset += WRITE_PIECE_BYTES) {
        uint64_t piece = size - offset < WRITE_PIECE_BYTES ? size - offset : WRITE_PIECE_BYTES;
        int written = WriteFileAt(source + offset, path, offset, uint32_t(piece));
        if (written != FILE_OK)
            return written;
    }
    uint64_t written_size = 0;
    if (QueryFileSize(path, &written_size) != FILE_OK || written_size != size)
        return FILE_ERR_IO;
    return FILE_OK;
}

// Replacing a read-only file is refused by Windows itself; checking first
// keeps that rule where the file system would let the rename through.
bool IsReadOnlyFile(const wchar_t *long_path)
{
    DWORD attributes = GetFileAttributesW(long_path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// Reads the open file from where it stands and compares it with `bytes`:
// true when it holds exactly those `held` bytes.
bool ReadsExactly(int fd, const uint8_t *bytes, uint64_t held)
{
    uint8_t block[COMPARE_BYTES];
    for (uint64_t offset = 0;;) {
        int got = _read(fd, block, COMPARE_BYTES);
        if (got <= 0)
            return got == 0 && offset == held;
        if (uint64_t(got) > held - offset || std::memcmp(block, bytes + offset, size_t(got)) != 0)
            return false;
        offset += uint64_t(got);
    }
}

// Whether the file at `long_path` still holds exactly the first `held` of
// `bytes`. The open refuses writers, and fails while one has the file open:
// no writer can be half-way through a change that the compare misses.
bool StillHolds(const wchar_t *long_path, const void *bytes, uint64_t held)
{
    int fd = -1;
    if (_wsopen_s(&fd, long_path, _O_BINARY | _O_RDONLY, _SH_DENYWR, 0) != 0)
        return false;
    bool same = ReadsExactly(fd, static_cast<const uint8_t *>(bytes), held);
    _close(fd);
    return same;
}

// The file at `long_path` is looked at last, once the temporary file is
// complete, so that a change made while it was written is not lost.
int ReplaceWithTemporary(const wchar_t *temporary, const wchar_t *path, const void *bytes,
                         uint64_t size, uint64_t held)
{
    wchar_t *long_temporary = NewLongPath(temporary);
    wchar_t *long_path = NewLongPath(path);
    int result = FILE_ERR_CREATE;
    if (long_temporary && long_path && !IsReadOnlyFile(long_path)) {
        // A leftover of an interrupted write would keep its tail otherwise.
        DeleteFileW(long_temporary);
        result = WritePieces(temporary, bytes, size);
        if (result == FILE_OK && held != ANY_HELD && !StillHolds(long_path, bytes, held))
            result = FILE_ERR_CHANGED;
        if (result == FILE_OK && !MoveFileExW(long_temporary, long_path,
                                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            result = FILE_ERR_CREATE;
        if (result != FILE_OK)
            DeleteFileW(long_temporary);
    }
    std::free(long_temporary);
    std::free(long_path);
    return result;
}

}  // namespace

int ReplaceGrownFile(const wchar_t *path, const void *bytes, uint64_t size, uint64_t held)
{
    wchar_t *temporary = TemporaryNameFor(path);
    int result = temporary ? ReplaceWithTemporary(temporary, path, bytes, size, held) : FILE_ERR_IO;
    std::free(temporary);
    return result;
}

int ReplaceFileWhole(const wchar_t *path, const void *bytes, uint64_t size)
{
    return ReplaceGrownFile(path, bytes, size, ANY_HELD);
}
