// The long-path form of a path as a person may type it, the folder search
// pattern, and the current folder that relative paths depend on.
#include "path_forms.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/core.h"
#include "fileio/fileio.h"

namespace {

int StartsWithLongPrefix(const wchar_t *path)
{
    return path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\';
}

typedef int (*BuildForm)(const wchar_t *path, wchar_t *out, uint32_t capacity);

// A form that does not fit the record is built again in a full-size buffer.
int FormWith(BuildForm build, const wchar_t *path, sLongPath *form)
{
    form->text = nullptr;
    form->heap = nullptr;
    if (build(path, form->local, SHORT_PATH_UNITS) == 0) {
        form->text = form->local;
        return FILE_OK;
    }
    form->heap = AllocPathBuffer();
    if (!form->heap)
        return FILE_ERR_IO;
    if (build(path, form->heap, LONG_PATH_UNITS) != 0)
        return FILE_ERR_OPEN;
    form->text = form->heap;
    return FILE_OK;
}

constexpr wchar_t LONG_PREFIX[] = L"\\\\?\\";
constexpr size_t LONG_PREFIX_UNITS = 4;
constexpr wchar_t LONG_SHARE_PREFIX[] = L"\\\\?\\UNC\\";
constexpr size_t LONG_SHARE_PREFIX_UNITS = 8;

int IsShareStart(const wchar_t *path)
{
    return IsPathSeparator(path[0]) && IsPathSeparator(path[1]) && !StartsWithNamespacePrefix(path);
}

// Appends `units` units of `text` to the form of `*length` units. -1 when
// they (and a NUL) do not fit.
int AppendUnits(wchar_t *out, uint32_t capacity, size_t *length, const wchar_t *text, size_t units)
{
    if (*length + units + 1 > capacity)
        return -1;
    std::wmemcpy(out + *length, text, units);
    *length += units;
    out[*length] = 0;
    return 0;
}

size_t ComponentUnits(const wchar_t *path)
{
    size_t units = 0;
    while (path[units] != 0 && !IsPathSeparator(path[units]))
        ++units;
    return units;
}

// The units of the form once its last component is dropped (never the root).
size_t ParentUnits(const wchar_t *out, size_t root, size_t length)
{
    while (length > root && out[length - 1] != L'\\')
        --length;
    return length > root ? length - 1 : length;
}

// Appends the components of `rest` to a form whose root takes `root` units:
// separators of either slash, `.` and empty components are dropped, `..`
// drops the component before it (never the root), and every other name is
// kept exactly, trailing dots and blanks included. A separator that ends
// `rest` stays, as in the system's full path. 0, or -1 when it does not fit.
int AppendComponents(wchar_t *out, uint32_t capacity, size_t root, const wchar_t *rest)
{
    size_t length = std::wcslen(out);
    for (const wchar_t *at = rest; *at;) {
        size_t units = ComponentUnits(at);
        bool dot = units == 1 && at[0] == L'.';
        bool dots = units == 2 && at[0] == L'.' && at[1] == L'.';
        if (dots) {
            length = ParentUnits(out, root, length);
            out[length] = 0;
        } else if (units > 0 && !dot) {
            if (out[length - 1] != L'\\' && AppendUnits(out, capacity, &length, L"\\", 1) != 0)
                return -1;
            if (AppendUnits(out, capacity, &length, at, units) != 0)
                return -1;
        }
        at += units;
        if (*at)
            ++at;
    }
    size_t rest_units = std::wcslen(rest);
    if (rest_units > 0 && IsPathSeparator(rest[rest_units - 1]) && out[length - 1] != L'\\')
        return AppendUnits(out, capacity, &length, L"\\", 1);
    return 0;
}

// The root of a drive path (X:\...) or a share path (\\server\share\...) in
// long form: \\?\X:\ or \\?\UNC\server\share. *root: its units; *rest: the
// path after it. 0, or -1 when it does not fit or names no share.
int BuildRoot(const wchar_t *path, wchar_t *out, uint32_t capacity, size_t *root,
              const wchar_t **rest)
{
    size_t length = 0;
    out[0] = 0;
    if (!IsShareStart(path)) {
        if (AppendUnits(out, capacity, &length, LONG_PREFIX, LONG_PREFIX_UNITS) != 0 ||
            AppendUnits(out, capacity, &length, path, 2) != 0 ||
            AppendUnits(out, capacity, &length, L"\\", 1) != 0)
            return -1;
        *root = length;
        *rest = path + 3;
        return 0;
    }
    const wchar_t *server = path + 2;
    size_t server_units = ComponentUnits(server);
    const wchar_t *share = server + server_units + (server[server_units] ? 1 : 0);
    size_t share_units = ComponentUnits(share);
    if (server_units == 0 || share_units == 0)
        return -1;
    if (AppendUnits(out, capacity, &length, LONG_SHARE_PREFIX, LONG_SHARE_PREFIX_UNITS) != 0 ||
        AppendUnits(out, capacity, &length, server, server_units) != 0 ||
        AppendUnits(out, capacity, &length, L"\\", 1) != 0 ||
        AppendUnits(out, capacity, &length, share, share_units) != 0)
        return -1;
    *root = length;
    *rest = share + share_units;
    return 0;
}

// The long form of a drive or share path.
int BuildAbsoluteForm(const wchar_t *path, wchar_t *out, uint32_t capacity)
{
    size_t root = 0;
    const wchar_t *rest = nullptr;
    if (BuildRoot(path, out, capacity, &root, &rest) != 0)
        return -1;
    return AppendComponents(out, capacity, root, rest);
}

// Writes into `out` the long form of the full path the system gives for
// `base` (".", "\\" or "X:": the current folder, its drive's root, a drive's
// current folder) and then `rest`'s components. The system's full path is
// taken on the stack when it is short, as it nearly always is.
int BuildFromBase(const wchar_t *base, const wchar_t *rest, wchar_t *out, uint32_t capacity)
{
    wchar_t local[SHORT_PATH_UNITS];
    wchar_t *full = local;
    DWORD units = GetFullPathNameW(base, SHORT_PATH_UNITS, local, nullptr);
    if (units >= SHORT_PATH_UNITS) {
        full = AllocPathBuffer();
        units = full ? GetFullPathNameW(base, LONG_PATH_UNITS, full, nullptr) : 0;
        if (units >= LONG_PATH_UNITS)
            units = 0;
    }
    size_t root = 0;
    const wchar_t *full_rest = nullptr;
    int result = units == 0 ? -1 : BuildRoot(full, out, capacity, &root, &full_rest);
    if (result == 0)
        result = AppendComponents(out, capacity, root, full_rest);
    if (full != local)
        std::free(full);
    return result == 0 ? AppendComponents(out, capacity, root, rest) : -1;
}

}  // namespace

wchar_t *AllocPathBuffer()
{
    return static_cast<wchar_t *>(std::malloc(LONG_PATH_UNITS * sizeof(wchar_t)));
}

int StartsWithNamespacePrefix(const wchar_t *path)
{
    return IsPathSeparator(path[0]) && IsPathSeparator(path[1]) &&
           (path[2] == L'.' || path[2] == L'?') && IsPathSeparator(path[3]);
}

// Windows takes a \\?\ path literally: forward slashes, `.` and `..` stay in
// it and name nothing. So what a person may have typed is resolved first:
// the slashes, `.` and `..`, and a relative, rooted or drive-relative start.
// Nothing else: GetFullPathNameW would also strip the trailing dots and
// blanks of every name, and open "a." as its namesake "a", so names are kept
// exactly as given (the walker's and a list's names are exact).
int BuildLongPath(const wchar_t *path, wchar_t *out, uint32_t capacity)
{
    if (StartsWithLongPrefix(path)) {
        size_t length = wcsnlen(path, capacity);
        if (length + 1 > capacity)
            return -1;
        std::wmemcpy(out, path, length + 1);
        return 0;
    }
    if (capacity <= LONG_PREFIX_UNITS || path[0] == 0)
        return -1;
    if (StartsWithNamespacePrefix(path)) {
        // A device path: the system takes it as it is.
        DWORD units = GetFullPathNameW(path, capacity, out, nullptr);
        return units == 0 || units >= capacity ? -1 : 0;
    }
    if (IsShareStart(path) || (path[1] == L':' && IsPathSeparator(path[2])))
        return BuildAbsoluteForm(path, out, capacity);
    // The base a relative, rooted or drive-relative path continues from.
    wchar_t drive[3] = {path[0], L':', 0};
    bool drive_relative = path[1] == L':';
    const wchar_t *base = drive_relative ? drive : IsPathSeparator(path[0]) ? L"\\" : L".";
    const wchar_t *rest = drive_relative ? path + 2 : IsPathSeparator(path[0]) ? path + 1 : path;
    return BuildFromBase(base, rest, out, capacity);
}

int BuildSearchPattern(const wchar_t *folder, wchar_t *out, uint32_t capacity)
{
    if (capacity < 3 || BuildLongPath(folder, out, capacity - 2) != 0)
        return -1;
    size_t units = std::wcslen(out);
    if (units > 0 && out[units - 1] == L'\\')
        --units;
    std::wmemcpy(out + units, L"\\*", 3);
    return 0;
}

wchar_t *NewLongPath(const wchar_t *path)
{
    wchar_t *tmp_Path = AllocPathBuffer();
    if (tmp_Path && BuildLongPath(path, tmp_Path, LONG_PATH_UNITS) != 0) {
        std::free(tmp_Path);
        return nullptr;
    }
    return tmp_Path;
}

int FormLongPath(const wchar_t *path, sLongPath *form)
{
    return FormWith(BuildLongPath, path, form);
}

int FormSearchPattern(const wchar_t *folder, sLongPath *form)
{
    return FormWith(BuildSearchPattern, folder, form);
}

void ReleaseLongPath(sLongPath *form)
{
    std::free(form->heap);
    form->heap = nullptr;
    form->text = nullptr;
}

wchar_t *SaveCurrentFolder()
{
    DWORD units = GetCurrentDirectoryW(0, nullptr);
    if (units == 0)
        return nullptr;
    wchar_t *folder = static_cast<wchar_t *>(std::malloc(units * sizeof(wchar_t)));
    if (folder && GetCurrentDirectoryW(units, folder) + 1 != units) {
        std::free(folder);
        return nullptr;
    }
    return folder;
}

void RestoreCurrentFolder(wchar_t *saved)
{
    if (!saved)
        return;
    SetCurrentDirectoryW(saved);
    std::free(saved);
}
