// The BLAKE3 file digest on several threads under Windows (Wine in the cross
// build), against the one-stream digest of the same bytes in memory. Reads
// go through the real ReadOpenFileAt, wrapped to fail at a chosen offset.
#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/fileio.h"
#include "hash/file_digest_reader.h"
#include "hash/file_digest.h"
#include "hash/hash.h"
#include "tests/hash/hash_test_util.h"
#include "tests/support/scratch.h"

namespace {

// The digest's leaf: one read each.
constexpr uint32_t LEAF = 2u << 20;

std::atomic<uint64_t> g_failing_offset{UINT64_MAX};

int reader_failing_at_offset(sOpenFile *file, void *dest, uint64_t offset, uint32_t *length)
{
    if (offset == g_failing_offset.load())
        return FILE_ERR_IO;
    return ReadOpenFileAt(file, dest, offset, length);
}

std::atomic<bool> g_stop{false};

bool stop_asked()
{
    return g_stop.load();
}

class ThreadedFileDigest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = MakeScratchFolder();
        ASSERT_FALSE(folder_.empty());
        file_digest_read_block = reader_failing_at_offset;
        // Files of a few leaves take helper threads here, as large ones do.
        g_file_digest_threaded_min_bytes = 0;
    }
    void TearDown() override
    {
        file_digest_read_block = ReadOpenFileAt;
        g_file_digest_threaded_min_bytes = saved_min_bytes_;
        g_failing_offset = UINT64_MAX;
        g_stop = false;
        release_file_digest_buffer(&buffer_);
        RemoveTree(folder_);
    }
    std::wstring put(const std::vector<uint8_t> &bytes)
    {
        std::wstring path = folder_ + L"\\file.bin";
        EXPECT_TRUE(PutBytes(path, bytes.data(), static_cast<uint32_t>(bytes.size())));
        return path;
    }
    // The digest of `path` on `threads` threads from a text of '#'.
    file_digest_result digest(utf16 kind, const std::wstring &path, int32_t threads)
    {
        for (auto &unit : out_)
            unit = u'#';
        out_[DIGEST_TEXT_CAPACITY] = 0;
        return file_digest_threaded_text(kind, path.c_str(), out_, threads, &buffer_, &read_);
    }
    std::string text() const { return narrow(out_); }

    std::wstring folder_;
    const uint64_t saved_min_bytes_ = g_file_digest_threaded_min_bytes;
    file_digest_meter meter_ = {};
    file_digest_buffer buffer_ = {nullptr, 0, &meter_, stop_asked};
    uint64_t read_ = 0;
    utf16 out_[DIGEST_TEXT_CAPACITY + 1];
};

// Sizes on either side of a leaf's edge and of a whole number of leaves,
// where the last part is the shortest and the longest it can be; one, three
// and more threads than leaves.
TEST_F(ThreadedFileDigest, EqualsTheOneStreamDigestAtLeafEdges)
{
    std::mt19937 rng(17);
    std::vector<uint8_t> bytes = random_bytes(rng, 5 * LEAF + 1);
    const uint32_t sizes[] = {0,        1,           LEAF - 1, LEAF, LEAF + 1, 3 * LEAF + 1025,
                              5 * LEAF, 5 * LEAF + 1};
    for (uint32_t size : sizes) {
        std::vector<uint8_t> file(bytes.begin(), bytes.begin() + size);
        std::wstring path = put(file);
        std::string expected = digest_hex(u'B', file.data(), size);
        for (int32_t threads : {1, 3, 9}) {
            meter_ = {};
            ASSERT_EQ(digest(u'B', path, threads), FILE_DIGEST_DONE) << size;
            EXPECT_EQ(text(), expected) << size << " bytes on " << threads << " threads";
            EXPECT_EQ(read_, size);
            EXPECT_EQ(meter_.bytes_read, size);
            EXPECT_EQ(meter_.files_sized, 1u);
            EXPECT_EQ(meter_.bytes_sized, size);
        }
    }
    // Any other kind is the one-stream file digest's.
    std::wstring path = put(bytes);
    ASSERT_EQ(digest(u'S', path, 4), FILE_DIGEST_DONE);
    EXPECT_EQ(text(), digest_hex(u'S', bytes.data(), bytes.size()));
}

// A read that fails in any leaf, or in the last part, or a stop asked for,
// fails the digest as a whole: no text, nothing that could pass for one.
TEST_F(ThreadedFileDigest, AFailedReadOrAStopLeavesNoDigest)
{
    std::mt19937 rng(18);
    std::wstring path = put(random_bytes(rng, 4 * LEAF + 100));
    for (uint64_t offset : {uint64_t(0), uint64_t(2) * LEAF, uint64_t(4) * LEAF}) {
        g_failing_offset = offset;
        EXPECT_EQ(digest(u'B', path, 3), FILE_DIGEST_UNREADABLE) << "read at " << offset;
        EXPECT_EQ(text(), std::string(DIGEST_TEXT_CAPACITY, '#')) << "read at " << offset;
    }
    g_failing_offset = UINT64_MAX;
    g_stop = true;
    EXPECT_EQ(digest(u'B', path, 3), FILE_DIGEST_UNREADABLE);
    EXPECT_EQ(text(), std::string(DIGEST_TEXT_CAPACITY, '#'));
    EXPECT_EQ(digest(u'B', folder_ + L"\\missing.bin", 3), FILE_DIGEST_NOT_FOUND);
}

}  // namespace
