// A job's progress by bytes: the progress bar, the taskbar button and the
// title's share, throughput and time left, from the bytes the file digests
// have read. The "Work p%" texts stay with the row queue, counted in files.
#pragma once

#include <cstdint>

#include "hash/file_digest.h"

// Throughput is measured over the last RATE_SAMPLES - 1 sample intervals.
constexpr int32_t RATE_SAMPLES = 11;
constexpr uint64_t RATE_SAMPLE_MS = 500;
// The title changes at most this often: a figure that flickers cannot be read.
constexpr uint64_t TITLE_INTERVAL_MS = 1000;

struct ByteProgress {
    file_digest_meter meter;  // counted by the file digests of the job
    uint64_t total;           // bytes of every file of the job; 0: estimated from the files opened
    int32_t files;            // files of the job
    uint64_t sample_ticks[RATE_SAMPLES];
    uint64_t sample_bytes[RATE_SAMPLES];
    int32_t samples;  // taken so far; the latest at (samples - 1) % RATE_SAMPLES
    uint64_t title_at;
    int32_t bar_shown;  // 0 to PROGRESS_STEPS
};

// The progress bar's range for every job: whole percents.
constexpr int32_t PROGRESS_STEPS = 100;

// Range and position 0, a fresh count. `total` 0 lets the sizes of the
// files opened so far stand for the rest (a checksum list holds no sizes).
void StartByteProgress(ByteProgress *progress, uint64_t total, int32_t files);
// Shows the bytes read so far on the bar and the taskbar button, and, when
// due, the share, throughput and time left in the title.
void ShowByteProgress(ByteProgress *progress);
// The bar and the taskbar button full: the job did all its work.
void ShowByteProgressDone(ByteProgress *progress);

constexpr int32_t TITLE_PROGRESS_UNITS = 64;
// "42 %", then " - 310 MB/s" when `bytes_per_second` is above 0, then
// " - about 2 min left" when `seconds_left` is 0 or more, into `out`
// (TITLE_PROGRESS_UNITS units).
void FormatProgressTitle(int32_t percent, uint64_t bytes_per_second, int64_t seconds_left,
                         wchar_t *out);
