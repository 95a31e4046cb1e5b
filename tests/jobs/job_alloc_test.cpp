// Without memory for the walk, the list's entry table, the digest pipeline
// or a hashing thread's read block, a scan and a check still end as failures
// the user can see: the message, "BAD", "Ready" and the job commands back. The link step wraps
// malloc, calloc and realloc (the compiler turns a realloc of nothing into a
// malloc); while armed, the wrappers refuse requests of exactly the size
// under test, and calloc also every block from a given size on (the
// pipeline's, the one such block a job asks for).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/app.h"
#include "checklist/checklist.h"
#include "fileio/fileio.h"
#include "jobs/jobs.h"
#include "window/ids.h"
#include "tests/support/gui_harness.h"
#include "tests/support/scratch.h"
#include "tests/support/job_harness.h"

extern "C" {
void *__real_malloc(size_t size);
void *__real_realloc(void *block, size_t size);
void *__real_calloc(size_t count, size_t size);
}

namespace {

volatile size_t g_refused_size;
volatile size_t g_refused_calloc_from;
// Larger than any calloc of a job (the target path's is 64 KiB) but the
// digest pipeline's ring.
constexpr size_t PIPELINE_BLOCK_FROM = 64 * 1024 + 1;
// The size of the largest file, and so of the read block a hashing thread
// grows to for it: no other request has it.
constexpr uint32_t READ_BLOCK_BYTES = 54321;

}  // namespace

extern "C" {
void *__wrap_malloc(size_t size)
{
    return size == g_refused_size ? nullptr : __real_malloc(size);
}

void *__wrap_realloc(void *block, size_t size)
{
    return size == g_refused_size ? nullptr : __real_realloc(block, size);
}

void *__wrap_calloc(size_t count, size_t size)
{
    size_t bytes = count * size;
    bool refused =
        bytes == g_refused_size || (g_refused_calloc_from && bytes >= g_refused_calloc_from);
    return refused ? nullptr : __real_calloc(count, size);
}
}

namespace {

TEST(JobMemory, ScanAndCheckThatRunOutOfMemoryEndBadAndReady)
{
    StartTestWindow();
    std::wstring folder = MakeScratchFolder();
    std::wstring file = folder + L"\\a.bin";
    PutBytes(file, "abc");
    std::wstring list = folder + L"\\a.qcx";
    PutBytes(list, ListBytes(L"C\t364B3FB7\t" + file + L"\r\n"));
    // A tagged list's relative path, joined to the list's folder.
    // Its length sets it apart from every other request of the run.
    const std::string name = "a file named at such length that no other request has its size.bin";
    std::wstring tagged = PutFileIn(folder, L"a.txt", "CRC32C (" + name + ") = 364B3FB7\n");
    size_t joined_size = (folder.size() + 1 + name.size() + 1) * sizeof(wchar_t);
    std::wstring block_file = folder + L"\\block.bin";
    PutFile(block_file, READ_BLOCK_BYTES);
    std::wstring block_list = folder + L"\\block.qcx";
    PutBytes(block_list, ListBytes(L"C\t00000000\t" + block_file + L"\r\n"));
    // CRC-32C files are read through the read block, SHA-3 ones on lanes.
    StoreHashChoice(HASH_CRC32C);
    ErrorBoxWatch watch;
    StartErrorBoxWatch(&watch);
    // The walker's first item array; the pipeline of a scan and of a check;
    // the read block in a scan and in a check; the joined path; the list's
    // first entry table.
    const struct {
        int32_t job;
        std::wstring target;
        size_t table_size;
        size_t calloc_from;
    } jobs[] = {{JOB_FOLDER_SCAN, folder, 128 * sizeof(sDirItem), 0},
                {JOB_FOLDER_SCAN, folder, 0, PIPELINE_BLOCK_FROM},
                {JOB_CHECK, list, 0, PIPELINE_BLOCK_FROM},
                {JOB_FOLDER_SCAN, folder, READ_BLOCK_BYTES, 0},
                {JOB_CHECK, block_list, READ_BLOCK_BYTES, 0},
                {JOB_CHECK, tagged, joined_size, 0},
                {JOB_CHECK, list, CHECKLIST_INITIAL_CAPACITY * sizeof(Entry), 0}};
    for (const auto &job : jobs) {
        SCOPED_TRACE(job.job);
        g_refused_size = job.table_size;
        g_refused_calloc_from = job.calloc_from;
        RunJobAndWait(job.job, job.target);
        g_refused_size = 0;
        g_refused_calloc_from = 0;
        EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
        EXPECT_EQ(gui::StatusText(STATUS_ACTIVITY), L"Ready");
        EXPECT_TRUE(gui::JobCommandsEnabled());
        // What was read stays whole for the next job to release.
        if (job.target == tagged) {
            ASSERT_EQ(g_app.entry_count, 1);
            EXPECT_EQ(std::wstring(g_app.entries[0].path), std::wstring(name.begin(), name.end()));
        }
    }
    StopErrorBoxWatch(&watch);
    StoreHashChoice(HASH_AUTO);
    ASSERT_EQ(watch.texts.size(), 7u);
    for (const std::wstring &text : watch.texts)
        EXPECT_EQ(text, L"ERROR: Not enough free memory!");
    EXPECT_EQ(g_app.entry_count, 0);
    RemoveTree(folder);
}

}  // namespace
