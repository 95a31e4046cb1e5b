// Host build only: random messages against OpenSSL, on every path of SHA-3,
// MD5, SHA-1 and SHA-2.
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include "hash/md_paths.h"
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

// Random lengths fed in random pieces (whole blocks straight through, the
// rest buffered), each family's every size.
class MdAgainstOpenSsl : public EnginePathTest<md_compress_fn> {
protected:
    void expect_as_openssl(DigestEngine engine, unsigned bits, const EVP_MD *md) const
    {
        std::mt19937 rng(bits);
        for (int trial = 0; trial < 200; ++trial) {
            size_t n = trial < 150 ? rng() % 600 : rng() % 70000;
            std::vector<uint8_t> message = random_bytes(rng, n);
            md_context ctx;
            ASSERT_EQ(md_init(&ctx, engine, bits), 0);
            size_t at = 0;
            for (size_t end : random_split(rng, n, 1 + rng() % 300)) {
                md_update_on(path(), &ctx, message.data() + at, end - at);
                at = end;
            }
            uint8_t ours[64], theirs[64];
            unsigned int theirs_len = 0;
            md_final_on(path(), &ctx, ours);
            ASSERT_EQ(EVP_Digest(message.data(), n, theirs, &theirs_len, md, nullptr), 1);
            ASSERT_EQ(theirs_len, bits / 8);
            ASSERT_EQ(hex_upper(ours, theirs_len), hex_upper(theirs, theirs_len))
                << bits << " bits, " << n << " bytes";
        }
    }
};

class Md5AgainstOpenSsl : public MdAgainstOpenSsl {};
TEST_P(Md5AgainstOpenSsl, RandomMessages)
{
    expect_as_openssl(ENGINE_MD5, 128, EVP_md5());
}

class Sha1AgainstOpenSsl : public MdAgainstOpenSsl {};
TEST_P(Sha1AgainstOpenSsl, RandomMessages)
{
    expect_as_openssl(ENGINE_SHA1, 160, EVP_sha1());
}

class Sha256AgainstOpenSsl : public MdAgainstOpenSsl {};
TEST_P(Sha256AgainstOpenSsl, RandomMessages)
{
    expect_as_openssl(ENGINE_SHA2, 224, EVP_sha224());
    expect_as_openssl(ENGINE_SHA2, 256, EVP_sha256());
}

class Sha512AgainstOpenSsl : public MdAgainstOpenSsl {};
TEST_P(Sha512AgainstOpenSsl, RandomMessages)
{
    expect_as_openssl(ENGINE_SHA2, 384, EVP_sha384());
    expect_as_openssl(ENGINE_SHA2, 512, EVP_sha512());
}

INSTANTIATE_TEST_SUITE_P(EveryPath, Md5AgainstOpenSsl, ::testing::ValuesIn(MD5_PATHS),
                         engine_path_name<md_compress_fn>);
INSTANTIATE_TEST_SUITE_P(EveryPath, Sha1AgainstOpenSsl, ::testing::ValuesIn(SHA1_PATHS),
                         engine_path_name<md_compress_fn>);
INSTANTIATE_TEST_SUITE_P(EveryPath, Sha256AgainstOpenSsl, ::testing::ValuesIn(SHA256_PATHS),
                         engine_path_name<md_compress_fn>);
INSTANTIATE_TEST_SUITE_P(EveryPath, Sha512AgainstOpenSsl, ::testing::ValuesIn(SHA512_PATHS),
                         engine_path_name<md_compress_fn>);

}  // namespace
