// The constants of Keccak-f[1600] that every permutation path shares.
#pragma once

#include <cstdint>

// The iota constants RC[0] to RC[23].
// clang-format off
alignas(64) inline constexpr uint64_t KECCAK_ROUND_CONSTANTS[24] = {
    0x0000000000000001ull, 0x0000000000008082ull, 0x800000000000808Aull,
    0x8000000080008000ull, 0x000000000000808Bull, 0x0000000080000001ull,
    0x8000000080008081ull, 0x8000000000008009ull, 0x000000000000008Aull,
    0x0000000000000088ull, 0x0000000080008009ull, 0x000000008000000Aull,
    0x000000008000808Bull, 0x800000000000008Bull, 0x8000000000008089ull,
    0x8000000000008003ull, 0x8000000000008002ull, 0x8000000000000080ull,
    0x000000000000800Aull, 0x800000008000000Aull, 0x8000000080008081ull,
    0x8000000000008080ull, 0x0000000080000001ull, 0x8000000080008008ull,
};
// clang-format on

// Rho's rotation offsets of lane x + 5y.
inline constexpr unsigned KECCAK_RHO_OFFSETS[25] = {
    0, 1, 62, 28, 27, 36, 44, 6, 55, 20, 3, 10, 43, 25, 39, 41, 45, 15, 21, 8, 18, 2, 61, 56, 14};

// Lanes a block covers at the largest rate (SHA3-224, 144 bytes).
inline constexpr int KECCAK_MAX_RATE_LANES = 18;
