// BLAKE3's processor paths, one table read by our dispatch (in place of the
// library's own), the tests and the benchmark. The library's internal
// interface (its blake3_impl.h, a C header) declares the per-path functions
// and the dispatched ones its hasher and our tree code call.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
#include <blake3_impl.h>
}

#include "engine_paths.h"

// What one path runs: single-block compression (in place, and with the
// whole 64-byte output for the root) and the many-chunk compression, which
// runs `degree` chunks at once; each typed as the library declares it.
struct blake3_kernel {
    decltype(&blake3_compress_in_place_portable) compress_in_place;
    decltype(&blake3_compress_xof_portable) compress_xof;
    decltype(&blake3_hash_many_portable) hash_many;
    size_t degree;
};
typedef engine_path<blake3_kernel> blake3_path;

// The library has no single-block AVX2 function: its AVX2 path compresses
// single blocks with SSE4.1.
inline constexpr blake3_path BLAKE3_PATHS[] = {
    {"avx512",
     CPU_AVX512,
     {blake3_compress_in_place_avx512, blake3_compress_xof_avx512, blake3_hash_many_avx512, 16}},
    {"avx2",
     CPU_AVX2 | CPU_SSE41,
     {blake3_compress_in_place_sse41, blake3_compress_xof_sse41, blake3_hash_many_avx2, 8}},
    {"sse41",
     CPU_SSE41,
     {blake3_compress_in_place_sse41, blake3_compress_xof_sse41, blake3_hash_many_sse41, 4}},
    {"sse2",
     CPU_SSE2,
     {blake3_compress_in_place_sse2, blake3_compress_xof_sse2, blake3_hash_many_sse2, 4}},
    {"portable",
     0,
     {blake3_compress_in_place_portable, blake3_compress_xof_portable, blake3_hash_many_portable,
      1}},
};

// The path BLAKE3 takes under the features cpu_features leaves now.
const char *blake3_path_name();
