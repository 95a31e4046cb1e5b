// Files and folders the end-to-end tests give the program, and where the
// program under test is.
#pragma once

#include <string>
#include <vector>

// The folder of the running test executable, with its trailing backslash.
std::wstring ExeFolder();
// TalvorCrcCheck.exe, found relative to the test executable.
std::wstring AppPath();

// A fresh folder, removed with what the test put in it by RemoveTestFolder.
struct TestFolder {
    std::wstring name;  // the folder's own name
    std::wstring path;
    std::vector<std::wstring> files;
    std::vector<std::wstring> folders;
};

// The system's temporary folder, with its trailing backslash.
std::wstring TempParent();
// `prefix` followed by this process's id, made inside `parent` (which ends
// in a backslash).
TestFolder MakeTestFolder(const std::wstring &parent, const std::wstring &prefix);
std::wstring WriteTestFile(TestFolder *folder, const std::wstring &name, const std::string &bytes);
std::wstring AddTestSubFolder(TestFolder *folder, const std::wstring &name);
void RemoveTestFolder(const TestFolder &folder);

// UTF-16LE bytes of a text, as checksum lists hold them.
std::string Utf16Bytes(const std::wstring &text);
