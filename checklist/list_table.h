// The entry table both list parsers fill, and the UTF-8 path writer the
// composers share; private to this folder.
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

// UTF-8 bytes of a path, or 0 with *fits false when UTF-8 cannot hold it or
// it would split its line.
uint64_t PathUtf8Bytes(const utf16 *path, bool *fits);
// The path must fit (PathUtf8Bytes).
char *WriteUtf8(const utf16 *path, char *out);
