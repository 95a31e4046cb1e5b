// The scalar rounds compiled for BMI1/BMI2. Only called after the processor
// check has seen both.
#include "keccak_permutation.h"
#include "sha3_paths.h"

void sha3_absorb_blocks_bmi2(uint64_t *lanes, const uint8_t *in, size_t blocks, uint32_t block_size)
{
    keccak_absorb_blocks(lanes, in, blocks, block_size);
}
