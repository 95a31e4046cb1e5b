// Tagged text lists (`NAME (path) = hex`): composing them, splitting their
// lines, and the UTF-8 path writer every text format shares.
#include "checklist/checklist.h"
#include "list_table.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr utf16 UNIT_LF = 0x000A;
constexpr utf16 UNIT_CR = 0x000D;
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

uint64_t UnitsUtf8Bytes(const utf16 *text, size_t n, bool *fits)
{
    uint64_t bytes = 0;
    *fits = true;
    for (size_t i = 0; i < n; ++i) {
        utf16 u = text[i];
        if (IsLowSurrogate(u) ||
            (IsHighSurrogate(u) && (i + 1 == n || !IsLowSurrogate(text[i + 1])))) {
            *fits = false;
            return 0;
        }
        if (IsHighSurrogate(u)) {
            ++i;
            bytes += 4;
        } else {
            bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        }
    }
    return bytes;
}

uint64_t PathUtf8Bytes(const utf16 *path, bool *fits)
{
    size_t n = TextUnits(path);
    for (size_t i = 0; i < n; ++i) {
        if (path[i] == UNIT_CR || path[i] == UNIT_LF) {
            *fits = false;
            return 0;
        }
    }
    return UnitsUtf8Bytes(path, n, fits);
}

char *WriteUtf8Units(const utf16 *text, size_t n, char *out)
{
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = text[i];
        if (IsHighSurrogate(text[i])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00);
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

char *WriteUtf8(const utf16 *path, char *out)
{
    return WriteUtf8Units(path, TextUnits(path), out);
}

namespace {

char *WriteAscii(const char *text, char *out)
{
    size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return out + n;
}

// ---- Parsing one line -------------------------------------------------------------

// Other spellings tools write for the kinds' names.
struct KindAlias {
    const char *name;
    char letter;
};
const KindAlias KIND_ALIASES[] = {
    {"CRC-32", 'R'},   {"CRC-32C", 'C'}, {"SHA-1", 'A'},    {"SHA-224", 'T'},  {"SHA-256", 'U'},
    {"SHA-384", 'V'},  {"SHA-512", 'W'}, {"SHA2-224", 'T'}, {"SHA2-256", 'U'}, {"SHA2-384", 'V'},
    {"SHA2-512", 'W'}, {"XXH3-64", 'X'}, {"XXH3_64", 'X'},  {"XXH3-128", 'Y'}, {"XXH3_128", 'Y'},
};

bool SameNameIgnoringCase(const utf16 *name, size_t units, const char *known)
{
    size_t k = 0;
    while (k < units && known[k] && UpperAscii(name[k]) == utf16(known[k]))
        ++k;
    return k == units && known[k] == 0;
}

const KindInfo *KindNamed(const utf16 *name, size_t units)
{
    for (const KindInfo &kind : g_kinds)
        if (SameNameIgnoringCase(name, units, kind.name))
            return &kind;
    for (const KindAlias &alias : KIND_ALIASES)
        if (SameNameIgnoringCase(name, units, alias.name))
            return FindKind(utf16(alias.letter));
    return nullptr;
}

// The path may itself hold ") = ", so the last " = " of the line ends it.
// Some tools pad the name with spaces to align the paths.
int SplitTaggedFields(const utf16 *u, size_t n, ListLine *out)
{
    size_t name_units = 0;
    while (name_units < n && u[name_units] != u' ')
        ++name_units;
    size_t open = name_units;
    while (open < n && u[open] == u' ')
        ++open;
    if (name_units == 0 || open == name_units || open >= n || u[open] != u'(')
        return LIST_LINE_MALFORMED;
    out->path_start = open + 1;
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

}  // namespace

// A leading `\` marks a name escaped as GNU lists escape theirs.
int SplitTaggedLine(const utf16 *u, size_t n, ListLine *out)
{
    out->escaped = n > 0 && u[0] == u'\\';
    if (out->escaped) {
        ++u;
        --n;
    }
    int problem = SplitTaggedFields(u, n, out);
    if (out->escaped) {
        out->path_start += 1;
        out->hex_start += 1;
    }
    return problem;
}

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
