// Every path of the MD5, SHA-1 and SHA-2 engines, called through its table
// entry, against the published vectors: RFC 1321's suite for MD5, and FIPS
// 180's "abc", 448-bit and 896-bit messages and a million 'a' (fed in random
// pieces, so the partial-block buffering meets every fill) for the others.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "hash/md_paths.h"
#include "tests/hash/hash_test_util.h"

namespace {

const char MSG_448[] = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const char MSG_896[] = "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjkl"
                       "mnopqklmnopqrlmnopqrs"
                       "mnopqrstnopqrstu";

class MdPath : public EnginePathTest<md_compress_fn> {
protected:
    // The digest of `n` bytes fed in pieces of at most `max_piece` bytes.
    std::string hex(DigestEngine engine, unsigned bits, const void *data, size_t n,
                    size_t max_piece = 0) const
    {
        md_context ctx;
        EXPECT_EQ(md_init(&ctx, engine, bits), 0);
        const uint8_t *bytes = static_cast<const uint8_t *>(data);
        size_t at = 0;
        std::mt19937 rng(static_cast<uint32_t>(n));
        for (size_t end : max_piece ? random_split(rng, n, max_piece) : std::vector<size_t>{n}) {
            md_update_on(path(), &ctx, bytes + at, end - at);
            at = end;
        }
        uint8_t out[64];
        md_final_on(path(), &ctx, out);
        return hex_upper(out, bits / 8);
    }
    std::string hex(DigestEngine engine, unsigned bits, const char *text) const
    {
        return hex(engine, bits, text, std::strlen(text));
    }
    std::string million_a(DigestEngine engine, unsigned bits) const
    {
        std::string a(1000000, 'a');
        return hex(engine, bits, a.data(), a.size(), 300);
    }
};

class Md5Path : public MdPath {};

TEST_P(Md5Path, Rfc1321Suite)
{
    EXPECT_EQ(hex(ENGINE_MD5, 128, ""), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(hex(ENGINE_MD5, 128, "a"), "0CC175B9C0F1B6A831C399E269772661");
    EXPECT_EQ(hex(ENGINE_MD5, 128, "abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(hex(ENGINE_MD5, 128, "message digest"), "F96B697D7CB7938D525A2F31AAF161D0");
    EXPECT_EQ(hex(ENGINE_MD5, 128, "abcdefghijklmnopqrstuvwxyz"),
              "C3FCD3D76192E4007DFB496CCA67E13B");
    EXPECT_EQ(
        hex(ENGINE_MD5, 128, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
        "D174AB98D277D9F5A5611C2C9F419D9F");
    EXPECT_EQ(hex(ENGINE_MD5, 128,
                  "1234567890123456789012345678901234567890123456789012345678901234567890123456"
                  "7890"),
              "57EDF4A22BE3C955AC49DA2E2107B67A");
    EXPECT_EQ(million_a(ENGINE_MD5, 128), "7707D6AE4E027C70EEA2A935C2296F21");
}

class Sha1Path : public MdPath {};

TEST_P(Sha1Path, Fips180Vectors)
{
    EXPECT_EQ(hex(ENGINE_SHA1, 160, ""), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
    EXPECT_EQ(hex(ENGINE_SHA1, 160, "abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(hex(ENGINE_SHA1, 160, MSG_448), "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
    EXPECT_EQ(hex(ENGINE_SHA1, 160, MSG_896), "A49B2446A02C645BF419F995B67091253A04A259");
    EXPECT_EQ(million_a(ENGINE_SHA1, 160), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

class Sha256Path : public MdPath {};

TEST_P(Sha256Path, Fips180Vectors)
{
    EXPECT_EQ(hex(ENGINE_SHA2, 256, ""),
              "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
    EXPECT_EQ(hex(ENGINE_SHA2, 256, "abc"),
              "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    EXPECT_EQ(hex(ENGINE_SHA2, 256, MSG_448),
              "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1");
    EXPECT_EQ(hex(ENGINE_SHA2, 256, MSG_896),
              "CF5B16A778AF8380036CE59E7B0492370B249B11E8F07A51AFAC45037AFEE9D1");
    EXPECT_EQ(million_a(ENGINE_SHA2, 256),
              "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
    EXPECT_EQ(hex(ENGINE_SHA2, 224, "abc"),
              "23097D223405D8228642A477BDA255B32AADBCE4BDA0B3F7E36C9DA7");
    EXPECT_EQ(hex(ENGINE_SHA2, 224, MSG_448),
              "75388B16512776CC5DBA5DA1FD890150B0C6455CB4F58B1952522525");
    EXPECT_EQ(hex(ENGINE_SHA2, 224, MSG_896),
              "C97CA9A559850CE97A04A96DEF6D99A9E0E0E2AB14E6B8DF265FC0B3");
    EXPECT_EQ(million_a(ENGINE_SHA2, 224),
              "20794655980C91D8BBB4C1EA97618A4BF03F42581948B2EE4EE7AD67");
}

class Sha512Path : public MdPath {};

TEST_P(Sha512Path, Fips180Vectors)
{
    EXPECT_EQ(hex(ENGINE_SHA2, 512, "abc"),
              "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A2192992A274FC1A8"
              "36BA3C23A3FEEBBD454D4423643CE80E2A9AC94FA54CA49F");
    EXPECT_EQ(hex(ENGINE_SHA2, 512, MSG_448),
              "204A8FC6DDA82F0A0CED7BEB8E08A41657C16EF468B228A8279BE331A703C33596FD15C13B1B07F9"
              "AA1D3BEA57789CA031AD85C7A71DD70354EC631238CA3445");
    EXPECT_EQ(hex(ENGINE_SHA2, 512, MSG_896),
              "8E959B75DAE313DA8CF4F72814FC143F8F7779C6EB9F7FA17299AEADB6889018501D289E4900F7E4"
              "331B99DEC4B5433AC7D329EEB6DD26545E96E55B874BE909");
    EXPECT_EQ(million_a(ENGINE_SHA2, 512),
              "E718483D0CE769644E2E42C7BC15B4638E1F98B13B2044285632A803AFA973EBDE0FF244877EA60A"
              "4CB0432CE577C31BEB009C5C2C49AA2E4EADB217AD8CC09B");
    EXPECT_EQ(hex(ENGINE_SHA2, 384, "abc"),
              "CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED1631A8B605A43FF5BED8086072BA1E7CC23"
              "58BAECA134C825A7");
    EXPECT_EQ(hex(ENGINE_SHA2, 384, MSG_448),
              "3391FDDDFC8DC7393707A65B1B4709397CF8B1D162AF05ABFE8F450DE5F36BC6B0455A8520BC4E6F"
              "5FE95B1FE3C8452B");
    EXPECT_EQ(hex(ENGINE_SHA2, 384, MSG_896),
              "09330C33F71147E83D192FC782CD1B4753111B173B3B05D22FA08086E3B0F712FCC7C71A557E2DB9"
              "66C3E9FA91746039");
    EXPECT_EQ(million_a(ENGINE_SHA2, 384),
              "9D0E1809716474CB086E834E310A4A1CED149E9C00F248527972CEC5704C2A5B07B8B3DC38ECC4EB"
              "AE97DDD87F3D8985");
}

INSTANTIATE_TEST_SUITE_P(EveryPath, Md5Path, ::testing::ValuesIn(MD5_PATHS),
                         engine_path_name<md_compress_fn>);
INSTANTIATE_TEST_SUITE_P(EveryPath, Sha1Path, ::testing::ValuesIn(SHA1_PATHS),
                         engine_path_name<md_compress_fn>);
INSTANTIATE_TEST_SUITE_P(EveryPath, Sha256Path, ::testing::ValuesIn(SHA256_PATHS),
                         engine_path_name<md_compress_fn>);
INSTANTIATE_TEST_SUITE_P(EveryPath, Sha512Path, ::testing::ValuesIn(SHA512_PATHS),
                         engine_path_name<md_compress_fn>);

TEST(MdEngine, RefusesSizesItsFamilyDoesNotHave)
{
    md_context ctx;
    EXPECT_EQ(md_init(&ctx, ENGINE_SHA2, 160), -1);
    EXPECT_EQ(md_init(&ctx, ENGINE_SHA1, 256), -1);
    EXPECT_EQ(md_init(&ctx, ENGINE_SHA3, 256), -1);
}

}  // namespace
