#include "checklist/checklist.h"
#include "list_table.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr utf16 UNIT_TAB = 0x0009;
constexpr utf16 UNIT_CR = 0x000D;
constexpr utf16 UNIT_LF = 0x000A;
// Kind letter, two tabs, CR and LF around the digest and the path.
constexpr uint64_t LINE_OVERHEAD_UNITS = 5;

// A record's position is decided by its kind letter alone.
size_t RecordDigestUnits(utf16 unit)
{
    const KindInfo *kind = FindKind(unit);
    return kind ? size_t(kind->digest_digits) : 0;
}

}  // namespace

// The candidate table grows with the entry table, to the same capacity.
int KeepRoomForRecords(ParsedList *list)
{
    int64_t wanted = int64_t(list->count) + CHECKLIST_GROWTH_MARGIN + 1;
    int32_t held = list->capacity;
    if (!ReserveArray(&list->entries, &list->capacity, wanted, CHECKLIST_INITIAL_CAPACITY))
        return CHECKLIST_ERR_MEMORY;
    if (!list->candidates || list->capacity == held)
        return CHECKLIST_OK;
    void *grown = std::realloc(list->candidates, size_t(list->capacity) * sizeof(KindMask));
    if (!grown)
        return CHECKLIST_ERR_MEMORY;
    list->candidates = static_cast<KindMask *>(grown);
    return CHECKLIST_OK;
}

int RecordCandidates(ParsedList *list, KindMask mask)
{
    if (!list->candidates) {
        if (MaskIsSettled(mask))
            return CHECKLIST_OK;
        list->candidates =
            static_cast<KindMask *>(std::malloc(size_t(list->capacity) * sizeof(KindMask)));
        if (!list->candidates)
            return CHECKLIST_ERR_MEMORY;
        for (int32_t i = 0; i + 1 < list->count; ++i)
            list->candidates[i] = KindBit(KindOfEntry(&list->entries[i]));
    }
    list->candidates[list->count - 1] = mask;
    return CHECKLIST_OK;
}

int AppendRecord(ParsedList *list, utf16 kind, const utf16 *digest, size_t digest_units,
                 const utf16 *path, size_t path_units)
{
    if (path_units > size_t(CHECKLIST_MAX_PATH_UNITS))
        path_units = size_t(CHECKLIST_MAX_PATH_UNITS);
    Entry entry;
    entry.kind = char(kind);
    entry.digest = DuplicateUnits(digest, digest_units);
    entry.path = DuplicateUnits(path, path_units);
    if (!entry.digest || !entry.path) {
        std::free(entry.digest);
        std::free(entry.path);
        return CHECKLIST_ERR_MEMORY;
    }
    list->entries[list->count] = entry;
    ++list->count;
    return CHECKLIST_OK;
}

int ParseChecksumList(const utf16 *text, size_t units, ParsedList *list)
{
    if (KeepRoomForRecords(list) != CHECKLIST_OK)
        return CHECKLIST_ERR_MEMORY;
    for (size_t i = 0; i < units; ++i) {
        size_t digest_units = RecordDigestUnits(text[i]);
        if (digest_units != 0) {
            // A digest field cut off by the end of the text is no record,
            // and nothing behind it can be one either.
            if (units - i < digest_units + 2)
                break;
            size_t path_start = i + digest_units + 3;
            size_t path_end = path_start;
            while (path_end < units && text[path_end] != UNIT_CR)
                ++path_end;
            size_t path_units = path_end - path_start;
            const utf16 *path = path_units ? text + path_start : text;
            if (AppendRecord(list, text[i], text + i + 2, digest_units, path, path_units) !=
                CHECKLIST_OK)
                return CHECKLIST_ERR_MEMORY;
            i = path_end;
        }
        if (KeepRoomForRecords(list) != CHECKLIST_OK)
            return CHECKLIST_ERR_MEMORY;
    }
    return CHECKLIST_OK;
}

void ReleaseParsedList(ParsedList *list)
{
    if (list->entries) {
        for (int32_t i = 0; i < list->count; ++i) {
            std::free(list->entries[i].digest);
            std::free(list->entries[i].path);
        }
        std::free(list->entries);
    }
    std::free(list->candidates);
    list->entries = nullptr;
    list->candidates = nullptr;
    list->count = 0;
    list->capacity = 0;
}

bool EntryIsListed(const Entry *entry)
{
    return entry->digest && entry->digest[0] != 0;
}

uint64_t ComposedListUnits(const Entry *entries, int32_t count)
{
    uint64_t total = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (!EntryIsListed(&entries[i]))
            continue;
        total += TextUnits(entries[i].digest) + TextUnits(entries[i].path) + LINE_OVERHEAD_UNITS;
    }
    return total;
}

uint64_t ComposeChecksumList(const Entry *entries, int32_t count, utf16 *out)
{
    uint64_t at = 0;
    for (int32_t i = 0; i < count; ++i) {
        const Entry *entry = &entries[i];
        if (!EntryIsListed(entry))
            continue;
        size_t digest_units = TextUnits(entry->digest);
        size_t path_units = TextUnits(entry->path);
        out[at++] = utf16(static_cast<unsigned char>(entry->kind));
        out[at++] = UNIT_TAB;
        std::memcpy(out + at, entry->digest, digest_units * sizeof(utf16));
        at += digest_units;
        out[at++] = UNIT_TAB;
        if (path_units)
            std::memcpy(out + at, entry->path, path_units * sizeof(utf16));
        at += path_units;
        out[at++] = UNIT_CR;
        out[at++] = UNIT_LF;
    }
    return at;
}

bool StartsWithUtf16Mark(const uint8_t *bytes, size_t size)
{
    return size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
}

bool StartsWithUtf8Mark(const uint8_t *bytes, size_t size)
{
    return size >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0;
}

size_t ByteOrderMarkBytes(const uint8_t *bytes, size_t size)
{
    return StartsWithUtf16Mark(bytes, size) ? 2 : StartsWithUtf8Mark(bytes, size) ? 3 : 0;
}
