// Which instruction sets the hash engines may use. The processor is probed
// once (CPUID, and XGETBV for the vector registers the operating system
// saves); every engine asks here on each call, so tests and benchmarks can
// take features away and reach every path on one machine.
#pragma once

#include <cstdint>

enum : uint32_t {
    CPU_SSE42 = 1u << 0,    // the CRC32 instruction
    CPU_PCLMUL = 1u << 1,   // carry-less multiply on 128-bit registers
    CPU_BMI2 = 1u << 2,     // BMI1 and BMI2 (ANDN, RORX)
    CPU_AVX2 = 1u << 3,     // AVX2, with the YMM state saved by the system
    CPU_AVX512 = 1u << 4,   // AVX-512 F and VL, with the ZMM state saved
    CPU_VPCLMUL = 1u << 5,  // carry-less multiply on 512-bit registers (needs CPU_AVX512)
    CPU_SSE2 = 1u << 6,     // SSE2 (every x86-64 processor; a bit so portable paths can be forced)
    CPU_SSE41 = 1u << 7,    // SSE4.1
    CPU_SHA = 1u << 8,      // the SHA-1 and SHA-256 instructions
};

// What the processor and the operating system offer, probed on first use.
uint32_t cpu_features_probed();
// The probed features minus those taken away by cpu_features_limit.
uint32_t cpu_features();
// Keeps only the features in `allowed` (all of them again with ~0u).
void cpu_features_limit(uint32_t allowed);
// True while a limit is set: an engine that chooses among its paths by
// measured speed then takes the richest path the limit leaves, so that a
// test or benchmark reaches the path it asks for.
bool cpu_features_limited();
