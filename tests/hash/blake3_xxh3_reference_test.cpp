// Host build only: BLAKE3 and XXH3 on every path against the libraries as
// they ship (BLAKE3's C library with its own dispatch, Debian's libxxhash),
// over random lengths and split points.
#include <xxhash.h>

#include <gtest/gtest.h>

#include "hash/blake3_paths.h"
#include "hash/hash.h"
#include "hash/xxh3_paths.h"
#include "tests/hash/blake3_reference.h"
#include "tests/hash/hash_test_util.h"

namespace {

// Our digest of `message` fed in random pieces, against the reference's
// digest text of it whole.
void expect_pieces_match(utf16 kind, const std::vector<uint8_t> &message, std::mt19937 &rng,
                         const std::string &reference)
{
    digest_context ctx;
    ASSERT_EQ(digest_init(&ctx, kind), 0);
    size_t at = 0;
    for (size_t end : random_split(rng, message.size(), 1 + rng() % 20000)) {
        digest_update(&ctx, message.data() + at, uint32_t(end - at));
        at = end;
    }
    utf16 text[DIGEST_TEXT_CAPACITY];
    digest_final_text(&ctx, text);
    ASSERT_EQ(narrow(text), reference) << char(kind) << ", " << message.size() << " bytes";
}

size_t random_length(std::mt19937 &rng, int trial)
{
    return trial < 150 ? rng() % 3000 : rng() % 300000;
}

class Blake3AgainstTheLibrary : public LimitedPathTest<blake3_kernel> {};

TEST_P(Blake3AgainstTheLibrary, RandomLengthsAndSplits)
{
    std::mt19937 rng(41);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<uint8_t> message = random_bytes(rng, random_length(rng, trial));
        uint8_t theirs[BLAKE3_OUT_LEN];
        reference_blake3(message.data(), message.size(), theirs);
        expect_pieces_match(u'B', message, rng, hex_upper(theirs, sizeof theirs));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, Blake3AgainstTheLibrary, ::testing::ValuesIn(BLAKE3_PATHS),
                         engine_path_name<blake3_kernel>);

class Xxh3AgainstTheLibrary : public LimitedPathTest<const xxh3_path_functions *> {};

TEST_P(Xxh3AgainstTheLibrary, RandomLengthsAndSplits)
{
    std::mt19937 rng(42);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<uint8_t> message = random_bytes(rng, random_length(rng, trial));
        XXH64_canonical_t short_form;
        XXH64_canonicalFromHash(&short_form, XXH3_64bits(message.data(), message.size()));
        expect_pieces_match(u'X', message, rng, hex_upper(short_form.digest, 8));
        XXH128_canonical_t long_form;
        XXH128_canonicalFromHash(&long_form, XXH3_128bits(message.data(), message.size()));
        expect_pieces_match(u'Y', message, rng, hex_upper(long_form.digest, 16));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, Xxh3AgainstTheLibrary, ::testing::ValuesIn(XXH3_PATHS),
                         engine_path_name<const xxh3_path_functions *>);

}  // namespace
