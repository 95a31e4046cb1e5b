// The entry table both list parsers fill, and the UTF-8 path writer the
// composers share; private to this folder.
#pragma once

#include "checklist/checklist.h"

// Gives the table room for CHECKLIST_GROWTH_MARGIN entries beyond the next
// one (its first table, for a list without one), doubling it when it has
// less: a record is never stored beyond the table's capacity.
int KeepRoomForRecords(ParsedList *list);
// Appends one entry, copying the digest and the path (cut to
// CHECKLIST_MAX_PATH_UNITS); the table must have room.
int AppendRecord(ParsedList *list, utf16 kind, const utf16 *digest, size_t digest_units,
                 const utf16 *path, size_t path_units);

// UTF-8 bytes of a path, or 0 with *fits false when UTF-8 cannot hold it or
// it would split its line.
uint64_t PathUtf8Bytes(const utf16 *path, bool *fits);
// The path must fit (PathUtf8Bytes).
char *WriteUtf8(const utf16 *path, char *out);

// Whether the bytes start with EF BB BF, the UTF-8 byte order mark.
bool StartsWithUtf8Mark(const uint8_t *bytes, size_t size);
// Bytes of the byte order mark a text starts with: 2 (UTF-16LE), 3 (UTF-8)
// or 0 without one.
size_t ByteOrderMarkBytes(const uint8_t *bytes, size_t size);
