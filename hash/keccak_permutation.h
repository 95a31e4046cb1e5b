// Keccak-f[1600] on 25 lanes, lane i = x + 5*y, for the scalar paths:
// sha3_portable.cpp compiles it for any x86-64, sha3_bmi2.cpp for processors
// with BMI1/BMI2 (ANDN for chi, RORX for the rotations); and on 25 vectors
// holding one lane of each of several states, for the multi-state paths.
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

// The rounds are written once for any lane type: `Ops` supplies the lane
// (one 64-bit word, or one word of each of several states side by side) and
// its XOR, three-way XOR, chi step a ^ (~b & c), rotation and broadcast.
struct scalar_lane_ops {
    typedef uint64_t Lane;
    static KECCAK_INLINE Lane xor2(Lane a, Lane b) { return a ^ b; }
    static KECCAK_INLINE Lane xor3(Lane a, Lane b, Lane c) { return a ^ b ^ c; }
    static KECCAK_INLINE Lane chi(Lane a, Lane b, Lane c) { return a ^ (~b & c); }
    template <unsigned N>
    static KECCAK_INLINE Lane rotl(Lane v)
    {
        return (v << N) | (v >> ((64 - N) & 63));
    }
    static KECCAK_INLINE Lane broadcast(uint64_t v) { return v; }
};

// Theta's column parities folded into the value each column's lanes take up.
template <class Ops>
static KECCAK_INLINE void keccak_theta_effect(const typename Ops::Lane *a, typename Ops::Lane *d)
{
    typename Ops::Lane c[5];
    for (int x = 0; x < 5; ++x)
        c[x] = Ops::xor3(Ops::xor3(a[x], a[x + 5], a[x + 10]), a[x + 15], a[x + 20]);
    for (int x = 0; x < 5; ++x)
        d[x] = Ops::xor2(c[(x + 4) % 5], Ops::template rotl<1>(c[(x + 1) % 5]));
}

// Lane S of `a` after theta and rho.
template <class Ops, int S>
static KECCAK_INLINE typename Ops::Lane keccak_theta_rho_lane(const typename Ops::Lane *a,
                                                              const typename Ops::Lane *d)
{
    return Ops::template rotl<KECCAK_RHO_OFFSETS[S]>(Ops::xor2(a[S], d[S % 5]));
}

// One output row of a round: pi brings lanes S0 to S4 into it (lane (x, y)
// takes lane (x + 3y, x)), each after theta and rho, and chi runs along it.
template <class Ops, int S0, int S1, int S2, int S3, int S4>
static KECCAK_INLINE void keccak_row(const typename Ops::Lane *a, const typename Ops::Lane *d,
                                     typename Ops::Lane *row)
{
    typename Ops::Lane b0 = keccak_theta_rho_lane<Ops, S0>(a, d);
    typename Ops::Lane b1 = keccak_theta_rho_lane<Ops, S1>(a, d);
    typename Ops::Lane b2 = keccak_theta_rho_lane<Ops, S2>(a, d);
    typename Ops::Lane b3 = keccak_theta_rho_lane<Ops, S3>(a, d);
    typename Ops::Lane b4 = keccak_theta_rho_lane<Ops, S4>(a, d);
    row[0] = Ops::chi(b0, b1, b2);
    row[1] = Ops::chi(b1, b2, b3);
    row[2] = Ops::chi(b2, b3, b4);
    row[3] = Ops::chi(b3, b4, b0);
    row[4] = Ops::chi(b4, b0, b1);
}

// A round reads every lane of `a` once and writes every lane of `e` once;
// with pi done by choosing which lanes feed which row, no lane is moved.
template <class Ops>
static KECCAK_INLINE void keccak_round_into(const typename Ops::Lane *a, typename Ops::Lane *e,
                                            uint64_t round_constant)
{
    typename Ops::Lane d[5];
    keccak_theta_effect<Ops>(a, d);
    keccak_row<Ops, 0, 6, 12, 18, 24>(a, d, e);
    keccak_row<Ops, 3, 9, 10, 16, 22>(a, d, e + 5);
    keccak_row<Ops, 1, 7, 13, 19, 20>(a, d, e + 10);
    keccak_row<Ops, 4, 5, 11, 17, 23>(a, d, e + 15);
    keccak_row<Ops, 2, 8, 14, 15, 21>(a, d, e + 20);
    e[0] = Ops::xor2(e[0], Ops::broadcast(round_constant));
}

// The 24 rounds on lanes the caller keeps in local variables.
template <class Ops>
static KECCAK_INLINE void keccak_rounds(typename Ops::Lane *a)
{
    typename Ops::Lane e[25];
    for (int round = 0; round < 24; round += 2) {
        keccak_round_into<Ops>(a, e, KECCAK_ROUND_CONSTANTS[round]);
        keccak_round_into<Ops>(e, a, KECCAK_ROUND_CONSTANTS[round + 1]);
    }
}

static KECCAK_INLINE void keccak_permutation(uint64_t *lanes)
{
    uint64_t a[25];
    std::memcpy(a, lanes, sizeof a);
    keccak_rounds<scalar_lane_ops>(a);
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
