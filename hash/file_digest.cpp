// The file digest: a kind letter and a path in, upper-case hexadecimal text
// out. Reads go through the long-path file helpers. Every failure leaves the
// caller's buffer exactly as it was, so the jobs can tell "no digest" from a
// digest.
#include "hash/hash.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "fileio/fileio.h"
#include "file_digest_reader.h"

file_block_reader file_digest_read_block = ReadOpenFileAt;

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

static void add_to_count(uint64_t *counter, uint64_t amount)
{
    std::atomic_ref<uint64_t>(*counter).fetch_add(amount, std::memory_order_relaxed);
}

static void count_opened_file(file_digest_meter *meter, uint64_t size)
{
    if (!meter)
        return;
    add_to_count(&meter->files_sized, 1);
    add_to_count(&meter->bytes_sized, size);
}

static void count_read(file_digest_meter *meter, uint32_t bytes)
{
    if (meter)
        add_to_count(&meter->bytes_read, bytes);
}

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

// The block grows to what the file needs and stays for the next file, so a
// hashing thread faults its pages in once, not once per file.
static uint8_t *reserve_block(file_digest_buffer *buffer, uint32_t bytes)
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

// A file the open found missing (it or its folder) is told apart from one
// that is there but could not be opened, and both from an open that had no
// memory for the path's buffer.
static file_digest_result digest_result_of_failed_open(int opened)
{
    if (opened == FILE_ERR_IO)
        return FILE_DIGEST_NO_MEMORY;
    return opened == FILE_ERR_NOT_FOUND ? FILE_DIGEST_NOT_FOUND : FILE_DIGEST_UNREADABLE;
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

int crc32c_file_text(const utf16 *path, utf16 *out)
{
    return file_digest_text(L'C', path, out) == FILE_DIGEST_DONE ? 0 : -1;
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

// ---- Files in lock step -----------------------------------------------------

// Each lane reads 256 KiB at a time: eight lanes keep 2 MiB per hashing
// thread, and a step still spends far longer hashing than calling the read.
static const uint32_t LANE_READ_BYTES = 0x40000;
// A lane's part of the buffer: one read after the partial block the last
// step left over.
static const uint32_t LANE_BUFFER_BYTES = LANE_READ_BYTES + 144;

struct file_lane {
    sOpenFile file;
    uint64_t size;
    uint64_t offset;  // read so far
    uint8_t *buffer;
    uint32_t used, have;  // hashed and read bytes of the buffer
    bool busy;
    bool alone;  // on the single-stream path, in `ctx`
    utf16 kind;
    utf16 *out;
    file_digest_result *result;
    uint64_t *bytes_read;
    void *tag;
    sha3_context ctx;
};

struct file_lanes {
    sha3_lanes kernel;
    file_lane lane[SHA3_MAX_LANES];
    uint8_t *buffers;
    file_digest_meter *meter;
    bool (*abandon)();
};

file_lanes *create_file_lanes(file_digest_meter *meter, bool (*abandon)())
{
    file_lanes *lanes = static_cast<file_lanes *>(std::calloc(1, sizeof(file_lanes)));
    if (!lanes)
        return nullptr;
    lanes->meter = meter;
    lanes->abandon = abandon;
    int32_t width = sha3_lanes_init(&lanes->kernel);
    lanes->buffers =
        width ? static_cast<uint8_t *>(std::malloc(size_t(width) * LANE_BUFFER_BYTES)) : nullptr;
    if (!lanes->buffers) {
        std::free(lanes);
        return nullptr;
    }
    for (int32_t i = 0; i < width; ++i)
        lanes->lane[i].buffer = lanes->buffers + size_t(i) * LANE_BUFFER_BYTES;
    return lanes;
}

void release_file_lanes(file_lanes *lanes)
{
    if (!lanes)
        return;
    for (int32_t i = 0; i < lanes->kernel.width; ++i)
        if (lanes->lane[i].busy)
            CloseOpenFile(&lanes->lane[i].file);
    std::free(lanes->buffers);
    std::free(lanes);
}

int32_t file_lanes_busy(const file_lanes *lanes)
{
    int32_t busy = 0;
    for (int32_t i = 0; i < lanes->kernel.width; ++i)
        busy += lanes->lane[i].busy;
    return busy;
}

bool file_lanes_full(const file_lanes *lanes)
{
    return file_lanes_busy(lanes) == lanes->kernel.width;
}

int32_t file_lanes_on_kernel(const file_lanes *lanes)
{
    int32_t on_kernel = 0;
    for (int32_t i = 0; i < lanes->kernel.width; ++i)
        on_kernel += lanes->lane[i].busy && !lanes->lane[i].alone;
    return on_kernel;
}

bool file_lanes_start(file_lanes *lanes, utf16 kind, const utf16 *path, utf16 *out,
                      file_digest_result *result, uint64_t *bytes_read, void *tag)
{
    const KindInfo *info = FindKind(kind);
    int32_t i = 0;
    while (i < lanes->kernel.width && lanes->lane[i].busy)
        ++i;
    if (!info || info->engine != ENGINE_SHA3 || i == lanes->kernel.width)
        return false;
    file_lane *lane = &lanes->lane[i];
    *bytes_read = 0;
    int opened = OpenFileForReading(path, &lane->file);
    if (opened != FILE_OK) {
        *result = digest_result_of_failed_open(opened);
        return false;
    }
    *result = FILE_DIGEST_UNREADABLE;
    if (QueryOpenFileSize(&lane->file, &lane->size) != FILE_OK) {
        CloseOpenFile(&lane->file);
        return false;
    }
    count_opened_file(lanes->meter, lane->size);
    lane->offset = 0;
    lane->used = lane->have = 0;
    lane->busy = true;
    lane->alone = false;
    lane->kind = kind;
    lane->out = out;
    lane->result = result;
    lane->bytes_read = bytes_read;
    lane->tag = tag;
    sha3_lanes_start(&lanes->kernel, i, info->bits);
    return true;
}

void file_lanes_go_alone(file_lanes *lanes)
{
    for (int32_t i = 0; i < lanes->kernel.width; ++i) {
        file_lane *lane = &lanes->lane[i];
        if (lane->busy && !lane->alone) {
            sha3_lanes_detach(&lanes->kernel, i, &lane->ctx);
            lane->alone = true;
        }
    }
}

// Reads the lane's next block after what it has not hashed yet; false on a
// failed read or one that delivers nothing before the end.
static bool refill_lane(file_lane *lane, file_digest_meter *meter)
{
    uint32_t left = lane->have - lane->used;
    std::memmove(lane->buffer, lane->buffer + lane->used, left);
    uint64_t rest = lane->size - lane->offset;
    uint32_t length = rest < LANE_READ_BYTES ? uint32_t(rest) : LANE_READ_BYTES;
    if (file_digest_read_block(&lane->file, lane->buffer + left, lane->offset, &length) !=
            FILE_OK ||
        length == 0)
        return false;
    lane->offset += length;
    lane->used = 0;
    lane->have = left + length;
    count_read(meter, length);
    return true;
}

// The lane's file ends: its text when `digested`, then the lane is free.
static void end_lane(file_lanes *lanes, int32_t i, bool digested)
{
    file_lane *lane = &lanes->lane[i];
    if (!lane->alone)
        sha3_lanes_detach(&lanes->kernel, i, &lane->ctx);
    if (digested) {
        digest_context digest;
        digest_init(&digest, lane->kind);
        digest.sha3 = lane->ctx;
        digest_update(&digest, lane->buffer + lane->used, lane->have - lane->used);
        digest_final_text(&digest, lane->out);
    }
    *lane->result = digested ? FILE_DIGEST_DONE : FILE_DIGEST_UNREADABLE;
    *lane->bytes_read = lane->offset;
    CloseOpenFile(&lane->file);
    lane->busy = false;
}

// Brings a kernel lane to a whole block or its file's end: false when its
// file ended (or failed) instead.
static bool lane_has_block(file_lanes *lanes, int32_t i, void **ended, int32_t *count)
{
    file_lane *lane = &lanes->lane[i];
    uint32_t block_size = lanes->kernel.block_size[i];
    while (lane->have - lane->used < block_size && lane->offset < lane->size)
        if (!refill_lane(lane, lanes->meter)) {
            end_lane(lanes, i, false);
            ended[(*count)++] = lane->tag;
            return false;
        }
    if (lane->have - lane->used >= block_size)
        return true;
    end_lane(lanes, i, true);
    ended[(*count)++] = lane->tag;
    return false;
}

// One read block of a lone file through the single-stream path.
static bool step_alone(file_lanes *lanes, int32_t i, void **ended, int32_t *count)
{
    file_lane *lane = &lanes->lane[i];
    sha3_update(&lane->ctx, lane->buffer + lane->used, lane->have - lane->used);
    lane->used = lane->have;
    bool read = lane->offset == lane->size || refill_lane(lane, lanes->meter);
    if (read && lane->offset < lane->size)
        return true;
    end_lane(lanes, i, read);
    ended[(*count)++] = lane->tag;
    return false;
}

// Every file on the lanes fails where it is, its text left as given.
static int32_t abandon_lanes(file_lanes *lanes, void **ended)
{
    int32_t count = 0;
    for (int32_t i = 0; i < lanes->kernel.width; ++i)
        if (lanes->lane[i].busy) {
            end_lane(lanes, i, false);
            ended[count++] = lanes->lane[i].tag;
        }
    return count;
}

int32_t file_lanes_step(file_lanes *lanes, void **ended)
{
    if (lanes->abandon && lanes->abandon())
        return abandon_lanes(lanes, ended);
    int32_t count = 0;
    const uint8_t *in[SHA3_MAX_LANES] = {};
    uint64_t steps = UINT64_MAX;
    for (int32_t i = 0; i < lanes->kernel.width; ++i) {
        file_lane *lane = &lanes->lane[i];
        if (!lane->busy)
            continue;
        if (lane->alone) {
            step_alone(lanes, i, ended, &count);
            continue;
        }
        if (!lane_has_block(lanes, i, ended, &count))
            continue;
        in[i] = lane->buffer + lane->used;
        uint64_t blocks = (lane->have - lane->used) / lanes->kernel.block_size[i];
        steps = blocks < steps ? blocks : steps;
    }
    if (steps == UINT64_MAX)
        return count;
    sha3_lanes_absorb(&lanes->kernel, in, size_t(steps));
    for (int32_t i = 0; i < lanes->kernel.width; ++i)
        if (in[i])
            lanes->lane[i].used += uint32_t(steps) * lanes->kernel.block_size[i];
    return count;
}
