// SHA-3 file digests in lock step: one file per lane of the multi-state
// Keccak kernel, each read in blocks into its own part of one buffer.
#include <cstdlib>
#include <cstring>

#include "fileio/fileio.h"
#include "file_digest_reader.h"
#include "hash/file_digest.h"

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

bool file_lanes_fit(utf16 kind)
{
    const KindInfo *info = FindKind(kind);
    return info && info->engine == ENGINE_SHA3;
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
