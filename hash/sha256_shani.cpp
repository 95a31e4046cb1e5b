// SHA-256 on the SHA instructions. Compiled for SHA and SSE4.1 only; runs
// after the processor check found them. The instructions keep the state as
// ABEF and CDGH halves, and SHA256RNDS2 does two rounds from the message
// words plus constants in the low half of its third operand.
#include <immintrin.h>

#include "md_paths.h"

void sha256_compress_shani(md_state *state, const uint8_t *blocks, size_t count)
{
    const __m128i byte_swap = _mm_set_epi64x(0x0C0D0E0F08090A0Bll, 0x0405060700010203ll);
    uint32_t *h = state->w32;
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + 4));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; count != 0; --count, blocks += 64) {
        const __m128i abef_in = abef, cdgh_in = cdgh;
        // m[g % 4] holds message words 4g to 4g + 3; each group computes the
        // one four groups on once its slot is free.
        __m128i m[4];
        for (int g = 0; g < 4; ++g)
            m[g] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(blocks + 16 * g)), byte_swap);
            // Unrolled whole, so the slots stay in registers.
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            __m128i wk = _mm_add_epi32(
                m[g & 3], _mm_loadu_si128(reinterpret_cast<const __m128i *>(SHA256_K + 4 * g)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));
            if (g < 12) {
                __m128i next = _mm_sha256msg1_epu32(m[g & 3], m[(g + 1) & 3]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(m[(g + 3) & 3], m[(g + 2) & 3], 4));
                m[g & 3] = _mm_sha256msg2_epu32(next, m[(g + 3) & 3]);
            }
        }
        abef = _mm_add_epi32(abef, abef_in);
        cdgh = _mm_add_epi32(cdgh, cdgh_in);
    }

    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(h), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(h + 4), _mm_alignr_epi8(dchg, feba, 8));
}
