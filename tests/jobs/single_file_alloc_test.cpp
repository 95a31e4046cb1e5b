// Without memory for its entry or its read block the single-file job still
// ends as a failure the user can see, and leaves no table behind. The link
// step wraps calloc and malloc; while armed, the wrappers refuse the one
// allocation under test.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/app.h"
#include "hash/hash.h"
#include "tests/support/gui_harness.h"
#include "tests/support/job_harness.h"
#include "tests/support/scratch.h"

extern "C" void *__real_calloc(size_t count, size_t size);
extern "C" void *__real_malloc(size_t size);

namespace {

struct Refusal {
    size_t count;  // 0: a malloc of `size`
    size_t size;
};

// The file's size, and so its read block's: no other request has it.
constexpr uint32_t FILE_BYTES = 54321;

Refusal g_refuse;
bool g_armed;

}  // namespace

extern "C" void *__wrap_calloc(size_t count, size_t size)
{
    if (g_armed && count == g_refuse.count && size == g_refuse.size)
        return nullptr;
    return __real_calloc(count, size);
}

extern "C" void *__wrap_malloc(size_t size)
{
    if (g_armed && g_refuse.count == 0 && size == g_refuse.size)
        return nullptr;
    return __real_malloc(size);
}

namespace {

TEST(SingleFileJob, NoMemoryForTheEntryOrTheReadBlockShowsTheErrorAndAFailedRow)
{
    std::wstring folder = MakeScratchFolder();
    std::wstring path = folder + L"\\a.txt";
    ASSERT_TRUE(PutFile(path, FILE_BYTES));
    // CRC-32C reads through the read block (SHA-3 files go on lanes).
    std::wstring command_line = L"talvor.exe -crc -file=" + path;
    const Refusal refusals[] = {
        {1, sizeof(Entry)}, {DIGEST_TEXT_CAPACITY, sizeof(utf16)}, {0, FILE_BYTES}};
    for (const Refusal &refusal : refusals) {
        SCOPED_TRACE(refusal.count);
        ASSERT_EQ(gui::Start(command_line.c_str(), SW_HIDE), 1);
        ErrorBoxWatch watch;
        StartErrorBoxWatch(&watch);
        g_refuse = refusal;
        g_armed = true;
        bool ended = gui::PumpUntilJobEnded();
        g_armed = false;
        StopErrorBoxWatch(&watch);
        ASSERT_TRUE(ended);
        ASSERT_EQ(watch.texts.size(), 1u);
        EXPECT_EQ(watch.texts[0], L"ERROR: Not enough free memory!");
        ASSERT_EQ(gui::RowCount(), 1);
        EXPECT_EQ(gui::Cell(0, 0), path);
        EXPECT_EQ(gui::Cell(0, 1), L"");
        EXPECT_EQ(gui::Cell(0, 2), L"ERROR");
        EXPECT_EQ(gui::StatusText(2), L"BAD");
        EXPECT_EQ(g_app.entries, nullptr);
        EXPECT_EQ(g_app.entry_count, 0);
        EXPECT_EQ(gui::Close(), 0);
    }
    DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
