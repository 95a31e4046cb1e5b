// What a list's name and its digests' lengths say about its algorithm: the
// candidate kinds of an untagged digest, the kind and format a file name
// asks for, and settling a list's entries to the kind that matched.
#include "checklist/checklist.h"
#include "list_table.h"

#include <cstring>

static_assert(KIND_COUNT <= 32, "a KindMask holds one bit per kind");

namespace {

// From the most to the least likely kind of a digest that names none: the
// algorithms lists are most often made with first.
const char LIKELIEST_FIRST[] = "UDAWTVRBYXCSEMH";

// Names of algorithms in file names, lower case: `.sha256`, `SHA256SUMS`.
struct NameToken {
    const char *token;
    char letter;
};
const NameToken NAME_TOKENS[] = {
    {"md5", 'D'},      {"sha1", 'A'},     {"sha224", 'T'},   {"sha256", 'U'},
    {"sha384", 'V'},   {"sha512", 'W'},   {"b3", 'B'},       {"blake3", 'B'},
    {"xxh3", 'X'},     {"xxh128", 'Y'},   {"crc32", 'R'},    {"crc32c", 'C'},
    {"sha3-224", 'E'}, {"sha3-256", 'S'}, {"sha3-384", 'M'}, {"sha3-512", 'H'},
};

utf16 LowerAscii(utf16 u)
{
    return u >= 'A' && u <= 'Z' ? utf16(u - 'A' + 'a') : u;
}

// Whether `units` units of `text` are `head` followed by `tail` (lower case),
// whatever the text's case.
bool IsNamedAs(const utf16 *text, size_t units, const char *head, const char *tail)
{
    size_t h = std::strlen(head), t = std::strlen(tail);
    if (units != h + t)
        return false;
    for (size_t i = 0; i < units; ++i) {
        char want = i < h ? head[i] : tail[i - h];
        if (LowerAscii(text[i]) != utf16(want))
            return false;
    }
    return true;
}

// `sha256`, `sha256sum` or `sha256sums` (an extension), or only the last two
// (a whole name).
const KindInfo *KindOfNamePart(const utf16 *part, size_t units, bool bare)
{
    for (const NameToken &name : NAME_TOKENS) {
        if ((bare && IsNamedAs(part, units, name.token, "")) ||
            IsNamedAs(part, units, name.token, "sum") || IsNamedAs(part, units, name.token, "sums"))
            return FindKind(utf16(name.letter));
    }
    return nullptr;
}

}  // namespace

size_t StemUnits(const utf16 *name)
{
    size_t units = TextUnits(name);
    for (size_t i = units; i-- > 0;)
        if (name[i] == u'.')
            return i;
    return units;
}

KindMask KindBit(const KindInfo *kind)
{
    return kind ? KindMask(1) << (kind - g_kinds) : 0;
}

bool MaskIsSettled(KindMask mask)
{
    return mask != 0 && (mask & (mask - 1)) == 0;
}

KindMask KindsOfDigestDigits(size_t digits)
{
    KindMask mask = 0;
    for (const KindInfo &kind : g_kinds)
        if (size_t(kind.digest_digits) == digits)
            mask |= KindBit(&kind);
    return mask;
}

const KindInfo *LikeliestKind(KindMask mask)
{
    for (const char *letter = LIKELIEST_FIRST; *letter; ++letter) {
        const KindInfo *kind = FindKind(utf16(*letter));
        if (mask & KindBit(kind))
            return kind;
    }
    return nullptr;
}

const KindInfo *KindOfListName(const utf16 *list_path)
{
    if (!list_path)
        return nullptr;
    const utf16 *name = FileNameOf(list_path);
    size_t units = TextUnits(name);
    size_t stem = StemUnits(name);
    if (IsNamedAs(name + stem, units - stem, ".sfv", ""))
        return FindKind(u'R');
    if (stem < units) {
        if (const KindInfo *kind = KindOfNamePart(name + stem + 1, units - stem - 1, true))
            return kind;
    }
    // SHA256SUMS, B3SUMS, or sha256sum.txt as release pages name them.
    if (stem == units || IsNamedAs(name + stem, units - stem, ".txt", ""))
        return KindOfNamePart(name, stem, false);
    return nullptr;
}

int ListFormatOfName(const utf16 *list_path)
{
    const utf16 *name = FileNameOf(list_path);
    size_t units = TextUnits(name);
    size_t stem = StemUnits(name);
    if (IsNamedAs(name + stem, units - stem, ".sfv", ""))
        return LIST_FORMAT_SFV;
    if (KindOfListName(list_path))
        return LIST_FORMAT_GNU;
    if (stem + 1 >= units || IsNamedAs(name + stem, units - stem, ".qcx", ""))
        return LIST_FORMAT_QCX;
    return LIST_FORMAT_TAGGED;
}

bool IsTextListFormat(int format)
{
    return format != LIST_FORMAT_QCX;
}

bool HoldsOneKind(int format)
{
    return format == LIST_FORMAT_GNU || format == LIST_FORMAT_SFV;
}

int32_t SettleListKind(ParsedList *list, const KindInfo *kind)
{
    KindMask bit = KindBit(kind);
    int32_t settled = 0;
    for (int32_t i = 0; list->candidates && i < list->count; ++i) {
        KindMask mask = list->candidates[i];
        if (MaskIsSettled(mask) || !(mask & bit))
            continue;
        list->candidates[i] = bit;
        list->entries[i].kind = kind->letter;
        ++settled;
    }
    return settled;
}
