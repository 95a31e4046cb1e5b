// Folding with VPCLMULQDQ on four 512-bit registers, sixteen 128-bit folds at
// a time. Compiled for AVX-512 F/VL with VPCLMULQDQ; runs only after the
// processor check found them and the system saves the 512-bit registers.
#include "crc_fold.h"

#include <immintrin.h>

namespace {

constexpr uint32_t REGISTERS = 4;
constexpr uint32_t STRIDE = 64 * REGISTERS;

inline __m512i fold_constant(const crc_fold_constant &k)
{
    return _mm512_broadcast_i32x4(
        _mm_set_epi64x(static_cast<long long>(k.high_half), static_cast<long long>(k.low_half)));
}

// Both products and the next data in one three-way XOR.
inline __m512i fold(__m512i acc, __m512i k, __m512i next)
{
    __m512i low = _mm512_clmulepi64_epi128(acc, k, 0x00);
    __m512i high = _mm512_clmulepi64_epi128(acc, k, 0x11);
    return _mm512_ternarylogic_epi64(low, high, next, 0x96);
}

inline __m128i fold128(__m128i acc, const crc_fold_constant &c, __m128i next)
{
    __m128i k =
        _mm_set_epi64x(static_cast<long long>(c.high_half), static_cast<long long>(c.low_half));
    __m128i low = _mm_clmulepi64_si128(acc, k, 0x00);
    __m128i high = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_ternarylogic_epi64(low, high, next, 0x96);
}

inline __m512i load(const uint8_t *p)
{
    return _mm512_loadu_si512(p);
}

}  // namespace

static_assert(STRIDE == 256, "the keys' stride");

uint32_t crc_fold_vpclmul(const crc_fold_keys &keys, uint32_t crc, const uint8_t *data,
                          uint32_t count, uint8_t rest[16])
{
    const __m512i by_stride = fold_constant(keys.by_256_bytes);
    const __m512i by_64 = fold_constant(keys.by_64_bytes);

    __m512i acc[REGISTERS];
    for (uint32_t i = 0; i < REGISTERS; ++i)
        acc[i] = load(data + 64 * i);
    acc[0] =
        _mm512_xor_si512(acc[0], _mm512_castsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
    uint32_t at = STRIDE;
    for (; count - at >= STRIDE; at += STRIDE)
        for (uint32_t i = 0; i < REGISTERS; ++i)
            acc[i] = fold(acc[i], by_stride, load(data + at + 64 * i));
    __m512i r = acc[0];
    for (uint32_t i = 1; i < REGISTERS; ++i)
        r = fold(r, by_64, acc[i]);
    for (; count - at >= 64; at += 64)
        r = fold(r, by_64, load(data + at));

    // The four 16-byte parts of the last register, the first one furthest
    // from the end, fold into the last.
    alignas(64) uint8_t parts[64];
    _mm512_store_si512(parts, r);
    __m128i last = _mm_load_si128(reinterpret_cast<const __m128i *>(parts + 48));
    last =
        fold128(_mm_load_si128(reinterpret_cast<const __m128i *>(parts)), keys.by_48_bytes, last);
    last = fold128(_mm_load_si128(reinterpret_cast<const __m128i *>(parts + 16)), keys.by_32_bytes,
                   last);
    last = fold128(_mm_load_si128(reinterpret_cast<const __m128i *>(parts + 32)), keys.by_16_bytes,
                   last);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(rest), last);
    return at;
}
