// What the list tests share: UTF-16 texts, entries made from them, and a
// parse result that releases itself.
#pragma once

#include <string>
#include <vector>

#include "checklist/checklist.h"

typedef std::basic_string<utf16> Text;

Text T(const char16_t *s);
Entry MakeEntry(char kind, const Text &digest, const Text &path);
void FreeEntries(std::vector<Entry> &entries);
// A digest text of the kind's length made of one repeated digit.
Text DigestOf(char kind, char16_t digit);

struct Parsed {
    ParsedList list = {};
    ListProblems problems = {};
    int result = -1;
    Parsed() = default;
    Parsed(const Parsed &) = delete;
    Parsed &operator=(const Parsed &) = delete;
    ~Parsed();
};

// Parses a whole list file through ParseListFile, or ParseNamedListFile for
// the list file at `list_path`.
void ParseFile(const std::string &bytes, Parsed *parsed);
void ParseNamedFile(const std::string &bytes, const Text &list_path, Parsed *parsed);
// The kinds the i-th entry may be: its candidates, or its own kind alone.
KindMask CandidatesAt(const Parsed &p, int i);

// A whole list composed by ComposeListFile.
struct Composed {
    int result = -1;
    std::string bytes;
    int32_t left_out = -1;
};
Composed ComposeFile(int format, const Text &list_path, const std::vector<Entry> &entries);
Text PathOf(const Parsed &p, int i);
Text DigestAt(const Parsed &p, int i);
Text ProblemText(const Parsed &p, int i);
