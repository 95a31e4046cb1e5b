// The Keccak-f[1600] absorption paths of the SHA-3 engine. Each XORs
// `blocks` whole blocks of `block_size` bytes (72, 104, 136 or 144), read at
// any alignment, into the 25 lanes and applies the permutation after each.
// sha3_update picks one by cpu_features; each path lives in its own file,
// compiled only for its own instructions.
#pragma once

#include <cstddef>
#include <cstdint>

void sha3_absorb_blocks_portable(uint64_t *lanes, const uint8_t *in, size_t blocks,
                                 uint32_t block_size);
void sha3_absorb_blocks_bmi2(uint64_t *lanes, const uint8_t *in, size_t blocks,
                             uint32_t block_size);
void sha3_absorb_blocks_avx512(uint64_t *lanes, const uint8_t *in, size_t blocks,
                               uint32_t block_size);
