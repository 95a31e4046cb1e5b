// SHA-1 on the SHA instructions. Compiled for SHA and SSE4.1 only; runs after
// the processor check found them. SHA1RNDS4 does four rounds of one of the
// four round functions (its immediate) on ABCD, from E plus the next four
// message words, which SHA1NEXTE derives from the ABCD of four rounds before.
#include <immintrin.h>

#include "md_paths.h"

namespace {

template <int F>
inline __m128i four_rounds(__m128i abcd, __m128i e)
{
    return _mm_sha1rnds4_epu32(abcd, e, F);
}

}  // namespace

void sha1_compress_shani(md_state *state, const uint8_t *blocks, size_t count)
{
    const __m128i byte_swap = _mm_set_epi64x(0x0001020304050607ll, 0x08090A0B0C0D0E0Fll);
    uint32_t *h = state->w32;
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(h)), 0x1B);
    __m128i e0 = _mm_set_epi32(static_cast<int>(h[4]), 0, 0, 0);

    for (; count != 0; --count, blocks += 64) {
        const __m128i abcd_in = abcd, e_in = e0;
        // m[g % 4] holds message words 4g to 4g + 3, as for SHA-256.
        __m128i m[4];
        for (int g = 0; g < 4; ++g)
            m[g] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(blocks + 16 * g)), byte_swap);
        __m128i before = abcd;
        // Unrolled whole, so the slots stay in registers and each group's
        // round function is an immediate.
#pragma GCC unroll 20
        for (int g = 0; g < 20; ++g) {
            __m128i e = g == 0 ? _mm_add_epi32(e0, m[0]) : _mm_sha1nexte_epu32(before, m[g & 3]);
            before = abcd;
            switch (g / 5) {
            case 0:
                abcd = four_rounds<0>(abcd, e);
                break;
            case 1:
                abcd = four_rounds<1>(abcd, e);
                break;
            case 2:
                abcd = four_rounds<2>(abcd, e);
                break;
            default:
                abcd = four_rounds<3>(abcd, e);
                break;
            }
            if (g < 16) {
                __m128i next = _mm_sha1msg1_epu32(m[g & 3], m[(g + 1) & 3]);
                next = _mm_xor_si128(next, m[(g + 2) & 3]);
                m[g & 3] = _mm_sha1msg2_epu32(next, m[(g + 3) & 3]);
            }
        }
        e0 = _mm_sha1nexte_epu32(before, e_in);
        abcd = _mm_add_epi32(abcd, abcd_in);
    }

    _mm_storeu_si128(reinterpret_cast<__m128i *>(h), _mm_shuffle_epi32(abcd, 0x1B));
    h[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}
