// CRC-32C (Castagnoli): reflected polynomial 0x82F63B78, initial value
// 0xFFFFFFFF, final complement. Checksum lists written on one processor are
// checked on another, so the table path and the CRC32-instruction path must
// agree bit for bit.
#include "hash/hash.h"

#include "cpu_features.h"
#include "crc_fold.h"
#include "crc_paths.h"
#include "crc_table.h"

static constexpr crc_tables CRC32C_TABLES = make_crc_tables(0x82F63B78u);
static_assert(CRC32C_TABLES.t[0][1] == 0xF26B8303u, "reflected Castagnoli polynomial");

static constexpr crc_fold_keys CRC32C_FOLD_KEYS = make_crc_fold_keys(0x1EDC6F41u);

// The status bar shows this answer; the engines ask cpu_features themselves.
int detect_sse42()
{
    return (cpu_features() & CPU_SSE42) ? 1 : 0;
}

void crc32c_init(uint32_t *crc)
{
    *crc = ~*crc;
}

uint32_t crc32c_update_table(uint32_t crc, const uint8_t *data, uint32_t count)
{
    return crc_update_slicing(CRC32C_TABLES, crc, data, count);
}

// Folding pays from a few hundred bytes on; shorter runs and whatever the
// fold leaves over go through the CRC32 instruction.
uint32_t crc32c_update_pclmul(uint32_t crc, const uint8_t *data, uint32_t count)
{
    if (count < CRC_PCLMUL_MIN)
        return crc32c_update_sse42(crc, data, count);
    uint8_t rest[16];
    uint32_t done = crc_fold_pclmul(CRC32C_FOLD_KEYS, crc, data, count, rest);
    crc = crc32c_update_sse42(0, rest, sizeof rest);
    return crc32c_update_sse42(crc, data + done, count - done);
}

uint32_t crc32c_update_vpclmul(uint32_t crc, const uint8_t *data, uint32_t count)
{
    if (count < CRC_VPCLMUL_MIN)
        return crc32c_update_pclmul(crc, data, count);
    uint8_t rest[16];
    uint32_t done = crc_fold_vpclmul(CRC32C_FOLD_KEYS, crc, data, count, rest);
    crc = crc32c_update_sse42(0, rest, sizeof rest);
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
