// Digest selection and digest text: the kind letters, the SHA-3 digest
// context and the upper-case hexadecimal rendering that entries and checksum
// lists hold. Platform-neutral; the file digest that reads files lives in
// file_digest.cpp.
#include "hash/hash.h"

#include <cstdio>

char kind_from_hash_choice(int32_t choice)
{
    switch (choice) {
    case HASH_CRC32C:
        return 'C';
    case HASH_SHA3_224:
        return 'E';
    case HASH_SHA3_384:
        return 'M';
    case HASH_SHA3_512:
        return 'H';
    default:
        // HASH_AUTO and HASH_SHA3_256 both mean SHA3-256.
        return 'S';
    }
}

int32_t kind_digest_length(utf16 kind)
{
    switch (kind) {
    case u'C':
        return 8;
    case u'E':
        return 56;
    case u'S':
        return 64;
    case u'M':
        return 96;
    case u'H':
        return 128;
    default:
        return 0;
    }
}

static int digest_init_type(digest_context *ctx, int8_t type, unsigned bits)
{
    sha3_init(&ctx->sha3_ctx, bits);
    ctx->type = type;
    return 0;
}

int digest_init_224(digest_context *ctx) { return digest_init_type(ctx, 0, 224); }
int digest_init_256(digest_context *ctx) { return digest_init_type(ctx, 1, 256); }
int digest_init_384(digest_context *ctx) { return digest_init_type(ctx, 2, 384); }
int digest_init_512(digest_context *ctx) { return digest_init_type(ctx, 3, 512); }

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
    ctx->ascii[0] = 0;
    for (int32_t i = 0; i < n; ++i)
        std::snprintf(ctx->ascii + 2 * i, 3, "%02hhX", ctx->digest[i]);
    int32_t i = 0;
    do {
        ctx->text[i] = static_cast<utf16>(static_cast<unsigned char>(ctx->ascii[i]));
    } while (ctx->ascii[i++] != 0);
    return 0;
}

void crc32c_to_text(uint32_t crc, utf16 *out)
{
    static const char digits[] = "0123456789ABCDEF";
    for (int i = 7; i >= 0; --i) {
        out[i] = static_cast<utf16>(digits[crc & 0xF]);
        crc >>= 4;
    }
    out[8] = 0;
}
