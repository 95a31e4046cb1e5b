// One CPUID query through the compiler's intrinsics: reg receives EAX, EBX,
// ECX and EDX in that order.
#pragma once

#include <cstdint>

#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif

static inline void query_cpuid(uint32_t leaf, uint32_t subleaf, uint32_t reg[4])
{
#if defined(_MSC_VER)
    int r[4];
    __cpuidex(r, static_cast<int>(leaf), static_cast<int>(subleaf));
    for (int i = 0; i < 4; ++i)
        reg[i] = static_cast<uint32_t>(r[i]);
#else
    __cpuid_count(leaf, subleaf, reg[0], reg[1], reg[2], reg[3]);
#endif
}
