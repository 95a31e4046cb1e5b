// Files dropped on the main window, delivered as the shell delivers them: a
// WM_DROPFILES whose HDROP is a DROPFILES block in movable global memory.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "fileio/fileio.h"
#include "jobs/jobs.h"
#include "window/window.h"
#include "window/window_record.h"
#include "tests/support/gui_harness.h"
#include "tests/support/job_harness.h"
#include "tests/support/scratch.h"

namespace {

const DWORD NOTHING_HAPPENS_MS = 300;

// The DROPFILES header, then the wide paths each ended by a NUL and the
// list ended by one more.
HDROP MakeDrop(const std::vector<std::wstring> &paths)
{
    size_t units = 1;
    for (const std::wstring &path : paths)
        units += path.size() + 1;
    HGLOBAL memory =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * sizeof(wchar_t));
    DROPFILES *drop = static_cast<DROPFILES *>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    wchar_t *at = reinterpret_cast<wchar_t *>(reinterpret_cast<char *>(drop) + sizeof(DROPFILES));
    for (const std::wstring &path : paths) {
        std::memcpy(at, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        at += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Posts the drop and waits for the job it starts to end; false when no job
// started (nothing reached the status bar).
bool DropAndWait(const std::vector<std::wstring> &paths)
{
    ClearStatusLog();
    PostMessageW(g_win.main_window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    gui::PumpFor(NOTHING_HAPPENS_MS);
    if (StatusLog().empty())
        return false;
    return gui::PumpUntilJobEnded(60000);
}

class DropTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestWindow();
        StoreHashChoice(HASH_CRC32C);
        folder = MakeScratchFolder();
        tree = MakeSubFolder(folder, L"tree");
        a = PutFileIn(tree, L"a.txt", "abc");
        b = PutFileIn(tree, L"b.txt", "123456789");
    }
    void TearDown() override
    {
        StoreHashChoice(HASH_AUTO);
        RemoveTree(folder);
    }

    std::wstring folder, tree, a, b;
};

}  // namespace

TEST_F(DropTest, AFolderScansAListChecksAnyOtherFileIsDigested)
{
    // A folder: scanned with the algorithm chosen in Options.
    ASSERT_TRUE(DropAndWait({tree}));
    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(CountStatus(rows, L"Created"), 2);
    EXPECT_EQ(rows[0].digest.size(), 8u);

    // Lists of both formats, whatever their names: checked.
    std::wstring lists = MakeSubFolder(folder, L"lists");
    const std::wstring names[] = {L"\\list.qcx", L"\\list.txt", L"\\qcx-named.dat",
                                  L"\\tagged-named.bin"};
    ASSERT_EQ(SaveChecksumListTo((lists + names[0]).c_str()), FILE_OK);
    ASSERT_EQ(SaveChecksumListTo((lists + names[1]).c_str()), FILE_OK);
    PutBytes(lists + names[2], GetBytes(lists + names[0]));
    PutBytes(lists + names[3], GetBytes(lists + names[1]));
    for (const std::wstring &name : names) {
        ASSERT_TRUE(DropAndWait({lists + name}));
        rows = ReadResultRows();
        ASSERT_EQ(rows.size(), 2u) << std::string(name.begin(), name.end());
        EXPECT_EQ(CountStatus(rows, L"OK"), 2);
        EXPECT_EQ(gui::StatusText(STATUS_COUNT), L"Files: 2");
    }

    // Any other file, text that merely looks like a list line included: one
    // digest row, like -file=.
    const std::wstring others[] = {
        a, PutFileIn(folder, L"utf16.txt", "\xFF\xFE" + Utf16Bytes(L"hello")),
        PutFileIn(folder, L"near.txt", "CRC32C a.txt 364B3FB7\nnot a list\n")};
    for (const std::wstring &other : others) {
        ASSERT_TRUE(DropAndWait({other}));
        rows = ReadResultRows();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].path, other);
        EXPECT_EQ(rows[0].status, L"Created");
    }
}

TEST_F(DropTest, NothingHappensForSeveralItemsOrWhileAJobRuns)
{
    ASSERT_TRUE(DropAndWait({a}));
    EXPECT_FALSE(DropAndWait({a, b}));
    EXPECT_FALSE(DropAndWait({}));

    // A worker owns the target path and the entry table.
    MarkJobRunning();
    EXPECT_FALSE(DropAndWait({tree}));
    MarkJobEnded(false);
    EXPECT_EQ(g_app.pending_job, JOB_NONE);
    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].path, a);
}
