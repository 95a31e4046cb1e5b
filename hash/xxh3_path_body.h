// One XXH3 path: included by xxh3_<path>.cpp after it names its vector width
// (XXH_VECTOR), its namespace (XXH_NAMESPACE) and the table it fills
// (XXH3_PATH_TABLE). xxHash's functions are compiled here, in this
// translation unit only, for that width.
#define XXH_STATIC_LINKING_ONLY
#define XXH_IMPLEMENTATION
#include <xxhash.h>

#include <cstring>

#include "xxh3_paths.h"

static_assert(sizeof(XXH3_state_t) == XXH3_STATE_BYTES, "the state's bytes are all it needs");
static_assert(alignof(XXH3_state_t) <= XXH3_STATE_ALIGN, "and they are aligned as it needs");

namespace {

XXH3_state_t *xxh3_state(void *state)
{
    return static_cast<XXH3_state_t *>(state);
}

const XXH3_state_t *xxh3_state(const void *state)
{
    return static_cast<const XXH3_state_t *>(state);
}

void xxh3_path_reset(void *state)
{
    XXH3_64bits_reset(xxh3_state(state));
}

// The 64- and 128-bit digests absorb input the same way; they differ only in
// how they end.
void xxh3_path_update(void *state, const void *data, size_t count)
{
    XXH3_64bits_update(xxh3_state(state), data, count);
}

uint64_t xxh3_path_digest64(const void *state)
{
    return XXH3_64bits_digest(xxh3_state(state));
}

void xxh3_path_digest128(const void *state, uint8_t out[16])
{
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(xxh3_state(state)));
    std::memcpy(out, canonical.digest, 16);
}

}  // namespace

extern const xxh3_path_functions XXH3_PATH_TABLE = {xxh3_path_reset, xxh3_path_update,
                                                    xxh3_path_digest64, xxh3_path_digest128};
