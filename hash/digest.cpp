// Digest selection and digest text: the kind letters, the SHA-3 digest
// context and the upper-case hexadecimal rendering that entries and checksum
// lists hold. Platform-neutral; the file digest that reads files lives in
// file_digest.cpp.
#include "hash/hash.h"

char kind_from_hash_choice(int32_t choice)
{
    return KindOfHashChoice(choice)->letter;
}

int32_t kind_digest_length(utf16 kind)
{
    const KindInfo *info = FindKind(kind);
    return info ? info->digest_digits : 0;
}

static int digest_init_type(digest_context *ctx, int8_t type, unsigned bits)
{
    sha3_init(&ctx->sha3_ctx, bits);
    ctx->type = type;
    return 0;
}

int digest_init_224(digest_context *ctx)
{
    return digest_init_type(ctx, 0, 224);
}
int digest_init_256(digest_context *ctx)
{
    return digest_init_type(ctx, 1, 256);
}
int digest_init_384(digest_context *ctx)
{
    return digest_init_type(ctx, 2, 384);
}
int digest_init_512(digest_context *ctx)
{
    return digest_init_type(ctx, 3, 512);
}

int digest_init_kind(digest_context *ctx, utf16 kind)
{
    const KindInfo *info = FindKind(kind);
    switch (info ? info->sha3_bits : 0) {
    case 224:
        return digest_init_224(ctx);
    case 256:
        return digest_init_256(ctx);
    case 384:
        return digest_init_384(ctx);
    case 512:
        return digest_init_512(ctx);
    default:
        return -1;
    }
}

int digest_update(const void *data, digest_context *ctx, uint32_t count)
{
    sha3_update(&ctx->sha3_ctx, data, count);
    return 0;
}

int digest_final(digest_context *ctx)
{
    sha3_final(&ctx->sha3_ctx, ctx->digest);
    return 0;
}

static int32_t digest_bytes_of_type(int8_t type)
{
    static const int32_t lengths[4] = {28, 32, 48, 64};
    return (type >= 0 && type < 4) ? lengths[type] : 0;
}

int digest_to_text(digest_context *ctx)
{
    int32_t n = digest_bytes_of_type(ctx->type);
    WriteHexUpper(ctx->digest, size_t(n), ctx->text);
    int32_t i = 0;
    do {
        ctx->ascii[i] = char(ctx->text[i]);
    } while (ctx->text[i++] != 0);
    return 0;
}

void crc32c_to_text(uint32_t crc, utf16 *out)
{
    const uint8_t bytes[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8),
                              uint8_t(crc)};
    WriteHexUpper(bytes, sizeof bytes, out);
}
