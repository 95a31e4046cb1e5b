// MD5 (RFC 1321), the block function: four rounds of sixteen steps, fully
// unrolled so every shift and constant is an immediate. Round 2's function
// is written as two independent terms added separately, which shortens the
// dependency chain through b (the sum equals the OR, the terms never share
// a bit).
#include <cstring>

#include "md_paths.h"

namespace {

inline uint32_t rotl(uint32_t v, int n)
{
    return (v << n) | (v >> (32 - n));
}

inline uint32_t load_le32(const uint8_t *p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

// Each step adds the message word and constant to a first, and the parts
// that do not wait for b (the newest value) before the part that does, so
// only the round function's last operation and two additions stand between
// one step's b and the next. Compilers left alone move the constant's
// addition after the round function, onto that path, so the sum is pinned
// first (an empty asm statement the optimiser cannot see through).
#if defined(__GNUC__)
#define MD5_PIN(x) __asm__("" : "+r"(x))
#else
#define MD5_PIN(x) (void)0
#endif
#define MD5_STEP1(a, b, c, d, k, s, t)                                                             \
    a += w[k] + t;                                                                                 \
    MD5_PIN(a);                                                                                    \
    a += d ^ (b & (c ^ d));                                                                        \
    a = b + rotl(a, s)
#define MD5_STEP2(a, b, c, d, k, s, t)                                                             \
    a += w[k] + t;                                                                                 \
    MD5_PIN(a);                                                                                    \
    a += ~d & c;                                                                                   \
    a += d & b;                                                                                    \
    a = b + rotl(a, s)
#define MD5_STEP3(a, b, c, d, k, s, t)                                                             \
    a += w[k] + t;                                                                                 \
    MD5_PIN(a);                                                                                    \
    a += b ^ (c ^ d);                                                                              \
    a = b + rotl(a, s)
#define MD5_STEP4(a, b, c, d, k, s, t)                                                             \
    a += w[k] + t;                                                                                 \
    MD5_PIN(a);                                                                                    \
    a += c ^ (b | ~d);                                                                             \
    a = b + rotl(a, s)

void md5_compress_portable(md_state *state, const uint8_t *blocks, size_t count)
{
    uint32_t *h = state->w32;
    for (; count != 0; --count, blocks += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i)
            w[i] = load_le32(blocks + 4 * i);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3];

        MD5_STEP1(a, b, c, d, 0, 7, 0xD76AA478u);
        MD5_STEP1(d, a, b, c, 1, 12, 0xE8C7B756u);
        MD5_STEP1(c, d, a, b, 2, 17, 0x242070DBu);
        MD5_STEP1(b, c, d, a, 3, 22, 0xC1BDCEEEu);
        MD5_STEP1(a, b, c, d, 4, 7, 0xF57C0FAFu);
        MD5_STEP1(d, a, b, c, 5, 12, 0x4787C62Au);
        MD5_STEP1(c, d, a, b, 6, 17, 0xA8304613u);
        MD5_STEP1(b, c, d, a, 7, 22, 0xFD469501u);
        MD5_STEP1(a, b, c, d, 8, 7, 0x698098D8u);
        MD5_STEP1(d, a, b, c, 9, 12, 0x8B44F7AFu);
        MD5_STEP1(c, d, a, b, 10, 17, 0xFFFF5BB1u);
        MD5_STEP1(b, c, d, a, 11, 22, 0x895CD7BEu);
        MD5_STEP1(a, b, c, d, 12, 7, 0x6B901122u);
        MD5_STEP1(d, a, b, c, 13, 12, 0xFD987193u);
        MD5_STEP1(c, d, a, b, 14, 17, 0xA679438Eu);
        MD5_STEP1(b, c, d, a, 15, 22, 0x49B40821u);

        MD5_STEP2(a, b, c, d, 1, 5, 0xF61E2562u);
        MD5_STEP2(d, a, b, c, 6, 9, 0xC040B340u);
        MD5_STEP2(c, d, a, b, 11, 14, 0x265E5A51u);
        MD5_STEP2(b, c, d, a, 0, 20, 0xE9B6C7AAu);
        MD5_STEP2(a, b, c, d, 5, 5, 0xD62F105Du);
        MD5_STEP2(d, a, b, c, 10, 9, 0x02441453u);
        MD5_STEP2(c, d, a, b, 15, 14, 0xD8A1E681u);
        MD5_STEP2(b, c, d, a, 4, 20, 0xE7D3FBC8u);
        MD5_STEP2(a, b, c, d, 9, 5, 0x21E1CDE6u);
        MD5_STEP2(d, a, b, c, 14, 9, 0xC33707D6u);
        MD5_STEP2(c, d, a, b, 3, 14, 0xF4D50D87u);
        MD5_STEP2(b, c, d, a, 8, 20, 0x455A14EDu);
        MD5_STEP2(a, b, c, d, 13, 5, 0xA9E3E905u);
        MD5_STEP2(d, a, b, c, 2, 9, 0xFCEFA3F8u);
        MD5_STEP2(c, d, a, b, 7, 14, 0x676F02D9u);
        MD5_STEP2(b, c, d, a, 12, 20, 0x8D2A4C8Au);

        MD5_STEP3(a, b, c, d, 5, 4, 0xFFFA3942u);
        MD5_STEP3(d, a, b, c, 8, 11, 0x8771F681u);
        MD5_STEP3(c, d, a, b, 11, 16, 0x6D9D6122u);
        MD5_STEP3(b, c, d, a, 14, 23, 0xFDE5380Cu);
        MD5_STEP3(a, b, c, d, 1, 4, 0xA4BEEA44u);
        MD5_STEP3(d, a, b, c, 4, 11, 0x4BDECFA9u);
        MD5_STEP3(c, d, a, b, 7, 16, 0xF6BB4B60u);
        MD5_STEP3(b, c, d, a, 10, 23, 0xBEBFBC70u);
        MD5_STEP3(a, b, c, d, 13, 4, 0x289B7EC6u);
        MD5_STEP3(d, a, b, c, 0, 11, 0xEAA127FAu);
        MD5_STEP3(c, d, a, b, 3, 16, 0xD4EF3085u);
        MD5_STEP3(b, c, d, a, 6, 23, 0x04881D05u);
        MD5_STEP3(a, b, c, d, 9, 4, 0xD9D4D039u);
        MD5_STEP3(d, a, b, c, 12, 11, 0xE6DB99E5u);
        MD5_STEP3(c, d, a, b, 15, 16, 0x1FA27CF8u);
        MD5_STEP3(b, c, d, a, 2, 23, 0xC4AC5665u);

        MD5_STEP4(a, b, c, d, 0, 6, 0xF4292244u);
        MD5_STEP4(d, a, b, c, 7, 10, 0x432AFF97u);
        MD5_STEP4(c, d, a, b, 14, 15, 0xAB9423A7u);
        MD5_STEP4(b, c, d, a, 5, 21, 0xFC93A039u);
        MD5_STEP4(a, b, c, d, 12, 6, 0x655B59C3u);
        MD5_STEP4(d, a, b, c, 3, 10, 0x8F0CCC92u);
        MD5_STEP4(c, d, a, b, 10, 15, 0xFFEFF47Du);
        MD5_STEP4(b, c, d, a, 1, 21, 0x85845DD1u);
        MD5_STEP4(a, b, c, d, 8, 6, 0x6FA87E4Fu);
        MD5_STEP4(d, a, b, c, 15, 10, 0xFE2CE6E0u);
        MD5_STEP4(c, d, a, b, 6, 15, 0xA3014314u);
        MD5_STEP4(b, c, d, a, 13, 21, 0x4E0811A1u);
        MD5_STEP4(a, b, c, d, 4, 6, 0xF7537E82u);
        MD5_STEP4(d, a, b, c, 11, 10, 0xBD3AF235u);
        MD5_STEP4(c, d, a, b, 2, 15, 0x2AD7D2BBu);
        MD5_STEP4(b, c, d, a, 9, 21, 0xEB86D391u);

        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }
}
