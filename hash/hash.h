// Hashing: the CRC-32C engine, the SHA-3 engine (unit sha3) and the file
// digest that turns a kind letter and a path into upper-case hexadecimal text.
// The engines are platform-neutral; the file digest needs the file helpers.
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
void sha3_224_init(sha3_context *ctx);
void sha3_256_init(sha3_context *ctx);
void sha3_384_init(sha3_context *ctx);
void sha3_512_init(sha3_context *ctx);
void sha3_update(sha3_context *ctx, const void *data, uint64_t count);
void sha3_final(sha3_context *ctx, uint8_t *result);

// ---- Digest selection -------------------------------------------------------

// Kind letter for a hash choice: 0 and 3 "S", 1 "C", 2 "E", 4 "M", 5 "H".
char kind_from_hash_choice(int32_t choice);
// Digest text length in hex digits for a kind letter; 0 for an unknown one.
int32_t kind_digest_length(utf16 kind);

struct digest_context {
    sha3_context sha3_ctx;
    int8_t type;  // 0 SHA3-224, 1 SHA3-256, 2 SHA3-384, 3 SHA3-512
    utf16 text[257];
    char ascii[129];
    uint8_t digest[64];
};

int digest_init_224(digest_context *ctx);
int digest_init_256(digest_context *ctx);
int digest_init_384(digest_context *ctx);
int digest_init_512(digest_context *ctx);
// The SHA-3 context for a kind letter; -1 for "C" and unknown letters.
int digest_init_kind(digest_context *ctx, utf16 kind);
int digest_update(const void *data, digest_context *ctx, uint32_t count);
int digest_final(digest_context *ctx);
int digest_to_text(digest_context *ctx);

// Eight upper-case hex digits of a CRC-32C value, then a NUL.
void crc32c_to_text(uint32_t crc, utf16 *out);

#ifdef _WIN32
// ---- File digest (Windows: reads through the long-path file helpers) --------

// What became of a file digest.
enum file_digest_result : int {
    FILE_DIGEST_DONE = 0,        // read whole, `out` holds the digest text
    FILE_DIGEST_NOT_FOUND = 1,   // the open said the file or its folder does not exist
    FILE_DIGEST_UNREADABLE = 2,  // there, but not read whole (refused, locked, a read failed)
};

// Digests the whole file with the kind's algorithm into `out` (at least the
// kind's text capacity). On any failure `out` is left exactly as given.
file_digest_result file_digest_text(utf16 kind, const utf16 *path, utf16 *out);
// CRC-32C of the whole file as text; 0, or -1 with `out` untouched.
int crc32c_file_text(const utf16 *path, utf16 *out);

// What the reads of file digests have covered, counted for a job's progress
// by any number of threads at once (atomically).
struct file_digest_meter {
    uint64_t files_sized;  // the files opened
    uint64_t bytes_sized;  // their sizes
    uint64_t bytes_read;   // the bytes read from them
};

// A read block kept from one file digest to the next (one per hashing
// thread); starts zeroed, grows as files need, freed by its release. The
// other fields may stay null.
struct file_digest_buffer {
    uint8_t *block;
    uint32_t capacity;
    file_digest_meter *meter;  // counts every open and read
    bool (*abandon)();         // asked after each block: true fails the digest there
};
// file_digest_text reading through `buffer`; *bytes_read: the bytes the
// reads delivered, also when the digest failed part-way.
file_digest_result file_digest_text_with(utf16 kind, const utf16 *path, utf16 *out,
                                         file_digest_buffer *buffer, uint64_t *bytes_read);
void release_file_digest_buffer(file_digest_buffer *buffer);
#endif
