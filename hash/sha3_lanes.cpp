// SHA-3 streams in lock step on a multi-state Keccak kernel. The lanes hold
// only whole-block state: partial blocks, padding and the digest belong to
// the single-stream context a stream is detached into, so the one finishing
// rule is written once, in sha3.cpp.
#include "hash/hash.h"

#include <cstring>

#include "cpu_features.h"
#include "sha3_paths.h"

static const sha3_lanes_path *sha3_lanes_kernel_path()
{
    return engine_path_find(SHA3_LANE_PATHS, cpu_features());
}

int32_t sha3_lanes_width()
{
    const sha3_lanes_path *path = sha3_lanes_kernel_path();
    return path ? path->run.width : 0;
}

void sha3_lanes_init_on(const keccak_lanes_kernel &kernel, sha3_lanes *lanes)
{
    std::memset(lanes->block_size, 0, sizeof lanes->block_size);
    lanes->absorb = kernel.absorb;
    lanes->width = kernel.width;
}

int32_t sha3_lanes_init(sha3_lanes *lanes)
{
    const sha3_lanes_path *path = sha3_lanes_kernel_path();
    sha3_lanes_init_on(path ? path->run : keccak_lanes_kernel{nullptr, 0}, lanes);
    return lanes->width;
}

void sha3_lanes_start(sha3_lanes *lanes, int32_t lane, unsigned bits)
{
    for (int i = 0; i < 25; ++i)
        lanes->state[i * lanes->width + lane] = 0;
    lanes->block_size[lane] = (1600 - 2 * bits) / 8;
}

void sha3_lanes_absorb(sha3_lanes *lanes, const uint8_t *const *in, size_t blocks)
{
    if (blocks != 0 && lanes->absorb)
        lanes->absorb(lanes->state, in, lanes->block_size, blocks);
}

void sha3_lanes_detach(sha3_lanes *lanes, int32_t lane, sha3_context *ctx)
{
    std::memset(ctx, 0, sizeof *ctx);
    for (int i = 0; i < 25; ++i)
        ctx->lanes[i] = lanes->state[i * lanes->width + lane];
    ctx->block_size = lanes->block_size[lane];
    lanes->block_size[lane] = 0;
}
