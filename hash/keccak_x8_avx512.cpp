// Eight Keccak-f[1600] states at once on AVX-512 F registers: vector i holds
// lane i of every state, one state per 64-bit slot, so a round is the scalar
// round with each operation done eight times over and no shuffles at all.
// Compiled for AVX-512 F alone; runs only after the processor check found it
// with the 512-bit state saved by the system.
#include <immintrin.h>

#include "keccak_permutation.h"
#include "sha3_paths.h"

namespace {

struct x8_lane_ops {
    typedef __m512i Lane;
    static KECCAK_INLINE Lane xor2(Lane a, Lane b) { return _mm512_xor_si512(a, b); }
    static KECCAK_INLINE Lane xor3(Lane a, Lane b, Lane c)
    {
        return _mm512_ternarylogic_epi64(a, b, c, 0x96);
    }
    static KECCAK_INLINE Lane chi(Lane a, Lane b, Lane c)
    {
        return _mm512_ternarylogic_epi64(a, b, c, 0xD2);
    }
    template <unsigned N>
    static KECCAK_INLINE Lane rotl(Lane v)
    {
        return _mm512_rol_epi64(v, N);
    }
    static KECCAK_INLINE Lane broadcast(uint64_t v)
    {
        return _mm512_set1_epi64(static_cast<long long>(v));
    }
};

}  // namespace

void keccak_x8_absorb_avx512(uint64_t *state, const uint8_t *const *in, const uint32_t *block_size,
                             size_t blocks)
{
    // Lane i of a state takes input only while 8 i is inside its block; an
    // idle state (block size 0) takes none and its slot is never read.
    __mmask8 takes[KECCAK_MAX_RATE_LANES] = {};
    long long step[8];
    int rate_lanes = 0;
    for (int s = 0; s < 8; ++s) {
        int lanes = static_cast<int>(block_size[s] / 8);
        for (int i = 0; i < lanes; ++i)
            takes[i] = static_cast<__mmask8>(takes[i] | (1u << s));
        rate_lanes = lanes > rate_lanes ? lanes : rate_lanes;
        step[s] = block_size[s];
    }
    __m512i address = _mm512_loadu_si512(in);
    __m512i advance = _mm512_loadu_si512(step);
    __m512i a[25];
    for (int i = 0; i < 25; ++i)
        a[i] = _mm512_load_si512(state + 8 * i);
    for (; blocks != 0; --blocks) {
        for (int i = 0; i < rate_lanes; ++i) {
            __m512i words = _mm512_mask_i64gather_epi64(
                _mm512_setzero_si512(), takes[i],
                _mm512_add_epi64(address, _mm512_set1_epi64(8 * i)), nullptr, 1);
            a[i] = _mm512_xor_si512(a[i], words);
        }
        keccak_rounds<x8_lane_ops>(a);
        address = _mm512_add_epi64(address, advance);
    }
    for (int i = 0; i < 25; ++i)
        _mm512_store_si512(state + 8 * i, a[i]);
}
