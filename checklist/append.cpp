// Lines added to an existing list in its own format, encoding, line ends,
// path separators and algorithm; recognising a checksum list by its first
// bytes.
#include "checklist/checklist.h"
#include "list_table.h"

#include <cstring>

namespace {

constexpr utf16 UNIT_LF = 0x000A;
constexpr utf16 UNIT_CR = 0x000D;

// The unit at byte `at`: two bytes little-endian, or one.
utf16 UnitAt(const uint8_t *bytes, size_t at, bool wide)
{
    return wide ? utf16(bytes[at] | (bytes[at + 1] << 8)) : utf16(bytes[at]);
}

// The tools that write GNU and SFV lists separate folders with '/'.
utf16 FirstSeparator(const ParsedList *list, int format)
{
    for (int32_t i = 0; i < list->count; ++i)
        for (const utf16 *p = list->entries[i].path; p && *p; ++p)
            if (IsPathSeparator(*p))
                return *p;
    return HoldsOneKind(format) ? u'/' : u'\\';
}

// The kind a GNU or SFV list's entries are settled to: the first entry's,
// once its candidates are down to it.
char SettledKindOf(const ParsedList *list)
{
    if (list->count == 0 || (list->candidates && !MaskIsSettled(list->candidates[0])))
        return 0;
    return list->entries[0].kind;
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

// `n` units of a text that fits the style (EntryFitsListStyle).
void PutUnits(LineWriter *w, const utf16 *text, size_t n)
{
    if (!w->style->wide) {
        bool fits = false;
        w->bytes += UnitsUtf8Bytes(text, n, &fits);
        if (w->out)
            w->out = reinterpret_cast<uint8_t *>(
                WriteUtf8Units(text, n, reinterpret_cast<char *>(w->out)));
        return;
    }
    w->bytes += 2 * n;
    for (size_t i = 0; w->out && i < n; ++i) {
        *w->out++ = uint8_t(text[i] & 0xFF);
        *w->out++ = uint8_t(text[i] >> 8);
    }
}

void PutText(LineWriter *w, const utf16 *text)
{
    PutUnits(w, text, TextUnits(text));
}

void PutLineEnd(LineWriter *w)
{
    PutAscii(w, w->style->crlf ? "\r\n" : "\n");
}

// GNU tools write lower-case hex, and SFV upper-case.
void PutHex(LineWriter *w, const utf16 *digest, bool lower)
{
    for (const utf16 *d = digest; *d; ++d) {
        utf16 u = lower && *d >= u'A' && *d <= u'F' ? utf16(*d - u'A' + u'a') : *d;
        PutUnits(w, &u, 1);
    }
}

bool NeedsGnuEscape(utf16 u)
{
    return u == u'\\' || u == UNIT_LF || u == UNIT_CR;
}

bool HasGnuEscape(const utf16 *path)
{
    for (const utf16 *p = path; p && *p; ++p)
        if (NeedsGnuEscape(*p))
            return true;
    return false;
}

// The name as GNU tools write it once its line starts with `\`.
void PutGnuEscapedName(LineWriter *w, const utf16 *path)
{
    const utf16 *run = path;
    for (const utf16 *p = path; *p; ++p) {
        if (!NeedsGnuEscape(*p))
            continue;
        PutUnits(w, run, size_t(p - run));
        PutAscii(w, *p == UNIT_LF ? "\\n" : *p == UNIT_CR ? "\\r" : "\\\\");
        run = p + 1;
    }
    PutText(w, run);
}

// `hex  path`, with a leading `\` and escapes when the name holds a
// backslash or a line end.
void PutGnuLine(LineWriter *w, const Entry *entry)
{
    bool escaped = HasGnuEscape(entry->path);
    if (escaped)
        PutAscii(w, "\\");
    PutHex(w, entry->digest, true);
    PutAscii(w, "  ");
    if (escaped)
        PutGnuEscapedName(w, entry->path);
    else
        PutText(w, entry->path);
}

// `K<TAB>digest<TAB>path`, `NAME (path) = digest`, `hex  path` or
// `path HEX`, then the line end.
void PutEntryLine(LineWriter *w, const Entry *entry)
{
    const KindInfo *kind = KindOfEntry(entry);
    switch (w->style->format) {
    case LIST_FORMAT_QCX: {
        const char letter[2] = {kind->letter, 0};
        PutAscii(w, letter);
        PutAscii(w, "\t");
        PutText(w, entry->digest);
        PutAscii(w, "\t");
        PutText(w, entry->path);
        break;
    }
    case LIST_FORMAT_GNU:
        PutGnuLine(w, entry);
        break;
    case LIST_FORMAT_SFV:
        PutText(w, entry->path);
        PutAscii(w, " ");
        PutHex(w, entry->digest, false);
        break;
    default:
        PutAscii(w, kind->name);
        PutAscii(w, " (");
        PutText(w, entry->path);
        PutAscii(w, ") = ");
        PutText(w, entry->digest);
        break;
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

bool ParsesAsTextList(const uint8_t *bytes, size_t size, const utf16 *list_path)
{
    ParsedList list = {};
    ListProblems problems = {};
    int parsed = ParseNamedListFile(bytes, size, list_path, &list, &problems);
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
    style->format = size == 0      ? empty_format
                    : list->format ? list->format
                                   : DetectListFormat(bytes, size);
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
        IsTextListFormat(style->format) &&
        (list->count == 0 || ClassifyListPath(list->entries[0].path) == LIST_PATH_RELATIVE);
    style->separator = FirstSeparator(list, style->format);
    style->kind = HoldsOneKind(style->format) ? SettledKindOf(list) : 0;
}

void ReadNamedListStyle(const uint8_t *bytes, size_t size, const ParsedList *list,
                        const utf16 *list_path, ListStyle *style)
{
    ReadListStyle(bytes, size, list, ListFormatOfName(list_path), style);
    const KindInfo *named = KindOfListName(list_path);
    if (named && HoldsOneKind(style->format))
        style->kind = named->letter;
}

void UseListSeparator(const ListStyle *style, utf16 *path)
{
    for (utf16 *p = path; *p; ++p)
        if (*p == u'\\')
            *p = style->separator;
}

bool EntryFitsListStyle(const ListStyle *style, const Entry *entry)
{
    if (!EntryIsListed(entry) || KindOfEntry(entry) == nullptr)
        return false;
    if (HoldsOneKind(style->format) && entry->kind != style->kind)
        return false;
    // An SFV line starts with its name: one starting with `;` would read as
    // a comment, and U+FEFF at a file's start as its byte order mark.
    if (style->format == LIST_FORMAT_SFV && entry->path &&
        (entry->path[0] == u';' || entry->path[0] == 0xFEFF))
        return false;
    if (style->wide)
        return true;
    // A GNU name escapes its line ends; every other line would split.
    bool fits = false;
    if (style->format == LIST_FORMAT_GNU)
        UnitsUtf8Bytes(entry->path, TextUnits(entry->path), &fits);
    else
        PathUtf8Bytes(entry->path, &fits);
    return fits;
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

bool LooksLikeNamedChecksumList(const uint8_t *bytes, size_t size, bool whole,
                                const utf16 *list_path)
{
    if (DetectListFormat(bytes, size) == LIST_FORMAT_QCX)
        return StartsLikeQcxLine(bytes, size);
    return ParsesAsTextList(bytes, CompleteLinesBytes(bytes, size, whole), list_path);
}

bool LooksLikeChecksumList(const uint8_t *bytes, size_t size, bool whole)
{
    return LooksLikeNamedChecksumList(bytes, size, whole, nullptr);
}
