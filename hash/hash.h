// Hashing: the CRC-32C and CRC-32 engines, the SHA-3 engine (unit sha3), the
// MD5, SHA-1 and SHA-2 engines (one block-chained form, unit md), BLAKE3 and
// XXH3 (the libraries' own code under our dispatch), the digest selection and
// the digest text. Platform-neutral; the file digest, which reads files, has
// its own header (hash/file_digest.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include <blake3.h>

#include "core/core.h"

// ---- CRC-32C (Castagnoli) --------------------------------------------------

// Processor check for the status bar: 1 when the engines may use the CRC32
// instruction, else 0 (the same answer the engines go by).
int detect_sse42();
void crc32c_init(uint32_t *crc);
void crc32c_update(uint32_t *crc, const void *data, uint32_t count);
uint32_t crc32c_final(uint32_t *crc);

// ---- CRC-32 (IEEE, as zlib and SFV lists) ----------------------------------

// Continues the register like crc32c_update (started at 0xFFFFFFFF, read out
// complemented).
void crc32_update(uint32_t *crc, const void *data, uint32_t count);

// ---- MD5, SHA-1, SHA-224/256, SHA-384/512 -----------------------------------

// The chaining state: 32-bit words for MD5, SHA-1 and SHA-256, 64-bit ones
// for SHA-512.
union md_state {
    uint32_t w32[16];
    uint64_t w64[8];
};

struct md_context {
    md_state state;
    alignas(8) uint8_t block[128];  // a partial block
    uint64_t length;                // bytes taken in
    uint32_t family;                // which block function (md_stream.cpp)
    uint32_t digest_bytes;
};

// Starts a digest of `engine` (ENGINE_MD5, ENGINE_SHA1, ENGINE_SHA2) with
// `bits` of output (SHA-2: 224, 256, 384 or 512); -1 for any other.
int md_init(md_context *ctx, DigestEngine engine, unsigned bits);
void md_update(md_context *ctx, const void *data, uint64_t count);
// Writes the digest's bytes to `out`; the context is spent.
void md_final(md_context *ctx, uint8_t *out);

// ---- SHA-3 (FIPS 202) ------------------------------------------------------

struct sha3_context {
    uint64_t lanes[25];
    alignas(8) uint64_t block[24];
    uint32_t fill;  // bit 31 alone: finalised
    uint32_t block_size;
};

void sha3_init(sha3_context *ctx, unsigned bits);
void sha3_update(sha3_context *ctx, const void *data, uint64_t count);
void sha3_final(sha3_context *ctx, uint8_t *result);
// The single-stream path sha3_update takes now: the fastest one measured on
// this processor at first use, or the richest one a feature limit leaves.
const char *sha3_path_name();

// ---- SHA-3 on several streams in lock step ----------------------------------

// Up to eight independent SHA-3 streams, each of its own kind, advanced
// together by a permutation that runs eight (AVX-512) or four (AVX2) states
// at once. Whole blocks go in through sha3_lanes_absorb; a stream near its
// end (or left alone on the lanes) moves to a single-stream context through
// sha3_lanes_detach and finishes there, and its lane takes the next stream.
constexpr int32_t SHA3_MAX_LANES = 8;

// A multi-state kernel: every busy stream absorbs `blocks` whole blocks.
typedef void (*keccak_lanes_fn)(uint64_t *state, const uint8_t *const *in,
                                const uint32_t *block_size, size_t blocks);

struct sha3_lanes {
    alignas(64) uint64_t state[25 * SHA3_MAX_LANES];  // lane i of stream s at i * width + s
    uint32_t block_size[SHA3_MAX_LANES];              // 0: no stream on this lane
    keccak_lanes_fn absorb;                           // null without a multi-state kernel
    int32_t width;  // streams the kernel runs at once; 0 without a multi-state kernel
};

// Streams the kernel cpu_features chooses (forced by its limit like every
// path) runs at once: 8, 4, or 0 without a multi-state kernel.
int32_t sha3_lanes_width();
// Takes that kernel and empties every lane; returns the width.
int32_t sha3_lanes_init(sha3_lanes *lanes);
// Starts a SHA3-`bits` stream on lane `lane`.
void sha3_lanes_start(sha3_lanes *lanes, int32_t lane, unsigned bits);
// Every busy lane absorbs `blocks` whole blocks of its own size from in[lane]
// onwards (read at any alignment); idle lanes' pointers are not read.
void sha3_lanes_absorb(sha3_lanes *lanes, const uint8_t *const *in, size_t blocks);
// Moves lane `lane`'s stream into `ctx`, to take its remaining bytes through
// sha3_update and sha3_final; the lane is idle afterwards.
void sha3_lanes_detach(sha3_lanes *lanes, int32_t lane, sha3_context *ctx);

// ---- XXH3-64 and XXH128 (xxHash, seed 0) -----------------------------------

// xxHash's streaming state, kept in our records (no allocation), aligned as
// its vector code needs.
struct xxh3_context {
    alignas(64) uint8_t state[576];
};

void xxh3_init(xxh3_context *ctx);
void xxh3_update(xxh3_context *ctx, const void *data, size_t count);
uint64_t xxh3_final64(const xxh3_context *ctx);
// XXH128 in its canonical form: the high half, then the low, big-endian.
void xxh3_final128(const xxh3_context *ctx, uint8_t out[16]);

// ---- BLAKE3 over a large input, parts on several threads ------------------

// BLAKE3's tree lets parts of one input be hashed at once: the input splits
// into leaves, aligned subtrees of `leaf_bytes` before a last part of 1 to
// `leaf_bytes` bytes. Each leaf gives its chaining value on its own, on any
// thread, in any order; blake3_tree_root merges them with the last part into
// the digest, the same as hashing the input in one stream.
struct blake3_tree {
    uint64_t length;      // the whole input
    uint64_t leaf_bytes;  // each leaf's size: a power of two, 1 KiB or more
    uint64_t leaves;      // the leaves before the last part
};

// The leaves of `length` bytes in leaves of `leaf_bytes` (a power of two, at
// least 1 KiB); none for an input no longer than one leaf.
blake3_tree blake3_tree_plan(uint64_t length, uint64_t leaf_bytes);
// The chaining value of leaf `index` from its bytes.
void blake3_tree_leaf(const blake3_tree *tree, uint64_t index, const uint8_t *leaf, uint8_t cv[32]);
// The 32-byte digest from the leaves' chaining values, in order, and the
// last part's bytes (from leaves * leaf_bytes to the end).
void blake3_tree_root(const blake3_tree *tree, const uint8_t (*leaf_cvs)[32],
                      const uint8_t *last_part, uint8_t out[32]);

// ---- Digest selection -------------------------------------------------------

// Digest text length in hex digits for a kind letter; 0 for an unknown one.
int32_t kind_digest_length(utf16 kind);

// One digest of the kind a letter names in the kind table (g_kinds), on the
// engine its row chooses; the member of the engine's family holds its state.
struct digest_context {
    const KindInfo *kind;
    union {
        uint32_t crc;  // CRC-32C and CRC-32
        sha3_context sha3;
        md_context md;
        blake3_hasher blake3;
        xxh3_context xxh3;
    };
};

// Starts a digest of the kind `letter` names; -1 for a letter that names none.
int digest_init(digest_context *ctx, utf16 letter);
void digest_update(digest_context *ctx, const void *data, uint32_t count);
// Ends the digest and writes its text to `out`: the kind's digest digits,
// then a NUL.
void digest_final_text(digest_context *ctx, utf16 *out);

// Eight upper-case hex digits of a CRC value (CRC-32C or CRC-32), then a NUL.
void crc32c_to_text(uint32_t crc, utf16 *out);
