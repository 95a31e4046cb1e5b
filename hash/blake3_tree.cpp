// BLAKE3's tree over leaves hashed apart. The tree is left-balanced: a node
// of more than one chunk has as its left child the largest power of two of
// whole chunks shorter than itself. So every aligned run of 2^k whole chunks
// that ends before the last chunk is a node of its own, and a leaf's chaining
// value depends only on its bytes and where it starts. The root is found by
// walking the tree from the top: a node that is a leaf takes the leaf's
// value, one in the last part is hashed from its bytes, any other merges its
// two children.
#include "hash/hash.h"

#include <cstring>

#include "blake3_paths.h"

namespace {

// Chunks hashed by one call of the library's many-input compression (with
// AVX-512 it runs 16 at once), then merged pairwise into one value.
constexpr uint64_t BATCH_CHUNKS = 64;

void load_iv(uint32_t cv[8])
{
    std::memcpy(cv, IV, sizeof IV);
}

void parent_cv(const uint8_t left[32], const uint8_t right[32], uint8_t out[32])
{
    uint8_t block[BLAKE3_BLOCK_LEN];
    std::memcpy(block, left, 32);
    std::memcpy(block + 32, right, 32);
    uint32_t cv[8];
    load_iv(cv);
    blake3_compress_in_place(cv, block, BLAKE3_BLOCK_LEN, 0, PARENT);
    store_cv_words(out, cv);
}

bool is_power_of_two(uint64_t n)
{
    return n != 0 && (n & (n - 1)) == 0;
}

// The left child's length in a node of `length` bytes (more than one chunk).
uint64_t left_child_length(uint64_t length)
{
    uint64_t whole_chunks = (length - 1) / BLAKE3_CHUNK_LEN;
    return round_down_to_power_of_2(whole_chunks) * BLAKE3_CHUNK_LEN;
}

// A chunk of 1 to 1024 bytes (a short one only at the input's end), not the
// root: its blocks one after another, the last one zero-padded.
void chunk_cv(const uint8_t *input, uint64_t length, uint64_t chunk_index, uint8_t out[32])
{
    uint32_t cv[8];
    load_iv(cv);
    uint64_t blocks = (length + BLAKE3_BLOCK_LEN - 1) / BLAKE3_BLOCK_LEN;
    for (uint64_t b = 0; b < blocks; ++b) {
        uint8_t block[BLAKE3_BLOCK_LEN] = {};
        uint64_t left = length - b * BLAKE3_BLOCK_LEN;
        uint8_t used = uint8_t(left < BLAKE3_BLOCK_LEN ? left : BLAKE3_BLOCK_LEN);
        std::memcpy(block, input + b * BLAKE3_BLOCK_LEN, used);
        uint8_t flags = uint8_t((b == 0 ? CHUNK_START : 0) | (b + 1 == blocks ? CHUNK_END : 0));
        blake3_compress_in_place(cv, block, used, chunk_index, flags);
    }
    store_cv_words(out, cv);
}

// A whole subtree: 2^k whole chunks from chunk `first_chunk` (a multiple of
// 2^k), not the root.
void subtree_cv(const uint8_t *input, uint64_t length, uint64_t first_chunk, uint8_t out[32])
{
    uint64_t chunks = length / BLAKE3_CHUNK_LEN;
    if (chunks > BATCH_CHUNKS) {
        uint8_t halves[2][32];
        subtree_cv(input, length / 2, first_chunk, halves[0]);
        subtree_cv(input + length / 2, length / 2, first_chunk + chunks / 2, halves[1]);
        parent_cv(halves[0], halves[1], out);
        return;
    }
    const uint8_t *inputs[BATCH_CHUNKS] = {};
    uint8_t cvs[BATCH_CHUNKS * 32], parents[BATCH_CHUNKS / 2 * 32];
    for (uint64_t i = 0; i < chunks; ++i)
        inputs[i] = input + i * BLAKE3_CHUNK_LEN;
    blake3_hash_many(inputs, chunks, BLAKE3_CHUNK_LEN / BLAKE3_BLOCK_LEN, IV, first_chunk, true, 0,
                     CHUNK_START, CHUNK_END, cvs);
    // Two neighbouring values are one parent's block, as they lie.
    for (; chunks > 1; chunks /= 2) {
        for (uint64_t i = 0; i < chunks / 2; ++i)
            inputs[i] = cvs + i * 64;
        blake3_hash_many(inputs, chunks / 2, 1, IV, 0, false, PARENT, 0, 0, parents);
        std::memcpy(cvs, parents, chunks / 2 * 32);
    }
    std::memcpy(out, cvs, 32);
}

// Any node that is not the root, from its bytes.
void node_cv(const uint8_t *input, uint64_t length, uint64_t first_chunk, uint8_t out[32])
{
    if (length <= BLAKE3_CHUNK_LEN) {
        chunk_cv(input, length, first_chunk, out);
        return;
    }
    if (length % BLAKE3_CHUNK_LEN == 0 && is_power_of_two(length / BLAKE3_CHUNK_LEN)) {
        subtree_cv(input, length, first_chunk, out);
        return;
    }
    uint64_t left = left_child_length(length);
    uint8_t children[2][32];
    node_cv(input, left, first_chunk, children[0]);
    node_cv(input + left, length - left, first_chunk + left / BLAKE3_CHUNK_LEN, children[1]);
    parent_cv(children[0], children[1], out);
}

struct tree_walk {
    const blake3_tree *tree;
    const uint8_t (*leaf_cvs)[32];
    const uint8_t *last_part;
    uint64_t last_start;
};

// The node of `length` bytes at `offset`, not the root.
void tree_node_cv(const tree_walk *walk, uint64_t offset, uint64_t length, uint8_t out[32])
{
    if (offset >= walk->last_start) {
        node_cv(walk->last_part + (offset - walk->last_start), length, offset / BLAKE3_CHUNK_LEN,
                out);
        return;
    }
    if (length == walk->tree->leaf_bytes) {
        std::memcpy(out, walk->leaf_cvs[offset / length], 32);
        return;
    }
    uint64_t left = left_child_length(length);
    uint8_t children[2][32];
    tree_node_cv(walk, offset, left, children[0]);
    tree_node_cv(walk, offset + left, length - left, children[1]);
    parent_cv(children[0], children[1], out);
}

}  // namespace

blake3_tree blake3_tree_plan(uint64_t length, uint64_t leaf_bytes)
{
    // The last part keeps at least one byte: the root is made from it.
    blake3_tree tree = {length, leaf_bytes, length == 0 ? 0 : (length - 1) / leaf_bytes};
    return tree;
}

void blake3_tree_leaf(const blake3_tree *tree, uint64_t index, const uint8_t *leaf, uint8_t cv[32])
{
    subtree_cv(leaf, tree->leaf_bytes, index * (tree->leaf_bytes / BLAKE3_CHUNK_LEN), cv);
}

void blake3_tree_root(const blake3_tree *tree, const uint8_t (*leaf_cvs)[32],
                      const uint8_t *last_part, uint8_t out[32])
{
    if (tree->leaves == 0) {
        blake3_hasher hasher;
        blake3_hasher_init(&hasher);
        blake3_hasher_update(&hasher, last_part, size_t(tree->length));
        blake3_hasher_finalize(&hasher, out, BLAKE3_OUT_LEN);
        return;
    }
    tree_walk walk = {tree, leaf_cvs, last_part, tree->leaves * tree->leaf_bytes};
    uint64_t left = left_child_length(tree->length);
    uint8_t block[BLAKE3_BLOCK_LEN];
    tree_node_cv(&walk, 0, left, block);
    tree_node_cv(&walk, left, tree->length - left, block + 32);
    uint32_t key[8];
    load_iv(key);
    uint8_t root[64];
    blake3_compress_xof(key, block, BLAKE3_BLOCK_LEN, 0, PARENT | ROOT, root);
    std::memcpy(out, root, 32);
}
