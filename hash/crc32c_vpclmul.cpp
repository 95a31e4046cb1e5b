// CRC-32C by folding with VPCLMULQDQ on four 512-bit registers, sixteen
// 128-bit folds at a time. Compiled for AVX-512 F/VL with VPCLMULQDQ (and the
// SSE4.2 CRC32 instruction for the last 16 bytes); runs only after the
// processor check found them and the system saves the 512-bit registers.
#include "crc32c_fold.h"

#include <immintrin.h>

namespace {

constexpr uint32_t REGISTERS = 4;
constexpr uint32_t STRIDE = 64 * REGISTERS;

inline __m512i fold_constant(const crc32c_fold_constant &k)
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

inline __m128i fold128(__m128i acc, const crc32c_fold_constant &c, __m128i next)
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

uint32_t crc32c_fold_vpclmul(uint32_t crc, const uint8_t *data, uint32_t count, uint32_t *done)
{
    static constexpr crc32c_fold_constant BY_STRIDE = crc32c_fold_by_bits(8 * STRIDE);
    static constexpr crc32c_fold_constant BY_64 = crc32c_fold_by_bits(512);
    static constexpr crc32c_fold_constant BY_48 = crc32c_fold_by_bits(384);
    static constexpr crc32c_fold_constant BY_32 = crc32c_fold_by_bits(256);
    static constexpr crc32c_fold_constant BY_16 = crc32c_fold_by_bits(128);
    const __m512i by_stride = fold_constant(BY_STRIDE);
    const __m512i by_64 = fold_constant(BY_64);

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
    *done = at;

    // The four 16-byte parts of the last register, the first one furthest
    // from the end, fold into the last.
    alignas(64) uint8_t parts[64];
    _mm512_store_si512(parts, r);
    __m128i last = _mm_load_si128(reinterpret_cast<const __m128i *>(parts + 48));
    last = fold128(_mm_load_si128(reinterpret_cast<const __m128i *>(parts)), BY_48, last);
    last = fold128(_mm_load_si128(reinterpret_cast<const __m128i *>(parts + 16)), BY_32, last);
    last = fold128(_mm_load_si128(reinterpret_cast<const __m128i *>(parts + 32)), BY_16, last);
    uint64_t folded = _mm_crc32_u64(0, static_cast<uint64_t>(_mm_cvtsi128_si64(last)));
    return static_cast<uint32_t>(
        _mm_crc32_u64(folded, static_cast<uint64_t>(_mm_extract_epi64(last, 1))));
}
