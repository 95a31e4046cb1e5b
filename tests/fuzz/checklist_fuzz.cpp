// Any byte string is a possible list file. Parsing must stay inside the text,
// every entry must have its kind's digest length and a bounded path, and the
// entries that a save could write back must parse back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "checklist/checklist.h"

namespace {

size_t Units(const utf16 *text)
{
    size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

size_t ExpectedDigestUnits(char kind)
{
    switch (kind) {
    case 'C':
        return 8;
    case 'E':
        return 56;
    case 'S':
        return 64;
    case 'M':
        return 96;
    case 'H':
        return 128;
    case 'R':
        return 8;
    case 'D':
        return 32;
    case 'A':
        return 40;
    case 'T':
        return 56;
    case 'U':
        return 64;
    case 'V':
        return 96;
    case 'W':
        return 128;
    case 'B':
        return 64;
    case 'X':
        return 16;
    case 'Y':
        return 32;
    default:
        std::abort();
    }
}

bool IsUpperHex(utf16 u)
{
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F');
}

// Digest of upper-case hex digits and a path without NUL: what a scan makes.
bool IsSaveable(const Entry &e)
{
    size_t digest_units = Units(e.digest);
    if (digest_units != ExpectedDigestUnits(e.kind))
        return false;
    for (size_t i = 0; i < digest_units; ++i)
        if (!IsUpperHex(e.digest[i]))
            return false;
    return true;
}

void CheckRoundTrip(const ParsedList &parsed)
{
    std::vector<Entry> saveable;
    for (int32_t i = 0; i < parsed.count; ++i)
        if (IsSaveable(parsed.entries[i]))
            saveable.push_back(parsed.entries[i]);
    std::vector<utf16> body(ComposedListUnits(saveable.data(), int32_t(saveable.size())) + 1);
    uint64_t units = ComposeChecksumList(saveable.data(), int32_t(saveable.size()), body.data());
    ParsedList again = {};
    if (ParseChecksumList(body.data(), size_t(units), &again) != CHECKLIST_OK)
        std::abort();
    if (again.count != int32_t(saveable.size()))
        std::abort();
    for (int32_t i = 0; i < again.count; ++i) {
        const Entry &a = again.entries[i];
        const Entry &b = saveable[size_t(i)];
        if (a.kind != b.kind || Units(a.digest) != Units(b.digest) ||
            Units(a.path) != Units(b.path) ||
            std::memcmp(a.digest, b.digest, Units(a.digest) * sizeof(utf16)) != 0 ||
            std::memcmp(a.path, b.path, Units(a.path) * sizeof(utf16)) != 0)
            std::abort();
    }
    ReleaseParsedList(&again);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // An exact-size copy, so AddressSanitizer sees any read past the end.
    size_t units = size / sizeof(utf16);
    utf16 *text = static_cast<utf16 *>(std::malloc(units * sizeof(utf16) + 1));
    std::memcpy(text, data, units * sizeof(utf16));
    ParsedList parsed = {};
    int result = ParseChecksumList(text, units, &parsed);
    std::free(text);
    if (result != CHECKLIST_OK)
        std::abort();
    for (int32_t i = 0; i < parsed.count; ++i) {
        const Entry &e = parsed.entries[i];
        if (Units(e.digest) > ExpectedDigestUnits(e.kind) ||
            Units(e.path) > size_t(CHECKLIST_MAX_PATH_UNITS))
            std::abort();
    }
    if (parsed.count >= parsed.capacity - CHECKLIST_GROWTH_MARGIN)
        std::abort();
    CheckRoundTrip(parsed);
    ReleaseParsedList(&parsed);
    return 0;
}
