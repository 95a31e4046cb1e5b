#include <string>

#include <gtest/gtest.h>

#include "hash/hash.h"
#include "hash/xxh3_paths.h"
#include "tests/hash/hash_test_util.h"

namespace {

// xxHash's sanity buffer: byte i is the top byte of 2654435761 * P^i (P its
// 64-bit prime), as its own self-test fills it.
std::vector<uint8_t> sanity_buffer(size_t n)
{
    std::vector<uint8_t> buffer(n);
    uint64_t generator = 2654435761u;
    for (size_t i = 0; i < n; ++i) {
        buffer[i] = uint8_t(generator >> 56);
        generator *= 11400714785074694797ull;
    }
    return buffer;
}

// The sanity table's seed-0 cases: every length class of XXH3's short
// inputs, then one block, two and three with and without a last partial
// stripe. The texts are the canonical (big-endian) forms xxHash's tool
// prints; XXH128's is the high half, then the low.
const struct {
    utf16 kind;
    size_t length;
    const char *digest;
} kXxh3Vectors[] = {
    {u'X', 0, "2D06800538D394C2"},
    {u'X', 1, "C44BDFF4074EECDB"},
    {u'X', 6, "27B56A84CD2D7325"},
    {u'X', 12, "A713DAF0DFBB77E7"},
    {u'X', 24, "A3FE70BF9D3510EB"},
    {u'X', 48, "397DA259ECBA1F11"},
    {u'X', 80, "BCDEFBBB2C47C90A"},
    {u'X', 195, "CD94217EE362EC3A"},
    {u'X', 403, "CDEB804D65C6DEA4"},
    {u'X', 512, "617E49599013CB6B"},
    {u'X', 2048, "DD59E2C3A5F038E0"},
    {u'X', 2099, "C6B9D9B3FC9AC765"},
    {u'X', 2240, "6E73A90539CF2948"},
    {u'X', 2367, "CB37AEB9E5D361ED"},
    {u'Y', 0, "99AA06D3014798D86001C324468D497F"},
    {u'Y', 1, "A6CD5E9392000F6AC44BDFF4074EECDB"},
    {u'Y', 6, "082AFE0B8162D12A3E7039BDDA43CFC6"},
    {u'Y', 12, "6E3EFD8FC7802B18061A192713F69AD9"},
    {u'Y', 24, "0CE966E4678D37611E7044D28B1B901D"},
    {u'Y', 48, "A002AC4E5478227EF942219AED80F67B"},
    {u'Y', 81, "4952F58181AB00425E8BAFB9F95FB803"},
    {u'Y', 222, "337E09641B948717F1AEBD597CEC6B3A"},
    {u'Y', 403, "1B6DE21E332DD73DCDEB804D65C6DEA4"},
    {u'Y', 512, "18D2D110DCC9BCA1617E49599013CB6B"},
    {u'Y', 2048, "F736557FD47073A5DD59E2C3A5F038E0"},
    {u'Y', 2240, "CCB134FBFA7CE49D6E73A90539CF2948"},
    {u'Y', 2367, "E89C0F6FF369B427CB37AEB9E5D361ED"},
};

class Xxh3Path : public EnginePathTest<const xxh3_path_functions *> {
protected:
    // The digest text of `kind` ('X' or 'Y') of the pieces of `input` that
    // `ends` gives, on this path.
    std::string digest_on_path(utf16 kind, const uint8_t *input, const std::vector<size_t> &ends)
    {
        xxh3_context ctx;
        path()->reset(ctx.state);
        size_t at = 0;
        for (size_t end : ends) {
            path()->update(ctx.state, input + at, end - at);
            at = end;
        }
        uint8_t digest[16];
        if (kind == u'Y') {
            path()->digest128(ctx.state, digest);
            return hex_upper(digest, 16);
        }
        uint64_t value = path()->digest64(ctx.state);
        for (int i = 0; i < 8; ++i)
            digest[i] = uint8_t(value >> (56 - 8 * i));
        return hex_upper(digest, 8);
    }
};

// Whole, byte by byte and in random pieces: the state's buffering of a
// partial stripe and block is the part the paths share.
TEST_P(Xxh3Path, SanityTableWholeByteByByteAndInPieces)
{
    std::vector<uint8_t> input = sanity_buffer(2367);
    std::mt19937 rng(5);
    for (const auto &v : kXxh3Vectors) {
        const std::vector<size_t> splits[3] = {
            {v.length}, even_split(v.length, 1), random_split(rng, v.length, 700)};
        for (const std::vector<size_t> &ends : splits)
            EXPECT_EQ(digest_on_path(v.kind, input.data(), ends), v.digest)
                << char(v.kind) << ", " << v.length << " bytes in " << ends.size() << " pieces";
    }
}

// Long inputs, past the first scrambles of the accumulators, against the
// digest selection on the scalar path (the portable code every vector path
// must agree with).
TEST_P(Xxh3Path, LongInputsAgreeWithTheScalarPath)
{
    std::mt19937 rng(6);
    std::vector<uint8_t> input = random_bytes(rng, 300000);
    const size_t lengths[] = {1024 * 8 - 1, 1024 * 8, 65536 + 63, 299999};
    cpu_features_limit(0);
    for (utf16 kind : {u'X', u'Y'})
        for (size_t n : lengths)
            EXPECT_EQ(digest_on_path(kind, input.data(), random_split(rng, n, 100000)),
                      digest_hex(kind, input.data(), n))
                << char(kind) << ", " << n << " bytes";
    cpu_features_limit(~0u);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, Xxh3Path, ::testing::ValuesIn(XXH3_PATHS),
                         engine_path_name<const xxh3_path_functions *>);

}  // namespace
