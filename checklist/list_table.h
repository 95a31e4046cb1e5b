// What the list modules share and keep to this folder: the entry table the
// parsers fill, the lines of a text list, the problems its lines give, the
// UTF-8 path writer and the small text tests every format needs.
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
// Records the candidates of the entry just appended (the last one), giving
// the list its candidate table when it has none yet: the entries before had
// their kinds settled.
int RecordCandidates(ParsedList *list, KindMask mask);

// UTF-8 bytes of a path, or 0 with *fits false when UTF-8 cannot hold it or
// it would split its line.
uint64_t PathUtf8Bytes(const utf16 *path, bool *fits);
// The path must fit (PathUtf8Bytes).
char *WriteUtf8(const utf16 *path, char *out);
// The same for `n` units of a text, line ends allowed: 0 with *fits false
// only for an unpaired surrogate.
uint64_t UnitsUtf8Bytes(const utf16 *text, size_t n, bool *fits);
char *WriteUtf8Units(const utf16 *text, size_t n, char *out);

// Whether the bytes start with EF BB BF, the UTF-8 byte order mark.
bool StartsWithUtf8Mark(const uint8_t *bytes, size_t size);
// Bytes of the byte order mark a text starts with: 2 (UTF-16LE), 3 (UTF-8)
// or 0 without one.
size_t ByteOrderMarkBytes(const uint8_t *bytes, size_t size);

bool IsHexDigit(utf16 u);
// Algorithm names and file names match whatever their case; hex is stored
// upper-case.
utf16 UpperAscii(utf16 u);
const KindInfo *KindOfEntry(const Entry *entry);

// ---- Lines of a text list -------------------------------------------------------

// One line of the file as UTF-16 units, in a buffer reused line after line.
struct LineBuffer {
    utf16 *units;
    size_t count;
    size_t capacity;
    bool valid;  // no invalid UTF-8 and no NUL
};

// Walks a text list (UTF-8, or UTF-16LE after its byte order mark) line by
// line, LF or CR LF.
struct LineReader {
    const uint8_t *bytes;
    size_t size;
    size_t at;
    bool wide;
    int32_t number;  // 1-based number of the line last read
    LineBuffer line;
};
void StartLineReader(const uint8_t *bytes, size_t size, LineReader *reader);
// Reads the next line into reader->line, its trailing CR, spaces and tabs
// cut off. False at the end of the text; *memory false when no memory could
// be had for the line.
bool ReadNextLine(LineReader *reader, bool *memory);
void ReleaseLineReader(LineReader *reader);
// Empty lines and comments give no entry and no problem: `;` starts one in
// every text format, `#` in all but SFV, where it may start a name.
bool IsSkippedLine(const LineBuffer *line, int format);

int AddProblem(ListProblems *problems, int32_t line, int32_t problem, const utf16 *text,
               size_t units);

// ---- One line of each text format -----------------------------------------------

// Where a text line's path and digest are, once split.
struct ListLine {
    const KindInfo *kind;  // tagged: the kind its name gives
    size_t path_start, path_units;
    size_t hex_start, hex_units;
    bool escaped;  // GNU: the name is escaped (`\\`, `\n`, `\r`)
};

// `NAME (path) = hex`: 0 or the line's problem; the path is known whenever
// the shape is right.
int SplitTaggedLine(const utf16 *u, size_t n, ListLine *out);
// `hex  path`, `hex *path` or `hex path`, with a leading `\` for an escaped
// name; hex alone gives an empty path. 0 or LIST_LINE_MALFORMED.
int SplitGnuLine(const utf16 *u, size_t n, ListLine *out);
// `path hex`, split at the last space. 0 or LIST_LINE_MALFORMED.
int SplitSfvLine(const utf16 *u, size_t n, ListLine *out);
// The text format a line is written in, by its shape alone; 0 for a line
// of no format's shape.
int TextFormatOfLine(const utf16 *u, size_t n);
// Undoes GNU escapes in place; the units left, or 0 with *valid false for an
// escape GNU does not write.
size_t UnescapeGnuName(utf16 *u, size_t n, bool *valid);

// Whether the format holds one algorithm, no tag saying which: GNU and SFV.
bool HoldsOneKind(int format);

// ---- Names ------------------------------------------------------------------------

// The units of the last component before its last dot; all of it without one.
size_t StemUnits(const utf16 *name);
