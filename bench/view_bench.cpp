// The result list's order and filter at a million rows: each sort direction
// of each column, the way back to the designed order, and the problems-only
// filter on and off, timed in the real (hidden) main window. The reference,
// measured in the same run, is a plain sort of the same row indexes by
// ordinal path text: the least any path sort can cost.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "app/app.h"
#include "window/display.h"
#include "window/window.h"

namespace {

constexpr int32_t ROWS = 1000000;
// One row in a hundred is a problem, as in a large check that went wrong.
constexpr int32_t PROBLEM_EVERY = 100;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

template <typename Work>
double Time(Work work)
{
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return Seconds(start, end);
}

// Paths of a photo library in a scrambled order, digests like CRC-32C.
struct Texts {
    std::vector<wchar_t> units;
    std::vector<DisplayRow> rows;
};

void MakeRows(Texts *texts)
{
    const size_t PATH_UNITS = 64;
    const size_t DIGEST_UNITS = 9;
    texts->units.resize(size_t(ROWS) * (PATH_UNITS + DIGEST_UNITS));
    texts->rows.resize(ROWS);
    const RowStatus problems[] = {ROW_MISMATCH, ROW_MISSING, ROW_ERROR};
    uint32_t seed = 12345;
    for (int32_t i = 0; i < ROWS; ++i) {
        seed = seed * 1664525u + 1013904223u;
        uint32_t n = seed % uint32_t(ROWS);
        wchar_t *path = &texts->units[size_t(i) * (PATH_UNITS + DIGEST_UNITS)];
        wchar_t *digest = path + PATH_UNITS;
        std::swprintf(path, PATH_UNITS, L"D:\\Photos\\%u\\Album %u\\IMG_%u.jpg", 2000 + n % 25,
                      (n / 25) % 400, n);
        std::swprintf(digest, DIGEST_UNITS, L"%08X", seed);
        RowStatus status = i % PROBLEM_EVERY == 7 ? problems[(i / PROBLEM_EVERY) % 3] : ROW_OK;
        texts->rows[size_t(i)] = DisplayRow{path, digest, RowStatusText(status)};
    }
}

double ReferenceSort(const Texts *texts)
{
    std::vector<uint32_t> order(ROWS);
    for (int32_t i = 0; i < ROWS; ++i)
        order[size_t(i)] = uint32_t(i);
    return Time([&] {
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return std::wcscmp(texts->rows[a].path, texts->rows[b].path) < 0;
        });
    });
}

}  // namespace

int wmain()
{
    if (!StartApplication(GetModuleHandleW(nullptr), SW_HIDE, L"")) {
        std::fprintf(stderr, "the main window could not be created\n");
        return 1;
    }
    Texts texts;
    MakeRows(&texts);
    double added = Time([&] { AddResultRows(texts.rows.data(), ROWS); });
    double reference = ReferenceSort(&texts);
    std::printf("%d rows (added in %.3f s); reference: ordinal sort by path %.3f s\n", ROWS, added,
                reference);
    std::printf("%-34s %9s %9s\n", "step", "seconds", "/ ref");
    auto report = [&](const char *step, double seconds) {
        std::printf("%-34s %9.3f %9.2f\n", step, seconds, seconds / reference);
    };
    const char *names[3] = {"Path", "CRC", "Status"};
    for (int column = 0; column < 3; ++column) {
        char step[64];
        std::snprintf(step, 64, "sort by %s, ascending", names[column]);
        report(step, Time([&] { SortResultRows(column, false); }));
        std::snprintf(step, 64, "sort by %s, descending", names[column]);
        report(step, Time([&] { SortResultRows(column, true); }));
    }
    report("problems only, sorted by Status", Time([] { ShowProblemsOnly(true); }));
    report("every row again, sorted by Status", Time([] { ShowProblemsOnly(false); }));
    report("designed order", Time([] { SortResultRows(-1, false); }));
    report("problems only, designed order", Time([] { ShowProblemsOnly(true); }));
    report("every row again, designed order", Time([] { ShowProblemsOnly(false); }));
    return 0;
}
