#include "tests/support/test_files.h"

#include <windows.h>

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring AppPath()
{
    return ExeFolder() + TALVOR_E2E_APP_RELATIVE;
}

std::wstring TempParent()
{
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp, length);
}

TestFolder MakeTestFolder(const std::wstring &parent, const std::wstring &prefix)
{
    TestFolder folder;
    folder.name = prefix + std::to_wstring(GetCurrentProcessId());
    folder.path = parent + folder.name;
    CreateDirectoryW(folder.path.c_str(), nullptr);
    return folder;
}

std::wstring WriteTestFile(TestFolder *folder, const std::wstring &name, const std::string &bytes)
{
    std::wstring path = folder->path + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
    folder->files.push_back(path);
    return path;
}

std::wstring AddTestSubFolder(TestFolder *folder, const std::wstring &name)
{
    std::wstring path = folder->path + L"\\" + name;
    CreateDirectoryW(path.c_str(), nullptr);
    folder->folders.push_back(path);
    return path;
}

void RemoveTestFolder(const TestFolder &folder)
{
    for (const std::wstring &file : folder.files) DeleteFileW(file.c_str());
    for (size_t i = folder.folders.size(); i > 0; --i) RemoveDirectoryW(folder.folders[i - 1].c_str());
    RemoveDirectoryW(folder.path.c_str());
}

std::string Utf16Bytes(const std::wstring &text)
{
    std::string bytes;
    for (wchar_t unit : text) {
        bytes.push_back((char)(unit & 0xFF));
        bytes.push_back((char)(unit >> 8));
    }
    return bytes;
}
