// The checksum list formats: our own .qcx list, the tagged text list
// (`SHA3-256 (path) = hex`), the GNU list (`hex  path`), SFV (`path CRC32`)
// and the sidecar holding one digest for the file its name continues.
// Composing them from entries, telling them apart and parsing a list file
// back into entries, whose algorithm may be known only by its candidates.
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
    CHECKLIST_ERR_MIXED_KINDS = 3,    // the format holds one algorithm, the entries several
    CHECKLIST_ERR_KIND_NOT_HELD = 4,  // the format (or its name) cannot hold the entries' algorithm
};

// ---- Candidate kinds --------------------------------------------------------------
//
// A digest without a tag names its algorithm only through the list's name or
// its own length, and a length may fit several kinds (64 hex digits: SHA-256,
// BLAKE3, SHA3-256). A mask holds the kinds still possible: bit i is
// g_kinds[i].
typedef uint32_t KindMask;
KindMask KindBit(const KindInfo *kind);
// Whether the mask holds exactly one kind: the entry's algorithm is settled.
bool MaskIsSettled(KindMask mask);
// The kinds whose digests have `digits` hex digits; 0 for a length no kind has.
KindMask KindsOfDigestDigits(size_t digits);
// The most likely kind of a mask, the one an unsettled entry carries as its
// kind: SHA-2 and MD5 before BLAKE3 and XXH128, CRC-32 before CRC-32C, the
// SHA-3 kinds last. Null for an empty mask.
const KindInfo *LikeliestKind(KindMask mask);
// The kind a list's file name asks for, case-insensitive: `SHA256SUMS`,
// `sha256sum.txt`, `*.sha256`, `*.sha256sum`, `MD5SUMS`, `*.md5`, `*.sha1`,
// `*.sha512`, `*.b3`, `*.blake3`, `*.xxh3`, `*.xxh128`, `*.sfv`, `*.crc32`,
// `*.sha3-256`, ... Null when the name says nothing.
const KindInfo *KindOfListName(const utf16 *list_path);

// A parsed list: `entries` holds `count` entries in a table of `capacity`.
// Each entry owns its digest text and path (free() them, or ReleaseParsedList).
// `format` is the format the list was read as (ListFormat). `candidates`,
// when not null, holds per entry the kinds its digest may be (one bit for an
// entry whose kind is settled); an unsettled entry's kind is the
// LikeliestKind of its mask. Null when every entry's kind is settled (.qcx,
// tagged, a list whose name gives the algorithm); freed by ReleaseParsedList.
struct ParsedList {
    Entry *entries;
    int32_t count;
    int32_t capacity;
    int format;
    KindMask *candidates;
};

// Settles every entry that `kind` is a candidate of to that kind; entries of
// other lengths keep theirs. Returns the entries settled by this call.
int32_t SettleListKind(ParsedList *list, const KindInfo *kind);

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
    LIST_FORMAT_TAGGED = 2,  // `NAME (path) = hex`, as `cksum --tag` and `rhash --bsd` write
    LIST_FORMAT_GNU = 3,     // `hex  path` or `hex *path`, as `sha256sum` writes; a
                             // sidecar holding only the hex is read as one
    LIST_FORMAT_SFV = 4,     // `path CRC32`, `;` comments
};

// Whether a format is a text list, whose relative paths start at its folder:
// every one but .qcx.
bool IsTextListFormat(int format);

// The format a list saved under `list_path` is written in: .qcx for the
// `.qcx` extension and for a name without extension (as it always was), SFV
// for `.sfv`, GNU for a name KindOfListName knows, the tagged list for any
// other extension.
int ListFormatOfName(const utf16 *list_path);

// Whether the bytes start with FF FE, the UTF-16LE byte order mark every
// .qcx list and a UTF-16 tagged list begin with.
bool StartsWithUtf16Mark(const uint8_t *bytes, size_t size);

// The format of a list file's bytes, by content alone. A text starting with
// the UTF-16 byte order mark is .qcx when its first non-empty line has a tab
// as second unit (`K<TAB>`), otherwise a UTF-16 text list. Without it, a
// UTF-8 byte order mark, a second byte other than NUL or a single byte means
// a UTF-8 text list; the rest is read as .qcx, as it always was. A text
// list's first line with the shape of one tells its kind: tagged
// (`NAME (path) = hex`); GNU when it starts with hex and two spaces (or a
// space and `*`), or is hex alone; SFV when it ends with a space and 8 hex
// digits. Without such a line it is tagged.
int DetectListFormat(const uint8_t *bytes, size_t size);

// Why a tagged line gave no entry.
enum ListLineProblem : int {
    LIST_LINE_MALFORMED = 1,          // not `NAME (path) = hex`, or hex with a non-hex digit
    LIST_LINE_UNKNOWN_ALGORITHM = 2,  // a name no kind in g_kinds has
    LIST_LINE_DIGEST_LENGTH = 3,      // hex of another length than the kind's
    LIST_LINE_INVALID_TEXT = 4,       // invalid UTF-8 or a NUL in the line
};
constexpr int LIST_LINE_PROBLEM_LAST = LIST_LINE_INVALID_TEXT;

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
// ParseListFile for the list file at `list_path` (may be null), whose name
// may tell more: `.sfv` reads SFV whatever the content, a name that gives
// the algorithm (KindOfListName) settles a GNU list's entries to it (a line
// of another length is a LIST_LINE_DIGEST_LENGTH problem), and a file
// holding only a digest names the file its own name continues without its
// last extension (`file.iso.sha256` → `file.iso`). GNU lines are unescaped
// (a leading `\`: `\\`, `\n`, `\r`); SFV digests are CRC-32.
int ParseNamedListFile(const uint8_t *bytes, size_t size, const utf16 *list_path, ParsedList *list,
                       ListProblems *problems);
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
// LooksLikeChecksumList for the file at `list_path`, whose name also counts:
// a sidecar holding only a digest is a list when its name continues a file's.
bool LooksLikeNamedChecksumList(const uint8_t *bytes, size_t size, bool whole,
                                const utf16 *list_path);
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
    char kind;        // GNU and SFV: the one kind their lines hold; 0 while it is
                      // not settled, when no entry can be added
};

// `list`: the entries parsed from `bytes`, their paths as the list writes
// them (before a check anchors them); its format is the one it was read as.
// An empty file has no format of its own and takes `empty_format`, the one
// its name asks for. A GNU or SFV list's kind is its entries' settled one
// (the first entry's), else 0: settle it (SettleListKind) and set it.
void ReadListStyle(const uint8_t *bytes, size_t size, const ParsedList *list, int empty_format,
                   ListStyle *style);
// ReadListStyle for the list at `list_path`: an empty file takes the format
// its name asks for (ListFormatOfName), and the name's kind (KindOfListName)
// is a GNU or SFV list's kind.
void ReadNamedListStyle(const uint8_t *bytes, size_t size, const ParsedList *list,
                        const utf16 *list_path, ListStyle *style);
// Turns every '\\' of `path` into the style's separator.
void UseListSeparator(const ListStyle *style, utf16 *path);
// Whether an entry can be added in that style: it is listed, its kind is
// known (for GNU and SFV, the style's kind), and for a UTF-8 list its path
// fits (EntryFitsTaggedList; a GNU list escapes a line feed instead).
bool EntryFitsListStyle(const ListStyle *style, const Entry *entry);
// Bytes that add the fitting entries of entries[0..count), the line end that
// closes an open last line included; 0 when no entry fits.
uint64_t AddedLinesBytes(const ListStyle *style, const Entry *entries, int32_t count);
// Writes them into `out` (AddedLinesBytes bytes); returns the bytes written.
uint64_t ComposeAddedLines(const ListStyle *style, const Entry *entries, int32_t count,
                           uint8_t *out);

// ---- Writing a whole list ---------------------------------------------------------

// The whole file of a new list in `format` at `list_path` for the listed
// entries of entries[0..count): .qcx with its byte order mark, byte for byte
// as it always was; the tagged list with full paths; GNU (lower-case hex,
// escaped names) and SFV (upper-case hex) with the paths below the list's
// folder relative to it and written with '/', others full. A GNU or SFV
// list holds one kind: entries of several kinds give
// CHECKLIST_ERR_MIXED_KINDS, a kind the format or the name's algorithm
// cannot hold CHECKLIST_ERR_KIND_NOT_HELD; both write nothing. On
// CHECKLIST_OK *out is the file (free() it; never null, even for 0 bytes),
// *bytes its size and *left_out the listed entries the format cannot write
// (paths UTF-8 cannot hold, or that would split a line).
int ComposeListFile(int format, const utf16 *list_path, const Entry *entries, int32_t count,
                    uint8_t **out, uint64_t *bytes, int32_t *left_out);
