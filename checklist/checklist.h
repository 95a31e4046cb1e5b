// The checksum list formats: our own .qcx list and the tagged text list other
// checksum tools read and write (`SHA3-256 (path) = hex`, UTF-8). Composing
// either body from entries and parsing a list file back into entries.
// Platform-neutral.
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

// ---- Tagged text lists ----------------------------------------------------------
//
// One line per entry, `NAME (path) = hex` with the kind's name from g_kinds,
// UTF-8 without byte order mark, each line ended by a single LF: the line end
// tools on every platform read, where a CR would end up in the digest field
// of older readers.

// Whether an entry can be written to a tagged list: it is listed, and its
// path is valid UTF-16 (no unpaired surrogate, which UTF-8 cannot hold) with
// no CR or LF (which would split the line). Save counts the listed entries
// that fail this to tell the user they were left out.
bool EntryFitsTaggedList(const Entry *entry);
// Bytes of the composed tagged body for entries[0..count); entries that do
// not fit (EntryFitsTaggedList) are left out.
uint64_t TaggedListBytes(const Entry *entries, int32_t count);
// Writes the body into `out` (TaggedListBytes bytes); returns bytes written.
uint64_t ComposeTaggedList(const Entry *entries, int32_t count, char *out);

enum ListFormat : int {
    LIST_FORMAT_QCX = 1,
    LIST_FORMAT_TAGGED = 2,
};

// Whether the bytes start with FF FE, the UTF-16LE byte order mark every
// .qcx list and a UTF-16 tagged list begin with.
bool StartsWithUtf16Mark(const uint8_t *bytes, size_t size);

// The format of a list file's bytes, by content alone. A text starting with
// the UTF-16 byte order mark is .qcx when its first non-empty line has a tab
// as second unit (`K<TAB>`), otherwise a UTF-16 tagged list. Without it, a
// UTF-8 byte order mark, a second byte other than NUL or a single byte means
// a UTF-8 tagged list; the rest is read as .qcx, as it always was.
int DetectListFormat(const uint8_t *bytes, size_t size);

// Why a tagged line gave no entry.
enum ListLineProblem : int {
    LIST_LINE_MALFORMED = 1,          // not `NAME (path) = hex`, or hex with a non-hex digit
    LIST_LINE_UNKNOWN_ALGORITHM = 2,  // a name no kind in g_kinds has
    LIST_LINE_DIGEST_LENGTH = 3,      // hex of another length than the kind's
    LIST_LINE_INVALID_TEXT = 4,       // invalid UTF-8 or a NUL in the line
};

// A line the check shows as an "ERROR" row: its 1-based number, the problem,
// and a text to show (the path when one could be read, else the line; invalid
// UTF-8 shown as U+FFFD), owned, at most CHECKLIST_MAX_PATH_UNITS units.
struct ListProblem {
    int32_t line;
    int32_t problem;
    utf16 *text;
};
struct ListProblems {
    ListProblem *items;
    int32_t count;
    int32_t capacity;
};

// Parses a whole list file: a .qcx list exactly as ParseChecksumList reads
// it, a tagged list line by line (LF or CR LF; empty lines and lines starting
// with '#' or ';' are skipped). Tagged digests are stored in upper case;
// paths longer than CHECKLIST_MAX_PATH_UNITS are cut like .qcx paths. A bad
// line adds a problem and the parse goes on. On CHECKLIST_ERR_MEMORY the
// entries and problems read so far stay in `list` and `problems`.
int ParseListFile(const uint8_t *bytes, size_t size, ParsedList *list, ListProblems *problems);
void ReleaseListProblems(ListProblems *problems);

// How a listed path is anchored, by Windows rules ('/' counts as '\').
enum ListPathKind : int {
    LIST_PATH_ABSOLUTE = 0,        // C:\x, \\server\share\x, \\?\x, \\.\x
    LIST_PATH_RELATIVE = 1,        // x, .\x, ..\x: taken from the list file's folder
    LIST_PATH_ROOTED = 2,          // \x: taken from the root of the list file's drive
    LIST_PATH_DRIVE_RELATIVE = 3,  // C:x: depends on a per-drive current folder the
                                   // check does not own; shown as an "ERROR" row
};
int ClassifyListPath(const utf16 *path);
// The path a tagged list means by `path`, for the list file at `list_path`:
// a relative one is taken from the list's folder, a rooted one from the root
// of the list's drive or share. Sets *anchored false for a drive-relative
// path, which has no meaning apart from a current folder. Returns `path`
// itself when it stays as it is, a new buffer otherwise (free() it), null
// when no memory could be had.
utf16 *AnchorListedPath(const utf16 *list_path, utf16 *path, bool *anchored);

// Whether the first bytes of a file (`size` of them, `whole` when that is
// the whole file) are a checksum list rather than a file to digest: a .qcx
// list starts (after its byte order mark) with a kind letter and a tab; a
// tagged list gives at least one entry from its complete lines there, and
// more entries than lines that gave none.
bool LooksLikeChecksumList(const uint8_t *bytes, size_t size, bool whole);
// Enough of a file's head for LooksLikeChecksumList to tell.
constexpr uint32_t LIST_HEAD_BYTES = 65536;

// ---- Adding entries to a list -----------------------------------------------------
//
// An existing list grows by lines added after its last byte, written the way
// its own lines are, so that every byte it held stays where it was.

struct ListStyle {
    int format;       // ListFormat
    bool wide;        // UTF-16LE: every .qcx list, a tagged list with FF FE
    bool crlf;        // its lines end CR LF (its first line end; .qcx: always)
    bool open_end;    // its last line has no line end yet: one goes first
    bool relative;    // a tagged list whose first entry's path is relative
                      // (to the list's folder), or that has no entry
    utf16 separator;  // the first separator its entries' paths use; '\\' if none
    bool appendable;  // false for a UTF-16 text of an odd byte count, where
                      // added units would be read one byte off
    bool empty_file;  // nothing to follow: a .qcx list's byte order mark goes first
};

// `list`: the entries parsed from `bytes`, their paths as the list writes
// them (before a check anchors them). An empty file has no format of its
// own and takes `empty_format`, the one its name asks for.
void ReadListStyle(const uint8_t *bytes, size_t size, const ParsedList *list, int empty_format,
                   ListStyle *style);
// Turns every '\\' of `path` into the style's separator.
void UseListSeparator(const ListStyle *style, utf16 *path);
// Whether an entry can be added in that style: it is listed, its kind is
// known, and for a UTF-8 list its path fits (EntryFitsTaggedList).
bool EntryFitsListStyle(const ListStyle *style, const Entry *entry);
// Bytes that add the fitting entries of entries[0..count), the line end that
// closes an open last line included; 0 when no entry fits.
uint64_t AddedLinesBytes(const ListStyle *style, const Entry *entries, int32_t count);
// Writes them into `out` (AddedLinesBytes bytes); returns the bytes written.
uint64_t ComposeAddedLines(const ListStyle *style, const Entry *entries, int32_t count,
                           uint8_t *out);
