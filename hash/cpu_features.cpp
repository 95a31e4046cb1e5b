#include "cpu_features.h"

#include "cpuid.h"

#if defined(_MSC_VER)
#include <immintrin.h>
#endif

namespace {

constexpr uint32_t LEAF1_EDX_SSE2 = 1u << 26;
constexpr uint32_t LEAF1_ECX_PCLMUL = 1u << 1;
constexpr uint32_t LEAF1_ECX_SSE41 = 1u << 19;
constexpr uint32_t LEAF1_ECX_SSE42 = 1u << 20;
constexpr uint32_t LEAF1_ECX_OSXSAVE = 1u << 27;
constexpr uint32_t LEAF1_ECX_AVX = 1u << 28;
constexpr uint32_t LEAF7_EBX_BMI1 = 1u << 3;
constexpr uint32_t LEAF7_EBX_AVX2 = 1u << 5;
constexpr uint32_t LEAF7_EBX_BMI2 = 1u << 8;
constexpr uint32_t LEAF7_EBX_AVX512F = 1u << 16;
constexpr uint32_t LEAF7_EBX_SHA = 1u << 29;
constexpr uint32_t LEAF7_EBX_AVX512VL = 1u << 31;
constexpr uint32_t LEAF7_ECX_VPCLMUL = 1u << 10;

// XCR0: SSE and AVX state (bits 1, 2); opmask and both halves of ZMM (5-7).
constexpr uint64_t XCR0_YMM = 0x6;
constexpr uint64_t XCR0_ZMM = 0xE6;

uint64_t read_xcr0()
{
#if defined(_MSC_VER)
    return _xgetbv(0);
#else
    uint32_t eax, edx;
    __asm__("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
    return (static_cast<uint64_t>(edx) << 32) | eax;
#endif
}

bool all_set(uint32_t word, uint32_t bits)
{
    return (word & bits) == bits;
}

uint32_t probe_cpu_features()
{
    uint32_t reg[4] = {0, 0, 0, 0};
    query_cpuid(0, 0, reg);
    uint32_t max_leaf = reg[0];
    query_cpuid(1, 0, reg);
    uint32_t leaf1_ecx = reg[2];
    uint32_t leaf1_edx = reg[3];
    uint32_t leaf7_ebx = 0, leaf7_ecx = 0;
    if (max_leaf >= 7) {
        query_cpuid(7, 0, reg);
        leaf7_ebx = reg[1];
        leaf7_ecx = reg[2];
    }
    // Vector registers the system does not save across a thread switch must
    // not be used even where the processor has them.
    uint64_t xcr0 = all_set(leaf1_ecx, LEAF1_ECX_OSXSAVE) ? read_xcr0() : 0;
    bool ymm_saved = (xcr0 & XCR0_YMM) == XCR0_YMM && (leaf1_ecx & LEAF1_ECX_AVX);
    bool zmm_saved = ymm_saved && (xcr0 & XCR0_ZMM) == XCR0_ZMM;

    uint32_t features = 0;
    if (leaf1_edx & LEAF1_EDX_SSE2)
        features |= CPU_SSE2;
    if (leaf1_ecx & LEAF1_ECX_SSE41)
        features |= CPU_SSE41;
    if (leaf1_ecx & LEAF1_ECX_SSE42)
        features |= CPU_SSE42;
    if (leaf1_ecx & LEAF1_ECX_PCLMUL)
        features |= CPU_PCLMUL;
    if (all_set(leaf7_ebx, LEAF7_EBX_BMI1 | LEAF7_EBX_BMI2))
        features |= CPU_BMI2;
    if (leaf7_ebx & LEAF7_EBX_SHA)
        features |= CPU_SHA;
    if (ymm_saved && (leaf7_ebx & LEAF7_EBX_AVX2))
        features |= CPU_AVX2;
    if (zmm_saved && all_set(leaf7_ebx, LEAF7_EBX_AVX512F | LEAF7_EBX_AVX512VL)) {
        features |= CPU_AVX512;
        if (leaf7_ecx & LEAF7_ECX_VPCLMUL)
            features |= CPU_VPCLMUL;
    }
    return features;
}

// Set by cpu_features_limit (tests and benchmarks, while no digest runs);
// read by every engine call, on any thread.
uint32_t g_allowed_features = ~0u;

}  // namespace

uint32_t cpu_features_probed()
{
    static const uint32_t probed = probe_cpu_features();
    return probed;
}

uint32_t cpu_features()
{
    return cpu_features_probed() & g_allowed_features;
}

void cpu_features_limit(uint32_t allowed)
{
    g_allowed_features = allowed;
}

bool cpu_features_limited()
{
    return g_allowed_features != ~0u;
}
