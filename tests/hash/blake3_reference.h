// BLAKE3's C library as it ships, its own dispatch included, built on the
// host as talvor_blake3_reference with its entry points renamed: the oracle
// our BLAKE3 (the same library's code under our dispatch) is held against.
#pragma once

#include <cstddef>
#include <cstdint>

#include <blake3.h>

// Typed as the library's own entry points, under the names the reference
// build gives them.
extern "C" decltype(blake3_hasher_init) reference_blake3_hasher_init;
extern "C" decltype(blake3_hasher_update) reference_blake3_hasher_update;
extern "C" decltype(blake3_hasher_finalize) reference_blake3_hasher_finalize;

// The reference digest of `n` bytes.
inline void reference_blake3(const void *input, size_t n, uint8_t out[BLAKE3_OUT_LEN])
{
    blake3_hasher hasher;
    reference_blake3_hasher_init(&hasher);
    reference_blake3_hasher_update(&hasher, input, n);
    reference_blake3_hasher_finalize(&hasher, out, BLAKE3_OUT_LEN);
}
