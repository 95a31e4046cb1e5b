// The entry table both list parsers fill; private to this folder.
#pragma once

#include "checklist/checklist.h"

int GrowParsedList(ParsedList *list, int32_t capacity);
// Gives a list that has no table yet its first one; keeps an existing table.
int StartParsedList(ParsedList *list);
// Appends one entry, copying the digest and the path (cut to
// CHECKLIST_MAX_PATH_UNITS); the table must have room.
int AppendRecord(ParsedList *list, utf16 kind, const utf16 *digest, size_t digest_units,
                 const utf16 *path, size_t path_units);
bool NeedsGrowth(const ParsedList *list);
