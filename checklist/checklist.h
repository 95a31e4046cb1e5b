// The checksum list format (.qcx): composing the body from entries and
// parsing a list text back into entries. Platform-neutral.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/core.h"

constexpr int32_t CHECKLIST_INITIAL_CAPACITY = 2048;
constexpr int32_t CHECKLIST_GROWTH_MARGIN = 768;
constexpr int32_t CHECKLIST_MAX_PATH_UNITS = 32767;

enum ChecklistResult : int {
    CHECKLIST_OK = 0,
    CHECKLIST_ERR_MEMORY = 2,
};

// A parsed list: `entries` holds `count` entries in a table of `capacity`.
// Each entry owns its digest text and path (free() them, or ReleaseParsedList).
struct ParsedList {
    Entry *entries;
    int32_t count;
    int32_t capacity;
};

// Parses `units` UTF-16 units of list text. On CHECKLIST_ERR_MEMORY the
// entries read so far stay in `list`.
int ParseChecksumList(const utf16 *text, size_t units, ParsedList *list);
void ReleaseParsedList(ParsedList *list);

// Whether an entry goes into a saved list: one whose file could not be read
// has an empty digest text and is left out.
bool EntryIsListed(const Entry *entry);
// Units of the composed body for entries[0..count); entries without a digest
// text (an empty one) are left out.
uint64_t ComposedListUnits(const Entry *entries, int32_t count);
// Writes the body into `out` (ComposedListUnits units); returns units written.
uint64_t ComposeChecksumList(const Entry *entries, int32_t count, utf16 *out);
