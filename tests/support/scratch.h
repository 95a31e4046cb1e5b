// Scratch folders for the file tests: a fresh folder under the system's
// temporary folder per test, removed with everything in it afterwards.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// A new empty folder (no trailing backslash), e.g. C:\users\x\Temp\tv1234_1.
std::wstring MakeScratchFolder();
// Removes a folder tree; links to folders are removed, not followed.
void RemoveTree(const std::wstring &folder);
// Writes `size` bytes of the pattern i*7+1 (or the given bytes) with plain
// Win32 calls, so the code under test is checked against an independent path.
bool PutFile(const std::wstring &path, uint32_t size);
bool PutBytes(const std::wstring &path, const void *bytes, uint32_t size);
// Cuts a file to `size` bytes through a handle that shares reading, writing
// and deleting, so it works while the code under test holds the file open.
bool CutFile(const std::wstring &path, uint32_t size);
std::string GetBytes(const std::wstring &path);
bool Exists(const std::wstring &path);
uint8_t PatternByte(uint32_t i);
