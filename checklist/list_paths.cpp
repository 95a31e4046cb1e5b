// Where a listed path points: how a tagged list's path is anchored by Windows
// rules, and the path it names for the list file it was read from.
#include "checklist/checklist.h"

namespace {

bool StartsWith(const utf16 *text, const char *head)
{
    for (; *head; ++text, ++head)
        if (*text != utf16(*head))
            return false;
    return true;
}

// Units of `path` up to and including its last separator; 0 without one.
size_t FolderUnits(const utf16 *path)
{
    size_t folder = 0;
    for (size_t i = 0; path[i]; ++i)
        if (IsPathSeparator(path[i]))
            folder = i + 1;
    return folder;
}

// Units of the start of `path` up to its n-th separator (1-based), that
// separator left out; 0 when it has fewer.
size_t UnitsBeforeSeparator(const utf16 *path, int n)
{
    for (size_t i = 0; path[i]; ++i)
        if (IsPathSeparator(path[i]) && --n == 0)
            return i;
    return 0;
}

// Units of the root of `path` that a rooted path (\x) continues: the drive
// (C:, \\?\C:) or the share (\\server\share, \\?\UNC\server\share);
// 0 for a path without either, whose rooted paths stay as they are.
size_t RootUnits(const utf16 *path)
{
    bool verbatim = StartsWith(path, "\\\\?\\");
    if (verbatim && StartsWith(path + 4, "UNC\\"))
        return UnitsBeforeSeparator(path, 6);
    if (verbatim)
        return path[4] && path[5] == u':' ? 6 : 0;
    if (path[0] && path[1] == u':')
        return 2;
    if (IsPathSeparator(path[0]) && IsPathSeparator(path[1]))
        return UnitsBeforeSeparator(path, 4);
    return 0;
}

}  // namespace

int ClassifyListPath(const utf16 *path)
{
    if (!path || path[0] == 0)
        return LIST_PATH_RELATIVE;
    if (IsPathSeparator(path[0]))
        return IsPathSeparator(path[1]) ? LIST_PATH_ABSOLUTE : LIST_PATH_ROOTED;
    if (IsDriveLetter(path[0]) && path[1] == u':')
        return IsPathSeparator(path[2]) ? LIST_PATH_ABSOLUTE : LIST_PATH_DRIVE_RELATIVE;
    return LIST_PATH_RELATIVE;
}

utf16 *AnchorListedPath(const utf16 *list_path, utf16 *path, bool *anchored)
{
    *anchored = true;
    switch (ClassifyListPath(path)) {
    case LIST_PATH_RELATIVE:
        return FolderUnits(list_path) ? JoinUnits(list_path, FolderUnits(list_path), path) : path;
    case LIST_PATH_ROOTED:
        return RootUnits(list_path) ? JoinUnits(list_path, RootUnits(list_path), path) : path;
    case LIST_PATH_DRIVE_RELATIVE:
        *anchored = false;
        return path;
    default:
        return path;
    }
}
