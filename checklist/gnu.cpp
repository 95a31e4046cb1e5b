// The lines of GNU lists (`hex  path`, as sha256sum and b3sum write them) and
// of SFV files (`path CRC32`), and telling a text list's format by the shape
// of a line.
#include "checklist/checklist.h"
#include "list_table.h"

namespace {

constexpr utf16 UNIT_LF = 0x000A;
constexpr utf16 UNIT_CR = 0x000D;
// Shorter hex than any digest's is no reason to take a line for a list.
constexpr size_t SHORTEST_DIGEST_DIGITS = 8;
constexpr size_t SFV_DIGEST_DIGITS = 8;

size_t HexRun(const utf16 *u, size_t from, size_t n)
{
    size_t end = from;
    while (end < n && IsHexDigit(u[end]))
        ++end;
    return end - from;
}

// Whether the GNU line has the two units tools put between digest and name:
// two spaces, or a space and the `*` of a binary read.
bool HasGnuSeparator(const utf16 *u, size_t n, const ListLine *line)
{
    size_t after = line->hex_start + line->hex_units;
    return after + 1 < n && u[after] == u' ' && (u[after + 1] == u' ' || u[after + 1] == u'*');
}

}  // namespace

int SplitGnuLine(const utf16 *u, size_t n, ListLine *out)
{
    *out = ListLine{};
    out->escaped = n > 0 && u[0] == u'\\';
    out->hex_start = out->escaped ? 1 : 0;
    out->hex_units = HexRun(u, out->hex_start, n);
    size_t at = out->hex_start + out->hex_units;
    if (out->hex_units == 0)
        return LIST_LINE_MALFORMED;
    if (at == n) {
        out->path_start = n;
        return out->escaped ? LIST_LINE_MALFORMED : 0;
    }
    if (u[at] != u' ')
        return LIST_LINE_MALFORMED;
    ++at;
    if (at < n && (u[at] == u' ' || u[at] == u'*'))
        ++at;
    if (at == n)
        return LIST_LINE_MALFORMED;
    out->path_start = at;
    out->path_units = n - at;
    return 0;
}

int SplitSfvLine(const utf16 *u, size_t n, ListLine *out)
{
    *out = ListLine{};
    size_t space = n;
    while (space > 0 && u[space - 1] != u' ')
        --space;
    if (space == 0)
        return LIST_LINE_MALFORMED;
    out->hex_start = space;
    out->hex_units = n - space;
    if (out->hex_units == 0 || HexRun(u, space, n) != out->hex_units)
        return LIST_LINE_MALFORMED;
    size_t path_end = space - 1;
    while (path_end > 0 && u[path_end - 1] == u' ')
        --path_end;
    if (path_end == 0)
        return LIST_LINE_MALFORMED;
    out->path_units = path_end;
    return 0;
}

int TextFormatOfLine(const utf16 *u, size_t n)
{
    ListLine line;
    bool gnu = SplitGnuLine(u, n, &line) == 0 && line.hex_units >= SHORTEST_DIGEST_DIGITS;
    if (gnu && (line.path_units == 0 || HasGnuSeparator(u, n, &line)))
        return LIST_FORMAT_GNU;
    if (SplitTaggedLine(u, n, &line) != LIST_LINE_MALFORMED)
        return LIST_FORMAT_TAGGED;
    if (SplitSfvLine(u, n, &line) == 0 && line.hex_units == SFV_DIGEST_DIGITS)
        return LIST_FORMAT_SFV;
    return gnu ? LIST_FORMAT_GNU : 0;
}

size_t UnescapeGnuName(utf16 *u, size_t n, bool *valid)
{
    for (size_t i = 0; i < n; ++i) {
        if (u[i] != u'\\')
            continue;
        utf16 next = i + 1 < n ? u[i + 1] : 0;
        if (next != u'\\' && next != u'n' && next != u'r') {
            *valid = false;
            return 0;
        }
        ++i;
    }
    *valid = true;
    size_t out = 0;
    for (size_t i = 0; i < n; ++i) {
        utf16 next = u[i] == u'\\' ? u[++i] : 0;
        u[out++] = next == 0 ? u[i] : next == u'n' ? UNIT_LF : next == u'r' ? UNIT_CR : u'\\';
    }
    return out;
}
