// Host build only: every CRC-32C path against ISA-L's crc32_iscsi, every
// CRC-32 path against its crc32_gzip_refl (zlib's CRC), over random lengths
// and alignments.
#include <isa-l/crc.h>

#include <gtest/gtest.h>

#include "hash/crc_paths.h"
#include "tests/hash/hash_test_util.h"

namespace {

class CrcAgainstIsal : public EnginePathTest<crc_update_fn> {
protected:
    bool castagnoli() const
    {
        for (const crc_path &p : CRC32C_PATHS)
            if (p.run == path())
                return true;
        return false;
    }
};

TEST_P(CrcAgainstIsal, RandomInputs)
{
    std::mt19937 rng(31);
    std::vector<uint8_t> data = random_bytes(rng, (1u << 20) + 64);
    for (int trial = 0; trial < 300; ++trial) {
        const uint8_t *start = data.data() + rng() % 64;
        uint32_t n = trial < 200 ? rng() % 5000 : rng() % (1u << 20);
        uint32_t ours = path()(0xFFFFFFFFu, start, n);
        uint8_t *bytes = const_cast<uint8_t *>(start);
        uint32_t theirs = castagnoli() ? crc32_iscsi(bytes, static_cast<int>(n), 0xFFFFFFFFu)
                                       : ~crc32_gzip_refl(0, bytes, n);
        ASSERT_EQ(ours, theirs) << n << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Crc32c, CrcAgainstIsal, ::testing::ValuesIn(CRC32C_PATHS),
                         engine_path_name<crc_update_fn>);
INSTANTIATE_TEST_SUITE_P(Crc32, CrcAgainstIsal, ::testing::ValuesIn(CRC32_PATHS),
                         engine_path_name<crc_update_fn>);

}  // namespace
