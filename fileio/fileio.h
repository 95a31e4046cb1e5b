// File access (Windows): file operations by long path that open, work and
// close within one call, and the walker that lists every file below a folder.
#pragma once

#include <cstdint>
#include <cwchar>

#include "app/state.h"

enum FileResult : int {
    FILE_OK = 0,
    FILE_ERR_OPEN = 64,
    FILE_ERR_CREATE = 65,
    FILE_ERR_IO = -1,
};

// Units of the buffer that holds a path in its long-path form, NUL included.
constexpr uint32_t LONG_PATH_UNITS = 32758;

// Writes the long-path form of `path` (\\?\ in front of a drive path) into
// `out` of `capacity` units. Returns 0, or -1 when it does not fit.
int BuildLongPath(const wchar_t *path, wchar_t *out, uint32_t capacity);

int ReadFileAt(void *dest, const wchar_t *path, uint64_t offset, uint32_t *length);
// A new buffer with the whole file (free() it), or null. `limit`: in, the
// largest size accepted; out, the size read.
void *ReadFileWhole(const wchar_t *path, uint32_t *limit);
int WriteFileAt(const void *src, const wchar_t *path, uint64_t offset, uint32_t length);
int QueryFileSize(const wchar_t *path, uint64_t *size);

// ---- Directory walker -------------------------------------------------------

struct sDirItem {
    uint32_t attributes;
    uint64_t creation_time;
    uint64_t last_access_time;
    uint64_t last_write_time;
    uint64_t fsize;
    int32_t name_length;    // units, terminator included
    wchar_t *name;
    int32_t path_capacity;  // units
    wchar_t *full_path;
};

struct sListDir {
    int32_t capacity;
    int32_t count;
    int32_t exclude_count;
    int32_t include_count;
    sDirItem *items;
    wchar_t **include_list;
    wchar_t **exclude_list;
};

int ListDirInit(sListDir *list);
int ListDirFree(sListDir *list);
int GetExtension(const wchar_t *name, const wchar_t **extension);
int ListSubDirs(const wchar_t *folder, sListDir *list);
int ListFiles(const wchar_t *folder, sListDir *list);
int ListDirRecursive(const wchar_t *folder, sListDir *list);
