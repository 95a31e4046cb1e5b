#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "core/state.h"
#include "hash/hash.h"
#include "tests/hash/hash_test_util.h"

namespace {

bool cpu_has_sse42()
{
    int saved = g_app.sse42;
    int has = detect_sse42();
    g_app.sse42 = saved;
    return has != 0;
}

uint32_t crc32c_with(int sse42, const void *data, uint32_t n)
{
    int saved = g_app.sse42;
    g_app.sse42 = sse42;
    uint32_t crc = 0;
    crc32c_init(&crc);
    crc32c_update(&crc, data, n);
    uint32_t result = crc32c_final(&crc);
    g_app.sse42 = saved;
    return result;
}

// The polynomial bit by bit: a reference that shares nothing with the tables.
uint32_t crc32c_bitwise(const uint8_t *data, size_t n)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0x82F63B78u : crc >> 1;
    }
    return ~crc;
}

TEST(Crc32c, CheckValuesOnBothPaths)
{
    uint8_t zeros[32], ones[32], up[32], down[32];
    for (int i = 0; i < 32; ++i) {
        zeros[i] = 0;
        ones[i] = 0xFF;
        up[i] = static_cast<uint8_t>(i);
        down[i] = static_cast<uint8_t>(31 - i);
    }
    std::vector<int> paths = {0};
    if (cpu_has_sse42())
        paths.push_back(1);
    for (int sse42 : paths) {
        SCOPED_TRACE(sse42 ? "hardware path" : "table path");
        EXPECT_EQ(crc32c_with(sse42, "123456789", 9), 0xE3069283u);
        EXPECT_EQ(crc32c_with(sse42, "", 0), 0x00000000u);
        EXPECT_EQ(crc32c_with(sse42, "abc", 3), 0x364B3FB7u);
        // iSCSI (RFC 3720) test patterns.
        EXPECT_EQ(crc32c_with(sse42, zeros, 32), 0x8A9136AAu);
        EXPECT_EQ(crc32c_with(sse42, ones, 32), 0x62A8AB43u);
        EXPECT_EQ(crc32c_with(sse42, up, 32), 0x46DD794Eu);
        EXPECT_EQ(crc32c_with(sse42, down, 32), 0x113FDB5Cu);
    }
}

TEST(Crc32c, TablePathMatchesTheBitwiseRuleAtEveryAlignment)
{
    std::mt19937 rng(4207);
    std::vector<uint8_t> data = random_bytes(rng, 200 + 8);
    for (uint32_t offset = 0; offset < 8; ++offset)
        for (uint32_t n = 0; n <= 200; ++n)
            ASSERT_EQ(crc32c_with(0, data.data() + offset, n),
                      crc32c_bitwise(data.data() + offset, n))
                << n << " bytes at offset " << offset;
}

TEST(Crc32c, HardwarePathEqualsTablePathForEveryLengthAndAlignment)
{
    if (!cpu_has_sse42())
        GTEST_SKIP() << "no SSE4.2 on this processor";
    std::mt19937 rng(1207);
    std::vector<uint8_t> data = random_bytes(rng, 4096 + 8);
    for (uint32_t offset = 0; offset < 8; ++offset)
        for (uint32_t n = 0; n <= 4096; ++n)
            ASSERT_EQ(crc32c_with(1, data.data() + offset, n), crc32c_with(0, data.data() + offset, n))
                << n << " bytes at offset " << offset;
}

// Runs of 1 to 15 bytes reach every step of both paths.
TEST(Crc32c, SplitFeedingMatchesOneBlock)
{
    std::mt19937 rng(77);
    std::vector<uint8_t> data = random_bytes(rng, 3000 + 8);
    std::vector<int> paths = {0};
    if (cpu_has_sse42())
        paths.push_back(1);
    int saved = g_app.sse42;
    for (int sse42 : paths) {
        g_app.sse42 = sse42;
        for (int trial = 0; trial < 200; ++trial) {
            const uint8_t *start = data.data() + rng() % 8;
            uint32_t n = rng() % 3000;
            uint32_t whole = crc32c_with(sse42, start, n);
            uint32_t crc = 0;
            crc32c_init(&crc);
            size_t at = 0;
            for (size_t end : random_split(rng, n, trial < 100 ? 15 : 700)) {
                crc32c_update(&crc, start + at, static_cast<uint32_t>(end - at));
                crc32c_update(&crc, start + end, 0);
                at = end;
            }
            ASSERT_EQ(crc32c_final(&crc), whole) << "path " << sse42 << ", " << n << " bytes";
        }
    }
    g_app.sse42 = saved;
}

// Long inputs run as three interleaved lanes per round whose CRCs are joined
// afterwards; a wrong join only shows at lengths that reach whole rounds, so
// probe around every round edge of both lane sizes.
constexpr uint32_t SHORT_ROUND = 3 * 256;
constexpr uint32_t LONG_ROUND = 3 * 4096;

TEST(Crc32c, HardwarePathJoinsLanesExactlyAroundRoundEdges)
{
    if (!cpu_has_sse42())
        GTEST_SKIP() << "no SSE4.2 on this processor";
    std::mt19937 rng(3313);
    const uint32_t longest = 4 * LONG_ROUND + 15 * SHORT_ROUND + 17;
    std::vector<uint8_t> data = random_bytes(rng, longest + 8);
    for (uint32_t long_rounds = 0; long_rounds <= 4; ++long_rounds)
        for (uint32_t short_rounds : {0u, 1u, 2u, 15u})
            for (int delta = -17; delta <= 17; ++delta) {
                int64_t n = int64_t(long_rounds) * LONG_ROUND + int64_t(short_rounds) * SHORT_ROUND + delta;
                if (n < 0)
                    continue;
                for (uint32_t offset = 0; offset < 8; ++offset) {
                    const uint8_t *start = data.data() + offset;
                    ASSERT_EQ(crc32c_with(1, start, uint32_t(n)), crc32c_with(0, start, uint32_t(n)))
                        << n << " bytes at offset " << offset;
                }
            }
}

TEST(Crc32c, HardwarePathMatchesOnRandomLongInputsAndSplits)
{
    if (!cpu_has_sse42())
        GTEST_SKIP() << "no SSE4.2 on this processor";
    std::mt19937 rng(9001);
    const uint32_t mib = 1u << 20;
    std::vector<uint8_t> data = random_bytes(rng, mib + 8);
    for (int trial = 0; trial < 24; ++trial) {
        const uint8_t *start = data.data() + rng() % 8;
        uint32_t n = rng() % (mib + 1);
        uint32_t hardware = crc32c_with(1, start, n);
        ASSERT_EQ(hardware, crc32c_with(0, start, n)) << n << " bytes";
        if (trial < 2) {
            ASSERT_EQ(hardware, crc32c_bitwise(start, n)) << n << " bytes";
        }
    }

    // Pieces just off the round sizes make every update begin and end inside
    // a round of the previous one's layout; 65536 is the file digest's block.
    int saved = g_app.sse42;
    g_app.sse42 = 1;
    const uint32_t n = 5 * LONG_ROUND + 7 * SHORT_ROUND + 13;
    const uint8_t *start = data.data() + 3;
    uint32_t whole = crc32c_with(1, start, n);
    for (size_t piece : {size_t(SHORT_ROUND - 1), size_t(SHORT_ROUND + 1), size_t(LONG_ROUND - 5),
                         size_t(LONG_ROUND + 3), size_t(2 * LONG_ROUND + 7), size_t(65536)}) {
        uint32_t crc = 0;
        crc32c_init(&crc);
        size_t at = 0;
        for (size_t end : even_split(n, piece)) {
            crc32c_update(&crc, start + at, static_cast<uint32_t>(end - at));
            at = end;
        }
        EXPECT_EQ(crc32c_final(&crc), whole) << "pieces of " << piece;
    }
    for (int trial = 0; trial < 20; ++trial) {
        uint32_t crc = 0;
        crc32c_init(&crc);
        size_t at = 0;
        for (size_t end : random_split(rng, n, 2 * LONG_ROUND)) {
            crc32c_update(&crc, start + at, static_cast<uint32_t>(end - at));
            at = end;
        }
        EXPECT_EQ(crc32c_final(&crc), whole) << "random split " << trial;
    }
    g_app.sse42 = saved;
}

} // namespace
