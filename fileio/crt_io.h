// The C runtime's file calls as the file operations use them for writing:
// binary descriptors shared freely with other programs, writes of any
// length. Private to the file folder; reads go through handle_io.h.
#pragma once

#include <cstdint>

// Opens for writing without truncating; 0, or -1 with the system's reason
// in _doserrno.
int OpenForWriting(const wchar_t *path, int *fd);
int SeekFromStart(int fd, uint64_t offset);
int WriteFully(int fd, const uint8_t *src, uint32_t length);
// Opens the long-path form `path` for writing, creating the file and one
// missing parent folder (`parent` is a LONG_PATH_UNITS scratch buffer).
// FILE_OK or FILE_ERR_CREATE.
int OpenOrCreateForWriting(const wchar_t *path, wchar_t *parent, int *fd);
