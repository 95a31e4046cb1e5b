// CRC-32C (Castagnoli): reflected polynomial 0x82F63B78, initial value
// 0xFFFFFFFF, final complement. Checksum lists written on one processor are
// checked on another, so the table path and the CRC32-instruction path must
// agree bit for bit.
#include "hash/hash.h"

#include <cstring>

#include "core/state.h"
#include "cpuid.h"
#include "crc32c_paths.h"

// Slicing-by-8: table k gives the effect of a byte followed by k zero bytes.
static uint32_t crc32c_table[8][256];

static const uint32_t CRC32C_POLY = 0x82F63B78u;
static const uint32_t CPUID_ECX_SSE42 = 0x100000u;

int detect_sse42()
{
    uint32_t reg[4] = {0, 0, 0, 0};
    query_cpuid(1, 0, reg);
    int answer = (reg[2] & CPUID_ECX_SSE42) ? 1 : 0;
    g_app.sse42 = answer;
    return answer;
}

static void build_crc32c_table()
{
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ CRC32C_POLY : c >> 1;
        crc32c_table[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = crc32c_table[0][n];
        for (int k = 1; k < 8; ++k) {
            c = (c >> 8) ^ crc32c_table[0][c & 0xFF];
            crc32c_table[k][n] = c;
        }
    }
}

void crc32c_init(uint32_t *crc)
{
    *crc = ~*crc;
    if (g_app.sse42)
        return;
    build_crc32c_table();
}

static inline uint32_t crc32c_table_byte(uint32_t crc, uint8_t b)
{
    return crc32c_table[0][(crc ^ b) & 0xFF] ^ (crc >> 8);
}

static inline uint64_t load_le64(const uint8_t *p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

uint32_t crc32c_update_table(uint32_t crc, const uint8_t *data, uint32_t count)
{
    while (count != 0 && (reinterpret_cast<uintptr_t>(data) & 7) != 0) {
        crc = crc32c_table_byte(crc, *data++);
        --count;
    }
    while (count >= 8) {
        uint64_t w = load_le64(data) ^ crc;
        crc = crc32c_table[7][w & 0xFF] ^ crc32c_table[6][(w >> 8) & 0xFF] ^
              crc32c_table[5][(w >> 16) & 0xFF] ^ crc32c_table[4][(w >> 24) & 0xFF] ^
              crc32c_table[3][(w >> 32) & 0xFF] ^ crc32c_table[2][(w >> 40) & 0xFF] ^
              crc32c_table[1][(w >> 48) & 0xFF] ^ crc32c_table[0][w >> 56];
        data += 8;
        count -= 8;
    }
    while (count != 0) {
        crc = crc32c_table_byte(crc, *data++);
        --count;
    }
    return crc;
}

void crc32c_update(uint32_t *crc, const void *data, uint32_t count)
{
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    if (g_app.sse42)
        *crc = crc32c_update_sse42(*crc, bytes, count);
    else
        *crc = crc32c_update_table(*crc, bytes, count);
}

uint32_t crc32c_final(uint32_t *crc)
{
    *crc = ~*crc;
    return *crc;
}
