// Tagged text lists (`NAME (path) = hex`): composing, reading, and telling
// a list's format by its content. Where their paths point is list_paths.cpp.
#include "checklist/checklist.h"
#include "list_table.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr utf16 UNIT_TAB = 0x0009;
constexpr utf16 UNIT_LF = 0x000A;
constexpr utf16 UNIT_CR = 0x000D;
constexpr utf16 REPLACEMENT = 0xFFFD;
constexpr int32_t PROBLEMS_INITIAL_CAPACITY = 16;
// " (", ") = " and the LF around the path and the digest.
constexpr uint64_t TAGGED_LINE_OVERHEAD = 7;

bool IsHighSurrogate(utf16 u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(utf16 u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

// ---- Composing ------------------------------------------------------------------

uint64_t PathUtf8Bytes(const utf16 *path, bool *fits)
{
    uint64_t bytes = 0;
    *fits = true;
    for (size_t i = 0; path && path[i]; ++i) {
        utf16 u = path[i];
        if (u == UNIT_CR || u == UNIT_LF || IsLowSurrogate(u)) {
            *fits = false;
            return 0;
        }
        if (IsHighSurrogate(u)) {
            if (!IsLowSurrogate(path[i + 1])) {
                *fits = false;
                return 0;
            }
            ++i;
            bytes += 4;
        } else {
            bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        }
    }
    return bytes;
}

char *WriteUtf8(const utf16 *path, char *out)
{
    for (size_t i = 0; path && path[i]; ++i) {
        uint32_t c = path[i];
        if (IsHighSurrogate(path[i])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(path[i + 1]) - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            *out++ = char(c);
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        } else {
            *out++ = char(0xF0 | (c >> 18));
            *out++ = char(0x80 | ((c >> 12) & 0x3F));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {

char *WriteAscii(const char *text, char *out)
{
    size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return out + n;
}

// ---- Reading lines ----------------------------------------------------------------

// One line of the file as UTF-16 units, in a buffer reused line after line.
struct LineBuffer {
    utf16 *units;
    size_t count;
    size_t capacity;
    bool valid;  // no invalid UTF-8 and no NUL
};

// Length of a valid UTF-8 sequence starting at s[0] (at most n bytes), with
// its code point; 0 when the bytes are no valid sequence.
size_t DecodeUtf8(const uint8_t *s, size_t n, uint32_t *c)
{
    if (s[0] < 0x80) {
        *c = s[0];
        return 1;
    }
    size_t length = s[0] >= 0xF0 ? 4 : s[0] >= 0xE0 ? 3 : s[0] >= 0xC0 ? 2 : 0;
    if (length == 0 || s[0] > 0xF4 || length > n)
        return 0;
    uint32_t code = s[0] & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((s[k] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (s[k] & 0x3F);
    }
    static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    *c = code;
    return length;
}

// A UTF-8 line never needs more units than it has bytes.
bool DecodeUtf8Line(const uint8_t *bytes, size_t n, LineBuffer *line)
{
    if (!ReserveArray(&line->units, &line->capacity, int64_t(n), int64_t(n)))
        return false;
    line->count = 0;
    line->valid = true;
    for (size_t i = 0; i < n;) {
        uint32_t c = 0;
        size_t length = DecodeUtf8(bytes + i, n - i, &c);
        if (length == 0 || c == 0) {
            line->valid = false;
            line->units[line->count++] = REPLACEMENT;
            i += length ? length : 1;
            continue;
        }
        if (c >= 0x10000) {
            line->units[line->count++] = utf16(0xD800 + ((c - 0x10000) >> 10));
            line->units[line->count++] = utf16(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            line->units[line->count++] = utf16(c);
        }
        i += length;
    }
    return true;
}

// UTF-16 paths are taken as they are, unpaired surrogates included: Windows
// names may hold them.
bool DecodeUtf16Line(const uint8_t *bytes, size_t n, LineBuffer *line)
{
    if (!ReserveArray(&line->units, &line->capacity, int64_t(n / 2), int64_t(n / 2)))
        return false;
    line->count = n / 2;
    line->valid = true;
    for (size_t k = 0; k < line->count; ++k) {
        utf16 u = utf16(bytes[2 * k] | (bytes[2 * k + 1] << 8));
        if (u == 0) {
            line->valid = false;
            u = REPLACEMENT;
        }
        line->units[k] = u;
    }
    return true;
}

// Byte length of the line starting at `at`, without its LF; *next is where
// the following line starts.
size_t LineBytes(const uint8_t *bytes, size_t size, size_t at, bool wide, size_t *next)
{
    if (!wide) {
        const void *lf = std::memchr(bytes + at, '\n', size - at);
        size_t end = lf ? size_t(static_cast<const uint8_t *>(lf) - bytes) : size;
        *next = lf ? end + 1 : size;
        return end - at;
    }
    size_t end = at;
    while (end + 1 < size && !(bytes[end] == '\n' && bytes[end + 1] == 0))
        end += 2;
    if (end + 1 >= size) {
        *next = size;
        return (size - at) & ~size_t(1);
    }
    *next = end + 2;
    return end - at;
}

void TrimLineEnd(LineBuffer *line)
{
    while (line->count > 0) {
        utf16 u = line->units[line->count - 1];
        if (u != UNIT_CR && u != u' ' && u != UNIT_TAB)
            break;
        --line->count;
    }
}

// ---- Parsing one line -------------------------------------------------------------

struct TaggedLine {
    const KindInfo *kind;
    size_t path_start, path_units;
    size_t hex_start, hex_units;
};

bool IsHexDigit(utf16 u)
{
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

// Algorithm names match whatever their case; hex is stored upper-case.
utf16 UpperAscii(utf16 u)
{
    return u >= 'a' && u <= 'z' ? utf16(u - 'a' + 'A') : u;
}

const KindInfo *KindNamed(const utf16 *name, size_t units)
{
    for (const KindInfo &kind : g_kinds) {
        size_t k = 0;
        while (k < units && kind.name[k] && UpperAscii(name[k]) == utf16(kind.name[k]))
            ++k;
        if (k == units && kind.name[k] == 0)
            return &kind;
    }
    return nullptr;
}

// Splits `NAME (path) = hex`; the path may itself hold ") = ", so the last
// " = " of the line ends it. Returns 0 or the line's problem; the path is
// known whenever the shape is right.
int SplitTaggedLine(const utf16 *u, size_t n, TaggedLine *out)
{
    size_t name_units = 0;
    while (name_units < n && u[name_units] != u' ')
        ++name_units;
    if (name_units == 0 || name_units + 1 >= n || u[name_units + 1] != u'(')
        return LIST_LINE_MALFORMED;
    out->path_start = name_units + 2;
    size_t equals = n;
    for (size_t i = n; i-- > out->path_start + 1;) {
        if (i + 2 < n && u[i] == u' ' && u[i + 1] == u'=' && u[i + 2] == u' ' && u[i - 1] == u')') {
            equals = i;
            break;
        }
    }
    if (equals == n)
        return LIST_LINE_MALFORMED;
    out->path_units = equals - 1 - out->path_start;
    out->hex_start = equals + 3;
    out->hex_units = n - out->hex_start;
    for (size_t i = out->hex_start; i < n; ++i)
        if (!IsHexDigit(u[i]))
            return LIST_LINE_MALFORMED;
    out->kind = KindNamed(u, name_units);
    if (!out->kind)
        return LIST_LINE_UNKNOWN_ALGORITHM;
    if (out->hex_units != size_t(out->kind->digest_digits))
        return LIST_LINE_DIGEST_LENGTH;
    return 0;
}

// ---- The parse ----------------------------------------------------------------------

int AddProblem(ListProblems *problems, int32_t line, int32_t problem, const utf16 *text,
               size_t units)
{
    if (!ReserveArray(&problems->items, &problems->capacity, int64_t(problems->count) + 1,
                      PROBLEMS_INITIAL_CAPACITY))
        return CHECKLIST_ERR_MEMORY;
    if (units > size_t(CHECKLIST_MAX_PATH_UNITS))
        units = size_t(CHECKLIST_MAX_PATH_UNITS);
    utf16 *copy = DuplicateUnits(text, units);
    if (!copy)
        return CHECKLIST_ERR_MEMORY;
    problems->items[problems->count++] = ListProblem{line, problem, copy};
    return CHECKLIST_OK;
}

bool IsSkippedLine(const LineBuffer *line)
{
    return line->count == 0 || line->units[0] == u'#' || line->units[0] == u';';
}

int TakeTaggedLine(const LineBuffer *line, int32_t number, ParsedList *list, ListProblems *problems)
{
    TaggedLine fields = {};
    int problem = SplitTaggedLine(line->units, line->count, &fields);
    if (problem == 0 && !line->valid)
        problem = LIST_LINE_INVALID_TEXT;
    if (problem == LIST_LINE_MALFORMED)
        return AddProblem(problems, number, problem, line->units, line->count);
    const utf16 *path = line->units + fields.path_start;
    if (problem != 0)
        return AddProblem(problems, number, problem, path, fields.path_units);
    utf16 digest[DIGEST_TEXT_CAPACITY];
    for (size_t i = 0; i < fields.hex_units; ++i)
        digest[i] = UpperAscii(line->units[fields.hex_start + i]);
    if (AppendRecord(list, utf16(fields.kind->letter), digest, fields.hex_units, path,
                     fields.path_units) != CHECKLIST_OK)
        return CHECKLIST_ERR_MEMORY;
    if (KeepRoomForRecords(list) != CHECKLIST_OK)
        return CHECKLIST_ERR_MEMORY;
    return CHECKLIST_OK;
}

int ParseTaggedList(const uint8_t *bytes, size_t size, ParsedList *list, ListProblems *problems)
{
    bool wide = StartsWithUtf16Mark(bytes, size);
    size_t at = ByteOrderMarkBytes(bytes, size);
    LineBuffer line = {};
    int result = CHECKLIST_OK;
    for (int32_t number = 1; at < size && result == CHECKLIST_OK; ++number) {
        size_t next = size;
        size_t n = LineBytes(bytes, size, at, wide, &next);
        bool decoded =
            wide ? DecodeUtf16Line(bytes + at, n, &line) : DecodeUtf8Line(bytes + at, n, &line);
        at = next;
        if (!decoded) {
            result = CHECKLIST_ERR_MEMORY;
            break;
        }
        TrimLineEnd(&line);
        if (!IsSkippedLine(&line))
            result = TakeTaggedLine(&line, number, list, problems);
    }
    std::free(line.units);
    return result;
}

// .qcx lists are parsed from an aligned copy of their units, byte order mark
// included, exactly as the check has always read them.
int ParseQcxList(const uint8_t *bytes, size_t size, ParsedList *list)
{
    size_t units = size / sizeof(utf16);
    utf16 *text = static_cast<utf16 *>(std::malloc(units * sizeof(utf16) + 1));
    if (!text)
        return CHECKLIST_ERR_MEMORY;
    std::memcpy(text, bytes, units * sizeof(utf16));
    int result = ParseChecksumList(text, units, list);
    std::free(text);
    return result;
}

// The first line of a UTF-16 text (after its byte order mark) that is not
// empty has a tab as second unit, or there is no such line.
bool StartsLikeQcx(const uint8_t *bytes, size_t size)
{
    size_t at = 2;
    while (at + 1 < size && bytes[at + 1] == 0 && (bytes[at] == '\r' || bytes[at] == '\n'))
        at += 2;
    if (at + 1 >= size)
        return true;
    return at + 3 < size && bytes[at + 2] == '\t' && bytes[at + 3] == 0;
}

const KindInfo *KindOfEntry(const Entry *entry)
{
    return FindKind(utf16(static_cast<unsigned char>(entry->kind)));
}

}  // namespace

bool EntryFitsTaggedList(const Entry *entry)
{
    bool fits = false;
    PathUtf8Bytes(entry->path, &fits);
    return fits && EntryIsListed(entry) && KindOfEntry(entry);
}

uint64_t TaggedListBytes(const Entry *entries, int32_t count)
{
    uint64_t total = 0;
    for (int32_t i = 0; i < count; ++i) {
        const Entry *entry = &entries[i];
        if (!EntryFitsTaggedList(entry))
            continue;
        bool fits = false;
        total += std::strlen(KindOfEntry(entry)->name) + PathUtf8Bytes(entry->path, &fits) +
                 TextUnits(entry->digest) + TAGGED_LINE_OVERHEAD;
    }
    return total;
}

uint64_t ComposeTaggedList(const Entry *entries, int32_t count, char *out)
{
    char *at = out;
    for (int32_t i = 0; i < count; ++i) {
        const Entry *entry = &entries[i];
        if (!EntryFitsTaggedList(entry))
            continue;
        at = WriteAscii(KindOfEntry(entry)->name, at);
        at = WriteAscii(" (", at);
        at = WriteUtf8(entry->path, at);
        at = WriteAscii(") = ", at);
        for (const utf16 *d = entry->digest; *d; ++d)
            *at++ = char(*d);
        *at++ = '\n';
    }
    return uint64_t(at - out);
}

int DetectListFormat(const uint8_t *bytes, size_t size)
{
    if (StartsWithUtf16Mark(bytes, size))
        return StartsLikeQcx(bytes, size) ? LIST_FORMAT_QCX : LIST_FORMAT_TAGGED;
    if (StartsWithUtf8Mark(bytes, size))
        return LIST_FORMAT_TAGGED;
    // A single byte holds no UTF-16 unit: it can only be a (short) text line.
    if (size == 1 || (size >= 2 && bytes[1] != 0))
        return LIST_FORMAT_TAGGED;
    return LIST_FORMAT_QCX;
}

int ParseListFile(const uint8_t *bytes, size_t size, ParsedList *list, ListProblems *problems)
{
    if (DetectListFormat(bytes, size) == LIST_FORMAT_QCX)
        return ParseQcxList(bytes, size, list);
    if (KeepRoomForRecords(list) != CHECKLIST_OK)
        return CHECKLIST_ERR_MEMORY;
    return ParseTaggedList(bytes, size, list, problems);
}

void ReleaseListProblems(ListProblems *problems)
{
    for (int32_t i = 0; i < problems->count; ++i)
        std::free(problems->items[i].text);
    std::free(problems->items);
    problems->items = nullptr;
    problems->count = 0;
    problems->capacity = 0;
}
