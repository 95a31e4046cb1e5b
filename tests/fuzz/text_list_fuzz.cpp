// Any byte string is a possible list file, in any format, under any of a
// few names that tell the format or the algorithm. Parsing must stay inside
// the bytes, every entry and problem must be bounded, each entry's kind must
// be one of its candidates, and the entries a save could write back must
// parse back unchanged in the format they were read from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "checklist/checklist.h"

namespace {

// The input's size picks the name, so every seed is read under several.
const utf16 *ListName(size_t size)
{
    static const utf16 names[][20] = {
        {'l', 'i', 's', 't', '.', 't', 'x', 't'},
        {'S', 'H', 'A', '2', '5', '6', 'S', 'U', 'M', 'S'},
        {'f', 'i', 'l', 'e', '.', 'i', 's', 'o', '.', 's', 'h', 'a', '2', '5', '6'},
        {'a', 'l', 'b', 'u', 'm', '.', 's', 'f', 'v'},
        {'h', 'a', 's', 'h', 'e', 's', '.', 'b', '3'},
        {'c', 'h', 'e', 'c', 'k', 's', 'u', 'm', 's'},
    };
    return names[size % std::size(names)];
}

bool SameText(const utf16 *a, const utf16 *b)
{
    size_t n = TextUnits(a);
    return n == TextUnits(b) && std::memcmp(a, b, n * sizeof(utf16)) == 0;
}

bool IsUpperHex(const utf16 *digest)
{
    for (const utf16 *d = digest; *d; ++d)
        if (!((*d >= '0' && *d <= '9') || (*d >= 'A' && *d <= 'F')))
            return false;
    return true;
}

void CheckEntry(const ParsedList &parsed, int32_t i)
{
    const Entry &e = parsed.entries[i];
    const KindInfo *kind = FindKind(utf16(static_cast<unsigned char>(e.kind)));
    size_t digest_units = TextUnits(e.digest);
    if (!kind || digest_units > size_t(kind->digest_digits) ||
        TextUnits(e.path) > size_t(CHECKLIST_MAX_PATH_UNITS))
        std::abort();
    if (parsed.format == LIST_FORMAT_QCX)
        return;
    if (digest_units != size_t(kind->digest_digits) || !IsUpperHex(e.digest))
        std::abort();
    if (parsed.candidates) {
        KindMask mask = parsed.candidates[i];
        if (!(mask & KindBit(kind)) || LikeliestKind(mask) != kind ||
            mask != (mask & KindsOfDigestDigits(digest_units)))
            std::abort();
    }
}

void CheckBounds(const ParsedList &parsed, const ListProblems &problems)
{
    for (int32_t i = 0; i < parsed.count; ++i)
        CheckEntry(parsed, i);
    if (parsed.count >= parsed.capacity - CHECKLIST_GROWTH_MARGIN)
        std::abort();
    for (int32_t i = 0; i < problems.count; ++i) {
        const ListProblem &p = problems.items[i];
        if (p.line < 1 || p.problem < LIST_LINE_MALFORMED || p.problem > LIST_LINE_PROBLEM_LAST ||
            TextUnits(p.text) > size_t(CHECKLIST_MAX_PATH_UNITS))
            std::abort();
        if (i > 0 && p.line <= problems.items[i - 1].line)
            std::abort();
    }
}

// The name a list is written and read back under: an SFV list is told
// apart by its name, as its lines may look like another format's.
const utf16 *RoundTripName(int format, const utf16 *name)
{
    static const utf16 sfv[] = {'a', '.', 's', 'f', 'v', 0};
    return format == LIST_FORMAT_SFV ? sfv : name;
}

// Whether the format can write the entry alone.
bool Writes(int format, const utf16 *name, const Entry &entry)
{
    uint8_t *body = nullptr;
    uint64_t bytes = 0;
    int32_t left_out = 0;
    int result = ComposeListFile(format, name, &entry, 1, &body, &bytes, &left_out);
    std::free(body);
    return result == CHECKLIST_OK && left_out == 0;
}

// The entries a save in the list's own format writes: GNU and SFV lists
// hold one kind, the first entry's.
std::vector<Entry> Writable(const ParsedList &parsed, const utf16 *name)
{
    std::vector<Entry> writable;
    for (int32_t i = 0; i < parsed.count; ++i) {
        const Entry &e = parsed.entries[i];
        bool one_kind = parsed.format == LIST_FORMAT_GNU || parsed.format == LIST_FORMAT_SFV;
        if ((!one_kind || e.kind == parsed.entries[0].kind) && Writes(parsed.format, name, e))
            writable.push_back(e);
    }
    return writable;
}

void CheckRoundTrip(const ParsedList &parsed, const utf16 *list_name)
{
    const utf16 *name = RoundTripName(parsed.format, list_name);
    std::vector<Entry> written = Writable(parsed, name);
    uint8_t *body = nullptr;
    uint64_t bytes = 0;
    int32_t left_out = 0;
    if (ComposeListFile(parsed.format, name, written.data(), int32_t(written.size()), &body, &bytes,
                        &left_out) != CHECKLIST_OK ||
        left_out != 0)
        std::abort();
    ParsedList again = {};
    ListProblems problems = {};
    if (ParseNamedListFile(body, size_t(bytes), name, &again, &problems) != CHECKLIST_OK ||
        problems.count != 0 || again.count != int32_t(written.size()) ||
        (again.count > 0 && again.format != parsed.format))
        std::abort();
    for (int32_t i = 0; i < again.count; ++i) {
        const Entry &a = again.entries[i];
        const Entry &b = written[size_t(i)];
        if (a.kind != b.kind || !SameText(a.digest, b.digest) || !SameText(a.path, b.path))
            std::abort();
    }
    std::free(body);
    ReleaseParsedList(&again);
    ReleaseListProblems(&problems);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // An exact-size copy, so AddressSanitizer sees any read past the end.
    uint8_t *bytes = static_cast<uint8_t *>(std::malloc(size ? size : 1));
    std::memcpy(bytes, data, size);
    const utf16 *name = ListName(size);
    ParsedList parsed = {};
    ListProblems problems = {};
    int result = ParseNamedListFile(bytes, size, name, &parsed, &problems);
    std::free(bytes);
    if (result != CHECKLIST_OK)
        std::abort();
    CheckBounds(parsed, problems);
    if (parsed.format != LIST_FORMAT_QCX)
        CheckRoundTrip(parsed, name);
    ReleaseParsedList(&parsed);
    ReleaseListProblems(&problems);
    return 0;
}
