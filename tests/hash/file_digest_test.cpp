// The file digest under Windows (Wine in the cross build). The block reader is
// wrapped to log what each read asks for and gets, and to change the file
// between reads; the reads themselves are the real ReadOpenFileAt.
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/fileio.h"
#include "hash/file_digest_reader.h"
#include "hash/file_digest.h"
#include "tests/support/scratch.h"
#include "tests/hash/hash_test_util.h"

namespace {

// The CRC-32C digest's read block (the SHA-3 one is 6 MiB).
constexpr uint32_t CRC_BLOCK = 1u << 20;

struct BlockRead {
    const sOpenFile *file;
    uint32_t asked;
    uint32_t got;  // 0xFFFFFFFF: the read failed
};

std::vector<BlockRead> g_reads;
std::function<void(size_t, sOpenFile *)> g_before_read;  // gets the index of the read and the file

int logging_reader(sOpenFile *file, void *dest, uint64_t offset, uint32_t *length)
{
    if (g_before_read)
        g_before_read(g_reads.size(), file);
    uint32_t asked = *length;
    int result = ReadOpenFileAt(file, dest, offset, length);
    g_reads.push_back({file, asked, result == FILE_OK ? *length : 0xFFFFFFFFu});
    return result;
}

// Puts a write-only handle of the same file in the place of the open
// file's, so the next read on it fails as a real read does.
void make_reads_fail(sOpenFile *file, const std::wstring &path)
{
    ASSERT_TRUE(SwapFileHandle(&file->handle, path, GENERIC_WRITE));
}

class FileDigest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = MakeScratchFolder();
        ASSERT_FALSE(folder_.empty());
        g_reads.clear();
        g_before_read = nullptr;
        file_digest_read_block = logging_reader;
    }
    void TearDown() override
    {
        file_digest_read_block = ReadOpenFileAt;
        g_before_read = nullptr;
        RemoveTree(folder_);
    }
    std::wstring put(const wchar_t *name, const std::vector<uint8_t> &bytes)
    {
        std::wstring path = folder_ + L"\\" + name;
        EXPECT_TRUE(PutBytes(path, bytes.data(), static_cast<uint32_t>(bytes.size())));
        return path;
    }
    // Digest text of `kind` for `path`, starting from a buffer of '#'.
    std::string digest(wchar_t kind, const std::wstring &path)
    {
        reset_output();
        file_digest_text(kind, path.c_str(), out_);
        return narrow(out_);
    }
    void reset_output()
    {
        for (auto &unit : out_)
            unit = L'#';
        out_[DIGEST_TEXT_CAPACITY + 1] = 0;
    }
    bool output_untouched() const
    {
        for (int i = 0; i <= DIGEST_TEXT_CAPACITY; ++i)
            if (out_[i] != L'#')
                return false;
        return true;
    }

    std::wstring folder_;
    utf16 out_[DIGEST_TEXT_CAPACITY + 2];  // one unit more than any text needs
};

std::string digest_hex(utf16 kind, const std::vector<uint8_t> &bytes)
{
    return ::digest_hex(kind, bytes.data(), bytes.size());
}

TEST_F(FileDigest, EveryKindGivesItsTextAndEmptyFilesNeedNoRead)
{
    std::wstring empty = put(L"empty.bin", {});
    EXPECT_EQ(digest(L'C', empty), "00000000");
    EXPECT_EQ(digest(L'S', empty),
              "A7FFC6F8BF1ED76651C14756A061D662F580FF4DE43B49FA82D80A4B80F8434A");
    EXPECT_TRUE(g_reads.empty());

    std::wstring check = put(L"check.txt", {'1', '2', '3', '4', '5', '6', '7', '8', '9'});
    EXPECT_EQ(digest(L'C', check), "E3069283");
    reset_output();
    EXPECT_EQ(file_digest_text(L'C', check.c_str(), out_), FILE_DIGEST_DONE);
    EXPECT_EQ(narrow(out_), "E3069283");

    std::mt19937 rng(5);
    std::vector<uint8_t> bytes = random_bytes(rng, 1000);
    std::wstring some = put(L"some.bin", bytes);
    const wchar_t kinds[5] = {L'C', L'E', L'S', L'M', L'H'};
    const size_t lengths[5] = {8, 56, 64, 96, 128};
    for (int k = 0; k < 5; ++k) {
        std::string text = digest(kinds[k], some);
        EXPECT_EQ(text, digest_hex(kinds[k], bytes));
        EXPECT_EQ(text.size(), lengths[k]);
        EXPECT_EQ(out_[lengths[k] + 1], L'#') << "nothing written past the terminator";
    }
}

TEST_F(FileDigest, ReadsAskForFixedBlocksAndThenWhatTheLastDelivered)
{
    std::mt19937 rng(6);
    std::vector<uint8_t> bytes = random_bytes(rng, CRC_BLOCK + 1);
    std::wstring path = put(L"block_plus_one.bin", bytes);
    EXPECT_EQ(digest(L'C', path), digest_hex(L'C', bytes));
    ASSERT_EQ(g_reads.size(), 2u);
    EXPECT_EQ(g_reads[0].asked, CRC_BLOCK);
    EXPECT_EQ(g_reads[0].got, CRC_BLOCK);
    EXPECT_EQ(g_reads[1].asked, CRC_BLOCK);
    EXPECT_EQ(g_reads[1].got, 1u);

    bytes.pop_back();
    path = put(L"block.bin", bytes);
    g_reads.clear();
    EXPECT_EQ(digest(L'C', path), digest_hex(L'C', bytes));
    ASSERT_EQ(g_reads.size(), 1u);
    EXPECT_EQ(g_reads[0].asked, CRC_BLOCK);
    EXPECT_EQ(g_reads[0].got, CRC_BLOCK);

    // Smaller files take one read that asks for their size, not a whole block.
    bytes.resize(1024);
    path = put(L"1024.bin", bytes);
    for (wchar_t kind : {L'C', L'S', L'H'}) {
        g_reads.clear();
        EXPECT_EQ(digest(kind, path), digest_hex(kind, bytes));
        ASSERT_EQ(g_reads.size(), 1u) << "kind " << char(kind);
        EXPECT_EQ(g_reads[0].asked, 1024u) << "kind " << char(kind);
        EXPECT_EQ(g_reads[0].got, 1024u) << "kind " << char(kind);
    }

    bytes = random_bytes(rng, 6291457);
    path = put(L"6291457.bin", bytes);
    g_reads.clear();
    EXPECT_EQ(digest(L'H', path), digest_hex(L'H', bytes));
    ASSERT_EQ(g_reads.size(), 2u);
    EXPECT_EQ(g_reads[0].asked, 6291456u);
    EXPECT_EQ(g_reads[0].got, 6291456u);
    EXPECT_EQ(g_reads[1].asked, 6291456u);
    EXPECT_EQ(g_reads[1].got, 1u);
}

TEST_F(FileDigest, FailuresLeaveTheBufferAsItWas)
{
    std::wstring missing = folder_ + L"\\missing.bin";
    for (wchar_t kind : {L'C', L'S'}) {
        digest(kind, missing);
        EXPECT_TRUE(output_untouched()) << "missing file, kind " << char(kind);
    }
    reset_output();
    EXPECT_NE(file_digest_text(L'C', missing.c_str(), out_), FILE_DIGEST_DONE);
    EXPECT_TRUE(output_untouched());

    std::wstring path = put(L"data.bin", std::vector<uint8_t>(70000, 0x5A));
    for (wchar_t kind : {L'Z', L'c', L's', L'\0'}) {
        digest(kind, path);
        EXPECT_TRUE(output_untouched()) << "kind " << int(kind);
    }

    // Shrunk after its size was taken: the second read delivers nothing.
    std::vector<uint8_t> bytes(7000000, 0xA5);
    path = put(L"shrinking.bin", bytes);
    for (wchar_t kind : {L'C', L'E'}) {
        ASSERT_TRUE(PutBytes(path, bytes.data(), static_cast<uint32_t>(bytes.size())));
        g_reads.clear();
        g_before_read = [&](size_t index, sOpenFile *) {
            if (index == 1) {
                EXPECT_TRUE(CutFile(path, kind == L'C' ? CRC_BLOCK : 6291456));
            }
        };
        digest(kind, path);
        EXPECT_TRUE(output_untouched()) << "kind " << char(kind);
        ASSERT_EQ(g_reads.size(), 2u);
        EXPECT_EQ(g_reads[1].got, 0u);
    }

    // A read that fails part-way, through either entry point.
    for (wchar_t kind : {L'C', L'M'}) {
        ASSERT_TRUE(PutBytes(path, bytes.data(), static_cast<uint32_t>(bytes.size())));
        g_reads.clear();
        g_before_read = [&](size_t index, sOpenFile *file) {
            if (index == 1)
                make_reads_fail(file, path);
        };
        digest(kind, path);
        EXPECT_TRUE(output_untouched()) << "kind " << char(kind);
        ASSERT_EQ(g_reads.size(), 2u);
        EXPECT_EQ(g_reads[1].got, 0xFFFFFFFFu);
    }
    reset_output();
    g_reads.clear();
    EXPECT_NE(file_digest_text(L'C', path.c_str(), out_), FILE_DIGEST_DONE);
    EXPECT_TRUE(output_untouched());
    EXPECT_EQ(g_reads.size(), 2u);
}

// One open serves every read of a digest. The file is shared for reading and
// writing only, so while it is being digested it cannot be deleted under the
// digest, which therefore covers the whole file.
TEST_F(FileDigest, OneOpenServesTheWholeDigest)
{
    std::mt19937 rng(7);
    std::vector<uint8_t> bytes = random_bytes(rng, 6291456 + 100);
    std::wstring path = put(L"held.bin", bytes);
    for (wchar_t kind : {L'C', L'S'}) {
        g_reads.clear();
        BOOL deleted = TRUE;
        DWORD error = 0;
        g_before_read = [&](size_t index, sOpenFile *) {
            if (index == 1) {
                deleted = DeleteFileW(path.c_str());
                error = GetLastError();
            }
        };
        std::string text = digest(kind, path);
        EXPECT_EQ(text, digest_hex(kind, bytes));
        EXPECT_FALSE(deleted) << "kind " << char(kind);
        EXPECT_EQ(error, DWORD(ERROR_SHARING_VIOLATION)) << "kind " << char(kind);
        EXPECT_TRUE(Exists(path));
        ASSERT_EQ(g_reads.size(), kind == L'C' ? (bytes.size() + CRC_BLOCK - 1) / CRC_BLOCK : 2u);
        for (const BlockRead &read : g_reads)
            EXPECT_EQ(read.file, g_reads[0].file);
    }

    // Closed again at the end: now the file can go.
    g_before_read = nullptr;
    EXPECT_EQ(digest(L'C', path), digest_hex(L'C', bytes));
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

// Several kinds in one read: each text is that kind's alone, the reads are
// those of the kind with the largest block, and a kind without an engine
// fails the whole digest with every text as given.
TEST_F(FileDigest, SeveralKindsShareOneRead)
{
    std::mt19937 rng(8);
    std::vector<uint8_t> bytes = random_bytes(rng, 3 * CRC_BLOCK + 7);
    std::wstring path = put(L"candidates.bin", bytes);
    const utf16 kinds[3] = {L'C', L'S', L'E'};
    utf16 texts[3][DIGEST_TEXT_CAPACITY] = {};
    utf16 *outs[3] = {texts[0], texts[1], texts[2]};
    file_digest_buffer buffer = {};
    uint64_t bytes_read = 0;
    ASSERT_EQ(file_digests_text_with(kinds, 3, path.c_str(), outs, &buffer, &bytes_read),
              FILE_DIGEST_DONE);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(narrow(texts[k]), digest_hex(kinds[k], bytes)) << "kind " << char(kinds[k]);
    EXPECT_EQ(bytes_read, bytes.size());
    ASSERT_EQ(g_reads.size(), 1u) << "the SHA-3 block holds the whole file";

    const utf16 unknown[2] = {L'C', L'?'};
    reset_output();
    utf16 *untouched[2] = {texts[0], out_};
    EXPECT_EQ(file_digests_text_with(unknown, 2, path.c_str(), untouched, &buffer, &bytes_read),
              FILE_DIGEST_UNREADABLE);
    EXPECT_TRUE(output_untouched());
    EXPECT_EQ(file_digests_text_with(kinds, 2, (folder_ + L"\\gone.bin").c_str(), outs, &buffer,
                                     &bytes_read),
              FILE_DIGEST_NOT_FOUND);
    release_file_digest_buffer(&buffer);
}

// A file past 4 GiB (sparse, so it costs no disk) with bytes straddling the
// 4 GiB mark and near its end: a size or offset cut to 32 bits would stop
// early or read the wrong place.
TEST_F(FileDigest, FilesOf4GiBAndMoreAreDigestedToTheEnd)
{
    const uint64_t size = (1ull << 32) + 65536 + 5;
    struct Mark {
        uint64_t at;
        const char *bytes;
    };
    const Mark marks[3] = {{0, "head"}, {(1ull << 32) - 2, "4GiB"}, {size - 3, "end"}};

    std::wstring path = folder_ + L"\\big.bin";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    bool written = true;
    for (const Mark &mark : marks) {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(mark.at);
        DWORD n = 0;
        written = written && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
                  WriteFile(file, mark.bytes, DWORD(std::strlen(mark.bytes)), &n, nullptr) &&
                  n == std::strlen(mark.bytes);
    }
    CloseHandle(file);
    ASSERT_TRUE(written);

    // The same content through the engine, 64 KiB at a time.
    std::vector<uint8_t> chunk(65536);
    digest_context crc;
    digest_init(&crc, u'C');
    for (uint64_t at = 0; at < size; at += chunk.size()) {
        uint32_t n = static_cast<uint32_t>(size - at < chunk.size() ? size - at : chunk.size());
        std::memset(chunk.data(), 0, n);
        for (const Mark &mark : marks)
            for (uint64_t i = 0; i < std::strlen(mark.bytes); ++i)
                if (mark.at + i >= at && mark.at + i < at + n)
                    chunk[mark.at + i - at] = static_cast<uint8_t>(mark.bytes[i]);
        digest_update(&crc, chunk.data(), n);
    }
    utf16 expected[9];
    digest_final_text(&crc, expected);

    EXPECT_EQ(digest(L'C', path), narrow(expected));
    EXPECT_EQ(g_reads.size(), (size + CRC_BLOCK - 1) / CRC_BLOCK);
}

}  // namespace
