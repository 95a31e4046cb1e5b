#include "tests/checklist/list_helpers.h"

#include <cstdlib>

Text T(const char16_t *s)
{
    Text t;
    for (; *s; ++s)
        t.push_back(utf16(*s));
    return t;
}

Entry MakeEntry(char kind, const Text &digest, const Text &path)
{
    Entry e;
    e.kind = kind;
    e.digest = static_cast<utf16 *>(std::calloc(digest.size() + 1, sizeof(utf16)));
    e.path = static_cast<utf16 *>(std::calloc(path.size() + 1, sizeof(utf16)));
    std::copy(digest.begin(), digest.end(), e.digest);
    std::copy(path.begin(), path.end(), e.path);
    return e;
}

void FreeEntries(std::vector<Entry> &entries)
{
    for (Entry &e : entries) {
        std::free(e.digest);
        std::free(e.path);
    }
    entries.clear();
}

Text DigestOf(char kind, char16_t digit)
{
    return Text(size_t(FindKind(utf16(kind))->digest_digits), utf16(digit));
}

Parsed::~Parsed()
{
    ReleaseParsedList(&list);
    ReleaseListProblems(&problems);
}

void ParseFile(const std::string &bytes, Parsed *parsed)
{
    parsed->result = ParseListFile(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(),
                                   &parsed->list, &parsed->problems);
}

void ParseNamedFile(const std::string &bytes, const Text &list_path, Parsed *parsed)
{
    parsed->result =
        ParseNamedListFile(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(),
                           list_path.c_str(), &parsed->list, &parsed->problems);
}

KindMask CandidatesAt(const Parsed &p, int i)
{
    if (p.list.candidates)
        return p.list.candidates[i];
    return KindBit(FindKind(utf16(p.list.entries[i].kind)));
}

Composed ComposeFile(int format, const Text &list_path, const std::vector<Entry> &entries)
{
    Composed composed;
    uint8_t *out = nullptr;
    uint64_t bytes = 0;
    composed.result = ComposeListFile(format, list_path.c_str(), entries.data(),
                                      int32_t(entries.size()), &out, &bytes, &composed.left_out);
    if (out)
        composed.bytes.assign(reinterpret_cast<const char *>(out), size_t(bytes));
    std::free(out);
    return composed;
}

Text PathOf(const Parsed &p, int i)
{
    return Text(p.list.entries[i].path);
}
Text DigestAt(const Parsed &p, int i)
{
    return Text(p.list.entries[i].digest);
}
Text ProblemText(const Parsed &p, int i)
{
    return Text(p.problems.items[i].text);
}
