#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "hash/hash.h"
#include "hash/sha3_paths.h"
#include "tests/hash/hash_test_util.h"
#include "tests/hash/keccak_oracle.h"

namespace {

const unsigned kBits[4] = {224, 256, 384, 512};

uint32_t block_size_of(unsigned bits)
{
    return (1600 - 2 * bits) / 8;
}

// The kind letter of a SHA-3 size, from the kind table.
utf16 kind_of_bits(unsigned bits)
{
    for (const KindInfo &kind : g_kinds)
        if (kind.engine == ENGINE_SHA3 && kind.bits == bits)
            return utf16(kind.letter);
    return 0;
}

// Every case of this suite runs once per SHA-3 path this processor has.
class Sha3Path : public EnginePathTest<sha3_absorb_fn> {
protected:
    void update(sha3_context *ctx, const void *data, size_t n) const
    {
        sha3_update_on(path(), ctx, data, n);
    }
    void final(sha3_context *ctx, uint8_t *out) const { sha3_final_on(path(), ctx, out); }
    std::string sha3_hex(unsigned bits, const void *data, size_t n) const
    {
        sha3_context ctx;
        sha3_init(&ctx, bits);
        update(&ctx, data, n);
        uint8_t out[64];
        final(&ctx, out);
        return hex_upper(out, bits / 8);
    }
};

TEST_P(Sha3Path, Fips202Vectors)
{
    EXPECT_EQ(sha3_hex(224, "", 0), "6B4E03423667DBB73B6E15454F0EB1ABD4597F9A1B078E3F5B5A6BC7");
    EXPECT_EQ(sha3_hex(256, "", 0),
              "A7FFC6F8BF1ED76651C14756A061D662F580FF4DE43B49FA82D80A4B80F8434A");
    EXPECT_EQ(sha3_hex(384, "", 0),
              "0C63A75B845E4F7D01107D852E4C2485C51A50AAAA94FC61995E71BBEE983A2AC3713831264ADB47FB"
              "6BD1E058D5F004");
    EXPECT_EQ(sha3_hex(512, "", 0),
              "A69F73CCA23A9AC5C8B567DC185A756E97C982164FE25859E0D1DCC1475C80A615B2123AF1F5F94C11"
              "E3E9402C3AC558F500199D95B6D3E301758586281DCD26");
    EXPECT_EQ(sha3_hex(256, "abc", 3),
              "3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532");
    EXPECT_EQ(sha3_hex(512, "abc", 3),
              "B751850B1A57168A5693CD924B6B096E08F621827444F70D884F5D0240D2712E10E116E9192AF3C91A"
              "7EC57647E3934057340B4CF408D5A56592F8274EEC53F0");

    // NIST sample: 200 bytes of 0xA3, longer than one block at every size.
    uint8_t a3[200];
    std::memset(a3, 0xA3, sizeof a3);
    EXPECT_EQ(sha3_hex(224, a3, 200), "9376816ABA503F72F96CE7EB65AC095DEEE3BE4BF9BBC2A1CB7E11E0");
    EXPECT_EQ(sha3_hex(256, a3, 200),
              "79F38ADEC5C20307A98EF76E8324AFBFD46CFD81B22E3973C65FA1BD9DE31787");
    EXPECT_EQ(sha3_hex(384, a3, 200),
              "1881DE2CA7E41EF95DC4732B8F5F002B189CC1E42B74168ED1732649CE1DBCDD76197A31FD55EE989F"
              "2D7050DD473E8F");
    EXPECT_EQ(sha3_hex(512, a3, 200),
              "E76DFAD22084A8B1467FCF2FFA58361BEC7628EDF5F3FDC0E4805DC48CAEECA81B7C13C30ADF52A365"
              "9584739A2DF46BE589C51CA1A4A8416DF6545A1CE8BA00");
}

// Messages of block_size - 1 bytes (one padding byte 0x86) and block_size
// bytes (a final block of padding alone), bytes (31 i + 7) mod 256.
TEST_P(Sha3Path, MessagesEndingAtTheBlockBoundary)
{
    const char *expected[4][2] = {
        {"CEBD5E21A7CF837343B82F921DCDB51B20E94A30FA97241CB59D859A",
         "3CE60A8C0C0455D78859A85F69A988499F50F34404B7552FB72244F3"},
        {"27177C35076523AB12BF3C60C7E340AC833BEE9017B0B9D273D25F1BC8759CE1",
         "BF55DD8C0B4DD0F226D019F9B85D74E3D77CD13409E1306665A44CC688A93D6E"},
        {"89D3106193588AF14D213F1C255F5C41D777C9343D93F761A1F3A62E6BF71E8E0487AF222AB85777DE9700"
         "043B5F9BBC",
         "4F31C05E040F370E5A5FED88AADE66AEA3224117CDABC87510439766E595091C87EC72F91045D3A637F360"
         "BA957F14E9"},
        {"15E93A11D76E7F88387B7AFF41EC4E220DA38C1BFB86AE472321667489308AD1B8B1AA6E2C3413A9E6D558"
         "381F27E62177924B53AF5C5BCBFAED6E3B42B4105C",
         "9032E99E709FC9205B3F5F15F68F4F02F5AFA4FFBED99628AD385247BE2B492D82CF4E7871339535BAF242"
         "4443100CFF38587507401D0F241E5006A474788726"},
    };
    uint8_t message[144];
    for (int i = 0; i < 144; ++i)
        message[i] = static_cast<uint8_t>(i * 31 + 7);
    for (int k = 0; k < 4; ++k) {
        uint32_t block_size = block_size_of(kBits[k]);
        sha3_context ctx;
        sha3_init(&ctx, kBits[k]);
        EXPECT_EQ(ctx.block_size, block_size);
        update(&ctx, message, block_size - 1);
        EXPECT_EQ(ctx.fill, block_size - 1);
        uint8_t out[64];
        final(&ctx, out);
        EXPECT_EQ(hex_upper(out, kBits[k] / 8), expected[k][0]) << kBits[k];

        sha3_init(&ctx, kBits[k]);
        update(&ctx, message, block_size);
        EXPECT_EQ(ctx.fill, 0u) << "a full block is absorbed during update";
        final(&ctx, out);
        EXPECT_EQ(hex_upper(out, kBits[k] / 8), expected[k][1]) << kBits[k];
    }
}

TEST(Sha3, FinalisedContextIgnoresInputAndRepeatsTheDigest)
{
    for (unsigned bits : kBits) {
        std::string abc = digest_hex(kind_of_bits(bits), "abc", 3);
        sha3_context ctx;
        sha3_init(&ctx, bits);
        sha3_update(&ctx, "abc", 3);
        sha3_final(&ctx, nullptr);
        EXPECT_EQ(ctx.fill, 0x80000000u);

        sha3_update(&ctx, "more", 4);
        uint8_t first[64], second[64];
        sha3_final(&ctx, first);
        EXPECT_EQ(hex_upper(first, bits / 8), abc) << bits;
        sha3_final(&ctx, second);
        EXPECT_EQ(hex_upper(second, bits / 8), abc) << bits;
    }
}

// Pieces of any size at any address give the one-shot digest: whole blocks
// straight from the input, partial ones through the context's block.
TEST_P(Sha3Path, SplitFeedingAtAnyAlignmentMatchesOneShot)
{
    std::mt19937 rng(20261207);
    std::vector<uint8_t> storage(4 * 144 + 64 + 8);
    for (unsigned bits : kBits) {
        uint32_t block_size = block_size_of(bits);
        const size_t fixed_pieces[3] = {1, 7, block_size + 1u};
        for (int trial = 0; trial < 60; ++trial) {
            size_t n = rng() % (3 * block_size + 40);
            size_t offset = rng() % 8;
            uint8_t *message = storage.data() + offset;
            for (size_t i = 0; i < n; ++i)
                message[i] = static_cast<uint8_t>(rng());
            std::string one_shot = sha3_hex(bits, message, n);

            std::vector<size_t> ends = trial < 3
                                           ? even_split(n, fixed_pieces[trial])
                                           : random_split(rng, n, 1 + rng() % (2 * block_size));
            sha3_context ctx;
            sha3_init(&ctx, bits);
            size_t at = 0;
            for (size_t end : ends) {
                update(&ctx, message + at, end - at);
                at = end;
            }
            uint8_t out[64];
            final(&ctx, out);
            ASSERT_EQ(hex_upper(out, bits / 8), one_shot) << bits << " bits, " << n << " bytes";
        }
    }
}

// The oracle's digests of every length, computed once for all paths.
const std::vector<std::string> &oracle_digests(int size_index, const uint8_t *message,
                                               size_t longest)
{
    static std::vector<std::string> digests[4];
    std::vector<std::string> &cached = digests[size_index];
    while (cached.size() <= longest) {
        size_t n = cached.size();
        std::vector<uint8_t> digest = oracle_sha3(kBits[size_index], message, n);
        cached.push_back(hex_upper(digest.data(), digest.size()));
    }
    return cached;
}

// Every length from 0 to 4096 crosses each rate's block edge many times and
// reaches the partial-block buffering at every fill.
TEST_P(Sha3Path, EveryLengthUpTo4096AtEveryAlignmentMatchesTheOracle)
{
    const size_t longest = 4096;
    std::mt19937 rng(202);
    std::vector<uint8_t> message = random_bytes(rng, longest);
    std::vector<uint8_t> storage(longest + 8);
    for (int k = 0; k < 4; ++k) {
        const std::vector<std::string> &expected = oracle_digests(k, message.data(), longest);
        for (size_t offset = 0; offset < 8; ++offset) {
            uint8_t *copy = storage.data() + offset;
            std::memcpy(copy, message.data(), longest);
            for (size_t n = 0; n <= longest; ++n)
                ASSERT_EQ(sha3_hex(kBits[k], copy, n), expected[n])
                    << kBits[k] << " bits, " << n << " bytes at offset " << offset;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, Sha3Path, ::testing::ValuesIn(SHA3_PATHS),
                         engine_path_name<sha3_absorb_fn>);

TEST(Sha3, UnforcedUpdatesTakeAMeasuredPathThisProcessorHas)
{
    std::string chosen = sha3_path_name();
    bool known = false;
    for (const sha3_path &path : SHA3_PATHS)
        known = known || (chosen == path.name && engine_path_available(path));
    EXPECT_TRUE(known) << chosen;
}

// A message of the lane runs: its kind and its length (a prefix of the one
// random message).
struct lane_message {
    int size_index;
    size_t length;
};

// Hashes `messages` on at most `busy` lanes the way a hashing thread drives
// files: a lane with less than a block left is detached and finished alone,
// and takes the next message at once, while the others go on; each step
// absorbs one to four blocks, so lanes start and end at every block offset
// of the others. Returns the digests in message order.
std::vector<std::string> digests_on_lanes(const keccak_lanes_kernel &kernel,
                                          const std::vector<lane_message> &messages, int busy,
                                          const uint8_t *message, std::mt19937 &rng)
{
    std::vector<std::string> digests(messages.size());
    sha3_lanes lanes;
    sha3_lanes_init_on(kernel, &lanes);
    size_t next = 0;
    size_t on_lane[SHA3_MAX_LANES] = {};
    size_t absorbed[SHA3_MAX_LANES] = {};
    for (;;) {
        size_t steps = ~size_t(0);
        int running = 0;
        for (int lane = 0; lane < busy; ++lane) {
            uint32_t block_size = lanes.block_size[lane];
            if (block_size != 0 && messages[on_lane[lane]].length - absorbed[lane] < block_size) {
                const lane_message &done = messages[on_lane[lane]];
                sha3_context ctx;
                sha3_lanes_detach(&lanes, lane, &ctx);
                sha3_update(&ctx, message + absorbed[lane], done.length - absorbed[lane]);
                uint8_t out[64];
                sha3_final(&ctx, out);
                digests[on_lane[lane]] = hex_upper(out, kBits[done.size_index] / 8);
            }
            if (lanes.block_size[lane] == 0 && next < messages.size()) {
                on_lane[lane] = next++;
                absorbed[lane] = 0;
                sha3_lanes_start(&lanes, lane, kBits[messages[on_lane[lane]].size_index]);
            }
            block_size = lanes.block_size[lane];
            if (block_size == 0)
                continue;
            ++running;
            size_t whole = (messages[on_lane[lane]].length - absorbed[lane]) / block_size;
            steps = whole < steps ? whole : steps;
        }
        if (running == 0)
            return digests;
        if (steps == 0)
            continue;
        steps = std::min<size_t>(steps, 1 + rng() % 4);
        const uint8_t *in[SHA3_MAX_LANES] = {};
        for (int lane = 0; lane < busy; ++lane)
            if (lanes.block_size[lane] != 0)
                in[lane] = message + absorbed[lane];
        sha3_lanes_absorb(&lanes, in, steps);
        for (int lane = 0; lane < busy; ++lane)
            absorbed[lane] += steps * lanes.block_size[lane];
    }
}

// Every multi-state kernel this processor has, called through its table
// entry, against the oracle.
class Sha3LanesPath : public EnginePathTest<keccak_lanes_kernel> {};

// Every kind and every length 0 to 4096, shuffled so that each lane runs
// another kind and another length, on every number of busy lanes up to the
// kernel's width: idle lanes, refills in the middle of a run and every
// rate's block edges on each.
TEST_P(Sha3LanesPath, EveryKindAndLengthOnEveryLaneCountMatchesTheOracle)
{
    const size_t longest = 4096;
    std::mt19937 rng(202);
    std::vector<uint8_t> message = random_bytes(rng, longest);
    std::vector<lane_message> messages;
    for (int k = 0; k < 4; ++k)
        for (size_t n = 0; n <= longest; ++n)
            messages.push_back({k, n});
    std::shuffle(messages.begin(), messages.end(), rng);

    for (int busy = 1; busy <= path().width; ++busy) {
        std::vector<std::string> digests =
            digests_on_lanes(path(), messages, busy, message.data(), rng);
        for (size_t m = 0; m < messages.size(); ++m) {
            const lane_message &one = messages[m];
            ASSERT_EQ(digests[m],
                      oracle_digests(one.size_index, message.data(), longest)[one.length])
                << kBits[one.size_index] << " bits, " << one.length << " bytes on " << busy
                << " lanes";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, Sha3LanesPath, ::testing::ValuesIn(SHA3_LANE_PATHS),
                         engine_path_name<keccak_lanes_kernel>);

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
TEST(Sha3DeathTest, ConsistencyChecksStopTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    sha3_context ctx;
    EXPECT_DEATH(sha3_init(&ctx, 1000), "rate <= 1600 && \\(rate % 64\\) == 0");
    sha3_init(&ctx, 512);
    sha3_final(&ctx, nullptr);
    ctx.block_size = 40;
    EXPECT_DEATH(sha3_final(&ctx, nullptr), "block_size > digest_length");
}
#endif

}  // namespace
