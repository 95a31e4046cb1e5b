// SHA-256 and SHA-512 (FIPS 180-4), the block functions for any x86-64
// processor (SHA-256's for processors without the SHA instructions). Both
// run the same round over words of their width, written once; eight rounds
// to a turn so no variable is moved, the schedule computed sixteen words
// ahead in a rolling window.
#include "md_paths.h"

namespace {

template <typename Word>
inline Word rotr(Word v, int n)
{
    return (v >> n) | (v << (8 * sizeof(Word) - n));
}

template <typename Word>
inline Word load_be(const uint8_t *p)
{
    Word v = 0;
    for (size_t i = 0; i < sizeof(Word); ++i)
        v = (v << 8) | p[i];
    return v;
}

// The rotation and shift counts of each width's sigma functions.
template <typename Word>
struct sha2_shape;

template <>
struct sha2_shape<uint32_t> {
    static constexpr int S0[3] = {2, 13, 22}, S1[3] = {6, 11, 25};
    static constexpr int s0[3] = {7, 18, 3}, s1[3] = {17, 19, 10};
    static constexpr int ROUNDS = 64;
};

template <>
struct sha2_shape<uint64_t> {
    static constexpr int S0[3] = {28, 34, 39}, S1[3] = {14, 18, 41};
    static constexpr int s0[3] = {1, 8, 7}, s1[3] = {19, 61, 6};
    static constexpr int ROUNDS = 80;
};

template <typename Word>
inline Word big_sigma(Word v, const int (&r)[3])
{
    return rotr(v, r[0]) ^ rotr(v, r[1]) ^ rotr(v, r[2]);
}

template <typename Word>
inline Word small_sigma(Word v, const int (&r)[3])
{
    return rotr(v, r[0]) ^ rotr(v, r[1]) ^ (v >> r[2]);
}

// Word t of the schedule into its slot of the window of sixteen.
template <typename Word>
inline Word schedule(Word *w, int t)
{
    typedef sha2_shape<Word> shape;
    if (t < 16)
        return w[t];
    Word v = small_sigma(w[(t - 2) & 15], shape::s1) + w[(t - 7) & 15] +
             small_sigma(w[(t - 15) & 15], shape::s0) + w[t & 15];
    w[t & 15] = v;
    return v;
}

template <typename Word>
inline void round(Word a, Word b, Word c, Word &d, Word e, Word f, Word g, Word &h, Word k, Word w)
{
    typedef sha2_shape<Word> shape;
    Word t1 = h + big_sigma(e, shape::S1) + (g ^ (e & (f ^ g))) + k + w;
    Word t2 = big_sigma(a, shape::S0) + ((a & b) | (c & (a | b)));
    d += t1;
    h = t1 + t2;
}

template <typename Word>
inline void compress(Word *h, const uint8_t *blocks, size_t count, const Word *k)
{
    typedef sha2_shape<Word> shape;
    for (; count != 0; --count, blocks += 16 * sizeof(Word)) {
        Word w[16];
        for (int i = 0; i < 16; ++i)
            w[i] = load_be<Word>(blocks + sizeof(Word) * i);
        Word a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
        // Unrolled whole: every schedule slot and constant index is fixed.
#pragma GCC unroll 10
        for (int t = 0; t < shape::ROUNDS; t += 8) {
            round(a, b, c, d, e, f, g, hh, k[t], schedule(w, t));
            round(hh, a, b, c, d, e, f, g, k[t + 1], schedule(w, t + 1));
            round(g, hh, a, b, c, d, e, f, k[t + 2], schedule(w, t + 2));
            round(f, g, hh, a, b, c, d, e, k[t + 3], schedule(w, t + 3));
            round(e, f, g, hh, a, b, c, d, k[t + 4], schedule(w, t + 4));
            round(d, e, f, g, hh, a, b, c, k[t + 5], schedule(w, t + 5));
            round(c, d, e, f, g, hh, a, b, k[t + 6], schedule(w, t + 6));
            round(b, c, d, e, f, g, hh, a, k[t + 7], schedule(w, t + 7));
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
        h[5] += f;
        h[6] += g;
        h[7] += hh;
    }
}

}  // namespace

const uint32_t SHA256_K[64] = {
    0x428A2F98u, 0x71374491u, 0xB5C0FBCFu, 0xE9B5DBA5u, 0x3956C25Bu, 0x59F111F1u, 0x923F82A4u,
    0xAB1C5ED5u, 0xD807AA98u, 0x12835B01u, 0x243185BEu, 0x550C7DC3u, 0x72BE5D74u, 0x80DEB1FEu,
    0x9BDC06A7u, 0xC19BF174u, 0xE49B69C1u, 0xEFBE4786u, 0x0FC19DC6u, 0x240CA1CCu, 0x2DE92C6Fu,
    0x4A7484AAu, 0x5CB0A9DCu, 0x76F988DAu, 0x983E5152u, 0xA831C66Du, 0xB00327C8u, 0xBF597FC7u,
    0xC6E00BF3u, 0xD5A79147u, 0x06CA6351u, 0x14292967u, 0x27B70A85u, 0x2E1B2138u, 0x4D2C6DFCu,
    0x53380D13u, 0x650A7354u, 0x766A0ABBu, 0x81C2C92Eu, 0x92722C85u, 0xA2BFE8A1u, 0xA81A664Bu,
    0xC24B8B70u, 0xC76C51A3u, 0xD192E819u, 0xD6990624u, 0xF40E3585u, 0x106AA070u, 0x19A4C116u,
    0x1E376C08u, 0x2748774Cu, 0x34B0BCB5u, 0x391C0CB3u, 0x4ED8AA4Au, 0x5B9CCA4Fu, 0x682E6FF3u,
    0x748F82EEu, 0x78A5636Fu, 0x84C87814u, 0x8CC70208u, 0x90BEFFFAu, 0xA4506CEBu, 0xBEF9A3F7u,
    0xC67178F2u};

const uint64_t SHA512_K[80] = {
    0x428A2F98D728AE22ull, 0x7137449123EF65CDull, 0xB5C0FBCFEC4D3B2Full, 0xE9B5DBA58189DBBCull,
    0x3956C25BF348B538ull, 0x59F111F1B605D019ull, 0x923F82A4AF194F9Bull, 0xAB1C5ED5DA6D8118ull,
    0xD807AA98A3030242ull, 0x12835B0145706FBEull, 0x243185BE4EE4B28Cull, 0x550C7DC3D5FFB4E2ull,
    0x72BE5D74F27B896Full, 0x80DEB1FE3B1696B1ull, 0x9BDC06A725C71235ull, 0xC19BF174CF692694ull,
    0xE49B69C19EF14AD2ull, 0xEFBE4786384F25E3ull, 0x0FC19DC68B8CD5B5ull, 0x240CA1CC77AC9C65ull,
    0x2DE92C6F592B0275ull, 0x4A7484AA6EA6E483ull, 0x5CB0A9DCBD41FBD4ull, 0x76F988DA831153B5ull,
    0x983E5152EE66DFABull, 0xA831C66D2DB43210ull, 0xB00327C898FB213Full, 0xBF597FC7BEEF0EE4ull,
    0xC6E00BF33DA88FC2ull, 0xD5A79147930AA725ull, 0x06CA6351E003826Full, 0x142929670A0E6E70ull,
    0x27B70A8546D22FFCull, 0x2E1B21385C26C926ull, 0x4D2C6DFC5AC42AEDull, 0x53380D139D95B3DFull,
    0x650A73548BAF63DEull, 0x766A0ABB3C77B2A8ull, 0x81C2C92E47EDAEE6ull, 0x92722C851482353Bull,
    0xA2BFE8A14CF10364ull, 0xA81A664BBC423001ull, 0xC24B8B70D0F89791ull, 0xC76C51A30654BE30ull,
    0xD192E819D6EF5218ull, 0xD69906245565A910ull, 0xF40E35855771202Aull, 0x106AA07032BBD1B8ull,
    0x19A4C116B8D2D0C8ull, 0x1E376C085141AB53ull, 0x2748774CDF8EEB99ull, 0x34B0BCB5E19B48A8ull,
    0x391C0CB3C5C95A63ull, 0x4ED8AA4AE3418ACBull, 0x5B9CCA4F7763E373ull, 0x682E6FF3D6B2B8A3ull,
    0x748F82EE5DEFB2FCull, 0x78A5636F43172F60ull, 0x84C87814A1F0AB72ull, 0x8CC702081A6439ECull,
    0x90BEFFFA23631E28ull, 0xA4506CEBDE82BDE9ull, 0xBEF9A3F7B2C67915ull, 0xC67178F2E372532Bull,
    0xCA273ECEEA26619Cull, 0xD186B8C721C0C207ull, 0xEADA7DD6CDE0EB1Eull, 0xF57D4F7FEE6ED178ull,
    0x06F067AA72176FBAull, 0x0A637DC5A2C898A6ull, 0x113F9804BEF90DAEull, 0x1B710B35131C471Bull,
    0x28DB77F523047D84ull, 0x32CAAB7B40C72493ull, 0x3C9EBE0A15C9BEBCull, 0x431D67C49C100D4Cull,
    0x4CC5D4BECB3E42B6ull, 0x597F299CFC657E2Aull, 0x5FCB6FAB3AD6FAECull, 0x6C44198C4A475817ull};

void sha256_compress_portable(md_state *state, const uint8_t *blocks, size_t count)
{
    compress(state->w32, blocks, count, SHA256_K);
}

void sha512_compress_portable(md_state *state, const uint8_t *blocks, size_t count)
{
    compress(state->w64, blocks, count, SHA512_K);
}
