// SHA-1 (FIPS 180-4), the block function for processors without the SHA
// instructions: the message schedule computed sixteen words ahead in a
// rolling window, five rounds to a turn so no variable is moved.
#include "md_paths.h"

namespace {

inline uint32_t rotl(uint32_t v, int n)
{
    return (v << n) | (v >> (32 - n));
}

inline uint32_t load_be32(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Word t of the schedule, t >= 16, into its slot of the window.
inline uint32_t next_word(uint32_t *w, int t)
{
    uint32_t v = rotl(w[(t - 3) & 15] ^ w[(t - 8) & 15] ^ w[(t - 14) & 15] ^ w[t & 15], 1);
    w[t & 15] = v;
    return v;
}

inline uint32_t word(uint32_t *w, int t)
{
    return t < 16 ? w[t] : next_word(w, t);
}

inline uint32_t choose(uint32_t b, uint32_t c, uint32_t d)
{
    return d ^ (b & (c ^ d));
}

inline uint32_t parity(uint32_t b, uint32_t c, uint32_t d)
{
    return b ^ c ^ d;
}

inline uint32_t majority(uint32_t b, uint32_t c, uint32_t d)
{
    return (b & c) | (d & (b | c));
}

}  // namespace

#define SHA1_ROUND(f, k, a, b, c, d, e, t)                                                         \
    e += rotl(a, 5) + f(b, c, d) + k + word(w, t);                                                 \
    b = rotl(b, 30)
#define SHA1_FIVE(f, k, t)                                                                         \
    SHA1_ROUND(f, k, a, b, c, d, e, t);                                                            \
    SHA1_ROUND(f, k, e, a, b, c, d, t + 1);                                                        \
    SHA1_ROUND(f, k, d, e, a, b, c, t + 2);                                                        \
    SHA1_ROUND(f, k, c, d, e, a, b, t + 3);                                                        \
    SHA1_ROUND(f, k, b, c, d, e, a, t + 4)

void sha1_compress_portable(md_state *state, const uint8_t *blocks, size_t count)
{
    uint32_t *h = state->w32;
    for (; count != 0; --count, blocks += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i)
            w[i] = load_be32(blocks + 4 * i);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int t = 0; t < 20; t += 5) {
            SHA1_FIVE(choose, 0x5A827999u, t);
        }
        for (int t = 20; t < 40; t += 5) {
            SHA1_FIVE(parity, 0x6ED9EBA1u, t);
        }
        for (int t = 40; t < 60; t += 5) {
            SHA1_FIVE(majority, 0x8F1BBCDCu, t);
        }
        for (int t = 60; t < 80; t += 5) {
            SHA1_FIVE(parity, 0xCA62C1D6u, t);
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
}
