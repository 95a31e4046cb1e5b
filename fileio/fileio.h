// File access (Windows): file operations by long path that open, work and
// close within one call, a file kept open for a run of reads, and the walker
// that lists every file below a folder.
#pragma once

#include <cstdint>
#include <cwchar>

enum FileResult : int {
    FILE_OK = 0,
    FILE_ERR_OPEN = 64,
    FILE_ERR_CREATE = 65,
    FILE_ERR_IO = -1,
    // An open for reading (ReadFileAt, OpenFileForReading, QueryFileSize)
    // that the system answered with "file not found" or "path not found".
    FILE_ERR_NOT_FOUND = 66,
    // ReplaceGrownFile: the file no longer holds what it was to hold.
    FILE_ERR_CHANGED = 67,
};

// ---- Path forms (path_forms.cpp) ---------------------------------------------

// Units of the buffer that holds a path in its long-path form, NUL included.
constexpr uint32_t LONG_PATH_UNITS = 32758;

// Writes the long-path form of `path` into `out` of `capacity` units: the
// path made full and normal (slashes, `.`, `..`, a relative or drive-relative
// path resolved against the current folder), with \\?\ in front when it is
// a drive path; a path already in that form is copied as it is. Returns 0,
// or -1 when it does not fit (4 units of room beyond the full path are
// needed) or cannot be resolved.
int BuildLongPath(const wchar_t *path, wchar_t *out, uint32_t capacity);
// The long-path form in a fresh LONG_PATH_UNITS buffer the caller frees; null
// when no memory could be had or the form does not fit.
wchar_t *NewLongPath(const wchar_t *path);
// A long-path form (or search pattern) held in the record itself when it is
// short, as nearly every path is, and on the heap only when it is not. The
// calls made once per file and per folder use it: under Wine a
// LONG_PATH_UNITS heap block per file grows costlier as the heap fills with
// a listing's paths.
constexpr uint32_t SHORT_PATH_UNITS = 1024;

struct sLongPath {
    const wchar_t *text;  // the form, or null
    wchar_t *heap;
    wchar_t local[SHORT_PATH_UNITS];
};

// FILE_OK with `text` set; FILE_ERR_OPEN when the path has no long form (as
// BuildLongPath gives -1), FILE_ERR_IO when the heap buffer a long one needs
// could not be had. ReleaseLongPath after either.
int FormLongPath(const wchar_t *path, sLongPath *form);
int FormSearchPattern(const wchar_t *folder, sLongPath *form);
void ReleaseLongPath(sLongPath *form);
// The enumeration pattern of a folder: its long-path form less one trailing
// backslash, then \*. 0, or -1 as for BuildLongPath.
int BuildSearchPattern(const wchar_t *folder, wchar_t *out, uint32_t capacity);
// The current folder in a new buffer, or null when it cannot be read;
// RestoreCurrentFolder makes it current again and releases it (null: no-op).
// For calls that may move the current folder, which relative paths depend on.
wchar_t *SaveCurrentFolder();
void RestoreCurrentFolder(wchar_t *saved);

// ---- Devices (devices.cpp) ---------------------------------------------------

// 1 when opening `path` would reach a device rather than a file: a \\.\ or
// \\?\ path that names neither a drive nor a share, or a final component
// that is a reserved device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, with
// or without an extension). Shares (\\server\share\...) are files.
int IsDevicePath(const wchar_t *path);

// ---- File names (file_names.cpp) ---------------------------------------------

// Orders two names as Windows tells file names apart: unit by unit, case
// ignored through the system's upper-case table (CompareStringOrdinal), so
// two names equal here name one file. Negative, 0 or positive; `units` -1
// reads up to the NUL.
int CompareFileNames(const wchar_t *a, int32_t a_units, const wchar_t *b, int32_t b_units);

// ---- Operations on files (file_ops.cpp) --------------------------------------

// Every operation below takes its path in plain or long-path form; a failed
// open (or a path too long for the buffer) leaves every output untouched, a
// file or folder that does not exist gives FILE_ERR_NOT_FOUND where
// FILE_ERR_OPEN is named, and a heap allocation that fails gives FILE_ERR_IO
// (ReadFileWhole: null).

// ReadFileAt and WriteFileAt are kept for callers outside the program (its
// tests, tools built on this folder): the program itself reads through an
// open file and writes through the whole-file replacements.
// Reads up to *length bytes at `offset`; *length becomes the count read (0 at
// or beyond the end). FILE_OK, FILE_ERR_OPEN, or FILE_ERR_IO when a read
// fails (*length untouched).
int ReadFileAt(void *dest, const wchar_t *path, uint64_t offset, uint32_t *length);
// A file kept open for a run of reads at offsets (the file digest reads one
// file block by block): a Win32 handle and where it stands (`position`, or
// OPEN_FILE_POSITION_UNKNOWN), so that a read which goes on where the last
// one ended needs no seek.
constexpr uint64_t OPEN_FILE_POSITION_UNKNOWN = UINT64_MAX;

struct sOpenFile {
    void *handle;
    uint64_t position;
};

// Opens like ReadFileAt: long-path form, read only, shared for reading and
// writing, read front to back (FILE_FLAG_SEQUENTIAL_SCAN). FILE_OK;
// FILE_ERR_NOT_FOUND when the system answered the open with "file not
// found" or "path not found"; FILE_ERR_OPEN for any other refusal (also for
// a path too long for the buffer) or FILE_ERR_IO (no path buffer); *file
// untouched on failure.
int OpenFileForReading(const wchar_t *path, sOpenFile *file);
// ReadFileAt on an open file: FILE_OK with *length the count read (0 at or
// beyond the end), or FILE_ERR_IO with *length untouched.
int ReadOpenFileAt(sOpenFile *file, void *dest, uint64_t offset, uint32_t *length);
void CloseOpenFile(sOpenFile *file);
// The size of an open file into *size (may be null), as QueryFileSize
// measures it: the size the handle tells, or, when it tells 0, the bytes
// counted by reading. FILE_OK, or FILE_ERR_IO with *size untouched.
int QueryOpenFileSize(sOpenFile *file, uint64_t *size);
// A new buffer with the whole file (free() it), or null. `limit`: in, the
// largest size accepted; out, the size read. An empty file gives a buffer.
void *ReadFileWhole(const wchar_t *path, uint32_t *limit);
// Writes `length` bytes at `offset`, creating the file and one missing parent
// folder when needed; never truncates. FILE_OK, FILE_ERR_CREATE, or
// FILE_ERR_IO when the seek, a write or the close fails.
int WriteFileAt(const void *src, const wchar_t *path, uint64_t offset, uint32_t length);
// The file's size into *size (may be null). FILE_OK, FILE_ERR_OPEN, or
// FILE_ERR_IO when the size cannot be asked or a counting read fails.
int QueryFileSize(const wchar_t *path, uint64_t *size);

// ---- Replacing a file whole (replace.cpp) ------------------------------------

// Replaces the file at `path` (or creates it) with `size` bytes, atomically:
// they go to a temporary file beside it first, which is renamed over it only
// once complete, so a reader never sees a partial file and a failed write
// leaves the old one as it was. A read-only file is not replaced. FILE_OK,
// FILE_ERR_CREATE, or FILE_ERR_IO.
int ReplaceFileWhole(const wchar_t *path, const void *bytes, uint64_t size);
// ReplaceFileWhole for a file that grows: `bytes` begin with the `held`
// bytes the file is to hold still (held <= size). Once the temporary file is
// complete the file is read again through an open that refuses writers; the
// rename follows only when it holds exactly those bytes and no writer has it
// open, else FILE_ERR_CHANGED and the file stays as it is. Only the moment
// between that compare and the rename is left to a change made meanwhile:
// Windows does not replace a file that is open, so the compare's open cannot
// be held across the rename.
int ReplaceGrownFile(const wchar_t *path, const void *bytes, uint64_t size, uint64_t held);

// ---- Drives (drive.cpp) --------------------------------------------------------

// 1 when the drive holding `path` reports a seek penalty (a spinning disk),
// 0 when it reports none, -1 when it cannot be asked or does not answer.
int QuerySeekPenalty(const wchar_t *path);
// 1 when a folder below `folder` may lead back to one of its ancestors
// without being a link (a reparse point): on a share or a drive of unknown
// type; 0 on a local drive.
int FolderMayLoopWithoutLinks(const wchar_t *folder);

// ---- Directory walker (walker.cpp) -------------------------------------------

// `name` points into `full_path`, the item's one allocation.
struct sDirItem {
    uint32_t attributes;
    uint64_t creation_time;
    uint64_t last_access_time;
    uint64_t last_write_time;
    uint64_t fsize;
    int32_t name_length;  // units, terminator included
    wchar_t *name;
    int32_t path_capacity;  // units
    wchar_t *full_path;
};

// The include and exclude lists belong to whoever sets them; ListDirFree
// releases only the items.
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
// Hands the item's full path to the caller, who frees it; the item keeps
// neither path nor name.
wchar_t *TakeItemPath(sDirItem *item);
// Releases the items and their array: 0, or -1 when there were no items
// (an array grown for a first item that never came is released all the same).
int ListDirFree(sListDir *list);
// 1 and the text after the first dot; 0 and `extension` untouched without one.
int GetExtension(const wchar_t *name, const wchar_t **extension);
// Append the sub-folders / the files (passing the extension lists) of one
// folder, enumerated through its long-path form: 0; -1 when it cannot be
// enumerated (nothing appended); 1 when the enumeration broke off with an
// error (items appended before stay); 2 when memory runs out (likewise).
int ListSubDirs(const wchar_t *folder, sListDir *list);
int ListFiles(const wchar_t *folder, sListDir *list);
// Appends every file below `folder`: its own files, then those of each
// sub-folder in breadth-first order. A folder that leads back to one of its
// ancestors (a link) is not walked again. A folder whose files or sub-folders
// could not all be listed adds an unlisted-folder item after the files it
// gave; a target that cannot be listed at all adds nothing. 0, or 2 when
// memory runs out (the items appended before stay).
int ListDirRecursive(const wchar_t *folder, sListDir *list);
// 1 for an unlisted-folder item: the folder bit set, its folder text as name
// and full path. The walk never lists folders as files otherwise.
int IsUnlistedFolder(const sDirItem *item);
