// The processor paths of the two CRC engines, CRC-32C and CRC-32 (IEEE), one
// table each, read by crc32c_update and crc32_update, the tests and the
// benchmark. Each path continues a CRC register over `count` bytes at any
// alignment. The CRC32-instruction path (CRC-32C only) lives in its own
// translation unit, the only code compiled for SSE4.2, and it also finishes
// what the CRC-32C folds (crc_fold.h) leave over; the table finishes them
// for CRC-32.
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

uint32_t crc32_update_table(uint32_t crc, const uint8_t *data, uint32_t count);
uint32_t crc32_update_pclmul(uint32_t crc, const uint8_t *data, uint32_t count);
uint32_t crc32_update_vpclmul(uint32_t crc, const uint8_t *data, uint32_t count);

inline constexpr crc_path CRC32_PATHS[] = {
    {"vpclmul", CPU_SSE42 | CPU_PCLMUL | CPU_AVX512 | CPU_VPCLMUL, crc32_update_vpclmul},
    {"pclmul", CPU_SSE42 | CPU_PCLMUL, crc32_update_pclmul},
    {"table", 0, crc32_update_table},
};

// The path each update takes under the features cpu_features leaves now.
const char *crc32c_path_name();
const char *crc32_path_name();
