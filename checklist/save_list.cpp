// A whole new list in the format its name asks for: the entries' paths in
// the form that format's tools read, and the refusal of entries the format
// cannot hold, before anything is written.
#include "checklist/checklist.h"
#include "list_table.h"

#include <cstdlib>
#include <cstring>

namespace {

// The one kind of the listed entries, or the reason a format holding one
// kind (named `named`, may be null) cannot have them.
int OneKindOf(const Entry *entries, int32_t count, const KindInfo *named, char *kind)
{
    *kind = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (!EntryIsListed(&entries[i]))
            continue;
        if (*kind && entries[i].kind != *kind)
            return CHECKLIST_ERR_MIXED_KINDS;
        *kind = entries[i].kind;
    }
    if (*kind && named && named->letter != *kind)
        return CHECKLIST_ERR_KIND_NOT_HELD;
    return CHECKLIST_OK;
}

bool SameUnitIgnoringCase(utf16 a, utf16 b)
{
    if (IsPathSeparator(a) && IsPathSeparator(b))
        return true;
    return UpperAscii(a) == UpperAscii(b);
}

// Units of `path` that name the list's folder and the separator after it,
// when the path lies below that folder; 0 otherwise.
size_t ListFolderPrefixUnits(const utf16 *list_path, const utf16 *path)
{
    size_t folder = size_t(FileNameOf(list_path) - list_path);
    if (folder == 0)
        return 0;
    for (size_t i = 0; i < folder; ++i)
        if (!path[i] || !SameUnitIgnoringCase(list_path[i], path[i]))
            return 0;
    return path[folder] ? folder : 0;
}

// The path as a GNU or SFV list writes it: below the list's folder relative
// to it with '/', the tools' separator; else as it is. Null without memory.
utf16 *PathForList(const utf16 *list_path, const utf16 *path)
{
    size_t prefix = ListFolderPrefixUnits(list_path, path);
    utf16 *copy = DuplicateText(path + prefix);
    for (utf16 *p = copy; prefix && p && *p; ++p)
        if (*p == u'\\')
            *p = u'/';
    return copy;
}

void ReleaseEntryPaths(Entry *entries, int32_t count)
{
    for (int32_t i = 0; i < count && entries; ++i)
        std::free(entries[i].path);
    std::free(entries);
}

// The entries with their paths as the list writes them; the digests stay
// shared. Null without memory.
Entry *EntriesForList(const utf16 *list_path, const Entry *entries, int32_t count)
{
    Entry *copies = static_cast<Entry *>(std::calloc(size_t(count) + 1, sizeof(Entry)));
    for (int32_t i = 0; i < count && copies; ++i) {
        copies[i] = entries[i];
        static const utf16 none[] = {0};
        copies[i].path = PathForList(list_path, entries[i].path ? entries[i].path : none);
        if (!copies[i].path) {
            ReleaseEntryPaths(copies, i);
            return nullptr;
        }
    }
    return copies;
}

int32_t CountLeftOut(const ListStyle *style, const Entry *entries, int32_t count)
{
    int32_t left_out = 0;
    for (int32_t i = 0; i < count; ++i)
        if (EntryIsListed(&entries[i]) && !EntryFitsListStyle(style, &entries[i]))
            ++left_out;
    return left_out;
}

// The new file's whole body: the style of an empty file of that format. A
// .qcx list keeps its byte order mark even without a line.
int ComposeStyled(const ListStyle *style, const Entry *entries, int32_t count, uint8_t **out,
                  uint64_t *bytes)
{
    static const uint8_t mark[] = {0xFF, 0xFE};
    uint64_t size = AddedLinesBytes(style, entries, count);
    bool mark_only = size == 0 && style->format == LIST_FORMAT_QCX;
    if (mark_only)
        size = sizeof mark;
    if (size >= SIZE_MAX)
        return CHECKLIST_ERR_MEMORY;
    *out = static_cast<uint8_t *>(std::malloc(size_t(size) + 1));
    if (!*out)
        return CHECKLIST_ERR_MEMORY;
    if (mark_only)
        std::memcpy(*out, mark, sizeof mark);
    else
        ComposeAddedLines(style, entries, count, *out);
    *bytes = size;
    return CHECKLIST_OK;
}

}  // namespace

int ComposeListFile(int format, const utf16 *list_path, const Entry *entries, int32_t count,
                    uint8_t **out, uint64_t *bytes, int32_t *left_out)
{
    *out = nullptr;
    *bytes = 0;
    *left_out = 0;
    ListStyle style = {};
    style.format = format;
    style.wide = format == LIST_FORMAT_QCX;
    style.crlf = format == LIST_FORMAT_QCX;
    style.relative = HoldsOneKind(format);
    style.separator = HoldsOneKind(format) ? u'/' : u'\\';
    style.appendable = true;
    style.empty_file = true;
    if (!HoldsOneKind(format)) {
        *left_out = CountLeftOut(&style, entries, count);
        return ComposeStyled(&style, entries, count, out, bytes);
    }
    const KindInfo *named = format == LIST_FORMAT_SFV ? FindKind(u'R') : KindOfListName(list_path);
    int fits = OneKindOf(entries, count, named, &style.kind);
    if (fits != CHECKLIST_OK)
        return fits;
    Entry *written = EntriesForList(list_path, entries, count);
    if (!written)
        return CHECKLIST_ERR_MEMORY;
    *left_out = CountLeftOut(&style, written, count);
    int result = ComposeStyled(&style, written, count, out, bytes);
    ReleaseEntryPaths(written, count);
    return result;
}
