// End-to-end timing of the file digest on one file, for bench/hash_bench.sh,
// which alternates it with its native references and keeps the best of each.
//   file_digest_bench FILE C|S   one file digest of that kind
//   file_digest_bench FILE R     a plain read through one Win32 handle
// Prints the seconds taken.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "hash/file_digest.h"

static double seconds_now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

static int plain_read(const wchar_t *path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    const DWORD block_bytes = 1 << 20;
    void *block = std::malloc(block_bytes);
    DWORD got = 0;
    while (block && ReadFile(file, block, block_bytes, &got, nullptr) && got > 0) {
    }
    std::free(block);
    CloseHandle(file);
    return block ? 0 : -1;
}

static int file_digest(wchar_t kind, const wchar_t *path)
{
    utf16 out[DIGEST_TEXT_CAPACITY] = {0};
    file_digest_text(kind, path, out);
    return out[0] ? 0 : -1;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3 || (argv[2][0] != L'C' && argv[2][0] != L'S' && argv[2][0] != L'R')) {
        std::fprintf(stderr, "usage: file_digest_bench FILE C|S|R\n");
        return 2;
    }
    detect_sse42();
    wchar_t what = argv[2][0];
    double start = seconds_now();
    int result = what == L'R' ? plain_read(argv[1]) : file_digest(what, argv[1]);
    double taken = seconds_now() - start;
    if (result != 0) {
        std::fprintf(stderr, "cannot read %ls\n", argv[1]);
        return 1;
    }
    std::printf("%.3f\n", taken);
    return 0;
}
