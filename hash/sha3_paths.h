// The processor paths of the SHA-3 engine, each table read by its
// dispatcher, the tests and the benchmark; each path lives in its own file,
// compiled only for its own instructions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine_paths.h"
#include "hash/hash.h"

// The single-stream absorption paths: each XORs `blocks` whole blocks of
// `block_size` bytes (72, 104, 136 or 144), read at any alignment, into the
// 25 lanes and applies the permutation after each. sha3_update takes the one
// measured fastest here at first use, or the richest one a feature limit
// leaves.
typedef void (*sha3_absorb_fn)(uint64_t *lanes, const uint8_t *in, size_t blocks,
                               uint32_t block_size);
typedef engine_path<sha3_absorb_fn> sha3_path;

void sha3_absorb_blocks_portable(uint64_t *lanes, const uint8_t *in, size_t blocks,
                                 uint32_t block_size);
void sha3_absorb_blocks_bmi2(uint64_t *lanes, const uint8_t *in, size_t blocks,
                             uint32_t block_size);
void sha3_absorb_blocks_avx512(uint64_t *lanes, const uint8_t *in, size_t blocks,
                               uint32_t block_size);

inline constexpr sha3_path SHA3_PATHS[] = {
    {"avx512", CPU_AVX512, sha3_absorb_blocks_avx512},
    {"bmi2", CPU_BMI2, sha3_absorb_blocks_bmi2},
    {"portable", 0, sha3_absorb_blocks_portable},
};

// sha3_update and sha3_final on a path of the caller's choosing.
void sha3_update_on(sha3_absorb_fn absorb, sha3_context *ctx, const void *data, uint64_t count);
void sha3_final_on(sha3_absorb_fn absorb, sha3_context *ctx, uint8_t *result);

// The multi-state kernels: `state` holds lane i of state s at i * W + s (W =
// the kernel's width, 64-byte aligned). Each state s absorbs `blocks` whole
// blocks of its own `block_size[s]` bytes from in[s] onwards; a state whose
// block size is 0 is idle, its input never read and its lanes of no meaning.
void keccak_x8_absorb_avx512(uint64_t *state, const uint8_t *const *in, const uint32_t *block_size,
                             size_t blocks);
void keccak_x4_absorb_avx2(uint64_t *state, const uint8_t *const *in, const uint32_t *block_size,
                           size_t blocks);

struct keccak_lanes_kernel {
    keccak_lanes_fn absorb;
    int32_t width;  // states it runs at once
};
typedef engine_path<keccak_lanes_kernel> sha3_lanes_path;

// No final path that needs nothing: without these features there are no lanes.
inline constexpr sha3_lanes_path SHA3_LANE_PATHS[] = {
    {"x8_avx512", CPU_AVX512, {keccak_x8_absorb_avx512, 8}},
    {"x4_avx2", CPU_AVX2, {keccak_x4_absorb_avx2, 4}},
};

// sha3_lanes_init on a kernel of the caller's choosing.
void sha3_lanes_init_on(const keccak_lanes_kernel &kernel, sha3_lanes *lanes);
