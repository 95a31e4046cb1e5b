// Digest selection and digest text: the kind table's row for a letter picks
// the engine and the length of the upper-case hexadecimal text that entries
// and checksum lists hold. Platform-neutral; the file digest that reads files
// lives in file_digest.cpp.
#include "hash/hash.h"

int32_t kind_digest_length(utf16 kind)
{
    const KindInfo *info = FindKind(kind);
    return info ? info->digest_digits : 0;
}

int digest_init(digest_context *ctx, utf16 letter)
{
    ctx->kind = FindKind(letter);
    if (!ctx->kind)
        return -1;
    switch (ctx->kind->engine) {
    case ENGINE_SHA3:
        sha3_init(&ctx->sha3, ctx->kind->bits);
        return 0;
    case ENGINE_CRC32C:
    case ENGINE_CRC32:
        ctx->crc = 0xFFFFFFFFu;
        return 0;
    case ENGINE_BLAKE3:
        blake3_hasher_init(&ctx->blake3);
        return 0;
    case ENGINE_XXH3:
        xxh3_init(&ctx->xxh3);
        return 0;
    case ENGINE_MD5:
    case ENGINE_SHA1:
    case ENGINE_SHA2:
        return md_init(&ctx->md, ctx->kind->engine, ctx->kind->bits);
    default:
        return -1;
    }
}

void digest_update(digest_context *ctx, const void *data, uint32_t count)
{
    switch (ctx->kind->engine) {
    case ENGINE_SHA3:
        sha3_update(&ctx->sha3, data, count);
        return;
    case ENGINE_BLAKE3:
        blake3_hasher_update(&ctx->blake3, data, count);
        return;
    case ENGINE_XXH3:
        xxh3_update(&ctx->xxh3, data, count);
        return;
    case ENGINE_CRC32C:
        crc32c_update(&ctx->crc, data, count);
        return;
    case ENGINE_CRC32:
        crc32_update(&ctx->crc, data, count);
        return;
    default:
        md_update(&ctx->md, data, count);
        return;
    }
}

// XXH3 text is the canonical form xxHash's own tool prints: big-endian.
static void xxh3_final_bytes(const digest_context *ctx, uint8_t *digest)
{
    if (ctx->kind->bits == 128) {
        xxh3_final128(&ctx->xxh3, digest);
        return;
    }
    uint64_t value = xxh3_final64(&ctx->xxh3);
    for (int i = 0; i < 8; ++i)
        digest[i] = uint8_t(value >> (56 - 8 * i));
}

void digest_final_text(digest_context *ctx, utf16 *out)
{
    uint8_t digest[64];
    switch (ctx->kind->engine) {
    case ENGINE_CRC32C:
    case ENGINE_CRC32:
        crc32c_to_text(~ctx->crc, out);
        return;
    case ENGINE_BLAKE3:
        blake3_hasher_finalize(&ctx->blake3, digest, BLAKE3_OUT_LEN);
        break;
    case ENGINE_XXH3:
        xxh3_final_bytes(ctx, digest);
        break;
    case ENGINE_SHA3:
        sha3_final(&ctx->sha3, digest);
        break;
    default:
        md_final(&ctx->md, digest);
        break;
    }
    WriteHexUpper(digest, ctx->kind->bits / 8, out);
}

void crc32c_to_text(uint32_t crc, utf16 *out)
{
    const uint8_t bytes[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8),
                              uint8_t(crc)};
    WriteHexUpper(bytes, sizeof bytes, out);
}
