// A read block, or an open's path buffer, that cannot be had fails the file
// digest as out of memory with the caller's buffer untouched. The link step
// wraps malloc; while armed, the wrapper refuses allocations of a read
// block's size (1 MiB or 6 MiB), or of a path buffer's, and passes
// everything else through.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/fileio.h"
#include "hash/file_digest.h"
#include "tests/support/scratch.h"
#include "tests/hash/hash_test_util.h"

extern "C" void *__real_malloc(size_t size);

namespace {

bool g_armed;
bool g_path_buffers_refused;
int g_refused;

bool is_refused_size(size_t size)
{
    if (g_path_buffers_refused)
        return size == LONG_PATH_UNITS * sizeof(wchar_t);
    return size == 0x100000 || size == 0x600000;
}

}  // namespace

extern "C" void *__wrap_malloc(size_t size)
{
    if (g_armed && is_refused_size(size)) {
        ++g_refused;
        return nullptr;
    }
    return __real_malloc(size);
}

namespace {

TEST(FileDigestAlloc, RefusedBlockLeavesTheBufferAsItWas)
{
    std::wstring folder = MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
    std::wstring path = folder + L"\\blocks.bin";
    ASSERT_TRUE(PutFile(path, 6291456 + 70000));
    detect_sse42();

    for (wchar_t kind : {L'C', L'E', L'S', L'M', L'H'}) {
        utf16 out[DIGEST_TEXT_CAPACITY + 1];
        for (auto &unit : out)
            unit = L'#';
        out[DIGEST_TEXT_CAPACITY] = 0;
        g_refused = 0;
        g_armed = true;
        file_digest_result result = file_digest_text(kind, path.c_str(), out);
        g_armed = false;
        EXPECT_EQ(result, FILE_DIGEST_NO_MEMORY) << "kind " << char(kind);
        EXPECT_EQ(g_refused, 1) << "kind " << char(kind);
        EXPECT_EQ(narrow(out), std::string(DIGEST_TEXT_CAPACITY, '#')) << "kind " << char(kind);

        file_digest_text(kind, path.c_str(), out);
        EXPECT_EQ(narrow(out).size(), size_t(kind_digest_length(kind))) << "unarmed, it works";
    }
    RemoveTree(folder);
}

// A path beyond the short form takes its long form from the heap, on the
// lanes as alone.
TEST(FileDigestAlloc, RefusedPathBufferIsOutOfMemoryOnTheLanesToo)
{
    std::wstring folder = MakeScratchFolder();
    std::wstring deep = MakeDeepFolder(folder, SHORT_PATH_UNITS + 100);
    ASSERT_FALSE(deep.empty());
    std::wstring path = deep + L"\\deep.bin";
    ASSERT_TRUE(PutFile(LongForm(path), 1000));
    file_lanes *lanes = create_file_lanes(nullptr, nullptr);
    utf16 out[DIGEST_TEXT_CAPACITY] = {};
    file_digest_result on_lanes = FILE_DIGEST_DONE;
    uint64_t bytes_read = 0;
    g_path_buffers_refused = true;
    g_armed = true;
    bool started =
        lanes && file_lanes_start(lanes, L'S', path.c_str(), out, &on_lanes, &bytes_read, nullptr);
    file_digest_result alone = file_digest_text(L'C', path.c_str(), out);
    g_armed = false;
    g_path_buffers_refused = false;
    EXPECT_EQ(alone, FILE_DIGEST_NO_MEMORY);
    EXPECT_FALSE(started);
    if (lanes) {
        EXPECT_EQ(on_lanes, FILE_DIGEST_NO_MEMORY);
    }
    EXPECT_EQ(out[0], 0);
    release_file_lanes(lanes);
    RemoveTree(folder);
}

}  // namespace
