// Keccak-f[1600] on 25 lanes, lane i = x + 5*y, for the scalar paths:
// sha3_portable.cpp compiles it for any x86-64, sha3_bmi2.cpp for processors
// with BMI1/BMI2 (ANDN for chi, RORX for the rotations).
//
// Every step names its lanes by constant index and the permutation works on a
// local copy, so the compiler keeps the lanes in registers. Two rounds per
// loop pass let pi's lane moves become register renaming without the code
// bloat (and spilling) of unrolling all 24 rounds.
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

static KECCAK_INLINE void keccak_theta(uint64_t *a)
{
    uint64_t c0 = a[0] ^ a[5] ^ a[10] ^ a[15] ^ a[20];
    uint64_t c1 = a[1] ^ a[6] ^ a[11] ^ a[16] ^ a[21];
    uint64_t c2 = a[2] ^ a[7] ^ a[12] ^ a[17] ^ a[22];
    uint64_t c3 = a[3] ^ a[8] ^ a[13] ^ a[18] ^ a[23];
    uint64_t c4 = a[4] ^ a[9] ^ a[14] ^ a[19] ^ a[24];
    uint64_t d0 = c4 ^ rotl64(c1, 1);
    uint64_t d1 = c0 ^ rotl64(c2, 1);
    uint64_t d2 = c1 ^ rotl64(c3, 1);
    uint64_t d3 = c2 ^ rotl64(c4, 1);
    uint64_t d4 = c3 ^ rotl64(c0, 1);
    // clang-format off
    a[0] ^= d0; a[5] ^= d0; a[10] ^= d0; a[15] ^= d0; a[20] ^= d0;
    a[1] ^= d1; a[6] ^= d1; a[11] ^= d1; a[16] ^= d1; a[21] ^= d1;
    a[2] ^= d2; a[7] ^= d2; a[12] ^= d2; a[17] ^= d2; a[22] ^= d2;
    a[3] ^= d3; a[8] ^= d3; a[13] ^= d3; a[18] ^= d3; a[23] ^= d3;
    a[4] ^= d4; a[9] ^= d4; a[14] ^= d4; a[19] ^= d4; a[24] ^= d4;
    // clang-format on
}

static KECCAK_INLINE void keccak_rho(uint64_t *a)
{
    a[1] = rotl64(a[1], 1);
    a[2] = rotl64(a[2], 62);
    a[3] = rotl64(a[3], 28);
    a[4] = rotl64(a[4], 27);
    a[5] = rotl64(a[5], 36);
    a[6] = rotl64(a[6], 44);
    a[7] = rotl64(a[7], 6);
    a[8] = rotl64(a[8], 55);
    a[9] = rotl64(a[9], 20);
    a[10] = rotl64(a[10], 3);
    a[11] = rotl64(a[11], 10);
    a[12] = rotl64(a[12], 43);
    a[13] = rotl64(a[13], 25);
    a[14] = rotl64(a[14], 39);
    a[15] = rotl64(a[15], 41);
    a[16] = rotl64(a[16], 45);
    a[17] = rotl64(a[17], 15);
    a[18] = rotl64(a[18], 21);
    a[19] = rotl64(a[19], 8);
    a[20] = rotl64(a[20], 18);
    a[21] = rotl64(a[21], 2);
    a[22] = rotl64(a[22], 61);
    a[23] = rotl64(a[23], 56);
    a[24] = rotl64(a[24], 14);
}

// One cycle through all 24 moving lanes: lane (x, y) takes lane (x + 3y, x).
static KECCAK_INLINE void keccak_pi(uint64_t *a)
{
    uint64_t saved = a[1];
    a[1] = a[6];
    a[6] = a[9];
    a[9] = a[22];
    a[22] = a[14];
    a[14] = a[20];
    a[20] = a[2];
    a[2] = a[12];
    a[12] = a[13];
    a[13] = a[19];
    a[19] = a[23];
    a[23] = a[15];
    a[15] = a[4];
    a[4] = a[24];
    a[24] = a[21];
    a[21] = a[8];
    a[8] = a[16];
    a[16] = a[5];
    a[5] = a[3];
    a[3] = a[18];
    a[18] = a[17];
    a[17] = a[11];
    a[11] = a[7];
    a[7] = a[10];
    a[10] = saved;
}

// The row's last two lanes need its first two as they were before the step.
static KECCAK_INLINE void keccak_chi_row(uint64_t *row)
{
    uint64_t b0 = row[0], b1 = row[1];
    row[0] ^= ~row[1] & row[2];
    row[1] ^= ~row[2] & row[3];
    row[2] ^= ~row[3] & row[4];
    row[3] ^= ~row[4] & b0;
    row[4] ^= ~b0 & b1;
}

static KECCAK_INLINE void keccak_chi(uint64_t *a)
{
    keccak_chi_row(a);
    keccak_chi_row(a + 5);
    keccak_chi_row(a + 10);
    keccak_chi_row(a + 15);
    keccak_chi_row(a + 20);
}

static KECCAK_INLINE void keccak_round(uint64_t *a, uint64_t round_constant)
{
    keccak_theta(a);
    keccak_rho(a);
    keccak_pi(a);
    keccak_chi(a);
    a[0] ^= round_constant;
}

static KECCAK_INLINE void keccak_permutation(uint64_t *lanes)
{
    uint64_t a[25];
    std::memcpy(a, lanes, sizeof a);
    for (int round = 0; round < 24; round += 2) {
        keccak_round(a, KECCAK_ROUND_CONSTANTS[round]);
        keccak_round(a, KECCAK_ROUND_CONSTANTS[round + 1]);
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
