// Host build only: random messages against OpenSSL's SHA-3, on every path.
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include "hash/sha3_paths.h"
#include "tests/hash/hash_test_util.h"

namespace {

class Sha3AgainstOpenSsl : public EnginePathTest<sha3_absorb_fn> {};

TEST_P(Sha3AgainstOpenSsl, RandomMessages)
{
    const unsigned bits[4] = {224, 256, 384, 512};
    const EVP_MD *mds[4] = {EVP_sha3_224(), EVP_sha3_256(), EVP_sha3_384(), EVP_sha3_512()};
    std::mt19937 rng(99);
    for (int k = 0; k < 4; ++k) {
        for (int trial = 0; trial < 150; ++trial) {
            size_t n = trial < 100 ? rng() % 600 : rng() % 70000;
            std::vector<uint8_t> message = random_bytes(rng, n);
            uint8_t ours[64], theirs[64];
            unsigned int theirs_len = 0;
            sha3_context ctx;
            sha3_init(&ctx, bits[k]);
            sha3_update_on(path(), &ctx, message.data(), n);
            sha3_final_on(path(), &ctx, ours);
            ASSERT_EQ(EVP_Digest(message.data(), n, theirs, &theirs_len, mds[k], nullptr), 1);
            ASSERT_EQ(theirs_len, bits[k] / 8);
            ASSERT_EQ(hex_upper(ours, theirs_len), hex_upper(theirs, theirs_len))
                << bits[k] << " bits, " << n << " bytes";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, Sha3AgainstOpenSsl, ::testing::ValuesIn(SHA3_PATHS),
                         engine_path_name<sha3_absorb_fn>);

}  // namespace
