// The update paths of the CRC-32C engine without folding. crc32c_update
// picks one by cpu_features; the CRC32-instruction path lives in its own
// translation unit because it is the only code compiled for SSE4.2, and it
// also finishes what the folding paths (crc32c_fold.h) leave over.
#pragma once

#include <cstdint>

uint32_t crc32c_update_table(uint32_t crc, const uint8_t *data, uint32_t count);
uint32_t crc32c_update_sse42(uint32_t crc, const uint8_t *data, uint32_t count);
