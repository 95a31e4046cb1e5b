// Slicing-by-8 for a reflected 32-bit CRC, written once for every polynomial:
// table k gives the effect of a byte followed by k zero bytes. The tables are
// built by the compiler, so no initialisation writes shared memory.
#pragma once

#include <cstdint>
#include <cstring>

struct crc_tables {
    uint32_t t[8][256];
};

// `reflected_poly`: the polynomial with its bits reversed, x^32 implied.
constexpr crc_tables make_crc_tables(uint32_t reflected_poly)
{
    crc_tables tables{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ reflected_poly : c >> 1;
        tables.t[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = tables.t[0][n];
        for (int k = 1; k < 8; ++k) {
            c = (c >> 8) ^ tables.t[0][c & 0xFF];
            tables.t[k][n] = c;
        }
    }
    return tables;
}

inline uint32_t crc_table_byte(const crc_tables &tables, uint32_t crc, uint8_t b)
{
    return tables.t[0][(crc ^ b) & 0xFF] ^ (crc >> 8);
}

// Continues the register `crc` over `count` bytes at any alignment.
inline uint32_t crc_update_slicing(const crc_tables &tables, uint32_t crc, const uint8_t *data,
                                   uint32_t count)
{
    const uint32_t(&t)[8][256] = tables.t;
    while (count != 0 && (reinterpret_cast<uintptr_t>(data) & 7) != 0) {
        crc = crc_table_byte(tables, crc, *data++);
        --count;
    }
    while (count >= 8) {
        uint64_t w;
        std::memcpy(&w, data, sizeof w);
        w ^= crc;
        crc = t[7][w & 0xFF] ^ t[6][(w >> 8) & 0xFF] ^ t[5][(w >> 16) & 0xFF] ^
              t[4][(w >> 24) & 0xFF] ^ t[3][(w >> 32) & 0xFF] ^ t[2][(w >> 40) & 0xFF] ^
              t[1][(w >> 48) & 0xFF] ^ t[0][w >> 56];
        data += 8;
        count -= 8;
    }
    while (count != 0) {
        crc = crc_table_byte(tables, crc, *data++);
        --count;
    }
    return crc;
}
