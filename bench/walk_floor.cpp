// The floor a folder scan is measured against: a plain Win32 program that
// lists a tree with FindFirstFileW (breadth-first, as the scan does) and
// opens, reads whole and closes each file, hashing nothing. Prints the file
// count, bytes and seconds. With --list it only lists: the bare listing an
// update of a list is measured against. Not a test: scan_bench.sh and
// update_bench.sh run it in the same Wine session as the program.
//
//   walk_floor.exe [--list] FOLDER
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Totals {
    uint64_t files;
    uint64_t bytes;
};

void ReadWhole(const std::wstring &path, std::vector<char> *buffer, Totals *totals)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD got = 0;
    while (ReadFile(file, buffer->data(), DWORD(buffer->size()), &got, nullptr) && got > 0)
        totals->bytes += got;
    CloseHandle(file);
    ++totals->files;
}

void WalkTree(const std::wstring &top, bool read, Totals *totals)
{
    std::vector<std::wstring> folders{top};
    std::vector<char> buffer(1 << 20);
    for (size_t at = 0; at < folders.size(); ++at) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folders[at] + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folders[at] + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                folders.push_back(path);
            else if (read)
                ReadWhole(path, &buffer, totals);
            else
                ++totals->files;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
}

}  // namespace

int wmain(int argc, wchar_t **argv)
{
    bool list_only = argc == 3 && std::wcscmp(argv[1], L"--list") == 0;
    if (argc != 2 && !list_only) {
        std::fprintf(stderr, "usage: walk_floor [--list] FOLDER\n");
        return 2;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Totals totals = {};
    WalkTree(argv[argc - 1], !list_only, &totals);
    QueryPerformanceCounter(&end);
    double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    std::printf("%llu files %llu bytes %.3f s\n", static_cast<unsigned long long>(totals.files),
                static_cast<unsigned long long>(totals.bytes), seconds);
    return 0;
}
