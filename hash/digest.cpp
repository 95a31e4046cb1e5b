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
    ctx->crc = 0;
    switch (ctx->kind->engine) {
    case ENGINE_SHA3:
        sha3_init(&ctx->sha3, ctx->kind->bits);
        return 0;
    case ENGINE_CRC32C:
        crc32c_init(&ctx->crc);
        return 0;
    default:
        return -1;
    }
}

void digest_update(digest_context *ctx, const void *data, uint32_t count)
{
    if (ctx->kind->engine == ENGINE_SHA3)
        sha3_update(&ctx->sha3, data, count);
    else
        crc32c_update(&ctx->crc, data, count);
}

void digest_final_text(digest_context *ctx, utf16 *out)
{
    if (ctx->kind->engine == ENGINE_CRC32C) {
        crc32c_to_text(crc32c_final(&ctx->crc), out);
        return;
    }
    uint8_t digest[64];
    sha3_final(&ctx->sha3, digest);
    WriteHexUpper(digest, ctx->kind->bits / 8, out);
}

void crc32c_to_text(uint32_t crc, utf16 *out)
{
    const uint8_t bytes[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8),
                              uint8_t(crc)};
    WriteHexUpper(bytes, sizeof bytes, out);
}
