// BLAKE3 file digests on several threads: the file is planned as leaves of
// BLAKE3's tree (blake3_tree), each thread takes the next leaf not yet taken,
// reads it at its offset through its own open of the file and keeps its
// chaining value; this thread then reads the last part and merges them all.
// Taking leaves in turn keeps the reads close to file order, which is what
// a drive reads fastest, and lets a thread that was held up take fewer.
#include "hash/file_digest.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "fileio/fileio.h"
#include "file_digest_reader.h"

uint64_t g_file_digest_threaded_min_bytes = 32ull << 20;

namespace {

// A leaf is one read: large enough that the read's overhead is small beside
// hashing it, small enough to stay in a core's cache between the read and
// the hashing.
constexpr uint64_t LEAF_BYTES = 2u << 20;

struct threaded_digest {
    const utf16 *path;
    blake3_tree tree;
    uint8_t (*leaf_cvs)[32];
    file_digest_meter *meter;
    bool (*abandon)();
    std::atomic<uint64_t> next_leaf;
    std::atomic<uint64_t> bytes_read;
    std::atomic<bool> failed;
};

// Reads exactly `length` bytes at `offset`: a failed or short read (the
// file shrank) fails it. What a read delivered is counted either way.
bool read_part(threaded_digest *run, sOpenFile *file, uint8_t *block, uint64_t offset,
               uint32_t length)
{
    uint32_t got = length;
    if (file_digest_read_block(file, block, offset, &got) != FILE_OK)
        return false;
    run->bytes_read.fetch_add(got, std::memory_order_relaxed);
    count_read(run->meter, got);
    return got == length;
}

// Takes leaves until none is left or the digest has failed.
void hash_leaves(threaded_digest *run, sOpenFile *file, uint8_t *block)
{
    for (;;) {
        uint64_t leaf = run->next_leaf.fetch_add(1);
        if (leaf >= run->tree.leaves || run->failed.load())
            return;
        if (!read_part(run, file, block, leaf * LEAF_BYTES, uint32_t(LEAF_BYTES)) ||
            (run->abandon && run->abandon())) {
            run->failed.store(true);
            return;
        }
        blake3_tree_leaf(&run->tree, leaf, block, run->leaf_cvs[leaf]);
    }
}

DWORD WINAPI helper_thread(LPVOID parameter)
{
    threaded_digest *run = static_cast<threaded_digest *>(parameter);
    uint8_t *block = static_cast<uint8_t *>(std::malloc(LEAF_BYTES));
    sOpenFile file;
    if (block && OpenFileForReading(run->path, &file) == FILE_OK) {
        hash_leaves(run, &file, block);
        CloseOpenFile(&file);
    }
    std::free(block);
    return 0;
}

// Helpers for the leaves beyond this thread's: at most one per leaf.
int32_t start_helpers(threaded_digest *run, int32_t threads, HANDLE *helpers)
{
    int32_t wanted = threads - 1;
    if (uint64_t(wanted) > run->tree.leaves)
        wanted = int32_t(run->tree.leaves);
    int32_t started = 0;
    for (int32_t i = 0; i < wanted; ++i) {
        HANDLE helper = CreateThread(nullptr, 0, helper_thread, run, 0, nullptr);
        if (helper)
            helpers[started++] = helper;
    }
    return started;
}

// All leaves by this thread and its helpers, then the last part and the root.
file_digest_result digest_open_file(threaded_digest *run, sOpenFile *file, int32_t threads,
                                    uint8_t *block, uint8_t digest[32])
{
    constexpr int32_t MAX_HELPERS = 63;
    HANDLE helpers[MAX_HELPERS];
    int32_t started =
        start_helpers(run, threads > MAX_HELPERS ? MAX_HELPERS + 1 : threads, helpers);
    hash_leaves(run, file, block);
    for (int32_t i = 0; i < started; ++i) {
        WaitForSingleObject(helpers[i], INFINITE);
        CloseHandle(helpers[i]);
    }
    uint64_t last_start = run->tree.leaves * LEAF_BYTES;
    uint32_t last_length = uint32_t(run->tree.length - last_start);
    if (run->failed.load() ||
        (last_length && !read_part(run, file, block, last_start, last_length)) ||
        (run->abandon && run->abandon()))
        return FILE_DIGEST_UNREADABLE;
    blake3_tree_root(&run->tree, run->leaf_cvs, block, digest);
    return FILE_DIGEST_DONE;
}

}  // namespace

file_digest_result file_digest_threaded_text(utf16 kind, const utf16 *path, utf16 *out,
                                             int32_t threads, file_digest_buffer *buffer,
                                             uint64_t *bytes_read)
{
    const KindInfo *info = FindKind(kind);
    if (!info || info->engine != ENGINE_BLAKE3)
        return file_digest_text_with(kind, path, out, buffer, bytes_read);
    *bytes_read = 0;
    sOpenFile file;
    int opened = OpenFileForReading(path, &file);
    if (opened != FILE_OK)
        return digest_result_of_failed_open(opened);
    threaded_digest run = {path, {}, nullptr, buffer->meter, buffer->abandon, {0}, {0}, {false}};
    uint64_t size = 0;
    file_digest_result result = FILE_DIGEST_UNREADABLE;
    if (QueryOpenFileSize(&file, &size) == FILE_OK) {
        count_opened_file(buffer->meter, size);
        run.tree = blake3_tree_plan(size, LEAF_BYTES);
        // An empty file needs no read, but a block all the same.
        uint64_t block_bytes = size == 0 ? 1 : size < LEAF_BYTES ? size : LEAF_BYTES;
        uint8_t *block = reserve_block(buffer, uint32_t(block_bytes));
        run.leaf_cvs = static_cast<uint8_t(*)[32]>(std::malloc(run.tree.leaves * 32 + 32));
        uint8_t digest[32];
        result = block && run.leaf_cvs ? digest_open_file(&run, &file, threads, block, digest)
                                       : FILE_DIGEST_NO_MEMORY;
        if (result == FILE_DIGEST_DONE)
            WriteHexUpper(digest, sizeof digest, out);
        std::free(run.leaf_cvs);
    }
    CloseOpenFile(&file);
    *bytes_read = run.bytes_read.load();
    return result;
}
