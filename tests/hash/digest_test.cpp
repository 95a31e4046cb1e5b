#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "hash/hash.h"
#include "tests/hash/hash_test_util.h"

namespace {

TEST(DigestSelection, KindLettersAndTextLengths)
{
    EXPECT_EQ(KindOfHashChoice(HASH_AUTO)->letter, 'S');
    EXPECT_EQ(KindOfHashChoice(HASH_CRC32C)->letter, 'C');
    EXPECT_EQ(KindOfHashChoice(HASH_SHA3_224)->letter, 'E');
    EXPECT_EQ(KindOfHashChoice(HASH_SHA3_256)->letter, 'S');
    EXPECT_EQ(KindOfHashChoice(HASH_SHA3_384)->letter, 'M');
    EXPECT_EQ(KindOfHashChoice(HASH_SHA3_512)->letter, 'H');

    EXPECT_EQ(kind_digest_length(u'C'), 8);
    EXPECT_EQ(kind_digest_length(u'E'), 56);
    EXPECT_EQ(kind_digest_length(u'S'), 64);
    EXPECT_EQ(kind_digest_length(u'M'), 96);
    EXPECT_EQ(kind_digest_length(u'H'), 128);
    EXPECT_EQ(kind_digest_length(u's'), 0);
    EXPECT_EQ(kind_digest_length(u'Z'), 0);
    EXPECT_EQ(kind_digest_length(0), 0);
}

TEST(DigestSelection, EveryKindDigestsWithItsEngineIntoTextOfItsLength)
{
    const struct {
        utf16 letter;
        const char *abc;
    } cases[] = {
        {u'C', "364B3FB7"},
        {u'E', "E642824C3F8CF24AD09234EE7D3C766FC9A3A5168D0C94AD73B46FDF"},
        {u'S', "3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532"},
        {u'M',
         "EC01498288516FC926459F58E2C6AD8DF9B473CB0FC08C2596DA7CF0E49BE4B298D88CEA927AC7F539F1ED"
         "F228376D25"},
        {u'H',
         "B751850B1A57168A5693CD924B6B096E08F621827444F70D884F5D0240D2712E10E116E9192AF3C91A7EC5"
         "7647E3934057340B4CF408D5A56592F8274EEC53F0"},
        {u'R', "352441C2"},
        {u'D', "900150983CD24FB0D6963F7D28E17F72"},
        {u'A', "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        {u'T', "23097D223405D8228642A477BDA255B32AADBCE4BDA0B3F7E36C9DA7"},
        {u'U', "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {u'V',
         "CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED1631A8B605A43FF5BED8086072BA1E7CC2358BAEC"
         "A134C825A7"},
        {u'W',
         "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A2192992A274FC1A836BA3C"
         "23A3FEEBBD454D4423643CE80E2A9AC94FA54CA49F"},
    };
    for (const auto &c : cases) {
        digest_context ctx;
        std::memset(&ctx, 0x55, sizeof ctx);
        ASSERT_EQ(digest_init(&ctx, c.letter), 0);
        digest_update(&ctx, "a", 1);
        digest_update(&ctx, "bc", 2);
        utf16 text[DIGEST_TEXT_CAPACITY + 1];
        for (auto &unit : text)
            unit = u'#';
        digest_final_text(&ctx, text);
        EXPECT_EQ(narrow(text), c.abc);
        EXPECT_EQ(text[kind_digest_length(c.letter) + 1], u'#') << "nothing past the terminator";
    }
    digest_context ctx;
    EXPECT_EQ(digest_init(&ctx, u'Z'), -1);
    EXPECT_EQ(digest_init(&ctx, u's'), -1);
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
