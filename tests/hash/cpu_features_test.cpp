#include <gtest/gtest.h>

#include "hash/blake3_paths.h"
#include "hash/cpu_features.h"
#include "hash/crc_paths.h"
#include "hash/md_paths.h"
#include "hash/sha3_paths.h"
#include "hash/xxh3_paths.h"
#include "tests/hash/hash_test_util.h"

namespace {

// Every forced path relies on the limit reaching what the engines ask.
TEST(CpuFeatures, LimitKeepsOnlyTheAllowedProbedFeatures)
{
    const uint32_t probed = cpu_features_probed();
    for (uint32_t allowed : {0u, uint32_t(CPU_SSE42), uint32_t(CPU_SSE42 | CPU_PCLMUL),
                             uint32_t(CPU_BMI2 | CPU_AVX512), uint32_t(CPU_SHA), ~0u}) {
        cpu_features_limit(allowed);
        EXPECT_EQ(cpu_features(), probed & allowed) << "allowed " << allowed;
    }
    cpu_features_limit(~0u);
    EXPECT_EQ(cpu_features(), probed);
}

// Each engine's dispatcher reads the same table its tests and the benchmark
// run by name, so a limit to one path's features reaches that path.
TEST(EngineDispatch, EachLimitTakesThePathItNames)
{
    expect_dispatch_follows_limits(CRC32C_PATHS, crc32c_path_name);
    expect_dispatch_follows_limits(CRC32_PATHS, crc32_path_name);
    expect_dispatch_follows_limits(MD5_PATHS, md5_path_name);
    expect_dispatch_follows_limits(SHA1_PATHS, sha1_path_name);
    expect_dispatch_follows_limits(SHA256_PATHS, sha256_path_name);
    expect_dispatch_follows_limits(SHA512_PATHS, sha512_path_name);
    expect_dispatch_follows_limits(SHA3_PATHS, sha3_path_name);
    expect_dispatch_follows_limits(BLAKE3_PATHS, blake3_path_name);
    expect_dispatch_follows_limits(XXH3_PATHS, xxh3_path_name);

    for (const sha3_lanes_path &path : SHA3_LANE_PATHS) {
        cpu_features_limit(path.needs);
        EXPECT_EQ(sha3_lanes_width(), engine_path_available(path) ? path.run.width : 0)
            << path.name;
    }
    cpu_features_limit(CPU_SSE42 | CPU_PCLMUL | CPU_BMI2);
    EXPECT_EQ(sha3_lanes_width(), 0) << "no multi-state kernel without AVX2";
    cpu_features_limit(~0u);
}

}  // namespace
