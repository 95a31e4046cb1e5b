#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "fileio/fileio.h"

namespace {

// WriteFileAt takes a 32-bit length; larger contents go out in pieces.
constexpr uint64_t WRITE_PIECE_BYTES = 0x40000000ull;

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

int ReplaceWithTemporary(const wchar_t *temporary, const wchar_t *path, const void *bytes,
                         uint64_t size)
{
    wchar_t *long_temporary = NewLongPath(temporary);
    wchar_t *long_path = NewLongPath(path);
    int result = FILE_ERR_CREATE;
    if (long_temporary && long_path && !IsReadOnlyFile(long_path)) {
        // A leftover of an interrupted write would keep its tail otherwise.
        DeleteFileW(long_temporary);
        result = WritePieces(temporary, bytes, size);
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

int ReplaceFileWhole(const wchar_t *path, const void *bytes, uint64_t size)
{
    wchar_t *temporary = TemporaryNameFor(path);
    int result = temporary ? ReplaceWithTemporary(temporary, path, bytes, size) : FILE_ERR_IO;
    std::free(temporary);
    return result;
}
