#include "progress.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

#include "worker.h"

namespace {

uint64_t LoadCount(uint64_t *counter)
{
    return std::atomic_ref<uint64_t>(*counter).load(std::memory_order_relaxed);
}

// The bytes the whole job will read: known up front for a scan; for a check
// the files opened so far stand for those not yet opened.
uint64_t ExpectedBytes(ByteProgress *progress, uint64_t read)
{
    uint64_t expected = progress->total;
    if (expected == 0) {
        uint64_t sized = LoadCount(&progress->meter.bytes_sized);
        uint64_t opened = LoadCount(&progress->meter.files_sized);
        uint64_t files = uint64_t(progress->files);
        expected = opened == 0       ? 0
                   : opened >= files ? sized
                                     : sized + (files - opened) * (sized / opened);
    }
    return expected > read ? expected : read;
}

// Bytes per second over the samples kept; 0 until two samples a second apart.
uint64_t RecentRate(const ByteProgress *progress)
{
    if (progress->samples < 2)
        return 0;
    int32_t latest = (progress->samples - 1) % RATE_SAMPLES;
    int32_t oldest = progress->samples < RATE_SAMPLES ? 0 : progress->samples % RATE_SAMPLES;
    uint64_t elapsed = progress->sample_ticks[latest] - progress->sample_ticks[oldest];
    if (elapsed < 1000)
        return 0;
    return (progress->sample_bytes[latest] - progress->sample_bytes[oldest]) * 1000 / elapsed;
}

void TakeSample(ByteProgress *progress, uint64_t now, uint64_t read)
{
    if (progress->samples > 0) {
        int32_t latest = (progress->samples - 1) % RATE_SAMPLES;
        if (now - progress->sample_ticks[latest] < RATE_SAMPLE_MS)
            return;
    }
    int32_t slot = progress->samples % RATE_SAMPLES;
    progress->sample_ticks[slot] = now;
    progress->sample_bytes[slot] = read;
    ++progress->samples;
}

void ShowTitleProgress(ByteProgress *progress, uint64_t now, uint64_t read, uint64_t expected)
{
    if (now - progress->title_at < TITLE_INTERVAL_MS)
        return;
    progress->title_at = now;
    uint64_t rate = RecentRate(progress);
    int64_t seconds_left = rate ? int64_t((expected - read) / rate) : -1;
    wchar_t text[TITLE_PROGRESS_UNITS];
    FormatProgressTitle(int32_t(read * 100 / (expected ? expected : 1)), rate, seconds_left, text);
    SetTitleDetail(text);
}

void ShowBar(ByteProgress *progress, int32_t steps)
{
    if (steps <= progress->bar_shown)
        return;
    progress->bar_shown = steps;
    SetProgressPos(steps);
    SetTaskbarProgress(steps, PROGRESS_STEPS);
}

}  // namespace

void StartByteProgress(ByteProgress *progress, uint64_t total, int32_t files)
{
    *progress = ByteProgress{};
    progress->total = total;
    progress->files = files;
    progress->title_at = GetTickCount64();
    TakeSample(progress, progress->title_at, 0);
    SetProgressRange(PROGRESS_STEPS);
    SetProgressPos(0);
    SetTaskbarProgress(0, PROGRESS_STEPS);
}

void ShowByteProgress(ByteProgress *progress)
{
    uint64_t now = GetTickCount64();
    uint64_t read = LoadCount(&progress->meter.bytes_read);
    uint64_t expected = ExpectedBytes(progress, read);
    TakeSample(progress, now, read);
    if (expected > 0)
        ShowBar(progress, int32_t(read * PROGRESS_STEPS / expected));
    ShowTitleProgress(progress, now, read, expected);
}

void ShowByteProgressDone(ByteProgress *progress)
{
    ShowBar(progress, PROGRESS_STEPS);
}

void FormatProgressTitle(int32_t percent, uint64_t bytes_per_second, int64_t seconds_left,
                         wchar_t *out)
{
    // Binary units under the decimal names, as Explorer counts them.
    static const struct {
        uint64_t bytes;
        const wchar_t *name;
    } kRateUnits[] = {{1ull << 20, L"MB/s"}, {1ull << 10, L"KB/s"}, {1, L"B/s"}};
    int used = std::swprintf(out, TITLE_PROGRESS_UNITS, L"%d %%", int(percent));
    for (const auto &unit : kRateUnits) {
        if (bytes_per_second == 0 || bytes_per_second < unit.bytes)
            continue;
        used += std::swprintf(out + used, size_t(TITLE_PROGRESS_UNITS - used), L" - %llu %ls",
                              static_cast<unsigned long long>(bytes_per_second / unit.bytes),
                              unit.name);
        break;
    }
    if (seconds_left < 0)
        return;
    long long amount = seconds_left < 60        ? (seconds_left > 0 ? seconds_left : 1)
                       : seconds_left < 90 * 60 ? (seconds_left + 30) / 60
                                                : (seconds_left + 1800) / 3600;
    const wchar_t *unit = seconds_left < 60 ? L"s" : seconds_left < 90 * 60 ? L"min" : L"h";
    std::swprintf(out + used, size_t(TITLE_PROGRESS_UNITS - used), L" - about %lld %ls left",
                  amount, unit);
}
