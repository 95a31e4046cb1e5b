// The floor a folder scan is measured against: a plain Win32 program that
// lists a tree with FindFirstFileExW (breadth-first, as the scan does) and
// opens, reads whole and closes each file, hashing nothing. Prints the file
// count, bytes and seconds. With --list it only lists: the bare listing an
// update of a list is measured against. Not a test: scan_bench.sh and
// update_bench.sh run it in the same Wine session as the program.
//
//   walk_floor.exe [--list] FOLDER [THREADS]
//
// With THREADS above 1 the tree is listed first and that many threads then
// open and read the files, each taking the next one: the floor of a scan on
// every core.
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

// Reads each file as it is listed (`read`), only counts it, or only lists it
// into `files`.
void WalkTree(const std::wstring &top, bool read, Totals *totals, std::vector<std::wstring> *files)
{
    std::vector<std::wstring> folders{top};
    std::vector<char> buffer(1 << 20);
    for (size_t at = 0; at < folders.size(); ++at) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileExW((folders[at] + L"\\*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folders[at] + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                folders.push_back(path);
            else if (files)
                files->push_back(path);
            else if (read)
                ReadWhole(path, &buffer, totals);
            else
                ++totals->files;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
}

struct SharedFiles {
    const std::vector<std::wstring> *files;
    volatile LONG next;
    Totals totals[64];
    volatile LONG thread_index;
};

DWORD WINAPI ReadingThread(LPVOID parameter)
{
    SharedFiles *shared = static_cast<SharedFiles *>(parameter);
    Totals *totals = &shared->totals[InterlockedIncrement(&shared->thread_index) - 1];
    std::vector<char> buffer(1 << 20);
    for (;;) {
        LONG i = InterlockedIncrement(&shared->next) - 1;
        if (size_t(i) >= shared->files->size())
            return 0;
        ReadWhole((*shared->files)[size_t(i)], &buffer, totals);
    }
}

void WalkTreeOnThreads(const std::wstring &top, int threads, Totals *totals)
{
    std::vector<std::wstring> files;
    WalkTree(top, false, totals, &files);
    SharedFiles shared = {&files, 0, {}, 0};
    std::vector<HANDLE> running;
    for (int t = 0; t < threads; ++t) {
        HANDLE thread = CreateThread(nullptr, 0, ReadingThread, &shared, 0, nullptr);
        if (thread)
            running.push_back(thread);
    }
    for (HANDLE thread : running) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    for (const Totals &one : shared.totals) {
        totals->files += one.files;
        totals->bytes += one.bytes;
    }
}

}  // namespace

int wmain(int argc, wchar_t **argv)
{
    bool list_only = argc > 1 && std::wcscmp(argv[1], L"--list") == 0;
    int first = list_only ? 2 : 1;
    if (argc - first != 1 && argc - first != 2) {
        std::fprintf(stderr, "usage: walk_floor [--list] FOLDER [THREADS]\n");
        return 2;
    }
    int threads = argc - first == 2 ? _wtoi(argv[first + 1]) : 1;
    threads = threads < 1 ? 1 : (threads > 64 ? 64 : threads);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Totals totals = {};
    const wchar_t *folder = argv[first];
    if (threads == 1 || list_only)
        WalkTree(folder, !list_only, &totals, nullptr);
    else
        WalkTreeOnThreads(folder, threads, &totals);
    QueryPerformanceCounter(&end);
    double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    std::printf("%llu files %llu bytes %.3f s\n", static_cast<unsigned long long>(totals.files),
                static_cast<unsigned long long>(totals.bytes), seconds);
    return 0;
}
