// The two update paths of the CRC-32C engine. crc32c_update picks one by the
// SSE4.2 flag; the hardware path lives in its own translation unit because it
// is the only code compiled for SSE4.2.
#pragma once

#include <cstdint>

uint32_t crc32c_update_table(uint32_t crc, const uint8_t *data, uint32_t count);
uint32_t crc32c_update_sse42(uint32_t crc, const uint8_t *data, uint32_t count);
