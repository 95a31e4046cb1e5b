// The file digest: a kind letter and a path in, upper-case hexadecimal text
// out. Reads go through the long-path file helpers. Every failure leaves the
// caller's buffer exactly as it was, so the jobs can tell "no digest" from a
// digest.
#include "hash/file_digest.h"

#include <cstdlib>
#include <cstring>

#include "fileio/fileio.h"
#include "file_digest_reader.h"

static const uint32_t SHA3_READ_BYTES = 0x600000;  // 6 MiB
// CRC-32C folds faster than Wine copies out of the page cache, so its reads
// set the pace: 1 MiB blocks keep the read count low and still sit in the
// second-level cache when the engine goes over them (6 MiB blocks did not).
static const uint32_t CRC_READ_BYTES = 0x100000;  // 1 MiB

// `i_buffer` holds the bytes each read asks for and then the bytes it
// delivered, so each read asks for what the previous one delivered. A read
// that fails or delivers nothing before `size` is reached fails the digest.
// Offsets stay 64-bit, so files of 4 GiB and more are read to their end.
//
// The file stays open from the first read to the last: reopening it for every
// block cost more than reading and hashing it (an open under Wine takes some
// hundred microseconds, against a few for a 64 KiB read).
//
// One block serves every read of the file: a fresh multi-megabyte allocation
// per read means fresh pages per read, which the kernel must fault in and
// zero again each time (under Wine that alone cost more than the hashing).
// For the same reason the block is no bigger than the file: a 1 KiB file read
// into a 6 MiB block cost some 1500 page faults, far more than its hashing.
typedef void (*block_sink)(void *state, const uint8_t *block, uint32_t count);

// What one file digest hands to its blocks and counts of them.
struct feed_run {
    block_sink sink;
    void *state;
    uint64_t bytes_read;
};

// A digest abandoned part-way is a failed one: the caller's text stays as given.
static int feed_open_file_blocks(sOpenFile *file, uint64_t size, uint32_t i_buffer, feed_run *run,
                                 const file_digest_buffer *buffer)
{
    uint64_t offset = 0;
    while (offset < size) {
        if (file_digest_read_block(file, buffer->block, offset, &i_buffer) != FILE_OK ||
            i_buffer == 0)
            return -1;
        offset += i_buffer;
        run->bytes_read += i_buffer;
        run->sink(run->state, buffer->block, i_buffer);
        count_read(buffer->meter, i_buffer);
        if (buffer->abandon && buffer->abandon())
            return -1;
    }
    return 0;
}

uint8_t *reserve_block(file_digest_buffer *buffer, uint32_t bytes)
{
    if (buffer->capacity >= bytes)
        return buffer->block;
    uint8_t *grown = static_cast<uint8_t *>(std::malloc(bytes));
    if (!grown)
        return nullptr;
    std::free(buffer->block);
    buffer->block = grown;
    buffer->capacity = bytes;
    return grown;
}

// The one open of the file: its size comes from the open descriptor and every
// read goes through it (another open per file cost as much as reading it).
static file_digest_result feed_file_blocks(const utf16 *path, uint32_t i_buffer, feed_run *run,
                                           file_digest_buffer *buffer)
{
    sOpenFile file;
    int opened = OpenFileForReading(path, &file);
    if (opened != FILE_OK)
        return digest_result_of_failed_open(opened);
    uint64_t size = 0;
    file_digest_result result =
        QueryOpenFileSize(&file, &size) == FILE_OK ? FILE_DIGEST_DONE : FILE_DIGEST_UNREADABLE;
    if (result == FILE_DIGEST_DONE)
        count_opened_file(buffer->meter, size);
    if (result == FILE_DIGEST_DONE && size > 0) {
        if (size < i_buffer)
            i_buffer = static_cast<uint32_t>(size);
        uint8_t *block = reserve_block(buffer, i_buffer);
        if (!block)
            result = FILE_DIGEST_NO_MEMORY;
        else if (feed_open_file_blocks(&file, size, i_buffer, run, buffer) != 0)
            result = FILE_DIGEST_UNREADABLE;
    }
    CloseOpenFile(&file);
    return result;
}

static void digest_sink(void *state, const uint8_t *block, uint32_t count)
{
    digest_update(static_cast<digest_context *>(state), block, count);
}

static uint32_t read_bytes_of(const KindInfo *kind)
{
    return kind->engine == ENGINE_SHA3 ? SHA3_READ_BYTES : CRC_READ_BYTES;
}

file_digest_result file_digest_text_with(utf16 kind, const utf16 *path, utf16 *out,
                                         file_digest_buffer *buffer, uint64_t *bytes_read)
{
    *bytes_read = 0;
    digest_context ctx;
    if (digest_init(&ctx, kind) != 0)
        return FILE_DIGEST_UNREADABLE;
    feed_run run = {digest_sink, &ctx, 0};
    file_digest_result result = feed_file_blocks(path, read_bytes_of(ctx.kind), &run, buffer);
    *bytes_read = run.bytes_read;
    if (result == FILE_DIGEST_DONE)
        digest_final_text(&ctx, out);
    return result;
}

file_digest_result file_digest_text(utf16 kind, const utf16 *path, utf16 *out)
{
    file_digest_buffer buffer = {};
    uint64_t bytes_read = 0;
    file_digest_result result = file_digest_text_with(kind, path, out, &buffer, &bytes_read);
    release_file_digest_buffer(&buffer);
    return result;
}

// ---- One read, several digests ------------------------------------------------

struct candidate_digests {
    digest_context ctx[FILE_DIGEST_MAX_KINDS];
    int32_t count;
};

static void candidates_sink(void *state, const uint8_t *block, uint32_t count)
{
    candidate_digests *digests = static_cast<candidate_digests *>(state);
    for (int32_t i = 0; i < digests->count; ++i)
        digest_update(&digests->ctx[i], block, count);
}

file_digest_result file_digests_text_with(const utf16 *kinds, int32_t count, const utf16 *path,
                                          utf16 *const *outs, file_digest_buffer *buffer,
                                          uint64_t *bytes_read)
{
    *bytes_read = 0;
    if (count < 1 || count > FILE_DIGEST_MAX_KINDS)
        return FILE_DIGEST_UNREADABLE;
    candidate_digests digests;
    digests.count = count;
    // The largest block any of them reads in serves them all.
    uint32_t block_bytes = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (digest_init(&digests.ctx[i], kinds[i]) != 0)
            return FILE_DIGEST_UNREADABLE;
        uint32_t wanted = read_bytes_of(digests.ctx[i].kind);
        block_bytes = wanted > block_bytes ? wanted : block_bytes;
    }
    feed_run run = {candidates_sink, &digests, 0};
    file_digest_result result = feed_file_blocks(path, block_bytes, &run, buffer);
    *bytes_read = run.bytes_read;
    if (result == FILE_DIGEST_DONE)
        for (int32_t i = 0; i < count; ++i)
            digest_final_text(&digests.ctx[i], outs[i]);
    return result;
}

void release_file_digest_buffer(file_digest_buffer *buffer)
{
    std::free(buffer->block);
    buffer->block = nullptr;
    buffer->capacity = 0;
}
