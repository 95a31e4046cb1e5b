// BLAKE3's C library as it ships, its own dispatch included, built on the
// host as talvor_blake3_reference with its entry points renamed: the oracle
// our BLAKE3 (the same library's code under our dispatch) is held against.
#pragma once

#include <cstddef>
#include <cstdint>

#include <blake3.h>

extern "C" {
void reference_blake3_hasher_init(blake3_hasher *self);
void reference_blake3_hasher_update(blake3_hasher *self, const void *input, size_t input_len);
void reference_blake3_hasher_finalize(const blake3_hasher *self, uint8_t *out, size_t out_len);
}

// The reference digest of `n` bytes.
inline void reference_blake3(const void *input, size_t n, uint8_t out[BLAKE3_OUT_LEN])
{
    blake3_hasher hasher;
    reference_blake3_hasher_init(&hasher);
    reference_blake3_hasher_update(&hasher, input, n);
    reference_blake3_hasher_finalize(&hasher, out, BLAKE3_OUT_LEN);
}
