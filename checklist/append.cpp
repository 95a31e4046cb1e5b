// Lines added to an existing list in its own format, encoding, line ends and
// path separators; recognising a checksum list by its first bytes.
#include "checklist/checklist.h"
#include "list_table.h"

#include <cstring>

namespace {

// The unit at byte `at`: two bytes little-endian, or one.
utf16 UnitAt(const uint8_t *bytes, size_t at, bool wide)
{
    return wide ? utf16(bytes[at] | (bytes[at + 1] << 8)) : utf16(bytes[at]);
}

utf16 FirstSeparator(const ParsedList *list)
{
    for (int32_t i = 0; i < list->count; ++i)
        for (const utf16 *p = list->entries[i].path; p && *p; ++p)
            if (IsPathSeparator(*p))
                return *p;
    return u'\\';
}

// Counts the bytes of a line, or writes them when `out` is set.
struct LineWriter {
    const ListStyle *style;
    uint8_t *out;
    uint64_t bytes;
};

void PutAscii(LineWriter *w, const char *text)
{
    size_t n = std::strlen(text);
    w->bytes += w->style->wide ? 2 * n : n;
    for (size_t i = 0; w->out && i < n; ++i) {
        *w->out++ = uint8_t(text[i]);
        if (w->style->wide)
            *w->out++ = 0;
    }
}

// The text must fit the style (EntryFitsListStyle).
void PutText(LineWriter *w, const utf16 *text)
{
    if (!w->style->wide) {
        bool fits = false;
        w->bytes += PathUtf8Bytes(text, &fits);
        if (w->out)
            w->out = reinterpret_cast<uint8_t *>(WriteUtf8(text, reinterpret_cast<char *>(w->out)));
        return;
    }
    size_t n = TextUnits(text);
    w->bytes += 2 * n;
    for (size_t i = 0; w->out && i < n; ++i) {
        *w->out++ = uint8_t(text[i] & 0xFF);
        *w->out++ = uint8_t(text[i] >> 8);
    }
}

void PutLineEnd(LineWriter *w)
{
    PutAscii(w, w->style->crlf ? "\r\n" : "\n");
}

const KindInfo *KindOf(const Entry *entry)
{
    return FindKind(utf16(static_cast<unsigned char>(entry->kind)));
}

// `K<TAB>digest<TAB>path` or `NAME (path) = digest`, then the line end.
void PutEntryLine(LineWriter *w, const Entry *entry)
{
    const KindInfo *kind = KindOf(entry);
    if (w->style->format == LIST_FORMAT_QCX) {
        const char letter[2] = {kind->letter, 0};
        PutAscii(w, letter);
        PutAscii(w, "\t");
        PutText(w, entry->digest);
        PutAscii(w, "\t");
        PutText(w, entry->path);
    } else {
        PutAscii(w, kind->name);
        PutAscii(w, " (");
        PutText(w, entry->path);
        PutAscii(w, ") = ");
        PutText(w, entry->digest);
    }
    PutLineEnd(w);
}

uint64_t PutAddedLines(LineWriter *w, const Entry *entries, int32_t count)
{
    static const utf16 mark[] = {0xFEFF, 0};
    bool any = false;
    for (int32_t i = 0; i < count; ++i) {
        if (!EntryFitsListStyle(w->style, &entries[i]))
            continue;
        if (!any && w->style->empty_file && w->style->format == LIST_FORMAT_QCX)
            PutText(w, mark);
        if (!any && w->style->open_end)
            PutLineEnd(w);
        any = true;
        PutEntryLine(w, &entries[i]);
    }
    return any ? w->bytes : 0;
}

bool IsKindLetter(uint8_t byte)
{
    return byte < 0x80 && FindKind(utf16(byte)) != nullptr;
}

bool StartsLikeQcxLine(const uint8_t *bytes, size_t size)
{
    size_t at = StartsWithUtf16Mark(bytes, size) ? 2 : 0;
    return size >= at + 4 && IsKindLetter(bytes[at]) && bytes[at + 1] == 0 &&
           bytes[at + 2] == '\t' && bytes[at + 3] == 0;
}

// The head cut after its last complete line: a line cut off by the head's
// end would count as a bad one. A UTF-16 text's line feed is two bytes.
size_t CompleteLinesBytes(const uint8_t *bytes, size_t size, bool whole)
{
    if (whole)
        return size;
    bool wide = StartsWithUtf16Mark(bytes, size);
    for (size_t end = size; end-- > 0;) {
        if (bytes[end] != '\n')
            continue;
        if (!wide)
            return end + 1;
        if (end % 2 == 0 && end + 1 < size && bytes[end + 1] == 0)
            return end + 2;
    }
    return 0;
}

bool ParsesAsTaggedList(const uint8_t *bytes, size_t size)
{
    ParsedList list = {};
    ListProblems problems = {};
    int parsed = ParseListFile(bytes, size, &list, &problems);
    bool is_list = parsed == CHECKLIST_OK && list.count > 0 && list.count > problems.count;
    ReleaseParsedList(&list);
    ReleaseListProblems(&problems);
    return is_list;
}

}  // namespace

void ReadListStyle(const uint8_t *bytes, size_t size, const ParsedList *list, int empty_format,
                   ListStyle *style)
{
    style->empty_file = size == 0;
    style->format = size == 0 ? empty_format : DetectListFormat(bytes, size);
    style->wide = style->format == LIST_FORMAT_QCX || StartsWithUtf16Mark(bytes, size);
    size_t step = style->wide ? 2 : 1;
    size_t start = ByteOrderMarkBytes(bytes, size);
    style->appendable = !style->wide || size % 2 == 0;
    style->crlf = style->format == LIST_FORMAT_QCX;
    for (size_t at = start; at + step <= size; at += step) {
        if (UnitAt(bytes, at, style->wide) == u'\n') {
            style->crlf = at > start && UnitAt(bytes, at - step, style->wide) == u'\r';
            break;
        }
    }
    style->open_end =
        size >= start + step && UnitAt(bytes, size - step, style->wide && size % 2 == 0) != u'\n';
    style->relative =
        style->format == LIST_FORMAT_TAGGED &&
        (list->count == 0 || ClassifyListPath(list->entries[0].path) == LIST_PATH_RELATIVE);
    style->separator = FirstSeparator(list);
}

void UseListSeparator(const ListStyle *style, utf16 *path)
{
    for (utf16 *p = path; *p; ++p)
        if (*p == u'\\')
            *p = style->separator;
}

bool EntryFitsListStyle(const ListStyle *style, const Entry *entry)
{
    if (!style->wide)
        return EntryFitsTaggedList(entry);
    return EntryIsListed(entry) && KindOf(entry) != nullptr;
}

uint64_t AddedLinesBytes(const ListStyle *style, const Entry *entries, int32_t count)
{
    LineWriter w = {style, nullptr, 0};
    return PutAddedLines(&w, entries, count);
}

uint64_t ComposeAddedLines(const ListStyle *style, const Entry *entries, int32_t count,
                           uint8_t *out)
{
    LineWriter w = {style, out, 0};
    return PutAddedLines(&w, entries, count);
}

bool LooksLikeChecksumList(const uint8_t *bytes, size_t size, bool whole)
{
    if (DetectListFormat(bytes, size) == LIST_FORMAT_QCX)
        return StartsLikeQcxLine(bytes, size);
    return ParsesAsTaggedList(bytes, CompleteLinesBytes(bytes, size, whole));
}
