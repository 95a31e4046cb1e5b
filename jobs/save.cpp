#include "jobs/jobs.h"

#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "checklist/checklist.h"
#include "fileio/fileio.h"
#include "list_file.h"

namespace {

constexpr wchar_t BYTE_ORDER_MARK = 0xFEFF;
// WriteFileAt takes a 32-bit length; larger lists go out in pieces.
constexpr uint64_t WRITE_PIECE_BYTES = 0x40000000ull;

// BOM and body in one buffer, so the temporary file gets written in one go.
void *ComposeQcxFile(uint64_t *bytes)
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

// The tagged body alone: no byte order mark. A list of no line is an empty
// file, which still needs a buffer to write from.
void *ComposeTaggedFile(uint64_t *bytes)
{
    uint64_t size = TaggedListBytes(g_app.entries, g_app.entry_count);
    if (size >= SIZE_MAX)
        return nullptr;
    char *text = static_cast<char *>(std::malloc(size_t(size) + 1));
    if (!text)
        return nullptr;
    ComposeTaggedList(g_app.entries, g_app.entry_count, text);
    *bytes = size;
    return text;
}

int32_t CountLeftOutOfTaggedList()
{
    int32_t left_out = 0;
    for (int32_t i = 0; i < g_app.entry_count; ++i)
        if (EntryIsListed(&g_app.entries[i]) && !EntryFitsTaggedList(&g_app.entries[i]))
            ++left_out;
    return left_out;
}

bool IsPathSeparator(wchar_t u)
{
    return u == L'\\' || u == L'/';
}

bool SameTextIgnoringAsciiCase(const wchar_t *a, const wchar_t *b)
{
    for (; *a && *b; ++a, ++b) {
        wchar_t x = *a >= L'A' && *a <= L'Z' ? wchar_t(*a - L'A' + L'a') : *a;
        wchar_t y = *b >= L'A' && *b <= L'Z' ? wchar_t(*b - L'A' + L'a') : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
}

// The temporary file sits beside the chosen one, so the final rename stays
// within one folder and one volume; the process id keeps two instances that
// save the same name apart.
wchar_t *TemporaryNameFor(const wchar_t *path)
{
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L".%lu.saving", static_cast<unsigned long>(GetCurrentProcessId()));
    return JoinUnits(path, std::wcslen(path), suffix);
}

// WriteFileAt neither truncates nor reports a short write, so the result is
// judged by the size that ends up on disk.
int WritePieces(const wchar_t *path, const void *text, uint64_t bytes)
{
    const char *source = static_cast<const char *>(text);
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

int ReplaceWithTemporary(const wchar_t *temporary, const wchar_t *path, const void *text,
                         uint64_t bytes)
{
    wchar_t *long_temporary = NewLongPath(temporary);
    wchar_t *long_path = NewLongPath(path);
    int result = FILE_ERR_CREATE;
    if (long_temporary && long_path && !IsReadOnlyFile(long_path)) {
        // A leftover of an interrupted save would keep its tail otherwise.
        DeleteFileW(long_temporary);
        result = WritePieces(temporary, text, bytes);
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

int ReplaceListFile(const wchar_t *path, const void *text, uint64_t bytes)
{
    wchar_t *temporary = TemporaryNameFor(path);
    int result = temporary ? ReplaceWithTemporary(temporary, path, text, bytes) : FILE_ERR_IO;
    std::free(temporary);
    return result;
}

const wchar_t *SaveNameExtension(const wchar_t *path)
{
    const wchar_t *name = path;
    for (const wchar_t *p = path; *p; ++p)
        if (IsPathSeparator(*p))
            name = p + 1;
    return std::wcsrchr(name, L'.');
}

bool ListPathIsTagged(const wchar_t *path)
{
    const wchar_t *extension = SaveNameExtension(path);
    return extension && extension[1] && !SameTextIgnoringAsciiCase(extension, L".qcx");
}

int WriteChecksumList(const wchar_t *path, int32_t *left_out)
{
    bool tagged = ListPathIsTagged(path);
    if (left_out)
        *left_out = tagged ? CountLeftOutOfTaggedList() : 0;
    uint64_t bytes = 0;
    void *text = tagged ? ComposeTaggedFile(&bytes) : ComposeQcxFile(&bytes);
    int result = text ? ReplaceListFile(path, text, bytes) : FILE_ERR_IO;
    std::free(text);
    return result;
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
        ShowErrorMessage(L"ERROR: Could not save the checksum list!");
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
