// SHA-3 (FIPS 202): Keccak-f[1600] with the SHA-3 domain padding 0x06 ... 0x80.
// Lane i = x + 5*y holds its 8 bytes of the state string little-endian, so the
// lanes in memory are the state string in order (x86-64 is little-endian).
//
// The two consistency checks stay on in release builds too.
#undef NDEBUG
#include "hash/hash.h"

#include <cassert>
#include <chrono>
#include <cstring>

#include "cpu_features.h"
#include "sha3_paths.h"

// Which path is fastest depends on the core more than on its features: on
// an Intel Xeon the five-register AVX-512 rounds beat the scalar ones by
// 1.3x, on AMD Zen 4 (512-bit operations issued as two 256-bit halves) the
// scalar BMI2 rounds beat them by 1.13x, and the compiler moves the margins
// by as much again. No table of vendors and families stays true for the
// next core, so the paths are timed on this one: at first use, some 30
// blocks each, alternating, best of seven turns (a few hundred microseconds
// in all; alternating turns keep a busy moment from favouring one path).
static double sha3_path_seconds(sha3_absorb_fn absorb)
{
    static const size_t TIMED_BLOCKS = 32;
    static const uint8_t input[TIMED_BLOCKS * 136] = {};
    uint64_t lanes[25] = {};
    auto start = std::chrono::steady_clock::now();
    absorb(lanes, input, TIMED_BLOCKS, 136);
    auto end = std::chrono::steady_clock::now();
    volatile uint64_t keep = lanes[0];
    (void)keep;
    return std::chrono::duration<double>(end - start).count();
}

static const int SHA3_PATH_COUNT = sizeof SHA3_PATHS / sizeof SHA3_PATHS[0];

static const sha3_path &sha3_fastest_path()
{
    double best[SHA3_PATH_COUNT];
    for (int p = 0; p < SHA3_PATH_COUNT; ++p)
        best[p] = 1e9;
    for (int turn = 0; turn < 7; ++turn)
        for (int p = 0; p < SHA3_PATH_COUNT; ++p)
            if (engine_path_available(SHA3_PATHS[p])) {
                double seconds = sha3_path_seconds(SHA3_PATHS[p].run);
                best[p] = seconds < best[p] ? seconds : best[p];
            }
    int fastest = SHA3_PATH_COUNT - 1;
    for (int p = 0; p < SHA3_PATH_COUNT; ++p)
        if (best[p] < best[fastest])
            fastest = p;
    return SHA3_PATHS[fastest];
}

// Asked at every update, so a path taken away for a test takes effect at once.
static const sha3_path &sha3_absorb_path()
{
    static const sha3_path &fastest = sha3_fastest_path();
    if (!cpu_features_limited())
        return fastest;
    return engine_path_for(SHA3_PATHS, cpu_features());
}

const char *sha3_path_name()
{
    return sha3_absorb_path().name;
}

static const uint32_t SHA3_FINALISED = 0x80000000u;

void sha3_init(sha3_context *ctx, unsigned bits)
{
    std::memset(ctx, 0, sizeof *ctx);
    unsigned rate = 1600 - 2 * bits;
    ctx->block_size = rate / 8;
    assert(rate <= 1600 && (rate % 64) == 0);
}

// Every path reads its input at any alignment, so whole blocks are absorbed
// straight from the caller's bytes and only a partial block is copied.
void sha3_update_on(sha3_absorb_fn absorb, sha3_context *ctx, const void *data, uint64_t count)
{
    if ((ctx->fill & SHA3_FINALISED) || count == 0)
        return;
    const uint8_t *in = static_cast<const uint8_t *>(data);
    uint8_t *block = reinterpret_cast<uint8_t *>(ctx->block);
    uint32_t block_size = ctx->block_size;
    uint32_t index = ctx->fill;
    ctx->fill = static_cast<uint32_t>((static_cast<uint64_t>(index) + count) % block_size);

    if (index != 0) {
        uint32_t left = block_size - index;
        std::memcpy(block + index, in, count < left ? count : left);
        if (count < left)
            return;
        absorb(ctx->lanes, block, 1, block_size);
        in += left;
        count -= left;
    }
    uint64_t blocks = count / block_size;
    if (blocks != 0) {
        absorb(ctx->lanes, in, static_cast<size_t>(blocks), block_size);
        in += blocks * block_size;
        count -= blocks * block_size;
    }
    if (count != 0)
        std::memcpy(block, in, count);
}

void sha3_update(sha3_context *ctx, const void *data, uint64_t count)
{
    sha3_update_on(sha3_absorb_path().run, ctx, data, count);
}

void sha3_final_on(sha3_absorb_fn absorb, sha3_context *ctx, uint8_t *result)
{
    uint32_t block_size = ctx->block_size;
    if (!(ctx->fill & SHA3_FINALISED)) {
        uint8_t *block = reinterpret_cast<uint8_t *>(ctx->block);
        uint32_t fill = ctx->fill;
        std::memset(block + fill, 0, block_size - fill);
        block[fill] |= 0x06;
        block[block_size - 1] |= 0x80;
        absorb(ctx->lanes, block, 1, block_size);
        ctx->fill = SHA3_FINALISED;
    }
    uint32_t digest_length = 100 - block_size / 2;
    assert(block_size > digest_length);
    if (result)
        std::memcpy(result, ctx->lanes, digest_length);
}

void sha3_final(sha3_context *ctx, uint8_t *result)
{
    sha3_final_on(sha3_absorb_path().run, ctx, result);
}
