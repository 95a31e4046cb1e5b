// The scalar rounds for any x86-64 processor: the path that is always there.
#include "keccak_permutation.h"
#include "sha3_paths.h"

void sha3_absorb_blocks_portable(uint64_t *lanes, const uint8_t *in, size_t blocks,
                                 uint32_t block_size)
{
    keccak_absorb_blocks(lanes, in, blocks, block_size);
}
