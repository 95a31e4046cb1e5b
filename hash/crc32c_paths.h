// The processor paths of the CRC-32C engine, one table read by crc32c_update,
// the tests and the benchmark. Each path continues a CRC register over
// `count` bytes at any alignment. The CRC32-instruction path lives in its own
// translation unit, the only code compiled for SSE4.2, and it also finishes
// what the folding paths (crc32c_fold.h) leave over.
#pragma once

#include <cstdint>

#include "engine_paths.h"

typedef uint32_t (*crc_update_fn)(uint32_t crc, const uint8_t *data, uint32_t count);
typedef engine_path<crc_update_fn> crc_path;

uint32_t crc32c_update_table(uint32_t crc, const uint8_t *data, uint32_t count);
uint32_t crc32c_update_sse42(uint32_t crc, const uint8_t *data, uint32_t count);
uint32_t crc32c_update_pclmul(uint32_t crc, const uint8_t *data, uint32_t count);
uint32_t crc32c_update_vpclmul(uint32_t crc, const uint8_t *data, uint32_t count);

inline constexpr crc_path CRC32C_PATHS[] = {
    {"vpclmul", CPU_SSE42 | CPU_PCLMUL | CPU_AVX512 | CPU_VPCLMUL, crc32c_update_vpclmul},
    {"pclmul", CPU_SSE42 | CPU_PCLMUL, crc32c_update_pclmul},
    {"crc32", CPU_SSE42, crc32c_update_sse42},
    {"table", 0, crc32c_update_table},
};

// The path crc32c_update takes under the features cpu_features leaves now.
const char *crc32c_path_name();
