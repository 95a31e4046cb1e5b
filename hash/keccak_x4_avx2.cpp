// Four Keccak-f[1600] states at once on AVX2 registers: vector i holds lane
// i of every state, one state per 64-bit slot. AVX2 has no rotation, so the
// byte-sized ones (8 and 56) are byte shuffles and the rest two shifts and
// an OR. Compiled for AVX2 alone; runs only after the processor check found
// it with the 256-bit state saved by the system.
#include <immintrin.h>

#include "keccak_permutation.h"
#include "sha3_paths.h"

namespace {

struct x4_lane_ops {
    typedef __m256i Lane;
    static KECCAK_INLINE Lane xor2(Lane a, Lane b) { return _mm256_xor_si256(a, b); }
    static KECCAK_INLINE Lane xor3(Lane a, Lane b, Lane c) { return xor2(xor2(a, b), c); }
    static KECCAK_INLINE Lane chi(Lane a, Lane b, Lane c)
    {
        return _mm256_xor_si256(a, _mm256_andnot_si256(b, c));
    }
    template <unsigned N>
    static KECCAK_INLINE Lane rotl(Lane v)
    {
        if constexpr (N == 0) {
            return v;
        } else if constexpr (N == 8) {
            return _mm256_shuffle_epi8(v, _mm256_setr_epi8(7, 0, 1, 2, 3, 4, 5, 6, 15, 8, 9, 10, 11,
                                                           12, 13, 14, 7, 0, 1, 2, 3, 4, 5, 6, 15,
                                                           8, 9, 10, 11, 12, 13, 14));
        } else if constexpr (N == 56) {
            return _mm256_shuffle_epi8(v, _mm256_setr_epi8(1, 2, 3, 4, 5, 6, 7, 0, 9, 10, 11, 12,
                                                           13, 14, 15, 8, 1, 2, 3, 4, 5, 6, 7, 0, 9,
                                                           10, 11, 12, 13, 14, 15, 8));
        } else {
            return _mm256_or_si256(_mm256_slli_epi64(v, N), _mm256_srli_epi64(v, 64 - N));
        }
    }
    static KECCAK_INLINE Lane broadcast(uint64_t v)
    {
        return _mm256_set1_epi64x(static_cast<long long>(v));
    }
};

}  // namespace

void keccak_x4_absorb_avx2(uint64_t *state, const uint8_t *const *in, const uint32_t *block_size,
                           size_t blocks)
{
    // Lane i of a state takes input only while 8 i is inside its block; an
    // idle state (block size 0) takes none and its slot is never read.
    __m256i takes[KECCAK_MAX_RATE_LANES];
    long long step[4];
    int rate_lanes = 0;
    for (int i = 0; i < KECCAK_MAX_RATE_LANES; ++i) {
        long long lane_start = 8 * i;
        takes[i] = _mm256_setr_epi64x(
            lane_start < block_size[0] ? -1 : 0, lane_start < block_size[1] ? -1 : 0,
            lane_start < block_size[2] ? -1 : 0, lane_start < block_size[3] ? -1 : 0);
    }
    for (int s = 0; s < 4; ++s) {
        int lanes = static_cast<int>(block_size[s] / 8);
        rate_lanes = lanes > rate_lanes ? lanes : rate_lanes;
        step[s] = block_size[s];
    }
    __m256i address = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in));
    __m256i advance = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(step));
    __m256i a[25];
    for (int i = 0; i < 25; ++i)
        a[i] = _mm256_load_si256(reinterpret_cast<const __m256i *>(state + 4 * i));
    for (; blocks != 0; --blocks) {
        for (int i = 0; i < rate_lanes; ++i) {
            __m256i words = _mm256_mask_i64gather_epi64(
                _mm256_setzero_si256(), nullptr,
                _mm256_add_epi64(address, _mm256_set1_epi64x(8 * i)), takes[i], 1);
            a[i] = _mm256_xor_si256(a[i], words);
        }
        keccak_rounds<x4_lane_ops>(a);
        address = _mm256_add_epi64(address, advance);
    }
    for (int i = 0; i < 25; ++i)
        _mm256_store_si256(reinterpret_cast<__m256i *>(state + 4 * i), a[i]);
}
