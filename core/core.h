// The vocabulary every layer shares: the text unit, the result entry, the job
// and hash-choice enums, the table of digest kinds, and the small text and
// array helpers the layers would otherwise each write again. Depends on nothing but the
// standard library, so it builds on any platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

// One UTF-16 code unit. On Windows this is the platform's wchar_t, so texts go
// to the API unchanged; elsewhere char16_t keeps the same width.
#ifdef _WIN32
typedef wchar_t utf16;
#else
typedef char16_t utf16;
#endif

enum PendingJob : int32_t {
    JOB_NONE = 0,
    JOB_SINGLE_FILE = 1,
    JOB_FOLDER_SCAN = 2,
    JOB_CHECK = 3,
    JOB_UPDATE = 4,
};

enum HashChoice : int32_t {
    HASH_AUTO = 0,
    HASH_CRC32C = 1,
    HASH_SHA3_224 = 2,
    HASH_SHA3_256 = 3,
    HASH_SHA3_384 = 4,
    HASH_SHA3_512 = 5,
    HASH_CRC32 = 6,
    HASH_MD5 = 7,
    HASH_SHA1 = 8,
    HASH_SHA2_224 = 9,
    HASH_SHA2_256 = 10,
    HASH_SHA2_384 = 11,
    HASH_SHA2_512 = 12,
    HASH_BLAKE3 = 13,
    HASH_XXH3_64 = 14,
    HASH_XXH3_128 = 15,
};

// The engine family that computes a kind's digest; a kind's output size
// picks the member of its family.
enum DigestEngine : int32_t {
    ENGINE_CRC32C = 0,
    ENGINE_SHA3 = 1,
    ENGINE_CRC32 = 2,  // the IEEE polynomial of zlib and SFV
    ENGINE_MD5 = 3,
    ENGINE_SHA1 = 4,
    ENGINE_SHA2 = 5,
    ENGINE_BLAKE3 = 6,
    ENGINE_XXH3 = 7,
};

// What a result row says happened to its file, problems first: the order
// the "Status" column sorts by.
enum RowStatus : int32_t {
    ROW_MISMATCH = 0,  // read whole, digest differs from the stored one
    ROW_MISSING = 1,   // the file or its folder does not exist
    ROW_ERROR = 2,     // there but not read whole, or a list line without an entry
    ROW_OK = 3,        // read whole, digest equals the stored one
    ROW_CREATED = 4,   // digested by a scan or an update
    ROW_NEW = 5,       // below a list's folder, named by no entry (not digested)
    ROW_STATUS_COUNT = 6,
};

// Whether rows of this status are problems: anything but "OK" and "Created".
bool IsProblemStatus(int32_t status);

// One result row: kind letter, owned digest text, owned path.
struct Entry {
    char kind;
    utf16 *digest;
    utf16 *path;
};

// ---- Digest kinds -------------------------------------------------------------

// One algorithm as entries, checksum lists and the hash engines name it.
struct KindInfo {
    char letter;             // kind letter of entries and .qcx lines
    HashChoice hash_choice;  // the explicit Options / command-line choice
    DigestEngine engine;     // the family that computes it
    uint32_t bits;           // output size in bits
    int32_t digest_digits;   // hex digits of its digest text
    const char *name;        // the algorithm's name in tagged (BSD-style) lists
};

constexpr int32_t KIND_COUNT = 15;
extern const KindInfo g_kinds[KIND_COUNT];

// The kind of a letter; null for a unit that names no kind.
const KindInfo *FindKind(utf16 letter);
// The kind a hash choice digests with: HASH_AUTO and anything unknown mean
// SHA3-256.
const KindInfo *KindOfHashChoice(int32_t choice);

constexpr int32_t DIGEST_TEXT_CAPACITY = 129;  // longest digest text with its NUL

// ---- Text helpers ---------------------------------------------------------------

// Two upper-case hex digits per byte, then a NUL (2 * count + 1 units).
void WriteHexUpper(const uint8_t *bytes, size_t count, utf16 *out);
// Whether a unit separates the components of a path: Windows takes '/' for '\'.
bool IsPathSeparator(utf16 unit);
// The last component of a path: the units after its last separator.
const utf16 *FileNameOf(const utf16 *path);
// Whether a unit is a drive letter, A to Z in either case.
bool IsDriveLetter(utf16 unit);
// Units before the NUL; 0 for a null text.
size_t TextUnits(const utf16 *text);
// A fresh NUL-terminated heap copy of `units` units of `source`; null when no
// memory could be had. The caller frees it.
utf16 *DuplicateUnits(const utf16 *source, size_t units);
utf16 *DuplicateText(const utf16 *text);
// The first `head_units` units of `head`, then the whole of `tail`, in a new
// NUL-terminated buffer (free() it); null when no memory could be had.
utf16 *JoinUnits(const utf16 *head, size_t head_units, const utf16 *tail);

// ---- Growing arrays -------------------------------------------------------------

// Makes room for `wanted` items of `item_bytes` bytes in the heap array
// `*items` (null while it has none) of `*capacity` items. The capacity
// doubles, from `first` for an empty array, until they fit, so an array grown
// an item at a time costs linear time. False when memory ran out or the
// capacity would pass `limit`; the array is then as it was.
bool ReserveItems(void **items, int64_t *capacity, int64_t wanted, int64_t first, size_t item_bytes,
                  int64_t limit);

// ReserveItems for a typed array whose capacity is held in any integer type,
// limited to what that type can count.
template <typename T, typename Count>
bool ReserveArray(T **items, Count *capacity, int64_t wanted, int64_t first)
{
    constexpr int64_t limit = sizeof(Count) < sizeof(int64_t)
                                  ? int64_t(std::numeric_limits<Count>::max())
                                  : std::numeric_limits<int64_t>::max();
    void *moved = *items;
    int64_t held = int64_t(*capacity);
    if (!ReserveItems(&moved, &held, wanted, first, sizeof(T), limit))
        return false;
    *items = static_cast<T *>(moved);
    *capacity = Count(held);
    return true;
}
