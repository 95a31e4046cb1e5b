// SHA-512 with the message schedule on AVX2 and the rounds on RORX. Compiled
// for AVX2 and BMI2 only; runs after the processor check found them. Four
// schedule words are computed per vector step, each with its round constant
// added, sixteen words ahead of the rounds that read them, so the vector unit
// works beside the scalar rounds instead of in their dependency chain.
#include <immintrin.h>

#include "md_paths.h"

namespace {

inline uint64_t rotr(uint64_t v, int n)
{
    return (v >> n) | (v << (64 - n));
}

template <int N>
inline __m256i rotr4(__m256i v)
{
    return _mm256_or_si256(_mm256_srli_epi64(v, N), _mm256_slli_epi64(v, 64 - N));
}

// sigma0 (1, 8, >>7) and sigma1 (19, 61, >>6) on four words at once.
inline __m256i small_sigma0(__m256i v)
{
    return _mm256_xor_si256(_mm256_xor_si256(rotr4<1>(v), rotr4<8>(v)), _mm256_srli_epi64(v, 7));
}

inline __m256i small_sigma1(__m256i v)
{
    return _mm256_xor_si256(_mm256_xor_si256(rotr4<19>(v), rotr4<61>(v)), _mm256_srli_epi64(v, 6));
}

// The four words from the second of `lo` to the first of `hi`.
inline __m256i words_from_second(__m256i lo, __m256i hi)
{
    return _mm256_alignr_epi8(_mm256_permute2x128_si256(lo, hi, 0x21), lo, 8);
}

// Schedule words t to t + 3 from the window x0..x3 (words t - 16 to t - 1).
// Words t + 2 and t + 3 need t and t + 1, so sigma1 runs on each half in
// turn.
inline __m256i next_four(__m256i x0, __m256i x1, __m256i x2, __m256i x3)
{
    __m256i v = _mm256_add_epi64(x0, small_sigma0(words_from_second(x0, x1)));
    v = _mm256_add_epi64(v, words_from_second(x2, x3));
    const __m256i zero = _mm256_setzero_si256();
    __m256i low = small_sigma1(_mm256_permute4x64_epi64(x3, 0xEE));
    v = _mm256_add_epi64(v, _mm256_blend_epi32(low, zero, 0xF0));
    __m256i high = small_sigma1(_mm256_permute4x64_epi64(v, 0x44));
    return _mm256_add_epi64(v, _mm256_blend_epi32(zero, high, 0xF0));
}

// One round. d + h + wk does not wait for e, so the new e is only two adds
// behind Ch and Sigma1. Maj(a, b, c) is b ^ ((a ^ b) & (b ^ c)), and this
// round's b ^ c is the previous round's a ^ b, carried in `bc`.
inline void round(uint64_t a, uint64_t b, uint64_t &d, uint64_t e, uint64_t f, uint64_t g,
                  uint64_t &h, uint64_t wk, uint64_t &bc)
{
    uint64_t hw = h + wk;
    d += hw;
    uint64_t ch = g ^ (e & (f ^ g));
    uint64_t s1 = rotr(e, 14) ^ rotr(e, 18) ^ rotr(e, 41);
    d += ch;
    d += s1;
    uint64_t ab = a ^ b;
    uint64_t t2 = (rotr(a, 28) ^ rotr(a, 34) ^ rotr(a, 39)) + (b ^ (ab & bc));
    bc = ab;
    h = hw + ch + s1 + t2;
}

}  // namespace

void sha512_compress_avx2(md_state *state, const uint8_t *blocks, size_t count)
{
    const __m256i byte_swap = _mm256_set_epi64x(0x08090A0B0C0D0E0Fll, 0x0001020304050607ll,
                                                0x08090A0B0C0D0E0Fll, 0x0001020304050607ll);
    uint64_t *hv = state->w64;
    for (; count != 0; --count, blocks += 128) {
        // Message words plus constants, written sixteen words ahead of the
        // round that reads them.
        uint64_t wk[80];
        __m256i x[4];
        for (int i = 0; i < 4; ++i) {
            x[i] = _mm256_shuffle_epi8(
                _mm256_loadu_si256(reinterpret_cast<const __m256i *>(blocks + 32 * i)), byte_swap);
            _mm256_storeu_si256(
                reinterpret_cast<__m256i *>(wk + 4 * i),
                _mm256_add_epi64(
                    x[i], _mm256_loadu_si256(reinterpret_cast<const __m256i *>(SHA512_K + 4 * i))));
        }
        uint64_t a = hv[0], b = hv[1], c = hv[2], d = hv[3], e = hv[4], f = hv[5], g = hv[6],
                 h = hv[7];
        uint64_t bc = b ^ c;
        // Unrolled whole: the window slots stay in registers.
#pragma GCC unroll 10
        for (int t = 0; t < 80; t += 8) {
            for (int half = 0; half < 2 && t + 16 < 80; ++half) {
                const int s = t / 4 + half;
                __m256i next = next_four(x[s & 3], x[(s + 1) & 3], x[(s + 2) & 3], x[(s + 3) & 3]);
                x[s & 3] = next;
                _mm256_storeu_si256(
                    reinterpret_cast<__m256i *>(wk + 4 * s + 16),
                    _mm256_add_epi64(next, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(
                                               SHA512_K + 4 * s + 16))));
            }
            round(a, b, d, e, f, g, h, wk[t], bc);
            round(h, a, c, d, e, f, g, wk[t + 1], bc);
            round(g, h, b, c, d, e, f, wk[t + 2], bc);
            round(f, g, a, b, c, d, e, wk[t + 3], bc);
            round(e, f, h, a, b, c, d, wk[t + 4], bc);
            round(d, e, g, h, a, b, c, wk[t + 5], bc);
            round(c, d, f, g, h, a, b, wk[t + 6], bc);
            round(b, c, e, f, g, h, a, wk[t + 7], bc);
        }
        hv[0] += a;
        hv[1] += b;
        hv[2] += c;
        hv[3] += d;
        hv[4] += e;
        hv[5] += f;
        hv[6] += g;
        hv[7] += h;
    }
}
