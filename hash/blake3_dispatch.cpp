// The dispatch of BLAKE3's C library, in place of the library's own: its
// hasher and our tree code call these four functions, which run the path
// BLAKE3_PATHS gives for cpu_features, so a limit set by a test or benchmark
// reaches every path as it does for the other engines.
#include "blake3_paths.h"

static const blake3_kernel &blake3_kernel_here()
{
    return engine_path_for(BLAKE3_PATHS, cpu_features()).run;
}

const char *blake3_path_name()
{
    return engine_path_for(BLAKE3_PATHS, cpu_features()).name;
}

extern "C" {

void blake3_compress_in_place(uint32_t cv[8], const uint8_t block[BLAKE3_BLOCK_LEN],
                              uint8_t block_len, uint64_t counter, uint8_t flags)
{
    blake3_kernel_here().compress_in_place(cv, block, block_len, counter, flags);
}

void blake3_compress_xof(const uint32_t cv[8], const uint8_t block[BLAKE3_BLOCK_LEN],
                         uint8_t block_len, uint64_t counter, uint8_t flags, uint8_t out[64])
{
    blake3_kernel_here().compress_xof(cv, block, block_len, counter, flags, out);
}

void blake3_hash_many(const uint8_t *const *inputs, size_t num_inputs, size_t blocks,
                      const uint32_t key[8], uint64_t counter, bool increment_counter,
                      uint8_t flags, uint8_t flags_start, uint8_t flags_end, uint8_t *out)
{
    blake3_kernel_here().hash_many(inputs, num_inputs, blocks, key, counter, increment_counter,
                                   flags, flags_start, flags_end, out);
}

size_t blake3_simd_degree(void)
{
    return blake3_kernel_here().degree;
}

}  // extern "C"
