#include <gtest/gtest.h>

#include "hash/cpu_features.h"

namespace {

// Every forced path relies on the limit reaching what the engines ask.
TEST(CpuFeatures, LimitKeepsOnlyTheAllowedProbedFeatures)
{
    const uint32_t probed = cpu_features_probed();
    for (uint32_t allowed : {0u, uint32_t(CPU_SSE42), uint32_t(CPU_SSE42 | CPU_PCLMUL),
                             uint32_t(CPU_BMI2 | CPU_AVX512), ~0u}) {
        cpu_features_limit(allowed);
        EXPECT_EQ(cpu_features(), probed & allowed) << "allowed " << allowed;
    }
    cpu_features_limit(~0u);
    EXPECT_EQ(cpu_features(), probed);
}

}  // namespace
