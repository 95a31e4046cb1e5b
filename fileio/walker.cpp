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

// Appends one found item to the list it belongs to, if any: a sub-folder to
// `folders`, a file the extension lists take to `files`. 0, or 2.
int TakeFound(const WIN32_FIND_DATAW *c_file, const wchar_t *base, sListDir *files,
              sListDir *folders)
{
    if ((c_file->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        if (files && PassesExtensionLists(files, c_file->cFileName))
            return AppendItem(files, c_file, base);
        return 0;
    }
    return folders && !IsDotName(c_file->cFileName) ? AppendItem(folders, c_file, base) : 0;
}

// Enumerates one folder once, its files going to `files` and its sub-folders
// to `folders` (either may be null). Under Wine every entry an enumeration
// meets costs file-system calls, so a walk enumerates each folder only once.
// The enumeration goes through the long-path form, so folders deeper than
// the classic limit are listed too; the items keep the folder text as given.
int ListOneFolder(const wchar_t *folder, sListDir *files, sListDir *folders)
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
    // The basic level leaves out the short names, and the large fetch lets
    // the system return many entries per call into the kernel.
    WIN32_FIND_DATAW c_file;
    HANDLE find = FindFirstFileExW(pattern.text, FindExInfoBasic, &c_file, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    int result = -1;
    if (find != INVALID_HANDLE_VALUE) {
        result = 0;
        do {
            result = TakeFound(&c_file, base, files, folders);
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

enum IdentityState : uint8_t {
    IDENTITY_NOT_ASKED = 0,
    IDENTITY_KNOWN = 1,
    IDENTITY_UNKNOWN = 2,  // the folder could not be opened or did not say
};

struct FolderIdentity {
    uint32_t volume;
    uint64_t index;
    uint8_t state;  // an IdentityState
};

enum FolderFollow : uint8_t {
    FOLDER_LOOP = 0,  // leads back to an ancestor: listed, not walked
    FOLDER_WALK = 1,
    FOLDER_WALK_CHECKED = 2,  // walked; a link or below one: its sub-folders are checked
};

// One record per queued sub-folder, in the order of the queue. A folder is
// checked for leading back up only where that can happen: at a link, below
// one, or everywhere on a drive that may loop without links. Asking a
// folder's identity costs most of a millisecond under Wine, about as much
// as listing a hundred files.
struct FolderTrail {
    const wchar_t *target;
    bool check_all;
    FolderIdentity root;
    FolderIdentity *identity;
    int32_t *parent;  // queue position of the folder it was found in; -1 the target
    uint8_t *follow;  // a FolderFollow
    int32_t capacity;
};

// 0, or 2 when memory runs out.
int QueryFolderIdentity(const wchar_t *folder, FolderIdentity *id)
{
    *id = {0, 0, IDENTITY_UNKNOWN};
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
        id->state = IDENTITY_KNOWN;
    }
    CloseHandle(handle);
    return 0;
}

// The identity of the folder at queue position `at` (-1 the target), asked
// for the first time it is needed. Null when memory runs out.
const FolderIdentity *IdentityAt(FolderTrail *trail, const sListDir *queue, int32_t at)
{
    FolderIdentity *id = at < 0 ? &trail->root : &trail->identity[at];
    const wchar_t *folder = at < 0 ? trail->target : queue->items[at].full_path;
    if (id->state == IDENTITY_NOT_ASKED && QueryFolderIdentity(folder, id) != 0)
        return nullptr;
    return id;
}

int SameFolder(const FolderIdentity *a, const FolderIdentity *b)
{
    return a->state == IDENTITY_KNOWN && b->state == IDENTITY_KNOWN && a->volume == b->volume &&
           a->index == b->index;
}

// Whether the folder at queue position `at` can lead back up: it is a link
// (a reparse point: symbolic link, junction, mount point), lies below one,
// or lies on a drive that may loop without links.
bool NeedsCheck(const FolderTrail *trail, const sListDir *queue, int32_t at)
{
    int32_t parent = trail->parent[at];
    return (queue->items[at].attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
           (parent < 0 ? trail->check_all : trail->follow[parent] == FOLDER_WALK_CHECKED);
}

// Whether the folder at queue position `at` is one of its own ancestors.
// 2 when memory runs out.
int LeadsBackToAncestor(FolderTrail *trail, const sListDir *queue, int32_t at)
{
    const FolderIdentity *id = IdentityAt(trail, queue, at);
    if (!id)
        return 2;
    for (int32_t ancestor = trail->parent[at];; ancestor = trail->parent[ancestor]) {
        const FolderIdentity *seen = IdentityAt(trail, queue, ancestor);
        if (!seen)
            return 2;
        if (SameFolder(id, seen))
            return 1;
        if (ancestor < 0)
            return 0;
    }
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
        trail->identity[at] = {0, 0, IDENTITY_NOT_ASKED};
        trail->parent[at] = parent;
        if (!NeedsCheck(trail, queue, at)) {
            trail->follow[at] = FOLDER_WALK;
            continue;
        }
        int loops = LeadsBackToAncestor(trail, queue, at);
        if (loops == 2)
            return 2;
        trail->follow[at] = loops ? FOLDER_LOOP : FOLDER_WALK_CHECKED;
    }
    return 0;
}

// Lists a folder once: its files to `list`, its sub-folders to the queue,
// recorded as found in the folder at queue position `parent` (-1 the
// target). The folder's result as ListOneFolder gives it.
int ListFolderOnce(const wchar_t *folder, int32_t parent, sListDir *queue, FolderTrail *trail,
                   sListDir *list)
{
    int32_t first = queue->count;
    int listed = ListOneFolder(folder, list, queue);
    if (listed == 2 || RecordFoundFolders(trail, queue, first, parent) != 0)
        return 2;
    return listed;
}

// After a folder's files, an unlisted-folder item when its listing failed.
// The target that cannot be listed at all holds no file to report: nothing.
// 0, or 2 when memory runs out.
int NoteListing(int listed, bool target, const wchar_t *folder, sListDir *list)
{
    if (listed == 2)
        return 2;
    if (listed == 0 || (target && listed == -1))
        return 0;
    return AppendUnlistedFolder(list, folder);
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
    return ListOneFolder(folder, nullptr, list);
}

int ListFiles(const wchar_t *folder, sListDir *list)
{
    return ListOneFolder(folder, list, nullptr);
}

// The queue fills level by level as the folders in it are listed in turn,
// so the files come in breadth-first order of their folders.
int ListDirRecursive(const wchar_t *folder, sListDir *list)
{
    sListDir queue;
    ListDirInit(&queue);
    FolderTrail trail = {folder,
                         FolderMayLoopWithoutLinks(folder) != 0,
                         {0, 0, IDENTITY_NOT_ASKED},
                         nullptr,
                         nullptr,
                         nullptr,
                         0};
    int result = NoteListing(ListFolderOnce(folder, -1, &queue, &trail, list), true, folder, list);
    for (int32_t position = 0; result == 0 && position < queue.count; ++position) {
        if (trail.follow[position] == FOLDER_LOOP)
            continue;
        const wchar_t *sub_folder = queue.items[position].full_path;
        result = NoteListing(ListFolderOnce(sub_folder, position, &queue, &trail, list), false,
                             sub_folder, list);
    }
    FreeTrail(&trail);
    ListDirFree(&queue);
    return result;
}

int IsUnlistedFolder(const sDirItem *item)
{
    return (item->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
