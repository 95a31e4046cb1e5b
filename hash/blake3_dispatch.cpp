// The dispatch of BLAKE3's C library, in place of the library's own: its
// hasher and the subtree code call these four functions, which choose the
// library's per-path functions by cpu_features, so a limit set by a test or
// benchmark reaches every path as it does for the other engines.
#include "blake3_paths.h"

#include "cpu_features.h"

namespace {

struct blake3_kernel {
    uint32_t needs;
    void (*compress_in_place)(uint32_t cv[8], const uint8_t block[BLAKE3_BLOCK_LEN],
                              uint8_t block_len, uint64_t counter, uint8_t flags);
    void (*compress_xof)(const uint32_t cv[8], const uint8_t block[BLAKE3_BLOCK_LEN],
                         uint8_t block_len, uint64_t counter, uint8_t flags, uint8_t out[64]);
    void (*hash_many)(const uint8_t *const *inputs, size_t num_inputs, size_t blocks,
                      const uint32_t key[8], uint64_t counter, bool increment_counter,
                      uint8_t flags, uint8_t flags_start, uint8_t flags_end, uint8_t *out);
    size_t degree;  // chunks hash_many runs at once
};

// Richest first, in the order of BLAKE3_PATHS. The library has no
// single-block AVX2 function: its AVX2 path compresses single blocks with
// SSE4.1.
const blake3_kernel BLAKE3_KERNELS[] = {
    {CPU_AVX512, blake3_compress_in_place_avx512, blake3_compress_xof_avx512,
     blake3_hash_many_avx512, 16},
    {CPU_AVX2 | CPU_SSE41, blake3_compress_in_place_sse41, blake3_compress_xof_sse41,
     blake3_hash_many_avx2, 8},
    {CPU_SSE41, blake3_compress_in_place_sse41, blake3_compress_xof_sse41,
     blake3_hash_many_sse41, 4},
    {CPU_SSE2, blake3_compress_in_place_sse2, blake3_compress_xof_sse2, blake3_hash_many_sse2,
     4},
    {0, blake3_compress_in_place_portable, blake3_compress_xof_portable,
     blake3_hash_many_portable, 1},
};

const blake3_kernel &blake3_kernel_here()
{
    uint32_t features = cpu_features();
    for (const blake3_kernel &kernel : BLAKE3_KERNELS)
        if ((features & kernel.needs) == kernel.needs)
            return kernel;
    return BLAKE3_KERNELS[sizeof BLAKE3_KERNELS / sizeof BLAKE3_KERNELS[0] - 1];
}

}  // namespace

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
