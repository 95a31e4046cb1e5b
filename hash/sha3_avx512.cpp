// Keccak-f[1600] absorption on AVX-512 F/VL registers. Compiled for those
// alone; runs only after the processor check found them with the 512-bit
// state saved by the system.
//
// The 25 lanes live in five registers, five lanes each (the other three
// slots carry values that never reach the first five). Theta wants the
// lanes by row (register y, slot x): its column parities are then the XOR of
// the five registers. Chi wants them by column (register x, slot y): its
// neighbours are then whole registers and each row of chi is one
// three-input logic instruction. Pi moves row y's lanes exactly into
// column y, so rho and pi together cost one in-register permutation per
// register, and one transpose per round brings the columns back to rows.
// Shuffles are what limit a round; this order needs twenty of them.
#include "hash/sha3_paths.h"

#include <immintrin.h>

namespace {

alignas(64) const uint64_t ROUND_CONSTANTS[24] = {
    0x0000000000000001ull, 0x0000000000008082ull, 0x800000000000808Aull,
    0x8000000080008000ull, 0x000000000000808Bull, 0x0000000080000001ull,
    0x8000000080008081ull, 0x8000000000008009ull, 0x000000000000008Aull,
    0x0000000000000088ull, 0x0000000080008009ull, 0x000000008000000Aull,
    0x000000008000808Bull, 0x800000000000008Bull, 0x8000000000008089ull,
    0x8000000000008003ull, 0x8000000000008002ull, 0x8000000000000080ull,
    0x000000000000800Aull, 0x800000008000000Aull, 0x8000000080008081ull,
    0x8000000000008080ull, 0x0000000080000001ull, 0x8000000080008008ull,
};

// Rotation offsets of lane x + 5y, by row.
alignas(64) const uint64_t RHO[5][8] = {
    {0, 1, 62, 28, 27, 0, 0, 0},
    {36, 44, 6, 55, 20, 0, 0, 0},
    {3, 10, 43, 25, 39, 0, 0, 0},
    {41, 45, 15, 21, 8, 0, 0, 0},
    {18, 2, 61, 56, 14, 0, 0, 0},
};

constexpr int XOR3 = 0x96;           // a ^ b ^ c
constexpr int XOR_ANDNOT = 0xD2;     // a ^ (~b & c)

inline __m512i lane_indices(int s0, int s1, int s2, int s3, int s4, int s5 = 5, int s6 = 6,
                            int s7 = 7)
{
    return _mm512_setr_epi64(s0, s1, s2, s3, s4, s5, s6, s7);
}

struct keccak_shuffles {
    __m512i prev, next;      // slot x takes x - 1, x + 1 (modulo 5)
    __m512i pi[5];           // row x into column x: slot y takes lane x + 3y
    __m512i pair_rows;       // two columns interleaved, rows 0 to 3
    __m512i row[4];          // row y of two interleaved pairs into slots 0 to 3
    __m512i row4_low, row4_high;
    __m512i slot4[5];        // slot 4 takes slot y
};

keccak_shuffles make_shuffles()
{
    keccak_shuffles s;
    s.prev = lane_indices(4, 0, 1, 2, 3);
    s.next = lane_indices(1, 2, 3, 4, 0);
    for (int x = 0; x < 5; ++x)
        s.pi[x] = lane_indices(x % 5, (x + 3) % 5, (x + 6) % 5, (x + 9) % 5, (x + 12) % 5);
    s.pair_rows = lane_indices(0, 8, 1, 9, 2, 10, 3, 11);
    for (int y = 0; y < 4; ++y)
        s.row[y] = lane_indices(2 * y, 2 * y + 1, 8 + 2 * y, 9 + 2 * y, 4);
    s.row4_low = lane_indices(4, 12, 2, 3, 4);
    s.row4_high = lane_indices(0, 1, 4, 12, 4);
    for (int y = 0; y < 5; ++y)
        s.slot4[y] = _mm512_set1_epi64(y);
    return s;
}

inline void keccak_round(__m512i r[5], const keccak_shuffles &s, const uint64_t *round_constant)
{
    // Theta, by rows.
    __m512i c = _mm512_ternarylogic_epi64(_mm512_ternarylogic_epi64(r[0], r[1], r[2], XOR3), r[3],
                                          r[4], XOR3);
    __m512i c_prev = _mm512_permutexvar_epi64(s.prev, c);
    __m512i c_next = _mm512_rol_epi64(_mm512_permutexvar_epi64(s.next, c), 1);
    // Rho, then pi into columns.
    __m512i k[5];
    for (int y = 0; y < 5; ++y) {
        __m512i lane = _mm512_ternarylogic_epi64(r[y], c_prev, c_next, XOR3);
        lane = _mm512_rolv_epi64(lane, _mm512_load_si512(RHO[y]));
        k[y] = _mm512_permutexvar_epi64(s.pi[y], lane);
    }
    // Chi, by columns; iota.
    __m512i t[5];
    for (int x = 0; x < 5; ++x)
        t[x] = _mm512_ternarylogic_epi64(k[x], k[(x + 1) % 5], k[(x + 2) % 5], XOR_ANDNOT);
    t[0] = _mm512_mask_xor_epi64(t[0], 1, t[0], _mm512_set1_epi64(static_cast<long long>(*round_constant)));
    // Columns back to rows.
    __m512i pairs01 = _mm512_permutex2var_epi64(t[0], s.pair_rows, t[1]);
    __m512i pairs23 = _mm512_permutex2var_epi64(t[2], s.pair_rows, t[3]);
    for (int y = 0; y < 4; ++y) {
        __m512i row = _mm512_permutex2var_epi64(pairs01, s.row[y], pairs23);
        r[y] = _mm512_mask_permutexvar_epi64(row, 0x10, s.slot4[y], t[4]);
    }
    __m512i low = _mm512_permutex2var_epi64(t[0], s.row4_low, t[1]);
    __m512i high = _mm512_permutex2var_epi64(t[2], s.row4_high, t[3]);
    r[4] = _mm512_mask_permutexvar_epi64(_mm512_mask_blend_epi64(0x0C, low, high), 0x10, s.slot4[4], t[4]);
}

} // namespace

void sha3_absorb_blocks_avx512(uint64_t *lanes, const uint8_t *in, size_t blocks, uint32_t block_size)
{
    const keccak_shuffles s = make_shuffles();
    __mmask8 rate_mask[5];
    int rate_lanes = static_cast<int>(block_size / 8);
    for (int y = 0; y < 5; ++y) {
        int in_row = rate_lanes - 5 * y;
        in_row = in_row < 0 ? 0 : (in_row > 5 ? 5 : in_row);
        rate_mask[y] = static_cast<__mmask8>((1u << in_row) - 1);
    }
    __m512i r[5];
    for (int y = 0; y < 5; ++y)
        r[y] = _mm512_maskz_loadu_epi64(0x1F, lanes + 5 * y);
    for (; blocks != 0; --blocks, in += block_size) {
        for (int y = 0; y < 5; ++y)
            r[y] = _mm512_xor_si512(r[y], _mm512_maskz_loadu_epi64(rate_mask[y], in + 40 * y));
        for (int round = 0; round < 24; ++round)
            keccak_round(r, s, ROUND_CONSTANTS + round);
    }
    for (int y = 0; y < 5; ++y)
        _mm512_mask_storeu_epi64(lanes + 5 * y, 0x1F, r[y]);
}
