// XXH3-64 and XXH128: xxHash's streaming code, one build per vector width
// (xxh3_paths.h), the one this processor's features allow chosen at every
// call, so a limit set by a test or benchmark takes effect at once.
#include "hash/hash.h"

#include "xxh3_paths.h"

static_assert(sizeof(xxh3_context::state) == XXH3_STATE_BYTES, "xxHash's state fits exactly");
static_assert(alignof(xxh3_context) >= XXH3_STATE_ALIGN, "at the alignment it needs");

static const xxh3_path_functions &xxh3_path_here()
{
    return *engine_path_for(XXH3_PATHS, cpu_features()).run;
}

const char *xxh3_path_name()
{
    return engine_path_for(XXH3_PATHS, cpu_features()).name;
}

void xxh3_init(xxh3_context *ctx)
{
    xxh3_path_here().reset(ctx->state);
}

void xxh3_update(xxh3_context *ctx, const void *data, size_t count)
{
    xxh3_path_here().update(ctx->state, data, count);
}

uint64_t xxh3_final64(const xxh3_context *ctx)
{
    return xxh3_path_here().digest64(ctx->state);
}

void xxh3_final128(const xxh3_context *ctx, uint8_t out[16])
{
    xxh3_path_here().digest128(ctx->state, out);
}
