// The Keccak-f[1600] absorption paths of the SHA-3 engine. Each XORs
// `blocks` whole blocks of `block_size` bytes (72, 104, 136 or 144), read at
// any alignment, into the 25 lanes and applies the permutation after each.
// sha3_update picks one by cpu_features and speed; each path lives in its own
// file, compiled only for its own instructions.
#pragma once

#include <cstddef>
#include <cstdint>

void sha3_absorb_blocks_portable(uint64_t *lanes, const uint8_t *in, size_t blocks,
                                 uint32_t block_size);
void sha3_absorb_blocks_bmi2(uint64_t *lanes, const uint8_t *in, size_t blocks,
                             uint32_t block_size);
void sha3_absorb_blocks_avx512(uint64_t *lanes, const uint8_t *in, size_t blocks,
                               uint32_t block_size);

// The multi-state paths: `state` holds lane i of state s at i * W + s (W = 8
// or 4, 64-byte aligned). Each state s absorbs `blocks` whole blocks of its
// own `block_size[s]` bytes from in[s] onwards; a state whose block size is
// 0 is idle, its input never read and its lanes of no meaning.
void keccak_x8_absorb_avx512(uint64_t *state, const uint8_t *const *in, const uint32_t *block_size,
                             size_t blocks);
void keccak_x4_absorb_avx2(uint64_t *state, const uint8_t *const *in, const uint32_t *block_size,
                           size_t blocks);
