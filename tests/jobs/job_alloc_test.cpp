// Without memory for the walk or for the list's entry table, a scan and a
// check still end as failures the user can see: the message, "BAD", "Ready"
// and the job commands back. The link step wraps malloc and realloc (the
// compiler turns a realloc of nothing into a malloc); while armed, the
// wrappers refuse requests of exactly the table size under test.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/app.h"
#include "checklist/checklist.h"
#include "fileio/fileio.h"
#include "jobs/jobs.h"
#include "tests/support/gui_harness.h"
#include "tests/support/scratch.h"
#include "tests/support/job_harness.h"

extern "C" {
void *__real_malloc(size_t size);
void *__real_realloc(void *block, size_t size);
}

namespace {

volatile size_t g_refused_size;

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
    ErrorBoxWatch watch;
    StartErrorBoxWatch(&watch);
    // The walker's first item array; the joined path; the list's first entry table.
    const struct {
        int32_t job;
        std::wstring target;
        size_t table_size;
    } jobs[] = {{JOB_FOLDER_SCAN, folder, 128 * sizeof(sDirItem)},
                {JOB_CHECK, tagged, joined_size},
                {JOB_CHECK, list, CHECKLIST_INITIAL_CAPACITY * sizeof(Entry)}};
    for (const auto &job : jobs) {
        SCOPED_TRACE(job.job);
        g_refused_size = job.table_size;
        RunJobAndWait(job.job, job.target);
        g_refused_size = 0;
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
    ASSERT_EQ(watch.texts.size(), 3u);
    for (const std::wstring &text : watch.texts)
        EXPECT_EQ(text, L"ERROR: Not enough free memory!");
    EXPECT_EQ(g_app.entry_count, 0);
    RemoveTree(folder);
}

}  // namespace
