#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "hash/blake3_paths.h"
#include "hash/hash.h"
#include "tests/hash/hash_test_util.h"

namespace {

// BLAKE3's published test vectors: input byte i is i % 251; the digest is the
// first 32 bytes of each case's output.
const struct {
    size_t length;
    const char *digest;
} kBlake3Vectors[] = {
    {0, "AF1349B9F5F9A1A6A0404DEA36DCC9499BCB25C9ADC112B7CC9A93CAE41F3262"},
    {1, "2D3ADEDFF11B61F14C886E35AFA036736DCD87A74D27B5C1510225D0F592E213"},
    {1023, "10108970EEDA3EB932BAAC1428C7A2163B0E924C9A9E25B35BBA72B28F70BD11"},
    {1024, "42214739F095A406F3FC83DEB889744AC00DF831C10DAA55189B5D121C855AF7"},
    {1025, "D00278AE47EB27B34FAECF67B4FE263F82D5412916C1FFD97C8CB7FB814B8444"},
    {2048, "E776B6028C7CD22A4D0BA182A8BF62205D2EF576467E838ED6F2529B85FBA24A"},
    {2049, "5F4D72F40D7A5F82B15CA2B2E44B1DE3C2EF86C426C95C1AF0B6879522563030"},
    {3072, "B98CB0FF3623BE03326B373DE6B9095218513E64F1EE2EDD2525C7AD1E5CFFD2"},
    {3073, "7124B49501012F81CC7F11CA069EC9226CECB8A2C850CFE644E327D22D3E1CD3"},
    {4096, "015094013F57A5277B59D8475C0501042C0B642E531B0A1C8F58D2163229E969"},
    {4097, "9B4052B38F1C5FC8B1F9FF7AC7B27CD242487B3D890D15C96A1C25B8AA0FB995"},
    {5120, "9CADC15FED8B5D854562B26A9536D9707CADEDA9B143978F319AB34230535833"},
    {5121, "628BD2CB2004694ADAAB7BBD778A25DF25C47B9D4155A55F8FBD79F2FE154CFF"},
    {6144, "3E2E5B74E048F3ADD6D21FAAB3F83AA44D3B2278AFB83B80B3C35164EBECA205"},
    {6145, "F1323A8631446CC50536A9F705EE5CB619424D46887F3C376C695B70E0F0507F"},
    {7168, "61DA957EC2499A95D6B8023E2B0E604EC7F6B50E80A9678B89D2628E99ADA77A"},
    {7169, "A003FC7A51754A9B3C7FAE0367AB3D782DCCF28855A03D435F8CFE74605E7817"},
    {8192, "AAE792484C8EFE4F19E2CA7D371D8C467FFB10748D8A5A1AE579948F718A2A63"},
    {8193, "BAB6C09CB8CE8CF459261398D2E7AEF35700BF488116CEB94A36D0F5F1B7BC3B"},
    {16384, "F875D6646DE28985646F34EE13BE9A576FD515F76B5B0A26BB324735041DDDE4"},
    {31744, "62B6960E1A44BCC1EB1A611A8D6235B6B4B78F32E7ABC4FB4C6CDCCE94895C47"},
    {102400, "BC3E3D41A1146B069ABFFAD3C0D44860CF664390AFCE4D9661F7902E7943E085"},
};

std::vector<uint8_t> vector_input(size_t n)
{
    std::vector<uint8_t> input(n);
    for (size_t i = 0; i < n; ++i)
        input[i] = static_cast<uint8_t>(i % 251);
    return input;
}

// Every case of this suite runs once per BLAKE3 path this processor has,
// which the library's hasher reaches through the dispatch.
class Blake3Path : public LimitedPathTest<blake3_kernel> {};

// Whole and in random pieces: the hasher's buffering and its many-chunk
// compression meet the vectors at every chunk and subtree edge they cross.
TEST_P(Blake3Path, PublishedVectorsWholeAndInPieces)
{
    std::vector<uint8_t> input = vector_input(102400);
    std::mt19937 rng(3);
    for (const auto &v : kBlake3Vectors) {
        EXPECT_EQ(digest_hex(u'B', input.data(), v.length), v.digest) << v.length << " bytes";
        digest_context ctx;
        ASSERT_EQ(digest_init(&ctx, u'B'), 0);
        size_t at = 0;
        for (size_t end : random_split(rng, v.length, 3000)) {
            digest_update(&ctx, input.data() + at, uint32_t(end - at));
            at = end;
        }
        utf16 text[DIGEST_TEXT_CAPACITY];
        digest_final_text(&ctx, text);
        EXPECT_EQ(narrow(text), v.digest) << v.length << " bytes in pieces";
    }
}

// The digest of `length` bytes through the tree with `leaf_bytes` leaves,
// the leaves hashed last to first.
std::string tree_digest(const uint8_t *input, uint64_t length, uint64_t leaf_bytes)
{
    blake3_tree tree = blake3_tree_plan(length, leaf_bytes);
    std::vector<uint8_t> cvs(tree.leaves * 32 + 1);
    for (uint64_t i = tree.leaves; i-- > 0;)
        blake3_tree_leaf(&tree, i, input + i * leaf_bytes, cvs.data() + i * 32);
    uint8_t out[32];
    blake3_tree_root(&tree, reinterpret_cast<const uint8_t(*)[32]>(cvs.data()),
                     input + tree.leaves * leaf_bytes, out);
    return hex_upper(out, 32);
}

// Leaves of one chunk, of a few chunks and of more chunks than one batch of
// the many-chunk compression, each against lengths just around one, two and
// many leaves and around a power of two of them: where the tree's shape
// changes.
TEST_P(Blake3Path, TreeOfLeavesEqualsTheOneStreamDigest)
{
    std::mt19937 rng(11);
    const uint64_t leaf_sizes[] = {1024, 4096, 128 * 1024};
    std::vector<uint8_t> input = random_bytes(rng, 17 * 128 * 1024 + 2000);
    for (uint64_t leaf : leaf_sizes) {
        const uint64_t lengths[] = {1,
                                    leaf - 1,
                                    leaf,
                                    leaf + 1,
                                    2 * leaf,
                                    2 * leaf + 1,
                                    3 * leaf + 1,
                                    4 * leaf,
                                    4 * leaf + 1024,
                                    8 * leaf + 1,
                                    13 * leaf + 517,
                                    16 * leaf,
                                    17 * leaf + 1999};
        for (uint64_t length : lengths)
            ASSERT_EQ(tree_digest(input.data(), length, leaf),
                      digest_hex(u'B', input.data(), length))
                << length << " bytes in leaves of " << leaf;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, Blake3Path, ::testing::ValuesIn(BLAKE3_PATHS),
                         engine_path_name<blake3_kernel>);

// Leaves taken from a shared counter by several threads, as the threaded
// file digest does, land in their own places whatever order they finish in.
TEST(Blake3Tree, LeavesHashedOnSeveralThreadsGiveTheOneStreamDigest)
{
    std::mt19937 rng(12);
    const uint64_t length = 40 * 65536 + 777;
    std::vector<uint8_t> input = random_bytes(rng, length);
    blake3_tree tree = blake3_tree_plan(length, 65536);
    ASSERT_EQ(tree.leaves, 40u);
    std::vector<uint8_t> cvs(tree.leaves * 32);
    std::atomic<uint64_t> next{0};
    auto work = [&] {
        for (uint64_t i; (i = next.fetch_add(1)) < tree.leaves;)
            blake3_tree_leaf(&tree, i, input.data() + i * 65536, cvs.data() + i * 32);
    };
    std::thread helpers[3] = {std::thread(work), std::thread(work), std::thread(work)};
    work();
    for (std::thread &helper : helpers)
        helper.join();
    uint8_t out[32];
    blake3_tree_root(&tree, reinterpret_cast<const uint8_t(*)[32]>(cvs.data()),
                     input.data() + tree.leaves * 65536, out);
    EXPECT_EQ(hex_upper(out, 32), digest_hex(u'B', input.data(), length));
}

}  // namespace
