// Keccak-f[1600] absorption on AVX-512 F/VL registers. Compiled for those
// alone; runs only after the processor check found them with the 512-bit
// state saved by the system.
//
// The 25 lanes live in five registers, five lanes each; the other three
// slots carry values that never reach the first five. What a round costs is
// its shuffles, so the layout follows the steps rather than the other way
// round:
//
// - Theta wants every register to hold one lane of each column x, in slot x:
//   the column parities are then the XOR of the five registers. That holds
//   whenever register c holds the lanes with a x + b y = c (b nonzero).
// - Pi is linear, so it carries such a family of lanes onto another family:
//   a x + b y = c becomes (a + b) x' + 3a y' = c. Every output register
//   takes its lanes from a single input register, so pi is one in-register
//   permutation per register.
// - Chi needs each lane's two right-hand neighbours in its row. In the
//   families above they sit one and two slots further on in other
//   registers, so pi writes each output register three times, rotated by
//   0, 1 and 2 slots, and chi is one three-input logic instruction apiece.
//
// Following pi, the family goes row (0, 1), column (1, 0), (1, 3), (1, 2),
// (1, 1), (1, 4), row again. The column family holds one column per
// register, which suits chi perfectly (no rotations) but not theta, so after
// that round a transpose jumps straight to family (1, 2). The cycle is then
// four rounds long and 24 rounds end where they began, in rows, so blocks
// are XORed straight into the registers.
#include "sha3_paths.h"

#include <immintrin.h>

#include "keccak_constants.h"

namespace {

constexpr int mod5(int v)
{
    return ((v % 5) + 5) % 5;
}

constexpr int inverse_mod5(int v)
{
    for (int i = 1; i < 5; ++i)
        if (mod5(v * i) == 1)
            return i;
    return 0;
}

// Register c of family (a, b) holds lane (x, y) with a x + b y = c in slot x.
struct lane_family {
    int a, b;
};

constexpr int row_in_family(lane_family f, int c, int x)
{
    return mod5(inverse_mod5(f.b) * (c - f.a * x));
}

constexpr lane_family ROWS = {0, 1};
constexpr lane_family FAMILY_CYCLE[4] = {{0, 1}, {1, 2}, {1, 1}, {1, 4}};

// One round from family `in` to the next: rho's offsets for each input
// register, and for each output register the input register it comes from
// and its pi permutation rotated by 0, 1 and 2 slots.
struct round_tables {
    alignas(64) uint64_t rho[5][8];
    alignas(64) uint64_t pi[5][3][8];
    int source[5];
    int chi_step;  // a of the output family: a lane's right neighbour is that many registers on
};

// The round into the column family and the transpose out of it.
struct column_round_tables {
    alignas(64) uint64_t pi[5][8];
    alignas(64) uint64_t pairs01[8], pairs23[8];
    alignas(64) uint64_t pick[4][8];
    alignas(64) uint64_t slot4[5][8];
    alignas(64) uint64_t last_low[8], last_high[8];
};

struct keccak_tables {
    round_tables step[4];  // step 0 is unused: from rows the round goes through columns
    column_round_tables column;
    alignas(64) uint64_t rho_rows[5][8];
    alignas(64) uint64_t prev[8], next[8];
    bool consistent;
};

constexpr void fill_rho(uint64_t rho[5][8], lane_family f)
{
    for (int c = 0; c < 5; ++c)
        for (int x = 0; x < 8; ++x)
            rho[c][x] = x < 5 ? KECCAK_RHO_OFFSETS[x + 5 * row_in_family(f, c, x)] : 0;
}

constexpr bool fill_round(round_tables &t, lane_family in, lane_family out)
{
    bool consistent = true;
    fill_rho(t.rho, in);
    t.chi_step = out.a;
    for (int c = 0; c < 5; ++c) {
        t.source[c] = -1;
        for (int r = 0; r < 3; ++r)
            for (int slot = 0; slot < 8; ++slot) {
                if (slot >= 5) {
                    t.pi[c][r][slot] = static_cast<uint64_t>(slot);
                    continue;
                }
                int x = mod5(slot + r);
                int y = row_in_family(out, c, x);
                // Pi: lane (x, y) takes lane (x + 3y, x).
                int old_x = mod5(x + 3 * y), old_y = x;
                int old_register = mod5(in.a * old_x + in.b * old_y);
                if (t.source[c] < 0)
                    t.source[c] = old_register;
                consistent = consistent && t.source[c] == old_register;
                t.pi[c][r][slot] = static_cast<uint64_t>(old_x);
            }
    }
    return consistent;
}

constexpr void fill_column_round(column_round_tables &t)
{
    // Row register x becomes column register x: slot y takes lane x + 3y.
    for (int x = 0; x < 5; ++x)
        for (int slot = 0; slot < 8; ++slot)
            t.pi[x][slot] = static_cast<uint64_t>(slot < 5 ? mod5(x + 3 * slot) : slot);
    // Family (1, 2) register c, slot x: column register x, slot (its row).
    const lane_family target = FAMILY_CYCLE[1];
    for (int c = 0; c < 4; ++c) {
        t.pairs01[2 * c] = static_cast<uint64_t>(row_in_family(target, c, 0));
        t.pairs01[2 * c + 1] = static_cast<uint64_t>(8 + row_in_family(target, c, 1));
        t.pairs23[2 * c] = static_cast<uint64_t>(row_in_family(target, c, 2));
        t.pairs23[2 * c + 1] = static_cast<uint64_t>(8 + row_in_family(target, c, 3));
        // clang-format off
        const uint64_t pick[8] = {uint64_t(2 * c), uint64_t(2 * c + 1), uint64_t(8 + 2 * c),
                                  uint64_t(9 + 2 * c), 4, 5, 6, 7};
        // clang-format on
        for (int slot = 0; slot < 8; ++slot)
            t.pick[c][slot] = pick[slot];
    }
    for (int c = 0; c < 5; ++c)
        for (int slot = 0; slot < 8; ++slot)
            t.slot4[c][slot] = static_cast<uint64_t>(row_in_family(target, c, 4));
    // clang-format off
    const uint64_t low[8] = {uint64_t(row_in_family(target, 4, 0)),
                             uint64_t(8 + row_in_family(target, 4, 1)), 2, 3, 4, 5, 6, 7};
    const uint64_t high[8] = {0, 1, uint64_t(row_in_family(target, 4, 2)),
                              uint64_t(8 + row_in_family(target, 4, 3)), 4, 5, 6, 7};
    // clang-format on
    for (int slot = 0; slot < 8; ++slot) {
        t.last_low[slot] = low[slot];
        t.last_high[slot] = high[slot];
    }
}

constexpr keccak_tables make_tables()
{
    keccak_tables t{};
    t.consistent = true;
    for (int s = 1; s < 4; ++s)
        t.consistent =
            fill_round(t.step[s], FAMILY_CYCLE[s], FAMILY_CYCLE[(s + 1) % 4]) && t.consistent;
    fill_column_round(t.column);
    fill_rho(t.rho_rows, ROWS);
    const uint64_t prev[8] = {4, 0, 1, 2, 3, 5, 6, 7};
    const uint64_t next[8] = {1, 2, 3, 4, 0, 5, 6, 7};
    for (int slot = 0; slot < 8; ++slot) {
        t.prev[slot] = prev[slot];
        t.next[slot] = next[slot];
    }
    return t;
}

alignas(64) constexpr keccak_tables TABLES = make_tables();
static_assert(TABLES.consistent,
              "pi maps every register of one family into one register of the next");

constexpr int XOR3 = 0x96;        // a ^ b ^ c
constexpr int XOR_ANDNOT = 0xD2;  // a ^ (~b & c)

inline __m512i vec(const uint64_t *v)
{
    return _mm512_load_si512(v);
}

// Theta and rho, in any family with one lane of each column per register.
inline void theta_rho(__m512i r[5], const uint64_t (*rho)[8])
{
    __m512i c = _mm512_ternarylogic_epi64(_mm512_ternarylogic_epi64(r[0], r[1], r[2], XOR3), r[3],
                                          r[4], XOR3);
    __m512i c_prev = _mm512_permutexvar_epi64(vec(TABLES.prev), c);
    __m512i c_next = _mm512_rol_epi64(_mm512_permutexvar_epi64(vec(TABLES.next), c), 1);
    for (int i = 0; i < 5; ++i)
        r[i] =
            _mm512_rolv_epi64(_mm512_ternarylogic_epi64(r[i], c_prev, c_next, XOR3), vec(rho[i]));
}

inline __m512i iota(__m512i lane0_register, const uint64_t *round_constant)
{
    return _mm512_mask_xor_epi64(lane0_register, 1, lane0_register,
                                 _mm512_set1_epi64(static_cast<long long>(*round_constant)));
}

template <int STEP>
inline void family_round(__m512i r[5], const uint64_t *round_constant)
{
    const round_tables &t = TABLES.step[STEP];
    theta_rho(r, t.rho);
    __m512i rotated[3][5];
    for (int c = 0; c < 5; ++c)
        for (int k = 0; k < 3; ++k)
            rotated[k][c] = _mm512_permutexvar_epi64(vec(t.pi[c][k]), r[t.source[c]]);
    for (int c = 0; c < 5; ++c)
        r[c] = _mm512_ternarylogic_epi64(rotated[0][c], rotated[1][mod5(c + t.chi_step)],
                                         rotated[2][mod5(c + 2 * t.chi_step)], XOR_ANDNOT);
    r[0] = iota(r[0], round_constant);
}

inline void column_round(__m512i r[5], const uint64_t *round_constant)
{
    const column_round_tables &t = TABLES.column;
    theta_rho(r, TABLES.rho_rows);
    __m512i k[5];
    for (int x = 0; x < 5; ++x)
        k[x] = _mm512_permutexvar_epi64(vec(t.pi[x]), r[x]);
    __m512i col[5];
    for (int x = 0; x < 5; ++x)
        col[x] = _mm512_ternarylogic_epi64(k[x], k[(x + 1) % 5], k[(x + 2) % 5], XOR_ANDNOT);
    col[0] = iota(col[0], round_constant);

    __m512i pairs01 = _mm512_permutex2var_epi64(col[0], vec(t.pairs01), col[1]);
    __m512i pairs23 = _mm512_permutex2var_epi64(col[2], vec(t.pairs23), col[3]);
    for (int c = 0; c < 4; ++c) {
        __m512i four = _mm512_permutex2var_epi64(pairs01, vec(t.pick[c]), pairs23);
        r[c] = _mm512_mask_permutexvar_epi64(four, 0x10, vec(t.slot4[c]), col[4]);
    }
    __m512i low = _mm512_permutex2var_epi64(col[0], vec(t.last_low), col[1]);
    __m512i high = _mm512_permutex2var_epi64(col[2], vec(t.last_high), col[3]);
    r[4] = _mm512_mask_permutexvar_epi64(_mm512_mask_blend_epi64(0x0C, low, high), 0x10,
                                         vec(t.slot4[4]), col[4]);
}

inline void keccak_permutation_rows(__m512i r[5])
{
    for (int round = 0; round < 24; round += 4) {
        column_round(r, KECCAK_ROUND_CONSTANTS + round);
        family_round<1>(r, KECCAK_ROUND_CONSTANTS + round + 1);
        family_round<2>(r, KECCAK_ROUND_CONSTANTS + round + 2);
        family_round<3>(r, KECCAK_ROUND_CONSTANTS + round + 3);
    }
}

}  // namespace

void sha3_absorb_blocks_avx512(uint64_t *lanes, const uint8_t *in, size_t blocks,
                               uint32_t block_size)
{
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
        keccak_permutation_rows(r);
    }
    for (int y = 0; y < 5; ++y)
        _mm512_mask_storeu_epi64(lanes + 5 * y, 0x1F, r[y]);
}
