#include "core/core.h"

#include <cstdlib>
#include <cstring>

const KindInfo g_kinds[KIND_COUNT] = {
    {'C', HASH_CRC32C, ENGINE_CRC32C, 32, 8, "CRC32C"},
    {'E', HASH_SHA3_224, ENGINE_SHA3, 224, 56, "SHA3-224"},
    {'S', HASH_SHA3_256, ENGINE_SHA3, 256, 64, "SHA3-256"},
    {'M', HASH_SHA3_384, ENGINE_SHA3, 384, 96, "SHA3-384"},
    {'H', HASH_SHA3_512, ENGINE_SHA3, 512, 128, "SHA3-512"},
    {'R', HASH_CRC32, ENGINE_CRC32, 32, 8, "CRC32"},
    {'D', HASH_MD5, ENGINE_MD5, 128, 32, "MD5"},
    {'A', HASH_SHA1, ENGINE_SHA1, 160, 40, "SHA1"},
    {'T', HASH_SHA2_224, ENGINE_SHA2, 224, 56, "SHA224"},
    {'U', HASH_SHA2_256, ENGINE_SHA2, 256, 64, "SHA256"},
    {'V', HASH_SHA2_384, ENGINE_SHA2, 384, 96, "SHA384"},
    {'W', HASH_SHA2_512, ENGINE_SHA2, 512, 128, "SHA512"},
    {'B', HASH_BLAKE3, ENGINE_BLAKE3, 256, 64, "BLAKE3"},
    {'X', HASH_XXH3_64, ENGINE_XXH3, 64, 16, "XXH3"},
    {'Y', HASH_XXH3_128, ENGINE_XXH3, 128, 32, "XXH128"},
};

bool IsProblemStatus(int32_t status)
{
    return status != ROW_OK && status != ROW_CREATED;
}

const KindInfo *FindKind(utf16 letter)
{
    for (const KindInfo &kind : g_kinds)
        if (utf16(kind.letter) == letter)
            return &kind;
    return nullptr;
}

const KindInfo *KindOfHashChoice(int32_t choice)
{
    for (const KindInfo &kind : g_kinds)
        if (kind.hash_choice == choice)
            return &kind;
    return FindKind(u'S');
}

void WriteHexUpper(const uint8_t *bytes, size_t count, utf16 *out)
{
    static const char digits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = utf16(digits[bytes[i] >> 4]);
        out[2 * i + 1] = utf16(digits[bytes[i] & 0xF]);
    }
    out[2 * count] = 0;
}

bool IsPathSeparator(utf16 unit)
{
    return unit == u'\\' || unit == u'/';
}

const utf16 *FileNameOf(const utf16 *path)
{
    const utf16 *name = path;
    for (const utf16 *p = path; *p; ++p)
        if (IsPathSeparator(*p))
            name = p + 1;
    return name;
}

bool IsDriveLetter(utf16 unit)
{
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

size_t TextUnits(const utf16 *text)
{
    size_t n = 0;
    if (text)
        while (text[n] != 0)
            ++n;
    return n;
}

utf16 *DuplicateUnits(const utf16 *source, size_t units)
{
    utf16 *copy = static_cast<utf16 *>(std::malloc((units + 1) * sizeof(utf16)));
    if (!copy)
        return nullptr;
    std::memcpy(copy, source, units * sizeof(utf16));
    copy[units] = 0;
    return copy;
}

utf16 *DuplicateText(const utf16 *text)
{
    return DuplicateUnits(text, TextUnits(text));
}

utf16 *JoinUnits(const utf16 *head, size_t head_units, const utf16 *tail)
{
    size_t tail_units = TextUnits(tail);
    utf16 *joined =
        static_cast<utf16 *>(std::malloc((head_units + tail_units + 1) * sizeof(utf16)));
    if (!joined)
        return nullptr;
    std::memcpy(joined, head, head_units * sizeof(utf16));
    std::memcpy(joined + head_units, tail, (tail_units + 1) * sizeof(utf16));
    return joined;
}

bool ReserveItems(void **items, int64_t *capacity, int64_t wanted, int64_t first, size_t item_bytes,
                  int64_t limit)
{
    if (wanted <= *capacity)
        return true;
    if (wanted > limit)
        return false;
    int64_t grown = *capacity > 0 ? *capacity : first > 0 ? first : 1;
    while (grown < wanted)
        grown = grown > limit / 2 ? limit : 2 * grown;
    if (uint64_t(grown) > SIZE_MAX / item_bytes)
        return false;
    void *moved = std::realloc(*items, size_t(grown) * item_bytes);
    if (!moved)
        return false;
    *items = moved;
    *capacity = grown;
    return true;
}
