// The block-chained engines' common stream: whole blocks go straight from the
// caller's bytes to the block function, a partial block waits in the
// context, and the end is the Merkle-Damgard padding (0x80, zeros, the bit
// length: little-endian for MD5, big-endian for the SHA family, 128 bits wide
// for SHA-512). Which block function runs is the engine's path table's
// choice, made on every call like the other engines'.
#include "hash/hash.h"

#include <cstring>

#include "cpu_features.h"
#include "md_paths.h"

namespace {

enum md_family : uint32_t { MD_MD5, MD_SHA1, MD_SHA256, MD_SHA512 };

const uint32_t MD5_INITIAL[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
const uint32_t SHA1_INITIAL[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
const uint32_t SHA224_INITIAL[8] = {0xC1059ED8u, 0x367CD507u, 0x3070DD17u, 0xF70E5939u,
                                    0xFFC00B31u, 0x68581511u, 0x64F98FA7u, 0xBEFA4FA4u};
const uint32_t SHA256_INITIAL[8] = {0x6A09E667u, 0xBB67AE85u, 0x3C6EF372u, 0xA54FF53Au,
                                    0x510E527Fu, 0x9B05688Cu, 0x1F83D9ABu, 0x5BE0CD19u};
const uint64_t SHA384_INITIAL[8] = {
    0xCBBB9D5DC1059ED8ull, 0x629A292A367CD507ull, 0x9159015A3070DD17ull, 0x152FECD8F70E5939ull,
    0x67332667FFC00B31ull, 0x8EB44A8768581511ull, 0xDB0C2E0D64F98FA7ull, 0x47B5481DBEFA4FA4ull};
const uint64_t SHA512_INITIAL[8] = {
    0x6A09E667F3BCC908ull, 0xBB67AE8584CAA73Bull, 0x3C6EF372FE94F82Bull, 0xA54FF53A5F1D36F1ull,
    0x510E527FADE682D1ull, 0x9B05688C2B3E6C1Full, 0x1F83D9ABFB41BD6Bull, 0x5BE0CD19137E2179ull};

uint32_t block_bytes(const md_context *ctx)
{
    return ctx->family == MD_SHA512 ? 128 : 64;
}

const md_path &md_dispatched_path(uint32_t family)
{
    uint32_t features = cpu_features();
    switch (family) {
    case MD_MD5:
        return engine_path_for(MD5_PATHS, features);
    case MD_SHA1:
        return engine_path_for(SHA1_PATHS, features);
    case MD_SHA256:
        return engine_path_for(SHA256_PATHS, features);
    default:
        return engine_path_for(SHA512_PATHS, features);
    }
}

void store_be32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (24 - 8 * i));
}

void store_be64(uint8_t *p, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = uint8_t(v >> (56 - 8 * i));
}

}  // namespace

int md_init(md_context *ctx, DigestEngine engine, unsigned bits)
{
    std::memset(ctx, 0, sizeof *ctx);
    ctx->digest_bytes = bits / 8;
    if (engine == ENGINE_MD5 && bits == 128) {
        ctx->family = MD_MD5;
        std::memcpy(ctx->state.w32, MD5_INITIAL, sizeof MD5_INITIAL);
    } else if (engine == ENGINE_SHA1 && bits == 160) {
        ctx->family = MD_SHA1;
        std::memcpy(ctx->state.w32, SHA1_INITIAL, sizeof SHA1_INITIAL);
    } else if (engine == ENGINE_SHA2 && (bits == 224 || bits == 256)) {
        ctx->family = MD_SHA256;
        std::memcpy(ctx->state.w32, bits == 224 ? SHA224_INITIAL : SHA256_INITIAL,
                    sizeof SHA256_INITIAL);
    } else if (engine == ENGINE_SHA2 && (bits == 384 || bits == 512)) {
        ctx->family = MD_SHA512;
        std::memcpy(ctx->state.w64, bits == 384 ? SHA384_INITIAL : SHA512_INITIAL,
                    sizeof SHA512_INITIAL);
    } else {
        return -1;
    }
    return 0;
}

void md_update_on(md_compress_fn compress, md_context *ctx, const void *data, uint64_t count)
{
    const uint8_t *in = static_cast<const uint8_t *>(data);
    uint32_t size = block_bytes(ctx);
    uint32_t fill = static_cast<uint32_t>(ctx->length % size);
    ctx->length += count;
    if (fill != 0) {
        uint32_t take = count < size - fill ? static_cast<uint32_t>(count) : size - fill;
        std::memcpy(ctx->block + fill, in, take);
        if (fill + take < size)
            return;
        compress(&ctx->state, ctx->block, 1);
        in += take;
        count -= take;
    }
    uint64_t blocks = count / size;
    if (blocks != 0) {
        compress(&ctx->state, in, static_cast<size_t>(blocks));
        in += blocks * size;
        count -= blocks * size;
    }
    if (count != 0)
        std::memcpy(ctx->block, in, static_cast<size_t>(count));
}

void md_final_on(md_compress_fn compress, md_context *ctx, uint8_t *out)
{
    uint32_t size = block_bytes(ctx);
    uint32_t length_bytes = size / 8;
    uint32_t fill = static_cast<uint32_t>(ctx->length % size);
    ctx->block[fill++] = 0x80;
    if (fill > size - length_bytes) {
        std::memset(ctx->block + fill, 0, size - fill);
        compress(&ctx->state, ctx->block, 1);
        fill = 0;
    }
    std::memset(ctx->block + fill, 0, size - fill);
    uint64_t bits = ctx->length << 3;
    if (ctx->family == MD_MD5) {
        for (int i = 0; i < 8; ++i)
            ctx->block[56 + i] = uint8_t(bits >> (8 * i));
    } else {
        store_be64(ctx->block + size - 8, bits);
        if (size == 128)
            store_be64(ctx->block + size - 16, ctx->length >> 61);
    }
    compress(&ctx->state, ctx->block, 1);

    if (ctx->family == MD_MD5)
        for (uint32_t i = 0; i < 4; ++i)
            for (int b = 0; b < 4; ++b)
                out[4 * i + b] = uint8_t(ctx->state.w32[i] >> (8 * b));
    else if (ctx->family == MD_SHA512)
        for (uint32_t i = 0; 8 * i < ctx->digest_bytes; ++i)
            store_be64(out + 8 * i, ctx->state.w64[i]);
    else
        for (uint32_t i = 0; 4 * i < ctx->digest_bytes; ++i)
            store_be32(out + 4 * i, ctx->state.w32[i]);
}

void md_update(md_context *ctx, const void *data, uint64_t count)
{
    md_update_on(md_dispatched_path(ctx->family).run, ctx, data, count);
}

void md_final(md_context *ctx, uint8_t *out)
{
    md_final_on(md_dispatched_path(ctx->family).run, ctx, out);
}

const char *md5_path_name()
{
    return md_dispatched_path(MD_MD5).name;
}

const char *sha1_path_name()
{
    return md_dispatched_path(MD_SHA1).name;
}

const char *sha256_path_name()
{
    return md_dispatched_path(MD_SHA256).name;
}

const char *sha512_path_name()
{
    return md_dispatched_path(MD_SHA512).name;
}
