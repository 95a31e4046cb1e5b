// Host build only: every CRC-32C path against ISA-L's crc32_iscsi.
#include <isa-l/crc.h>

#include <gtest/gtest.h>

#include "hash/crc32c_paths.h"
#include "tests/hash/hash_test_util.h"

namespace {

class Crc32cAgainstIsal : public EnginePathTest<crc_update_fn> {};

TEST_P(Crc32cAgainstIsal, RandomInputs)
{
    std::mt19937 rng(31);
    std::vector<uint8_t> data = random_bytes(rng, (1u << 20) + 64);
    for (int trial = 0; trial < 300; ++trial) {
        const uint8_t *start = data.data() + rng() % 64;
        uint32_t n = trial < 200 ? rng() % 5000 : rng() % (1u << 20);
        uint32_t ours = path()(0xFFFFFFFFu, start, n);
        uint32_t theirs =
            crc32_iscsi(const_cast<uint8_t *>(start), static_cast<int>(n), 0xFFFFFFFFu);
        ASSERT_EQ(ours, theirs) << n << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, Crc32cAgainstIsal, ::testing::ValuesIn(CRC32C_PATHS),
                         engine_path_name<crc_update_fn>);

}  // namespace
