// The lines of a text list, decoded from UTF-8 or UTF-16LE, and the problems
// its lines give; shared by every text format.
#include "checklist/checklist.h"
#include "list_table.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr utf16 UNIT_TAB = 0x0009;
constexpr utf16 UNIT_CR = 0x000D;
constexpr utf16 REPLACEMENT = 0xFFFD;
constexpr int32_t PROBLEMS_INITIAL_CAPACITY = 16;

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

}  // namespace

void StartLineReader(const uint8_t *bytes, size_t size, LineReader *reader)
{
    *reader = LineReader{};
    reader->bytes = bytes;
    reader->size = size;
    reader->wide = StartsWithUtf16Mark(bytes, size);
    reader->at = ByteOrderMarkBytes(bytes, size);
}

bool ReadNextLine(LineReader *reader, bool *memory)
{
    *memory = true;
    if (reader->at >= reader->size)
        return false;
    size_t next = reader->size;
    size_t n = LineBytes(reader->bytes, reader->size, reader->at, reader->wide, &next);
    const uint8_t *start = reader->bytes + reader->at;
    bool decoded = reader->wide ? DecodeUtf16Line(start, n, &reader->line)
                                : DecodeUtf8Line(start, n, &reader->line);
    reader->at = next;
    ++reader->number;
    if (!decoded) {
        *memory = false;
        return false;
    }
    TrimLineEnd(&reader->line);
    return true;
}

void ReleaseLineReader(LineReader *reader)
{
    std::free(reader->line.units);
    reader->line = LineBuffer{};
}

bool IsSkippedLine(const LineBuffer *line, int format)
{
    if (line->count == 0 || line->units[0] == u';')
        return true;
    return line->units[0] == u'#' && format != LIST_FORMAT_SFV;
}

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

void ReleaseListProblems(ListProblems *problems)
{
    for (int32_t i = 0; i < problems->count; ++i)
        std::free(problems->items[i].text);
    std::free(problems->items);
    problems->items = nullptr;
    problems->count = 0;
    problems->capacity = 0;
}

bool IsHexDigit(utf16 u)
{
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

utf16 UpperAscii(utf16 u)
{
    return u >= 'a' && u <= 'z' ? utf16(u - 'a' + 'A') : u;
}

const KindInfo *KindOfEntry(const Entry *entry)
{
    return FindKind(utf16(static_cast<unsigned char>(entry->kind)));
}
