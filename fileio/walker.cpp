// The directory walker: every file below a folder, the folder's own files
// first, then those of each sub-folder in breadth-first order.
#include "fileio/fileio.h"

#include "core/core.h"

#include <windows.h>

#include <direct.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>

namespace {

constexpr int32_t FIRST_CAPACITY = 128;

enum ListMode { LIST_SUB_DIRS, LIST_FILES };

uint64_t JoinHalves(uint32_t high, uint32_t low)
{
    return (static_cast<uint64_t>(high) << 32) | low;
}

int IsDotName(const wchar_t *name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

int MatchesAny(const wchar_t *extension, wchar_t *const *texts, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        if (_wcsicmp(extension, texts[i]) == 0)
            return 1;
    return 0;
}

int PassesExtensionLists(const sListDir *list, const wchar_t *name)
{
    const wchar_t *tmpExt = nullptr;
    int has_extension = GetExtension(name, &tmpExt);
    int taken = 1;
    if (list->include_count > 0)
        taken = has_extension && MatchesAny(tmpExt, list->include_list, list->include_count);
    if (list->exclude_count > 0 && has_extension &&
        MatchesAny(tmpExt, list->exclude_list, list->exclude_count))
        taken = 0;
    return taken;
}

int IsTaken(const sListDir *list, const WIN32_FIND_DATAW *c_file, ListMode mode)
{
    int folder = (c_file->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (mode == LIST_SUB_DIRS)
        return folder && !IsDotName(c_file->cFileName);
    return !folder && PassesExtensionLists(list, c_file->cFileName);
}

// Doubling keeps a listing of many thousands of files linear in time.
int MakeRoomForOneMore(sListDir *list)
{
    int64_t wanted = int64_t(list->count) + 1;
    return ReserveArray(&list->items, &list->capacity, wanted, FIRST_CAPACITY) ? 0 : -1;
}

// Appends one item; 2 when memory runs out, with the listing as it was. The
// name is the tail of the full path: one allocation per file.
int AppendItem(sListDir *list, const WIN32_FIND_DATAW *c_file, const wchar_t *base)
{
    size_t base_units = std::wcslen(base);
    size_t name_units = std::wcslen(c_file->cFileName) + 1;
    size_t path_units = name_units + base_units + 1;
    wchar_t *full_path = static_cast<wchar_t *>(std::malloc(path_units * sizeof(wchar_t)));
    if (!full_path || MakeRoomForOneMore(list) != 0) {
        std::free(full_path);
        return 2;
    }
    std::wmemcpy(full_path, base, base_units);
    size_t at = base_units;
    if (base_units == 0 || base[base_units - 1] != L'\\')
        full_path[at++] = L'\\';
    wchar_t *name = full_path + at;
    std::wmemcpy(name, c_file->cFileName, name_units);

    sDirItem *item = &list->items[list->count];
    item->attributes = c_file->dwFileAttributes;
    item->creation_time =
        JoinHalves(c_file->ftCreationTime.dwHighDateTime, c_file->ftCreationTime.dwLowDateTime);
    item->last_access_time =
        JoinHalves(c_file->ftLastAccessTime.dwHighDateTime, c_file->ftLastAccessTime.dwLowDateTime);
    item->last_write_time =
        JoinHalves(c_file->ftLastWriteTime.dwHighDateTime, c_file->ftLastWriteTime.dwLowDateTime);
    item->fsize = JoinHalves(c_file->nFileSizeHigh, c_file->nFileSizeLow);
    item->name_length = static_cast<int32_t>(name_units);
    item->name = name;
    item->path_capacity = static_cast<int32_t>(path_units);
    item->full_path = full_path;
    list->count += 1;
    return 0;
}

// `.` and `..` name the folders relative to the working folder; their paths
// are spelt out in full so the listed paths stay valid wherever they go.
// When that fails the text itself still names the listed files.
int ResolveBase(const wchar_t *folder, const wchar_t **base, wchar_t **owned)
{
    *base = folder;
    *owned = nullptr;
    int current = std::wcscmp(folder, L".") == 0;
    int parent = std::wcscmp(folder, L"..") == 0;
    if (!current && !parent)
        return 0;
    wchar_t *buffer = static_cast<wchar_t *>(std::malloc(LONG_PATH_UNITS * sizeof(wchar_t)));
    if (!buffer)
        return -1;
    int resolved;
    if (current) {
        resolved = _wgetcwd(buffer, LONG_PATH_UNITS) != nullptr;
    } else {
        DWORD n = GetFullPathNameW(L"..", LONG_PATH_UNITS, buffer, nullptr);
        resolved = n > 0 && n < LONG_PATH_UNITS;
    }
    if (!resolved) {
        std::free(buffer);
        return 0;
    }
    *base = buffer;
    *owned = buffer;
    return 0;
}

// The enumeration goes through the long-path form, so folders deeper than
// the classic limit are listed too; the items keep the folder text as given.
int ListOneFolder(const wchar_t *folder, sListDir *list, ListMode mode)
{
    sLongPath pattern;
    int formed = FormSearchPattern(folder, &pattern);
    if (formed != FILE_OK) {
        ReleaseLongPath(&pattern);
        return formed == FILE_ERR_IO ? 2 : -1;
    }
    const wchar_t *base = nullptr;
    wchar_t *owned_base = nullptr;
    if (ResolveBase(folder, &base, &owned_base) != 0) {
        ReleaseLongPath(&pattern);
        return 2;
    }
    WIN32_FIND_DATAW c_file;
    HANDLE find = FindFirstFileW(pattern.text, &c_file);
    int result = -1;
    if (find != INVALID_HANDLE_VALUE) {
        result = 0;
        do {
            if (IsTaken(list, &c_file, mode))
                result = AppendItem(list, &c_file, base);
        } while (result == 0 && FindNextFileW(find, &c_file));
        if (result == 0 && GetLastError() != ERROR_NO_MORE_FILES)
            result = 1;
        FindClose(find);
    }
    std::free(owned_base);
    ReleaseLongPath(&pattern);
    return result;
}

// An item that stands for a folder whose files could not all be listed:
// the folder bit set, the folder text as name and full path. 2 when memory
// runs out.
int AppendUnlistedFolder(sListDir *list, const wchar_t *folder)
{
    if (MakeRoomForOneMore(list) != 0)
        return 2;
    // Copied by our own helper, not the CRT's _wcsdup: its allocation is
    // one the allocation tests can refuse.
    wchar_t *full_path = DuplicateText(folder);
    if (!full_path)
        return 2;
    sDirItem *item = &list->items[list->count];
    *item = {};
    item->attributes = FILE_ATTRIBUTE_DIRECTORY;
    item->name_length = static_cast<int32_t>(std::wcslen(full_path) + 1);
    item->name = full_path;
    item->path_capacity = item->name_length;
    item->full_path = full_path;
    list->count += 1;
    return 0;
}

// ---- Folder identities, so that links leading back up are not walked again.

struct FolderIdentity {
    uint32_t volume;
    uint64_t index;
    int known;
};

enum FolderFollow : uint8_t {
    FOLDER_LOOP = 0,  // leads back to an ancestor: listed, not walked
    FOLDER_WALK = 1,
    FOLDER_BROKEN = 2,  // walked, but its sub-folders could not all be listed
};

// One record per queued sub-folder, in the order of the queue.
struct FolderTrail {
    FolderIdentity root;
    FolderIdentity *identity;
    int32_t *parent;  // queue position of the folder it was found in; -1 the target
    uint8_t *follow;  // a FolderFollow
    int32_t capacity;
};

// *id stays unknown when the folder cannot be opened. 0, or 2 when memory
// runs out.
int QueryFolderIdentity(const wchar_t *folder, FolderIdentity *id)
{
    *id = {0, 0, 0};
    sLongPath form;
    int formed = FormLongPath(folder, &form);
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (formed == FILE_OK)
        handle = CreateFileW(form.text, FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ReleaseLongPath(&form);
    if (formed == FILE_ERR_IO)
        return 2;
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info)) {
        id->volume = info.dwVolumeSerialNumber;
        id->index = JoinHalves(info.nFileIndexHigh, info.nFileIndexLow);
        id->known = 1;
    }
    CloseHandle(handle);
    return 0;
}

int SameFolder(const FolderIdentity *a, const FolderIdentity *b)
{
    return a->known && b->known && a->volume == b->volume && a->index == b->index;
}

int LeadsBackToAncestor(const FolderTrail *trail, const FolderIdentity *id, int32_t parent)
{
    for (int32_t at = parent; at >= 0; at = trail->parent[at])
        if (SameFolder(id, &trail->identity[at]))
            return 1;
    return SameFolder(id, &trail->root);
}

int GrowTrail(FolderTrail *trail, int32_t needed)
{
    if (needed <= trail->capacity)
        return 0;
    int32_t wanted = needed;
    void *identity =
        std::realloc(trail->identity, static_cast<size_t>(wanted) * sizeof(FolderIdentity));
    if (identity)
        trail->identity = static_cast<FolderIdentity *>(identity);
    void *parent = std::realloc(trail->parent, static_cast<size_t>(wanted) * sizeof(int32_t));
    if (parent)
        trail->parent = static_cast<int32_t *>(parent);
    void *follow = std::realloc(trail->follow, static_cast<size_t>(wanted));
    if (follow)
        trail->follow = static_cast<uint8_t *>(follow);
    if (!identity || !parent || !follow)
        return -1;
    trail->capacity = wanted;
    return 0;
}

void FreeTrail(FolderTrail *trail)
{
    std::free(trail->identity);
    std::free(trail->parent);
    std::free(trail->follow);
}

// Records the folders appended to the queue since `first`, found in the
// folder at queue position `parent`.
int RecordFoundFolders(FolderTrail *trail, const sListDir *queue, int32_t first, int32_t parent)
{
    if (GrowTrail(trail, queue->capacity) != 0)
        return 2;
    for (int32_t at = first; at < queue->count; ++at) {
        if (QueryFolderIdentity(queue->items[at].full_path, &trail->identity[at]) != 0)
            return 2;
        trail->parent[at] = parent;
        trail->follow[at] =
            LeadsBackToAncestor(trail, &trail->identity[at], parent) ? FOLDER_LOOP : FOLDER_WALK;
    }
    return 0;
}

// Fills the queue with every folder below the target, level by level. A
// folder whose sub-folders cannot all be listed is marked FOLDER_BROKEN and
// the others are still walked. *target_listed: the target's own result.
// Returns 0, or 2 when memory runs out.
int DiscoverFolders(const wchar_t *folder, sListDir *tempp_sListDir, FolderTrail *trail,
                    int *target_listed)
{
    if (QueryFolderIdentity(folder, &trail->root) != 0)
        return 2;
    *target_listed = ListSubDirs(folder, tempp_sListDir);
    if (*target_listed == 2 || RecordFoundFolders(trail, tempp_sListDir, 0, -1) != 0)
        return 2;
    for (int32_t position = 0; position < tempp_sListDir->count; ++position) {
        if (trail->follow[position] == FOLDER_LOOP)
            continue;
        int32_t first = tempp_sListDir->count;
        int listed = ListSubDirs(tempp_sListDir->items[position].full_path, tempp_sListDir);
        if (listed == 2 || RecordFoundFolders(trail, tempp_sListDir, first, position) != 0)
            return 2;
        if (listed != 0)
            trail->follow[position] = FOLDER_BROKEN;
    }
    return 0;
}

// A target that cannot be listed at all holds no file to report; one whose
// listing failed only in part is reported like any sub-folder.
int TargetListingBroke(int files_listed, int folders_listed)
{
    if (files_listed == -1 && folders_listed == -1)
        return 0;
    return files_listed != 0 || folders_listed != 0;
}

// The files of every queued folder, each folder that failed to list in full
// followed by its unlisted-folder item. 0, or 2 when memory runs out.
int ListQueuedFiles(const sListDir *tempp_sListDir, const FolderTrail *trail, sListDir *list)
{
    for (int32_t position = 0; position < tempp_sListDir->count; ++position) {
        if (trail->follow[position] == FOLDER_LOOP)
            continue;
        const wchar_t *folder = tempp_sListDir->items[position].full_path;
        int listed = ListFiles(folder, list);
        if (listed == 2)
            return 2;
        if ((listed != 0 || trail->follow[position] == FOLDER_BROKEN) &&
            AppendUnlistedFolder(list, folder) != 0)
            return 2;
    }
    return 0;
}

}  // namespace

int ListDirInit(sListDir *list)
{
    list->capacity = 0;
    list->count = 0;
    list->exclude_count = 0;
    list->include_count = 0;
    list->items = nullptr;
    list->include_list = nullptr;
    list->exclude_list = nullptr;
    return 0;
}

int ListDirFree(sListDir *list)
{
    // The array may have grown before its first item could be filled.
    int result = list->count == 0 ? -1 : 0;
    for (int32_t i = 0; i < list->count; ++i) {
        std::free(list->items[i].full_path);
    }
    std::free(list->items);
    list->items = nullptr;
    list->count = 0;
    list->capacity = 0;
    return result;
}

wchar_t *TakeItemPath(sDirItem *item)
{
    wchar_t *path = item->full_path;
    item->full_path = nullptr;
    item->name = nullptr;
    item->path_capacity = 0;
    return path;
}

int GetExtension(const wchar_t *name, const wchar_t **extension)
{
    const wchar_t *dot = std::wcschr(name, L'.');
    if (!dot)
        return 0;
    *extension = dot + 1;
    return 1;
}

int ListSubDirs(const wchar_t *folder, sListDir *list)
{
    return ListOneFolder(folder, list, LIST_SUB_DIRS);
}

int ListFiles(const wchar_t *folder, sListDir *list)
{
    return ListOneFolder(folder, list, LIST_FILES);
}

int ListDirRecursive(const wchar_t *folder, sListDir *list)
{
    sListDir tempp_sListDir;
    ListDirInit(&tempp_sListDir);
    FolderTrail trail = {{0, 0, 0}, nullptr, nullptr, nullptr, 0};

    int files_listed = ListFiles(folder, list);
    int folders_listed = -1;
    int result =
        files_listed == 2 ? 2 : DiscoverFolders(folder, &tempp_sListDir, &trail, &folders_listed);
    if (result == 0 && TargetListingBroke(files_listed, folders_listed))
        result = AppendUnlistedFolder(list, folder);
    if (result == 0)
        result = ListQueuedFiles(&tempp_sListDir, &trail, list);
    FreeTrail(&trail);
    ListDirFree(&tempp_sListDir);
    return result;
}

int IsUnlistedFolder(const sDirItem *item)
{
    return (item->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
