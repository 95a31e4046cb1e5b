#include "tests/support/scratch.h"

#include <string>

std::wstring LongForm(const std::wstring &path)
{
    return path.size() > 1 && path[1] == L':' ? L"\\\\?\\" + path : path;
}

std::wstring TempParent()
{
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp, n);
}

std::wstring MakeScratchFolder()
{
    static unsigned counter;
    std::wstring base = TempParent();
    for (;;) {
        std::wstring folder = base + L"tv" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(++counter);
        if (CreateDirectoryW(folder.c_str(), nullptr))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::wstring();
    }
}

void RemoveTree(const std::wstring &folder)
{
    std::wstring long_folder = LongForm(folder);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((long_folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            std::wstring long_path = LongForm(path);
            SetFileAttributesW(long_path.c_str(), FILE_ATTRIBUTE_NORMAL);
            bool folder_entry = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            bool link = found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
            if (folder_entry && !link)
                RemoveTree(path);
            else if (folder_entry)
                RemoveDirectoryW(long_path.c_str());
            else
                DeleteFileW(long_path.c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(long_folder.c_str());
}

NamedFolder MakeNamedFolder(const std::wstring &parent, const std::wstring &prefix)
{
    NamedFolder folder;
    folder.name = prefix + std::to_wstring(GetCurrentProcessId());
    folder.path = parent + folder.name;
    CreateDirectoryW(LongForm(folder.path).c_str(), nullptr);
    return folder;
}

std::wstring MakeDeepFolder(const std::wstring &parent, size_t units)
{
    std::wstring path = parent;
    while (path.size() < units) {
        path += L"\\" + std::wstring(60, L'd');
        if (!CreateDirectoryW(LongForm(path).c_str(), nullptr))
            return std::wstring();
    }
    return path;
}

std::wstring MakeSubFolder(const std::wstring &folder, const std::wstring &name)
{
    std::wstring path = folder + L"\\" + name;
    CreateDirectoryW(LongForm(path).c_str(), nullptr);
    return path;
}

uint8_t PatternByte(uint32_t i)
{
    return static_cast<uint8_t>(i * 7 + 1);
}

bool PutBytes(const std::wstring &path, const void *bytes, uint32_t size)
{
    HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = size == 0 || (WriteFile(file, bytes, size, &written, nullptr) && written == size);
    return CloseHandle(file) && ok;
}

bool PutBytes(const std::wstring &path, const std::string &bytes)
{
    return PutBytes(path, bytes.data(), uint32_t(bytes.size()));
}

std::wstring PutFileIn(const std::wstring &folder, const std::wstring &name,
                       const std::string &bytes)
{
    std::wstring path = folder + L"\\" + name;
    PutBytes(path, bytes);
    return path;
}

bool PutFile(const std::wstring &path, uint32_t size)
{
    std::string bytes(size, '\0');
    for (uint32_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(PatternByte(i));
    return PutBytes(path, bytes.data(), size);
}

bool CutFile(const std::wstring &path, uint32_t size)
{
    HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER end;
    end.QuadPart = size;
    bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    return CloseHandle(file) && ok;
}

bool SwapFileHandle(void **handle, const std::wstring &path, DWORD access)
{
    HANDLE fresh = CreateFileW(LongForm(path).c_str(), access,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (fresh == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(*handle);
    *handle = fresh;
    return true;
}

std::string GetBytes(const std::wstring &path)
{
    HANDLE file =
        CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0)
        bytes.append(block, got);
    CloseHandle(file);
    return bytes;
}

bool Exists(const std::wstring &path)
{
    return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Utf16Bytes(const std::wstring &text)
{
    std::string bytes;
    for (wchar_t unit : text) {
        bytes.push_back(char(unit & 0xFF));
        bytes.push_back(char(unit >> 8));
    }
    return bytes;
}

std::string ListBytes(const std::wstring &body)
{
    return std::string("\xFF\xFE", 2) + Utf16Bytes(body);
}
