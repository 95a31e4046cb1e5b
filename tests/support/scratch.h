// Scratch folders and files for every test group: fresh folders removed with
// everything in them afterwards, files written and read back with plain
// Win32 calls (so the code under test is checked against an independent
// path), and the bytes of UTF-16 checksum lists.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The system's temporary folder, with its trailing backslash.
std::wstring TempParent();
// A new empty folder (no trailing backslash), e.g. C:\users\x\Temp\tv1234_1.
std::wstring MakeScratchFolder();
// `prefix` followed by this process's id, made inside `parent` (which ends in
// a backslash); for tests that need to know or choose the folder's place.
struct NamedFolder {
    std::wstring name;  // the folder's own name
    std::wstring path;
};
NamedFolder MakeNamedFolder(const std::wstring &parent, const std::wstring &prefix);
// folder\name made as a folder; its path.
std::wstring MakeSubFolder(const std::wstring &folder, const std::wstring &name);
// Nested folders of 60-unit names below `parent` until the path has at
// least `units` units; its path, or empty when a level cannot be made.
std::wstring MakeDeepFolder(const std::wstring &parent, size_t units);
// Removes a folder tree; links to folders are removed, not followed.
void RemoveTree(const std::wstring &folder);
// \\?\ in front of a drive path, for paths beyond the classic limit.
std::wstring LongForm(const std::wstring &path);

// Writes `size` bytes of the pattern PatternByte(i) (or the given bytes).
bool PutFile(const std::wstring &path, uint32_t size);
bool PutBytes(const std::wstring &path, const void *bytes, uint32_t size);
bool PutBytes(const std::wstring &path, const std::string &bytes);
// Writes folder\name; its path.
std::wstring PutFileIn(const std::wstring &folder, const std::wstring &name,
                       const std::string &bytes);
// Cuts a file to `size` bytes through a handle that shares reading, writing
// and deleting, so it works while the code under test holds the file open.
bool CutFile(const std::wstring &path, uint32_t size);
// Closes *handle and puts in its place a new handle on `path` with `access`
// (GENERIC_WRITE: one that cannot read), so that code holding the file open
// meets a failing read as a real one fails.
bool SwapFileHandle(void **handle, const std::wstring &path, DWORD access);
// The file's bytes; "<missing>" when it cannot be opened.
std::string GetBytes(const std::wstring &path);
bool Exists(const std::wstring &path);
uint8_t PatternByte(uint32_t i);

// UTF-16LE bytes of a text, as checksum lists hold them.
std::string Utf16Bytes(const std::wstring &text);
// FF FE and the UTF-16LE bytes of `body`: a .qcx list file.
std::string ListBytes(const std::wstring &body);
