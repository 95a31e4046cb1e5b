// End-to-end timing of the file digest on one file: kinds "C" and "S", plus a
// plain read of the same file through one Win32 handle for comparison. The
// file is read once before timing so every run sees a warm cache. Prints one
// line per measurement, "name seconds MB/s", for bench/hash_bench.sh.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "hash/hash.h"

static const int RUNS = 3;

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

static int digest_c(const wchar_t *path)
{
    utf16 out[DIGEST_TEXT_CAPACITY] = {0};
    file_digest_text(L'C', path, out);
    return out[0] ? 0 : -1;
}

static int digest_s(const wchar_t *path)
{
    utf16 out[DIGEST_TEXT_CAPACITY] = {0};
    file_digest_text(L'S', path, out);
    return out[0] ? 0 : -1;
}

// Best of RUNS timed runs; -1 when a run fails.
static double best_seconds(int (*run)(const wchar_t *), const wchar_t *path)
{
    double best = -1;
    for (int i = 0; i < RUNS; ++i) {
        double start = seconds_now();
        if (run(path) != 0)
            return -1;
        double taken = seconds_now() - start;
        if (best < 0 || taken < best)
            best = taken;
    }
    return best;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: file_digest_bench FILE\n");
        return 2;
    }
    const wchar_t *path = argv[1];
    detect_sse42();
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &attributes) || plain_read(path) != 0) {
        std::fprintf(stderr, "cannot read %ls\n", path);
        return 1;
    }
    double megabytes = (static_cast<double>(attributes.nFileSizeHigh) * 4294967296.0 +
                        attributes.nFileSizeLow) / 1e6;
    struct {
        const char *name;
        int (*run)(const wchar_t *);
    } measures[3] = {{"win32_read", plain_read}, {"digest_C", digest_c}, {"digest_S", digest_s}};
    for (auto &m : measures) {
        double s = best_seconds(m.run, path);
        if (s <= 0) {
            std::fprintf(stderr, "%s failed\n", m.name);
            return 1;
        }
        std::printf("%s %.3f %.1f\n", m.name, s, megabytes / s);
    }
    return 0;
}
