// The C runtime's file calls as the file operations use them: binary
// descriptors shared freely with other programs, reads and writes of any
// length, sizes counted by reading. Private to the file folder.
#pragma once

#include <cstdint>

// Opens for reading (OpenForReading), for writing without truncating
// (OpenForWriting); 0, or -1 with the system's reason in _doserrno.
int OpenForReading(const wchar_t *path, int *fd);
// Whether the failed open's reason is "file not found" or "path not found".
bool OpenFoundNothing();
int OpenForWriting(const wchar_t *path, int *fd);
int SeekFromStart(int fd, uint64_t offset);
// Reads until `wanted` bytes are in or the file ends; -1 when a read fails.
int ReadFully(int fd, uint8_t *dest, uint32_t wanted, uint32_t *got);
int WriteFully(int fd, const uint8_t *src, uint32_t length);
// Counts the bytes from the current position to the end by reading them,
// for files whose size the seek does not tell. Stops early once the count
// passes `stop_above`. Returns -1 when the scratch block cannot be had or a
// read fails: a failed read is a file that could not be read, not its end.
int CountByReading(int fd, uint64_t stop_above, uint64_t *count, int *read_any);
// Opens the long-path form `path` for writing, creating the file and one
// missing parent folder (`parent` is a LONG_PATH_UNITS scratch buffer).
// FILE_OK or FILE_ERR_CREATE.
int OpenOrCreateForWriting(const wchar_t *path, wchar_t *parent, int *fd);
