// A read block that cannot be had fails the file digest with the caller's
// buffer untouched. The link step wraps malloc; while armed, the wrapper
// refuses allocations of a read block's size (64 KiB or 6 MiB) and passes
// everything else through.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "hash/hash.h"
#include "tests/support/scratch.h"
#include "tests/hash/hash_test_util.h"

extern "C" void *__real_malloc(size_t size);

namespace {

bool g_armed;
int g_refused;

bool is_read_block_size(size_t size)
{
    return size == 0x100000 || size == 0x600000;
}

}  // namespace

extern "C" void *__wrap_malloc(size_t size)
{
    if (g_armed && is_read_block_size(size)) {
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
        file_digest_text(kind, path.c_str(), out);
        g_armed = false;
        EXPECT_EQ(g_refused, 1) << "kind " << char(kind);
        EXPECT_EQ(narrow(out), std::string(DIGEST_TEXT_CAPACITY, '#')) << "kind " << char(kind);

        file_digest_text(kind, path.c_str(), out);
        EXPECT_EQ(narrow(out).size(), size_t(kind_digest_length(kind))) << "unarmed, it works";
    }
    RemoveTree(folder);
}

}  // namespace
