// SHA-3 (FIPS 202): Keccak-f[1600] with the SHA-3 domain padding 0x06 ... 0x80.
// Lane i = x + 5*y holds its 8 bytes of the state string little-endian, so the
// lanes in memory are the state string in order (x86-64 is little-endian).
//
// The two consistency checks stay on in release builds too.
#undef NDEBUG
#include "hash/hash.h"

#include <cassert>
#include <cstring>

#include "cpuid.h"
#include "keccak_permutation.h"

static const uint32_t CPUID_EBX_BMI1 = 1u << 3;
static const uint32_t CPUID_EBX_BMI2 = 1u << 8;

static int cpu_has_bmi1_bmi2()
{
    uint32_t reg[4] = {0, 0, 0, 0};
    query_cpuid(0, 0, reg);
    if (reg[0] < 7)
        return 0;
    query_cpuid(7, 0, reg);
    uint32_t both = CPUID_EBX_BMI1 | CPUID_EBX_BMI2;
    return (reg[1] & both) == both;
}

static void keccak_permutation_plain(uint64_t *lanes)
{
    keccak_permutation(lanes);
}

typedef void (*keccak_permutation_fn)(uint64_t *lanes);

static keccak_permutation_fn choose_keccak_permutation()
{
    return cpu_has_bmi1_bmi2() ? keccak_permutation_bmi2 : keccak_permutation_plain;
}

// Chosen once, during the program's static initialisation.
static const keccak_permutation_fn keccak_permute = choose_keccak_permutation();

static KECCAK_INLINE uint64_t load_lane(const uint8_t *p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

static void sha3_absorb_block(uint64_t *lanes, const uint8_t *block, uint32_t block_size)
{
    for (int i = 0; i < 9; ++i)
        lanes[i] ^= load_lane(block + 8 * i);
    if (block_size > 72) {
        for (int i = 9; i < 13; ++i)
            lanes[i] ^= load_lane(block + 8 * i);
        if (block_size > 104) {
            for (int i = 13; i < 17; ++i)
                lanes[i] ^= load_lane(block + 8 * i);
            if (block_size > 136)
                lanes[17] ^= load_lane(block + 8 * 17);
        }
    }
    keccak_permute(lanes);
}

static const uint32_t SHA3_FINALISED = 0x80000000u;

void sha3_init(sha3_context *ctx, unsigned bits)
{
    std::memset(ctx, 0, sizeof *ctx);
    unsigned rate = 1600 - 2 * bits;
    ctx->block_size = rate / 8;
    assert(rate <= 1600 && (rate % 64) == 0);
}

void sha3_224_init(sha3_context *ctx) { sha3_init(ctx, 224); }
void sha3_256_init(sha3_context *ctx) { sha3_init(ctx, 256); }
void sha3_384_init(sha3_context *ctx) { sha3_init(ctx, 384); }
void sha3_512_init(sha3_context *ctx) { sha3_init(ctx, 512); }

void sha3_update(sha3_context *ctx, const void *data, uint64_t count)
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
        sha3_absorb_block(ctx->lanes, block, block_size);
        in += left;
        count -= left;
    }
    while (count >= block_size) {
        if ((reinterpret_cast<uintptr_t>(in) & 7) == 0) {
            sha3_absorb_block(ctx->lanes, in, block_size);
        } else {
            std::memcpy(block, in, block_size);
            sha3_absorb_block(ctx->lanes, block, block_size);
        }
        in += block_size;
        count -= block_size;
    }
    if (count != 0)
        std::memcpy(block, in, count);
}

void sha3_final(sha3_context *ctx, uint8_t *result)
{
    uint32_t block_size = ctx->block_size;
    if (!(ctx->fill & SHA3_FINALISED)) {
        uint8_t *block = reinterpret_cast<uint8_t *>(ctx->block);
        uint32_t fill = ctx->fill;
        std::memset(block + fill, 0, block_size - fill);
        block[fill] |= 0x06;
        block[block_size - 1] |= 0x80;
        sha3_absorb_block(ctx->lanes, block, block_size);
        ctx->fill = SHA3_FINALISED;
    }
    uint32_t digest_length = 100 - block_size / 2;
    assert(block_size > digest_length);
    if (result)
        std::memcpy(result, ctx->lanes, digest_length);
}
