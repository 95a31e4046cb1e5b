// The XXH3 paths: xxHash's own code (xxhash.h, header only) compiled once per
// vector width in a translation unit of its own, each under its own
// XXH_NAMESPACE and with only its own instruction flags, so one program holds
// all four and the dispatcher picks one by cpu_features. Each works on the
// same streaming state (xxHash's XXH3_state_t, whose layout does not depend
// on the vector width), held in xxh3_context's bytes.
//
// The path files include nothing of ours but this header and the table's
// form (templates and constants only): an inline function of a shared header
// compiled there with AVX2 could be the copy the linker keeps for the whole
// program.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine_paths.h"

constexpr size_t XXH3_STATE_BYTES = 576;
constexpr size_t XXH3_STATE_ALIGN = 64;

struct xxh3_path_functions {
    void (*reset)(void *state);
    void (*update)(void *state, const void *data, size_t count);
    uint64_t (*digest64)(const void *state);
    // XXH128 in its canonical form: the high half, then the low, big-endian.
    void (*digest128)(const void *state, uint8_t out[16]);
};

typedef engine_path<const xxh3_path_functions *> xxh3_path;

extern const xxh3_path_functions XXH3_PATH_SCALAR;
extern const xxh3_path_functions XXH3_PATH_SSE2;
extern const xxh3_path_functions XXH3_PATH_AVX2;
extern const xxh3_path_functions XXH3_PATH_AVX512;

// xxHash's AVX-512 code needs AVX-512F only; CPU_AVX512 (F and VL) covers it.
inline constexpr xxh3_path XXH3_PATHS[] = {
    {"avx512", CPU_AVX512, &XXH3_PATH_AVX512},
    {"avx2", CPU_AVX2, &XXH3_PATH_AVX2},
    {"sse2", CPU_SSE2, &XXH3_PATH_SSE2},
    {"scalar", 0, &XXH3_PATH_SCALAR},
};

// The path XXH3 takes under the features cpu_features leaves now.
const char *xxh3_path_name();
