// The CRC32-instruction path. This file alone is compiled for SSE4.2; it only
// runs after detect_sse42 has found the instruction.
#include "hash/crc32c_paths.h"

#include <cstring>

#include <nmmintrin.h>

uint32_t crc32c_update_sse42(uint32_t crc, const uint8_t *data, uint32_t count)
{
    while (count != 0 && (reinterpret_cast<uintptr_t>(data) & 7) != 0) {
        crc = _mm_crc32_u8(crc, *data++);
        --count;
    }
    uint64_t wide = crc;
    while (count >= 8) {
        uint64_t w;
        std::memcpy(&w, data, sizeof w);
        wide = _mm_crc32_u64(wide, w);
        data += 8;
        count -= 8;
    }
    crc = static_cast<uint32_t>(wide);
    if (count >= 4) {
        uint32_t w;
        std::memcpy(&w, data, sizeof w);
        crc = _mm_crc32_u32(crc, w);
        data += 4;
        count -= 4;
    }
    if (count >= 2) {
        uint16_t w;
        std::memcpy(&w, data, sizeof w);
        crc = _mm_crc32_u16(crc, w);
        data += 2;
        count -= 2;
    }
    if (count >= 1)
        crc = _mm_crc32_u8(crc, *data);
    return crc;
}
