#include "jobs/jobs.h"

#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "checklist/checklist.h"
#include "fileio/fileio.h"

namespace {

constexpr wchar_t BYTE_ORDER_MARK = 0xFEFF;
// WriteFileAt takes a 32-bit length; larger lists go out in pieces.
constexpr uint64_t WRITE_PIECE_BYTES = 0x40000000ull;

// BOM and body in one buffer, so the temporary file gets written in one go.
wchar_t *ComposeListFile(uint64_t *bytes)
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

// The temporary file sits beside the chosen one, so the final rename stays
// within one folder and one volume; the process id keeps two instances that
// save the same name apart.
wchar_t *TemporaryNameFor(const wchar_t *path)
{
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L".%lu.saving", static_cast<unsigned long>(GetCurrentProcessId()));
    size_t path_units = std::wcslen(path);
    size_t suffix_units = std::wcslen(suffix);
    wchar_t *name = static_cast<wchar_t *>(std::malloc((path_units + suffix_units + 1) * sizeof(wchar_t)));
    if (!name)
        return nullptr;
    std::wmemcpy(name, path, path_units);
    std::wmemcpy(name + path_units, suffix, suffix_units + 1);
    return name;
}

// WriteFileAt neither truncates nor reports a short write, so the result is
// judged by the size that ends up on disk.
int WritePieces(const wchar_t *path, const wchar_t *text, uint64_t bytes)
{
    const char *source = reinterpret_cast<const char *>(text);
    for (uint64_t offset = 0; offset < bytes; offset += WRITE_PIECE_BYTES) {
        uint64_t piece = bytes - offset < WRITE_PIECE_BYTES ? bytes - offset : WRITE_PIECE_BYTES;
        int written = WriteFileAt(source + offset, path, offset, uint32_t(piece));
        if (written != FILE_OK)
            return written;
    }
    uint64_t size = 0;
    if (QueryFileSize(path, &size) != FILE_OK || size != bytes)
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

int ReplaceWithTemporary(const wchar_t *temporary, const wchar_t *path, const wchar_t *text,
                         uint64_t bytes)
{
    wchar_t *long_temporary = NewLongPath(temporary);
    wchar_t *long_path = NewLongPath(path);
    int result = FILE_ERR_CREATE;
    if (long_temporary && long_path && !IsReadOnlyFile(long_path)) {
        // A leftover of an interrupted save would keep its tail otherwise.
        DeleteFileW(long_temporary);
        result = WritePieces(temporary, text, bytes);
        if (result == FILE_OK
            && !MoveFileExW(long_temporary, long_path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            result = FILE_ERR_CREATE;
        if (result != FILE_OK)
            DeleteFileW(long_temporary);
    }
    std::free(long_temporary);
    std::free(long_path);
    return result;
}

} // namespace

int WriteChecksumList(const wchar_t *path)
{
    uint64_t bytes = 0;
    wchar_t *text = ComposeListFile(&bytes);
    wchar_t *temporary = TemporaryNameFor(path);
    int result = FILE_ERR_IO;
    if (text && temporary)
        result = ReplaceWithTemporary(temporary, path, text, bytes);
    std::free(temporary);
    std::free(text);
    return result;
}

int SaveChecksumListTo(const wchar_t *path)
{
    SetStatusText(STATUS_ACTIVITY, L"Saving", true);
    int result = WriteChecksumList(path);
    SetStatusText(STATUS_ACTIVITY, L"Ready", true);
    if (result != FILE_OK)
        ShowErrorMessage(L"ERROR: Could not save the checksum list!");
    return result;
}
