// XXH3-64 and XXH128: xxHash's streaming code, one build per vector width
// (xxh3_paths.h), the one this processor's features allow chosen at every
// call, so a limit set by a test or benchmark takes effect at once.
#include "hash/hash.h"

#include "cpu_features.h"
#include "xxh3_paths.h"

static_assert(sizeof(xxh3_context::state) == XXH3_STATE_BYTES, "xxHash's state fits exactly");
static_assert(alignof(xxh3_context) >= XXH3_STATE_ALIGN, "at the alignment it needs");

struct xxh3_path_entry {
    uint32_t needs;
    const xxh3_path_functions *functions;
};

// Richest first, in the order of XXH3_PATHS. xxHash's AVX-512 code needs
// AVX-512F only; CPU_AVX512 (F and VL) covers it.
static const xxh3_path_entry XXH3_PATH_ENTRIES[] = {
    {CPU_AVX512, &XXH3_PATH_AVX512},
    {CPU_AVX2, &XXH3_PATH_AVX2},
    {CPU_SSE2, &XXH3_PATH_SSE2},
    {0, &XXH3_PATH_SCALAR},
};

static const xxh3_path_functions &xxh3_path()
{
    uint32_t features = cpu_features();
    for (const xxh3_path_entry &entry : XXH3_PATH_ENTRIES)
        if ((features & entry.needs) == entry.needs)
            return *entry.functions;
    return XXH3_PATH_SCALAR;
}

void xxh3_init(xxh3_context *ctx)
{
    xxh3_path().reset(ctx->state);
}

void xxh3_update(xxh3_context *ctx, const void *data, size_t count)
{
    xxh3_path().update(ctx->state, data, count);
}

uint64_t xxh3_final64(const xxh3_context *ctx)
{
    return xxh3_path().digest64(ctx->state);
}

void xxh3_final128(const xxh3_context *ctx, uint8_t out[16])
{
    xxh3_path().digest128(ctx->state, out);
}
