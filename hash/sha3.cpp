// SHA-3 (FIPS 202): Keccak-f[1600] with the SHA-3 domain padding 0x06 ... 0x80.
// Lane i = x + 5*y holds its 8 bytes of the state string little-endian, so the
// lanes in memory are the state string in order (x86-64 is little-endian).
//
// The two consistency checks stay on in release builds too.
#undef NDEBUG
#include "hash/hash.h"

#include <cassert>
#include <cstring>

#include "cpu_features.h"
#include "sha3_paths.h"

typedef void (*sha3_absorb_fn)(uint64_t *lanes, const uint8_t *in, size_t blocks,
                               uint32_t block_size);

// Asked at every update, so a path taken away for a test takes effect at once.
static sha3_absorb_fn sha3_absorb_path()
{
    uint32_t features = cpu_features();
    if (features & CPU_AVX512)
        return sha3_absorb_blocks_avx512;
    if (features & CPU_BMI2)
        return sha3_absorb_blocks_bmi2;
    return sha3_absorb_blocks_portable;
}

static const uint32_t SHA3_FINALISED = 0x80000000u;

void sha3_init(sha3_context *ctx, unsigned bits)
{
    std::memset(ctx, 0, sizeof *ctx);
    unsigned rate = 1600 - 2 * bits;
    ctx->block_size = rate / 8;
    assert(rate <= 1600 && (rate % 64) == 0);
}

void sha3_224_init(sha3_context *ctx)
{
    sha3_init(ctx, 224);
}
void sha3_256_init(sha3_context *ctx)
{
    sha3_init(ctx, 256);
}
void sha3_384_init(sha3_context *ctx)
{
    sha3_init(ctx, 384);
}
void sha3_512_init(sha3_context *ctx)
{
    sha3_init(ctx, 512);
}

// Every path reads its input at any alignment, so whole blocks are absorbed
// straight from the caller's bytes and only a partial block is copied.
void sha3_update(sha3_context *ctx, const void *data, uint64_t count)
{
    if ((ctx->fill & SHA3_FINALISED) || count == 0)
        return;
    const uint8_t *in = static_cast<const uint8_t *>(data);
    uint8_t *block = reinterpret_cast<uint8_t *>(ctx->block);
    uint32_t block_size = ctx->block_size;
    uint32_t index = ctx->fill;
    ctx->fill = static_cast<uint32_t>((static_cast<uint64_t>(index) + count) % block_size);
    sha3_absorb_fn absorb = sha3_absorb_path();

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

void sha3_final(sha3_context *ctx, uint8_t *result)
{
    uint32_t block_size = ctx->block_size;
    if (!(ctx->fill & SHA3_FINALISED)) {
        uint8_t *block = reinterpret_cast<uint8_t *>(ctx->block);
        uint32_t fill = ctx->fill;
        std::memset(block + fill, 0, block_size - fill);
        block[fill] |= 0x06;
        block[block_size - 1] |= 0x80;
        sha3_absorb_path()(ctx->lanes, block, 1, block_size);
        ctx->fill = SHA3_FINALISED;
    }
    uint32_t digest_length = 100 - block_size / 2;
    assert(block_size > digest_length);
    if (result)
        std::memcpy(result, ctx->lanes, digest_length);
}
