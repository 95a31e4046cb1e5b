// Reading files through Win32 handles as the file operations use them: an
// open shared freely with other programs, reads at an offset of any length,
// sizes counted by reading. Private to the file folder.
#pragma once

#include <windows.h>

#include <cstdint>

// CreateFileW for reading: a handle, or INVALID_HANDLE_VALUE with the
// system's reason in GetLastError().
HANDLE OpenHandleForReading(const wchar_t *path);
// Whether a failed open's reason is "file not found" or "path not found".
bool OpenFoundNothing(DWORD error);
// Moves the handle's position to `offset`: 0, or -1.
int SeekHandle(HANDLE handle, uint64_t offset);
// Reads from the handle's position until `wanted` bytes are in or the file
// ends; -1 when a read fails.
int ReadFully(HANDLE handle, uint8_t *dest, uint32_t wanted, uint32_t *got);
// Counts the bytes of a file whose size the system does not tell by reading
// them from the start (the handle's position is left anywhere). Stops early once the count passes
// `stop_above`. Returns -1 when the scratch block cannot be had or a read fails: a failed read is a
// file that could not be read, not its end.
int CountByReading(HANDLE handle, uint64_t stop_above, uint64_t *count);
