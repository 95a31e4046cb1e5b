// Every CRC-32C and CRC-32 path this processor has, called through its
// table entry, against a bitwise oracle that shares nothing with the tables
// or the folding constants.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "hash/crc_paths.h"
#include "hash/hash.h"
#include "tests/hash/hash_test_util.h"

namespace {

// The register starts and ends complemented.
uint32_t crc_on(crc_update_fn path, const void *data, uint32_t n)
{
    return ~path(0xFFFFFFFFu, static_cast<const uint8_t *>(data), n);
}

uint32_t crc_on_pieces(crc_update_fn path, const uint8_t *data, const std::vector<size_t> &ends)
{
    uint32_t crc = 0xFFFFFFFFu;
    size_t at = 0;
    for (size_t end : ends) {
        crc = path(crc, data + at, static_cast<uint32_t>(end - at));
        crc = path(crc, data + end, 0);
        at = end;
    }
    return ~crc;
}

// The polynomial bit by bit; entry n is the CRC of the first n bytes.
std::vector<uint32_t> crc_of_every_prefix(uint32_t reflected_poly, const uint8_t *data, size_t n)
{
    std::vector<uint32_t> crcs(n + 1);
    uint32_t reg = 0xFFFFFFFFu;
    crcs[0] = ~reg;
    for (size_t i = 0; i < n; ++i) {
        reg ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 1) ? (reg >> 1) ^ reflected_poly : reg >> 1;
        crcs[i + 1] = ~reg;
    }
    return crcs;
}

// Lengths probed around the edges where a path changes step: the folds'
// minimum inputs and strides (256 and 512; 16, 64, 128 and 256 bytes) and
// the rounds of three interleaved CRC32 chains (3 x 256 and 3 x 4096).
std::vector<uint32_t> lengths_around_path_edges()
{
    const uint32_t short_round = 3 * 256, long_round = 3 * 4096;
    std::vector<uint32_t> lengths;
    for (uint32_t long_rounds = 0; long_rounds <= 4; ++long_rounds)
        for (uint32_t short_rounds : {0u, 1u, 2u, 15u})
            for (int delta = -17; delta <= 17; ++delta) {
                int64_t n =
                    int64_t(long_rounds) * long_round + int64_t(short_rounds) * short_round + delta;
                if (n >= 0)
                    lengths.push_back(uint32_t(n));
            }
    for (uint32_t strides = 1; strides <= 40; ++strides)
        for (int delta = -65; delta <= 65; delta += 13)
            lengths.push_back(strides * 256 + 512 + delta);
    return lengths;
}

const uint32_t CASTAGNOLI = 0x82F63B78u, IEEE = 0xEDB88320u;

// One suite for both engines: the path's table tells its polynomial.
class CrcPath : public EnginePathTest<crc_update_fn> {
protected:
    uint32_t poly() const
    {
        for (const crc_path &p : CRC32C_PATHS)
            if (p.run == path())
                return CASTAGNOLI;
        return IEEE;
    }
    uint32_t crc_of(const void *data, uint32_t n) const { return crc_on(path(), data, n); }
    uint32_t crc_of_pieces(const uint8_t *data, const std::vector<size_t> &ends) const
    {
        return crc_on_pieces(path(), data, ends);
    }
    std::vector<uint32_t> every_prefix(const uint8_t *data, size_t n) const
    {
        return crc_of_every_prefix(poly(), data, n);
    }
};

TEST_P(CrcPath, CheckValues)
{
    if (poly() == IEEE) {
        EXPECT_EQ(crc_of("123456789", 9), 0xCBF43926u);
        EXPECT_EQ(crc_of("", 0), 0x00000000u);
        EXPECT_EQ(crc_of("abc", 3), 0x352441C2u);
        EXPECT_EQ(crc_of("The quick brown fox jumps over the lazy dog", 43), 0x414FA339u);
        return;
    }
    uint8_t zeros[32], ones[32], up[32], down[32];
    for (int i = 0; i < 32; ++i) {
        zeros[i] = 0;
        ones[i] = 0xFF;
        up[i] = static_cast<uint8_t>(i);
        down[i] = static_cast<uint8_t>(31 - i);
    }
    EXPECT_EQ(crc_of("123456789", 9), 0xE3069283u);
    EXPECT_EQ(crc_of("", 0), 0x00000000u);
    EXPECT_EQ(crc_of("abc", 3), 0x364B3FB7u);
    // iSCSI (RFC 3720) test patterns.
    EXPECT_EQ(crc_of(zeros, 32), 0x8A9136AAu);
    EXPECT_EQ(crc_of(ones, 32), 0x62A8AB43u);
    EXPECT_EQ(crc_of(up, 32), 0x46DD794Eu);
    EXPECT_EQ(crc_of(down, 32), 0x113FDB5Cu);
}

TEST_P(CrcPath, EveryLengthUpTo4096AtEveryAlignment)
{
    std::mt19937 rng(1207);
    std::vector<uint8_t> data = random_bytes(rng, 4096 + 8);
    for (uint32_t offset = 0; offset < 8; ++offset) {
        const uint8_t *start = data.data() + offset;
        std::vector<uint32_t> expected = every_prefix(start, 4096);
        for (uint32_t n = 0; n <= 4096; ++n)
            ASSERT_EQ(crc_of(start, n), expected[n]) << n << " bytes at offset " << offset;
    }
}

TEST_P(CrcPath, LengthsAroundEveryPathEdge)
{
    std::vector<uint32_t> lengths = lengths_around_path_edges();
    uint32_t longest = 0;
    for (uint32_t n : lengths)
        longest = n > longest ? n : longest;
    std::mt19937 rng(3313);
    std::vector<uint8_t> data = random_bytes(rng, longest + 8);
    for (uint32_t offset = 0; offset < 8; ++offset) {
        const uint8_t *start = data.data() + offset;
        std::vector<uint32_t> expected = every_prefix(start, longest);
        for (uint32_t n : lengths)
            ASSERT_EQ(crc_of(start, n), expected[n]) << n << " bytes at offset " << offset;
    }
}

// Runs of 1 to 15 bytes reach every tail step; longer pieces begin and end
// inside the folds and the interleaved rounds.
TEST_P(CrcPath, RandomSplitsMatchOneBlock)
{
    std::mt19937 rng(77);
    std::vector<uint8_t> data = random_bytes(rng, 3000 + 8);
    for (int trial = 0; trial < 200; ++trial) {
        const uint8_t *start = data.data() + rng() % 8;
        uint32_t n = rng() % 3000;
        std::vector<size_t> ends = random_split(rng, n, trial < 100 ? 15 : 700);
        ASSERT_EQ(crc_of_pieces(start, ends), crc_of(start, n)) << n << " bytes";
    }
}

TEST_P(CrcPath, LongInputsWholeAndInPieces)
{
    std::mt19937 rng(9001);
    const uint32_t mib = 1u << 20;
    std::vector<uint8_t> data = random_bytes(rng, mib + 8);
    const uint8_t *start = data.data() + 3;
    std::vector<uint32_t> expected = every_prefix(start, mib);
    for (int trial = 0; trial < 12; ++trial) {
        uint32_t n = trial == 0 ? mib : rng() % (mib + 1);
        ASSERT_EQ(crc_of(start, n), expected[n]) << n << " bytes";
    }
    // Pieces just off the stride and round sizes; 65536 was the file digest's block.
    const uint32_t n = 5 * 12288 + 7 * 768 + 13;
    for (size_t piece : {size_t(255), size_t(257), size_t(767), size_t(769), size_t(12283),
                         size_t(12291), size_t(24583), size_t(65536)})
        EXPECT_EQ(crc_of_pieces(start, even_split(n, piece)), expected[n]) << "pieces of " << piece;
    for (int trial = 0; trial < 20; ++trial)
        EXPECT_EQ(crc_of_pieces(start, random_split(rng, n, 2 * 12288)), expected[n])
            << "random split " << trial;
}

INSTANTIATE_TEST_SUITE_P(Crc32c, CrcPath, ::testing::ValuesIn(CRC32C_PATHS),
                         engine_path_name<crc_update_fn>);
INSTANTIATE_TEST_SUITE_P(Crc32, CrcPath, ::testing::ValuesIn(CRC32_PATHS),
                         engine_path_name<crc_update_fn>);

// The status bar's "SSE4.2 HW"/"SSE4.2 SW" follows the same answer the
// engine goes by, taken-away features included.
TEST(Crc32cEngineText, FollowsTheDispatcher)
{
    cpu_features_limit(0);
    EXPECT_EQ(detect_sse42(), 0);
    cpu_features_limit(~0u);
    int has = (cpu_features_probed() & CPU_SSE42) ? 1 : 0;
    EXPECT_EQ(detect_sse42(), has);
}

}  // namespace
