// Keccak-f[1600] on 25 lanes, lane i = x + 5*y, for the scalar paths:
// sha3_portable.cpp compiles it for any x86-64, sha3_bmi2.cpp for processors
// with BMI1/BMI2 (ANDN for chi, RORX for the rotations).
//
// Every step names its lanes by constant index and the permutation works on
// local copies. Each round goes from one copy into the other, row by row, so
// pi is only a choice of lanes; two rounds per loop pass bring the lanes back
// without the code bloat (and spilling) of unrolling all 24 rounds.
#pragma once

#include <cstdint>
#include <cstring>

#include "keccak_constants.h"

#if defined(_MSC_VER)
#define KECCAK_INLINE __forceinline
#else
#define KECCAK_INLINE inline __attribute__((always_inline))
#endif

static KECCAK_INLINE uint64_t rotl64(uint64_t v, unsigned n)
{
    return (v << n) | (v >> ((64 - n) & 63));
}

// Theta's column parities folded into the value each column's lanes take up.
static KECCAK_INLINE void keccak_theta_effect(const uint64_t *a, uint64_t *d)
{
    uint64_t c0 = a[0] ^ a[5] ^ a[10] ^ a[15] ^ a[20];
    uint64_t c1 = a[1] ^ a[6] ^ a[11] ^ a[16] ^ a[21];
    uint64_t c2 = a[2] ^ a[7] ^ a[12] ^ a[17] ^ a[22];
    uint64_t c3 = a[3] ^ a[8] ^ a[13] ^ a[18] ^ a[23];
    uint64_t c4 = a[4] ^ a[9] ^ a[14] ^ a[19] ^ a[24];
    d[0] = c4 ^ rotl64(c1, 1);
    d[1] = c0 ^ rotl64(c2, 1);
    d[2] = c1 ^ rotl64(c3, 1);
    d[3] = c2 ^ rotl64(c4, 1);
    d[4] = c3 ^ rotl64(c0, 1);
}

// Lane S of `a` after theta and rho.
template <int S>
static KECCAK_INLINE uint64_t keccak_theta_rho_lane(const uint64_t *a, const uint64_t *d)
{
    return rotl64(a[S] ^ d[S % 5], KECCAK_RHO_OFFSETS[S]);
}

// One output row of a round: pi brings lanes S0 to S4 into it (lane (x, y)
// takes lane (x + 3y, x)), each after theta and rho, and chi runs along it.
template <int S0, int S1, int S2, int S3, int S4>
static KECCAK_INLINE void keccak_row(const uint64_t *a, const uint64_t *d, uint64_t *row)
{
    uint64_t b0 = keccak_theta_rho_lane<S0>(a, d);
    uint64_t b1 = keccak_theta_rho_lane<S1>(a, d);
    uint64_t b2 = keccak_theta_rho_lane<S2>(a, d);
    uint64_t b3 = keccak_theta_rho_lane<S3>(a, d);
    uint64_t b4 = keccak_theta_rho_lane<S4>(a, d);
    row[0] = b0 ^ (~b1 & b2);
    row[1] = b1 ^ (~b2 & b3);
    row[2] = b2 ^ (~b3 & b4);
    row[3] = b3 ^ (~b4 & b0);
    row[4] = b4 ^ (~b0 & b1);
}

// A round reads every lane of `a` once and writes every lane of `e` once;
// with pi done by choosing which lanes feed which row, no lane is moved.
static KECCAK_INLINE void keccak_round_into(const uint64_t *a, uint64_t *e, uint64_t round_constant)
{
    uint64_t d[5];
    keccak_theta_effect(a, d);
    keccak_row<0, 6, 12, 18, 24>(a, d, e);
    keccak_row<3, 9, 10, 16, 22>(a, d, e + 5);
    keccak_row<1, 7, 13, 19, 20>(a, d, e + 10);
    keccak_row<4, 5, 11, 17, 23>(a, d, e + 15);
    keccak_row<2, 8, 14, 15, 21>(a, d, e + 20);
    e[0] ^= round_constant;
}

static KECCAK_INLINE void keccak_permutation(uint64_t *lanes)
{
    uint64_t a[25], e[25];
    std::memcpy(a, lanes, sizeof a);
    for (int round = 0; round < 24; round += 2) {
        keccak_round_into(a, e, KECCAK_ROUND_CONSTANTS[round]);
        keccak_round_into(e, a, KECCAK_ROUND_CONSTANTS[round + 1]);
    }
    std::memcpy(lanes, a, sizeof a);
}

static KECCAK_INLINE uint64_t load_lane(const uint8_t *p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The XOR is unrolled by rate: lanes 0 to 8 always, 9 to 12 beyond 72 bytes,
// 13 to 16 beyond 104, lane 17 beyond 136.
static KECCAK_INLINE void keccak_absorb_blocks(uint64_t *lanes, const uint8_t *in, size_t blocks,
                                               uint32_t block_size)
{
    for (; blocks != 0; --blocks, in += block_size) {
        for (int i = 0; i < 9; ++i)
            lanes[i] ^= load_lane(in + 8 * i);
        if (block_size > 72) {
            for (int i = 9; i < 13; ++i)
                lanes[i] ^= load_lane(in + 8 * i);
            if (block_size > 104) {
                for (int i = 13; i < 17; ++i)
                    lanes[i] ^= load_lane(in + 8 * i);
                if (block_size > 136)
                    lanes[17] ^= load_lane(in + 8 * 17);
            }
        }
        keccak_permutation(lanes);
    }
}
