// Folding with PCLMULQDQ on eight 128-bit registers. Compiled for SSE4.2 and
// PCLMUL only; runs after the processor check found both.
#include "crc_fold.h"

#include <immintrin.h>

namespace {

constexpr uint32_t LANES = 8;
constexpr uint32_t STRIDE = 16 * LANES;

inline __m128i fold_constant(const crc_fold_constant &k)
{
    return _mm_set_epi64x(static_cast<long long>(k.high_half), static_cast<long long>(k.low_half));
}

inline __m128i fold(__m128i acc, __m128i k, __m128i next)
{
    __m128i low = _mm_clmulepi64_si128(acc, k, 0x00);
    __m128i high = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

inline __m128i load(const uint8_t *p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}

}  // namespace

static_assert(STRIDE == 128, "the keys' stride");

uint32_t crc_fold_pclmul(const crc_fold_keys &keys, uint32_t crc, const uint8_t *data,
                         uint32_t count, uint8_t rest[16])
{
    const __m128i by_stride = fold_constant(keys.by_128_bytes);
    const __m128i by_16 = fold_constant(keys.by_16_bytes);

    __m128i acc[LANES];
    for (uint32_t i = 0; i < LANES; ++i)
        acc[i] = load(data + 16 * i);
    acc[0] = _mm_xor_si128(acc[0], _mm_cvtsi32_si128(static_cast<int>(crc)));
    uint32_t at = STRIDE;
    for (; count - at >= STRIDE; at += STRIDE)
        for (uint32_t i = 0; i < LANES; ++i)
            acc[i] = fold(acc[i], by_stride, load(data + at + 16 * i));
    __m128i r = acc[0];
    for (uint32_t i = 1; i < LANES; ++i)
        r = fold(r, by_16, acc[i]);
    for (; count - at >= 16; at += 16)
        r = fold(r, by_16, load(data + at));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(rest), r);
    return at;
}
