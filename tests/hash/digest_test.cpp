#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "hash/hash.h"
#include "tests/hash/hash_test_util.h"

namespace {

TEST(DigestSelection, KindLettersAndTextLengths)
{
    EXPECT_EQ(kind_from_hash_choice(HASH_AUTO), 'S');
    EXPECT_EQ(kind_from_hash_choice(HASH_CRC32C), 'C');
    EXPECT_EQ(kind_from_hash_choice(HASH_SHA3_224), 'E');
    EXPECT_EQ(kind_from_hash_choice(HASH_SHA3_256), 'S');
    EXPECT_EQ(kind_from_hash_choice(HASH_SHA3_384), 'M');
    EXPECT_EQ(kind_from_hash_choice(HASH_SHA3_512), 'H');

    EXPECT_EQ(kind_digest_length(u'C'), 8);
    EXPECT_EQ(kind_digest_length(u'E'), 56);
    EXPECT_EQ(kind_digest_length(u'S'), 64);
    EXPECT_EQ(kind_digest_length(u'M'), 96);
    EXPECT_EQ(kind_digest_length(u'H'), 128);
    EXPECT_EQ(kind_digest_length(u's'), 0);
    EXPECT_EQ(kind_digest_length(u'X'), 0);
    EXPECT_EQ(kind_digest_length(0), 0);
}

TEST(DigestSelection, ContextRendersUpperCaseTextOfTheRightLength)
{
    typedef int (*init_fn)(digest_context *);
    const init_fn inits[4] = {digest_init_224, digest_init_256, digest_init_384, digest_init_512};
    const char *abc[4] = {
        "E642824C3F8CF24AD09234EE7D3C766FC9A3A5168D0C94AD73B46FDF",
        "3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532",
        "EC01498288516FC926459F58E2C6AD8DF9B473CB0FC08C2596DA7CF0E49BE4B298D88CEA927AC7F539F1ED"
        "F228376D25",
        "B751850B1A57168A5693CD924B6B096E08F621827444F70D884F5D0240D2712E10E116E9192AF3C91A7EC5"
        "7647E3934057340B4CF408D5A56592F8274EEC53F0",
    };
    for (int type = 0; type < 4; ++type) {
        digest_context ctx;
        std::memset(&ctx, 0x55, sizeof ctx);
        EXPECT_EQ(inits[type](&ctx), 0);
        EXPECT_EQ(ctx.type, type);
        EXPECT_EQ(digest_update("a", &ctx, 1), 0);
        EXPECT_EQ(digest_update("bc", &ctx, 2), 0);
        EXPECT_EQ(digest_final(&ctx), 0);
        EXPECT_EQ(digest_to_text(&ctx), 0);
        EXPECT_EQ(std::string(ctx.ascii), abc[type]);
        EXPECT_EQ(narrow(ctx.text), abc[type]);
    }
}

TEST(DigestSelection, CrcTextKeepsLeadingZeros)
{
    utf16 out[10];
    for (auto &unit : out)
        unit = u'#';
    crc32c_to_text(0xE3069283u, out);
    EXPECT_EQ(narrow(out), "E3069283");
    crc32c_to_text(0x0000ABC0u, out);
    EXPECT_EQ(narrow(out), "0000ABC0");
    crc32c_to_text(0, out);
    EXPECT_EQ(narrow(out), "00000000");
    EXPECT_EQ(out[9], u'#') << "nothing past the terminator";
}

}  // namespace
