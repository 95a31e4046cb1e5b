#include "list_audit.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "worker.h"

namespace {

// An entry's path as the check opens it, and the entry.
struct NameKey {
    wchar_t *key;
    int32_t entry;
};

struct NameKeys {
    NameKey *items;
    int32_t count;
};

int CompareKeys(const void *a, const void *b)
{
    return CompareFileNames(static_cast<const NameKey *>(a)->key, -1,
                            static_cast<const NameKey *>(b)->key, -1);
}

// The long-path form the check's opens use, in a fresh buffer. *key stays
// null for a path that has none (it names no file the walk can find); false
// when memory ran out.
bool FormKey(const wchar_t *path, wchar_t **key)
{
    *key = nullptr;
    sLongPath form;
    int formed = FormLongPath(path, &form);
    if (formed == FILE_OK)
        *key = DuplicateText(form.text);
    ReleaseLongPath(&form);
    return formed == FILE_ERR_OPEN || (formed == FILE_OK && *key);
}

void ReleaseKeys(NameKeys *keys)
{
    for (int32_t i = 0; i < keys->count; ++i)
        std::free(keys->items[i].key);
    std::free(keys->items);
    *keys = {};
}

// Every entry's key, sorted as Windows orders names. False without memory.
bool SortedEntryKeys(const Entry *entries, int32_t count, NameKeys *keys)
{
    keys->items = static_cast<NameKey *>(std::calloc(size_t(count) + 1, sizeof(NameKey)));
    if (!keys->items)
        return false;
    for (int32_t i = 0; i < count; ++i) {
        wchar_t *key = nullptr;
        if (!FormKey(entries[i].path, &key))
            return false;
        if (key)
            keys->items[keys->count++] = NameKey{key, i};
    }
    std::qsort(keys->items, size_t(keys->count), sizeof(NameKey), CompareKeys);
    return true;
}

const NameKey *FindKey(const NameKeys *keys, const wchar_t *key)
{
    NameKey wanted = {const_cast<wchar_t *>(key), 0};
    return static_cast<const NameKey *>(
        std::bsearch(&wanted, keys->items, size_t(keys->count), sizeof(NameKey), CompareKeys));
}

size_t LastSeparatorBefore(const wchar_t *text, size_t units)
{
    size_t last = 0;
    for (size_t i = 0; i < units; ++i)
        if (text[i] == L'\\')
            last = i;
    return last;
}

// Units of the deepest folder that the first and the last key in Windows
// order share, and so every key between (there is one at least); 0 for none.
size_t SharedFolderUnits(const NameKeys *keys)
{
    const wchar_t *first = keys->items[0].key;
    const wchar_t *last = keys->items[keys->count - 1].key;
    size_t shared = 0;
    while (first[shared] && last[shared] &&
           CompareFileNames(first + shared, 1, last + shared, 1) == 0)
        ++shared;
    // A whole key shared by both is one file: its folder ends before its name.
    return LastSeparatorBefore(first, shared);
}

// Units of the \\?\ or \\?\UNC\ in front of a long-path key that a user
// does not write.
size_t VerbatimPrefixUnits(const wchar_t *key)
{
    if (std::wcsncmp(key, L"\\\\?\\UNC\\", 8) == 0)
        return 8;
    if (std::wcsncmp(key, L"\\\\?\\", 4) == 0 && key[4] && key[5] == L':')
        return 4;
    return 0;
}

// Whether the first `units` of a key are a folder: more than the prefix
// and at least a drive or server name.
bool IsFolderKey(const wchar_t *key, size_t units)
{
    return units >= VerbatimPrefixUnits(key) + 2;
}

// The key of the first entry in the list's order: its spelling of the
// folder, whatever the case of the others.
const wchar_t *FirstEntryKey(const NameKeys *keys)
{
    const NameKey *first = &keys->items[0];
    for (int32_t i = 1; i < keys->count; ++i)
        if (keys->items[i].entry < first->entry)
            first = &keys->items[i];
    return first->key;
}

// The folder of a long-path key as a user writes it: \\?\C:\x as C:\x,
// \\?\UNC\server\share as \\server\share; a drive's root keeps its
// backslash. Null when memory ran out.
wchar_t *FolderAsWritten(const wchar_t *key, size_t units)
{
    size_t prefix = VerbatimPrefixUnits(key);
    const wchar_t *start = key + prefix;
    const wchar_t *lead = prefix == 8 ? L"\\\\" : L"";
    size_t kept = units - prefix;
    bool root = kept == 2 && start[1] == L':';
    wchar_t *folder = JoinUnits(lead, std::wcslen(lead), start);
    if (!folder)
        return nullptr;
    size_t end = std::wcslen(lead) + kept;
    folder[end] = root ? L'\\' : 0;
    if (root)
        folder[end + 1] = 0;
    return folder;
}

struct Walk {
    const NameKeys *keys;
    const wchar_t *list_key;
    bool *named;
};

// Whether a walked file stays in the audit: no entry names it, it is not the
// list itself nor another list. A file an entry names marks that entry.
// False with *out_of_memory when a key could not be had.
bool StaysUnnamed(const Walk *walk, const sDirItem *item, bool *out_of_memory)
{
    if (IsUnlistedFolder(item))
        return true;
    wchar_t *key = nullptr;
    if (!FormKey(item->full_path, &key)) {
        *out_of_memory = true;
        return false;
    }
    if (!key)
        return true;
    const NameKey *found = FindKey(walk->keys, key);
    bool is_list = walk->list_key && CompareFileNames(key, -1, walk->list_key, -1) == 0;
    std::free(key);
    if (found)
        walk->named[found->entry] = true;
    return !found && !is_list && !FileHoldsChecksumList(item->full_path);
}

// Keeps the unnamed items of the listing, in their order. False when memory
// ran out.
bool KeepUnnamed(const Walk *walk, sListDir *listing)
{
    bool out_of_memory = false;
    int32_t kept = 0;
    for (int32_t i = 0; i < listing->count; ++i) {
        sDirItem *item = &listing->items[i];
        if (!out_of_memory && StaysUnnamed(walk, item, &out_of_memory))
            listing->items[kept++] = *item;
        else
            std::free(item->full_path);
    }
    listing->count = kept;
    return !out_of_memory;
}

}  // namespace

int32_t AuditListFolder(const wchar_t *list_path, bool tagged, const Entry *entries, int32_t count,
                        ListAudit *audit)
{
    *audit = {};
    ListDirInit(&audit->unnamed);
    audit->named = static_cast<bool *>(std::calloc(size_t(count) + 1, sizeof(bool)));
    NameKeys keys = {};
    wchar_t *list_key = nullptr;
    if (!audit->named || !SortedEntryKeys(entries, count, &keys) ||
        !FormKey(list_path, &list_key)) {
        ReleaseKeys(&keys);
        return JOB_OUTCOME_NO_MEMORY;
    }
    int32_t outcome = JOB_OUTCOME_OK;
    const wchar_t *folder_key = list_key;
    size_t folder_units = list_key ? LastSeparatorBefore(list_key, std::wcslen(list_key)) : 0;
    if (!tagged && keys.count > 0) {
        folder_key = FirstEntryKey(&keys);
        folder_units = SharedFolderUnits(&keys);
    }
    if (folder_key && IsFolderKey(folder_key, folder_units)) {
        audit->folder = FolderAsWritten(folder_key, folder_units);
        if (!audit->folder)
            outcome = JOB_OUTCOME_NO_MEMORY;
    }
    if (audit->folder) {
        audit->folder_units = std::wcslen(audit->folder);
        Walk walk = {&keys, list_key, audit->named};
        if (ListDirRecursive(audit->folder, &audit->unnamed) != 0 ||
            !KeepUnnamed(&walk, &audit->unnamed))
            outcome = JOB_OUTCOME_NO_MEMORY;
    }
    std::free(list_key);
    ReleaseKeys(&keys);
    return outcome;
}

void ReleaseListAudit(ListAudit *audit)
{
    std::free(audit->folder);
    std::free(audit->named);
    ListDirFree(&audit->unnamed);
    *audit = {};
}
