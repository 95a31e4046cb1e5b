#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "window/window.h"
#include "hash/hash.h"
#include "jobs/jobs.h"
#include "jobs/worker.h"
#include "tests/support/expected_digest.h"
#include "tests/support/gui_harness.h"
#include "tests/support/scratch.h"
#include "tests/support/job_harness.h"

namespace {

// Bytes that cross the file digest's read blocks and are not all alike.
std::string SampleBytes(size_t count)
{
    std::string bytes(count, '\0');
    uint32_t state = 2463534242u;
    for (char &byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state);
    }
    return bytes;
}

struct SwitchCase {
    const wchar_t *option;
    char kind;
    size_t digits;
};

TEST(SingleFileJob, DigestsTheFileWithEachAlgorithmLikeTheEngine)
{
    std::wstring folder = MakeScratchFolder();
    std::string bytes = SampleBytes(150000);
    std::wstring path = PutFileIn(folder, L"sample.bin", bytes);
    const SwitchCase cases[] = {
        {L"", 'S', 64},        {L"-crc", 'C', 8},     {L"-sha224", 'E', 56},
        {L"-sha256", 'S', 64}, {L"-sha384", 'M', 96}, {L"-sha512", 'H', 128},
    };
    for (const SwitchCase &c : cases) {
        SCOPED_TRACE(c.kind);
        std::wstring command_line = L"talvor.exe -file=\"" + path + L"\" " + c.option;
        ASSERT_EQ(gui::Start(command_line.c_str(), SW_HIDE), 1);
        ASSERT_TRUE(gui::PumpUntilJobEnded());
        ASSERT_EQ(gui::RowCount(), 1);
        EXPECT_EQ(gui::Cell(0, 0), path);
        std::wstring digest = gui::Cell(0, 1);
        EXPECT_EQ(digest, widen(digest_hex(utf16(c.kind), bytes.data(), bytes.size())));
        EXPECT_EQ(digest.size(), c.digits);
        EXPECT_EQ(gui::Cell(0, 2), L"Created");
        bool popout = false;
        EXPECT_EQ(gui::StatusText(2, &popout), L"OK");
        EXPECT_TRUE(popout);
        EXPECT_EQ(gui::StatusText(3, &popout), L"Ready");
        EXPECT_TRUE(popout);
        EXPECT_EQ(gui::ProgressMax(), 100);
        EXPECT_EQ(gui::ProgressPos(), 100);
        // Counted, so Save writes it.
        ASSERT_EQ(g_app.entry_count, 1);
        EXPECT_EQ(g_app.entries[0].kind, c.kind);
        EXPECT_EQ(std::wstring(g_app.entries[0].digest), digest);
        EXPECT_EQ(std::wstring(g_app.entries[0].path), path);
        EXPECT_EQ(gui::Close(), 0);
    }

    // A known vector through the whole road.
    std::wstring known = PutFileIn(folder, L"digits.txt", "123456789");
    std::wstring command_line = L"talvor.exe -crc -file=" + known;
    ASSERT_EQ(gui::Start(command_line.c_str(), SW_HIDE), 1);
    ASSERT_TRUE(gui::PumpUntilJobEnded());
    EXPECT_EQ(gui::Cell(0, 1), L"E3069283");
    EXPECT_EQ(gui::Close(), 0);
    DeleteFileW(path.c_str());
    DeleteFileW(known.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(SingleFileJob, AFileThatCannotBeReadIsAFailedRowAndNothingToSave)
{
    const wchar_t *const command_lines[] = {
        L"talvor.exe -file=Z:\\no\\such\\folder\\missing.bin -sha512",
        L"talvor.exe -file=",
    };
    const wchar_t *const paths[] = {L"Z:\\no\\such\\folder\\missing.bin", L""};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(gui::Start(command_lines[i], SW_HIDE), 1);
        ASSERT_TRUE(gui::PumpUntilJobEnded());
        ASSERT_EQ(gui::RowCount(), 1);
        EXPECT_EQ(gui::Cell(0, 0), paths[i]);
        EXPECT_EQ(gui::Cell(0, 1), L"");
        EXPECT_EQ(gui::Cell(0, 2), L"ERROR");
        EXPECT_EQ(gui::StatusText(2), L"BAD");
        EXPECT_EQ(gui::StatusText(3), L"Ready");
        EXPECT_EQ(gui::ProgressPos(), 100);
        EXPECT_EQ(g_app.entry_count, 0);
        EXPECT_EQ(g_app.entries, nullptr);
        EXPECT_EQ(gui::Close(), 0);
    }
}

TEST(Dispatcher, ANewJobClearsTheOldResultAndNoJobTouchesNothing)
{
    std::wstring folder = MakeScratchFolder();
    std::wstring path = PutFileIn(folder, L"a.txt", "abc");
    std::wstring command_line = L"talvor.exe -file=" + path;
    ASSERT_EQ(gui::Start(command_line.c_str(), SW_HIDE), 1);
    ASSERT_TRUE(gui::PumpUntilJobEnded());
    ASSERT_EQ(gui::RowCount(), 1);
    EXPECT_EQ(gui::Cell(0, 1), L"3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532");
    Entry *old_table = g_app.entries;
    ASSERT_NE(old_table, nullptr);

    // Pending job 0: neither the list, the progress nor the table changes.
    AddResultRow(L"x", L"y", L"z");
    SetProgressPos(37);
    DispatchPendingJob();
    EXPECT_EQ(gui::RowCount(), 2);
    EXPECT_EQ(gui::ProgressPos(), 37);
    EXPECT_EQ(g_app.entries, old_table);
    EXPECT_EQ(g_app.entry_count, 1);

    // The next job starts from an empty list and a released table even
    // though it then finds nothing.
    std::wstring missing = L"-file=" + folder + L"\\gone.txt";
    ASSERT_EQ(SetTargetPath(missing.c_str(), 6), 0);
    g_app.pending_job = JOB_SINGLE_FILE;
    DispatchPendingJob();
    EXPECT_EQ(g_app.pending_job, 0);
    ASSERT_TRUE(gui::PumpUntilJobEnded());
    EXPECT_EQ(gui::RowCount(), 1);
    EXPECT_EQ(gui::Cell(0, 2), L"ERROR");
    EXPECT_EQ(g_app.entries, nullptr);
    EXPECT_EQ(g_app.entry_count, 0);
    EXPECT_EQ(gui::Close(), 0);
    DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(Display, RowsStatusTextsProgressAndMenuOnTheUiThread)
{
    ASSERT_EQ(gui::Start(L"talvor.exe", SW_HIDE), 1);
    ClearResultList();
    EXPECT_EQ(gui::RowCount(), 0);
    AddResultRow(L"A", L"1", L"Created");
    AddResultRow(L"B", L"2", L"OK");
    AddResultRow(L"C", L"3", L"MISMATCH");
    ASSERT_EQ(gui::RowCount(), 3);
    const wchar_t *const expected[3][3] = {
        {L"C", L"3", L"MISMATCH"}, {L"B", L"2", L"OK"}, {L"A", L"1", L"Created"}};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(gui::Cell(row, column), expected[row][column]);
    ClearResultList();
    EXPECT_EQ(gui::RowCount(), 0);

    bool popout = false;
    SetStatusText(STATUS_ACTIVITY, L"Work", true);
    EXPECT_EQ(gui::StatusText(3, &popout), L"Work");
    EXPECT_TRUE(popout);
    SetStatusText(STATUS_ACTIVITY, L"Work 30%", false);
    EXPECT_EQ(gui::StatusText(3, &popout), L"Work 30%");
    EXPECT_FALSE(popout);
    SetStatusText(STATUS_COUNT, L"Files: 12", false);
    EXPECT_EQ(gui::StatusText(1), L"Files: 12");
    SetStatusText(STATUS_COUNT, L"", true);
    EXPECT_EQ(gui::StatusText(1), L"");

    SetProgressRange(250);
    SetProgressPos(125);
    EXPECT_EQ(gui::ProgressMin(), 0);
    EXPECT_EQ(gui::ProgressMax(), 250);
    EXPECT_EQ(gui::ProgressPos(), 125);

    EXPECT_EQ(gui::Close(), 0);

    // Once the window is gone every operation does nothing.
    AddResultRow(L"late", L"", L"");
    SetStatusText(STATUS_PHASE, L"late", true);
    SetProgressPos(1);
    ClearResultList();
    ShowErrorMessage(L"never shown");
}

// The worker's calls are carried to the UI thread, also while it sits in a
// modal loop, and each returns only once it has taken effect.
TEST(Display, CallsFromAnotherThreadRunSynchronouslyEvenUnderAModalBox)
{
    ASSERT_EQ(gui::Start(L"talvor.exe", SW_HIDE), 1);
    HWND list = gui::ResultList();
    int counts_seen[3] = {};
    std::thread worker([&] {
        HWND about = gui::WaitForWindow(L"#32770", L"About Ostrik");
        for (int i = 0; i < 3; ++i) {
            AddResultRow(L"path", L"digest", L"Created");
            counts_seen[i] = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        }
        SetStatusText(STATUS_ACTIVITY, L"Work 60%", false);
        PostMessageW(about, WM_COMMAND, IDOK, 0);
    });
    ShowAboutDialog();
    worker.join();
    EXPECT_EQ(counts_seen[0], 1);
    EXPECT_EQ(counts_seen[1], 2);
    EXPECT_EQ(counts_seen[2], 3);
    EXPECT_EQ(gui::StatusText(3), L"Work 60%");

    // The private message from anywhere but a waiting call runs nothing.
    EXPECT_EQ(SendMessageW(gui::MainWindow(), WM_APP_RUN_UI_CALL, 0, 0), 0);
    EXPECT_EQ(gui::RowCount(), 3);

    // Several reporting threads at once: not one call is lost.
    constexpr int THREADS = 4;
    constexpr int ROWS_EACH = 100;
    std::atomic<int> finished{0};
    std::vector<std::thread> reporters;
    for (int t = 0; t < THREADS; ++t)
        reporters.emplace_back([&] {
            for (int i = 0; i < ROWS_EACH; ++i)
                AddResultRow(L"path", L"digest", L"OK");
            ++finished;
        });
    EXPECT_TRUE(gui::PumpUntil([&] { return finished == THREADS; }));
    for (std::thread &reporter : reporters)
        reporter.join();
    EXPECT_EQ(gui::RowCount(), 3 + THREADS * ROWS_EACH);
    EXPECT_EQ(gui::Close(), 0);
}

TEST(Display, ErrorMessageIsABoxOwnedByTheMainWindow)
{
    ASSERT_EQ(gui::Start(L"talvor.exe", SW_HIDE), 1);
    for (bool from_worker : {false, true}) {
        ErrorBoxWatch watch;
        StartErrorBoxWatch(&watch);
        if (from_worker) {
            std::atomic<bool> returned{false};
            std::thread worker([&] {
                ShowErrorMessage(L"ERROR: Not enough free memory!");
                returned = true;
            });
            // The UI thread keeps serving messages while the worker waits.
            gui::PumpUntil([&] { return returned.load(); });
            worker.join();
        } else {
            ShowErrorMessage(L"ERROR: Not enough free memory!");
        }
        StopErrorBoxWatch(&watch);
        ASSERT_EQ(watch.texts.size(), 1u) << from_worker;
        EXPECT_EQ(watch.texts[0], L"ERROR: Not enough free memory!") << from_worker;
        EXPECT_EQ(watch.owners[0], gui::MainWindow()) << from_worker;
    }
    EXPECT_EQ(gui::Close(), 0);
}

}  // namespace
