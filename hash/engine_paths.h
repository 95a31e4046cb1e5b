// The paths of each engine and the features that force each one through
// cpu_features_limit, richest first. For the tests and benchmarks that must
// reach every path this processor has.
#pragma once

#include "cpu_features.h"

struct engine_path {
    const char *name;
    uint32_t needs;    // features the path cannot run without
    uint32_t allowed;  // features left on to force it
};

inline constexpr engine_path SHA3_PATHS[] = {
    {"avx512", CPU_AVX512, CPU_AVX512},
    {"bmi2", CPU_BMI2, CPU_BMI2},
    {"portable", 0, 0},
};

// The multi-state kernels of sha3_lanes (streams finish on the single-stream
// path the same limit leaves).
inline constexpr engine_path SHA3_LANE_PATHS[] = {
    {"x8_avx512", CPU_AVX512, CPU_AVX512},
    {"x4_avx2", CPU_AVX2, CPU_AVX2 | CPU_BMI2},
};

inline constexpr engine_path CRC32C_PATHS[] = {
    {"vpclmul", CPU_SSE42 | CPU_AVX512 | CPU_VPCLMUL, ~0u},
    {"pclmul", CPU_SSE42 | CPU_PCLMUL, CPU_SSE42 | CPU_PCLMUL},
    {"crc32", CPU_SSE42, CPU_SSE42},
    {"table", 0, 0},
};

// BLAKE3's paths (the library's per-path code under our dispatch). Its AVX2
// path compresses single blocks with SSE4.1.
inline constexpr engine_path BLAKE3_PATHS[] = {
    {"avx512", CPU_AVX512, CPU_AVX512},
    {"avx2", CPU_AVX2 | CPU_SSE41, CPU_AVX2 | CPU_SSE41},
    {"sse41", CPU_SSE41, CPU_SSE41},
    {"sse2", CPU_SSE2, CPU_SSE2},
    {"portable", 0, 0},
};

// XXH3's paths: xxHash built once per vector width.
inline constexpr engine_path XXH3_PATHS[] = {
    {"avx512", CPU_AVX512, CPU_AVX512},
    {"avx2", CPU_AVX2, CPU_AVX2},
    {"sse2", CPU_SSE2, CPU_SSE2},
    {"scalar", 0, 0},
};

inline bool engine_path_available(const engine_path &path)
{
    return (cpu_features_probed() & path.needs) == path.needs;
}
