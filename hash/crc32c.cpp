// CRC-32C (Castagnoli): reflected polynomial 0x82F63B78, initial value
// 0xFFFFFFFF, final complement. Checksum lists written on one processor are
// checked on another, so the table path and the CRC32-instruction path must
// agree bit for bit.
#include "hash/hash.h"

#include <cstring>

#include "cpu_features.h"
#include "crc32c_fold.h"
#include "crc32c_paths.h"

// Slicing-by-8: table k gives the effect of a byte followed by k zero bytes.
// Built by the compiler, so no initialisation writes shared memory.
struct crc32c_tables {
    uint32_t t[8][256];
};

static constexpr uint32_t CRC32C_POLY = 0x82F63B78u;

static constexpr crc32c_tables make_crc32c_tables()
{
    crc32c_tables tables{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ CRC32C_POLY : c >> 1;
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

static constexpr crc32c_tables CRC32C_TABLES = make_crc32c_tables();
static constexpr const uint32_t (&crc32c_table)[8][256] = CRC32C_TABLES.t;

static_assert(CRC32C_TABLES.t[0][1] == 0xF26B8303u, "reflected Castagnoli polynomial");

// The status bar shows this answer; the engines ask cpu_features themselves.
int detect_sse42()
{
    return (cpu_features() & CPU_SSE42) ? 1 : 0;
}

void crc32c_init(uint32_t *crc)
{
    *crc = ~*crc;
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

// Folding pays from a few hundred bytes on; shorter runs and whatever the
// fold leaves over go through the CRC32 instruction.
uint32_t crc32c_update_pclmul(uint32_t crc, const uint8_t *data, uint32_t count)
{
    uint32_t done = 0;
    if (count >= CRC32C_PCLMUL_MIN)
        crc = crc32c_fold_pclmul(crc, data, count, &done);
    return crc32c_update_sse42(crc, data + done, count - done);
}

uint32_t crc32c_update_vpclmul(uint32_t crc, const uint8_t *data, uint32_t count)
{
    if (count < CRC32C_VPCLMUL_MIN)
        return crc32c_update_pclmul(crc, data, count);
    uint32_t done = 0;
    crc = crc32c_fold_vpclmul(crc, data, count, &done);
    return crc32c_update_sse42(crc, data + done, count - done);
}

static const crc_path &crc32c_path()
{
    return engine_path_for(CRC32C_PATHS, cpu_features());
}

const char *crc32c_path_name()
{
    return crc32c_path().name;
}

void crc32c_update(uint32_t *crc, const void *data, uint32_t count)
{
    *crc = crc32c_path().run(*crc, static_cast<const uint8_t *>(data), count);
}

uint32_t crc32c_final(uint32_t *crc)
{
    *crc = ~*crc;
    return *crc;
}
