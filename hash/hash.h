// Hashing: the CRC-32C engine, the SHA-3 engine (unit sha3), the digest
// selection and the digest text. Platform-neutral; the file digest, which
// reads files, has its own header (hash/file_digest.h).
#pragma once

#include <cstdint>

#include "core/core.h"

// ---- CRC-32C (Castagnoli) --------------------------------------------------

// Processor check for the status bar: 1 when the engines may use the CRC32
// instruction, else 0 (the same answer the engines go by).
int detect_sse42();
void crc32c_init(uint32_t *crc);
void crc32c_update(uint32_t *crc, const void *data, uint32_t count);
uint32_t crc32c_final(uint32_t *crc);

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

struct sha3_lanes {
    alignas(64) uint64_t state[25 * SHA3_MAX_LANES];  // lane i of stream s at i * width + s
    uint32_t block_size[SHA3_MAX_LANES];              // 0: no stream on this lane
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

// ---- Digest selection -------------------------------------------------------

// Digest text length in hex digits for a kind letter; 0 for an unknown one.
int32_t kind_digest_length(utf16 kind);

// One digest of the kind a letter names in the kind table (g_kinds), on the
// engine its row chooses: CRC-32C for a row without SHA-3 bits, else SHA-3.
struct digest_context {
    const KindInfo *kind;
    uint32_t crc;
    sha3_context sha3;
};

// Starts a digest of the kind `letter` names; -1 for a letter that names none.
int digest_init(digest_context *ctx, utf16 letter);
void digest_update(digest_context *ctx, const void *data, uint32_t count);
// Ends the digest and writes its text to `out`: the kind's digest digits,
// then a NUL.
void digest_final_text(digest_context *ctx, utf16 *out);

// Eight upper-case hex digits of a CRC-32C value, then a NUL.
void crc32c_to_text(uint32_t crc, utf16 *out);
