// Any byte string is a possible list file, in either format. Parsing must
// stay inside the bytes, every entry and problem must be bounded, and the
// tagged entries a save could write back must parse back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "checklist/checklist.h"

namespace {

bool SameText(const utf16 *a, const utf16 *b)
{
    size_t n = TextUnits(a);
    return n == TextUnits(b) && std::memcmp(a, b, n * sizeof(utf16)) == 0;
}

void CheckBounds(const ParsedList &parsed, const ListProblems &problems, int format)
{
    for (int32_t i = 0; i < parsed.count; ++i) {
        const Entry &e = parsed.entries[i];
        const KindInfo *kind = FindKind(utf16(static_cast<unsigned char>(e.kind)));
        size_t digest_units = TextUnits(e.digest);
        if (!kind || digest_units > size_t(kind->digest_digits) ||
            TextUnits(e.path) > size_t(CHECKLIST_MAX_PATH_UNITS))
            std::abort();
        if (format == LIST_FORMAT_TAGGED) {
            if (digest_units != size_t(kind->digest_digits))
                std::abort();
            for (size_t k = 0; k < digest_units; ++k)
                if (!((e.digest[k] >= '0' && e.digest[k] <= '9') ||
                      (e.digest[k] >= 'A' && e.digest[k] <= 'F')))
                    std::abort();
        }
    }
    if (parsed.count >= parsed.capacity - CHECKLIST_GROWTH_MARGIN)
        std::abort();
    for (int32_t i = 0; i < problems.count; ++i) {
        const ListProblem &p = problems.items[i];
        if (p.line < 1 || p.problem < LIST_LINE_MALFORMED || p.problem > LIST_LINE_INVALID_TEXT ||
            TextUnits(p.text) > size_t(CHECKLIST_MAX_PATH_UNITS))
            std::abort();
        if (i > 0 && p.line <= problems.items[i - 1].line)
            std::abort();
    }
}

void CheckRoundTrip(const ParsedList &parsed)
{
    std::vector<Entry> fitting;
    for (int32_t i = 0; i < parsed.count; ++i)
        if (EntryFitsTaggedList(&parsed.entries[i]))
            fitting.push_back(parsed.entries[i]);
    std::vector<char> body(TaggedListBytes(fitting.data(), int32_t(fitting.size())) + 1);
    uint64_t bytes = ComposeTaggedList(fitting.data(), int32_t(fitting.size()), body.data());
    ParsedList again = {};
    ListProblems problems = {};
    if (ParseListFile(reinterpret_cast<const uint8_t *>(body.data()), size_t(bytes), &again,
                      &problems) != CHECKLIST_OK ||
        problems.count != 0 || again.count != int32_t(fitting.size()))
        std::abort();
    for (int32_t i = 0; i < again.count; ++i) {
        const Entry &a = again.entries[i];
        const Entry &b = fitting[size_t(i)];
        if (a.kind != b.kind || !SameText(a.digest, b.digest) || !SameText(a.path, b.path))
            std::abort();
    }
    ReleaseParsedList(&again);
    ReleaseListProblems(&problems);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // An exact-size copy, so AddressSanitizer sees any read past the end.
    uint8_t *bytes = static_cast<uint8_t *>(std::malloc(size ? size : 1));
    std::memcpy(bytes, data, size);
    int format = DetectListFormat(bytes, size);
    ParsedList parsed = {};
    ListProblems problems = {};
    int result = ParseListFile(bytes, size, &parsed, &problems);
    std::free(bytes);
    if (result != CHECKLIST_OK)
        std::abort();
    CheckBounds(parsed, problems, format);
    if (format == LIST_FORMAT_TAGGED)
        CheckRoundTrip(parsed);
    ReleaseParsedList(&parsed);
    ReleaseListProblems(&problems);
    return 0;
}
