// CRC-32 as zlib, gzip and SFV lists compute it: the IEEE polynomial,
// reflected 0xEDB88320, initial value 0xFFFFFFFF, final complement. No
// instruction computes it, so the table finishes what the folds leave over.
#include "hash/hash.h"

#include "cpu_features.h"
#include "crc_fold.h"
#include "crc_paths.h"
#include "crc_table.h"

static constexpr crc_tables CRC32_TABLES = make_crc_tables(0xEDB88320u);
static_assert(CRC32_TABLES.t[0][1] == 0x77073096u, "reflected IEEE polynomial");

static constexpr crc_fold_keys CRC32_FOLD_KEYS = make_crc_fold_keys(0x04C11DB7u);

uint32_t crc32_update_table(uint32_t crc, const uint8_t *data, uint32_t count)
{
    return crc_update_slicing(CRC32_TABLES, crc, data, count);
}

uint32_t crc32_update_pclmul(uint32_t crc, const uint8_t *data, uint32_t count)
{
    if (count < CRC_PCLMUL_MIN)
        return crc32_update_table(crc, data, count);
    uint8_t rest[16];
    uint32_t done = crc_fold_pclmul(CRC32_FOLD_KEYS, crc, data, count, rest);
    crc = crc32_update_table(0, rest, sizeof rest);
    return crc32_update_table(crc, data + done, count - done);
}

uint32_t crc32_update_vpclmul(uint32_t crc, const uint8_t *data, uint32_t count)
{
    if (count < CRC_VPCLMUL_MIN)
        return crc32_update_pclmul(crc, data, count);
    uint8_t rest[16];
    uint32_t done = crc_fold_vpclmul(CRC32_FOLD_KEYS, crc, data, count, rest);
    crc = crc32_update_table(0, rest, sizeof rest);
    return crc32_update_table(crc, data + done, count - done);
}

static const crc_path &crc32_path()
{
    return engine_path_for(CRC32_PATHS, cpu_features());
}

const char *crc32_path_name()
{
    return crc32_path().name;
}

void crc32_update(uint32_t *crc, const void *data, uint32_t count)
{
    *crc = crc32_path().run(*crc, static_cast<const uint8_t *>(data), count);
}
