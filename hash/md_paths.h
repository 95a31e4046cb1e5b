// The processor paths of the block-chained engines (MD5, SHA-1, SHA-256 with
// SHA-224, SHA-512 with SHA-384): one table each, read by md_update and
// md_final, the tests and the benchmark. A path is the block function: it
// applies `count` whole blocks (64 bytes, 128 for SHA-512), read at any
// alignment, to the chaining state. The buffering, padding and output of
// md_stream.cpp are shared by all of them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine_paths.h"
#include "hash/hash.h"

typedef void (*md_compress_fn)(md_state *state, const uint8_t *blocks, size_t count);
typedef engine_path<md_compress_fn> md_path;

void md5_compress_portable(md_state *state, const uint8_t *blocks, size_t count);
void sha1_compress_portable(md_state *state, const uint8_t *blocks, size_t count);
void sha1_compress_shani(md_state *state, const uint8_t *blocks, size_t count);
void sha256_compress_portable(md_state *state, const uint8_t *blocks, size_t count);
void sha256_compress_shani(md_state *state, const uint8_t *blocks, size_t count);
void sha512_compress_portable(md_state *state, const uint8_t *blocks, size_t count);
void sha512_compress_avx2(md_state *state, const uint8_t *blocks, size_t count);

// The round constants of SHA-256 and SHA-512, for all of their paths.
extern const uint32_t SHA256_K[64];
extern const uint64_t SHA512_K[80];

inline constexpr md_path MD5_PATHS[] = {
    {"portable", 0, md5_compress_portable},
};
inline constexpr md_path SHA1_PATHS[] = {
    {"shani", CPU_SHA | CPU_SSE42, sha1_compress_shani},
    {"portable", 0, sha1_compress_portable},
};
inline constexpr md_path SHA256_PATHS[] = {
    {"shani", CPU_SHA | CPU_SSE42, sha256_compress_shani},
    {"portable", 0, sha256_compress_portable},
};
inline constexpr md_path SHA512_PATHS[] = {
    {"avx2", CPU_AVX2 | CPU_BMI2, sha512_compress_avx2},
    {"portable", 0, sha512_compress_portable},
};

// md_update and md_final on a block function of the caller's choosing.
void md_update_on(md_compress_fn compress, md_context *ctx, const void *data, uint64_t count);
void md_final_on(md_compress_fn compress, md_context *ctx, uint8_t *out);

// The path each update takes under the features cpu_features leaves now.
const char *md5_path_name();
const char *sha1_path_name();
const char *sha256_path_name();
const char *sha512_path_name();
