// Folder scan, check and save run in this process against a hidden main
// window, from the request to the re-enabled job commands.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/app.h"
#include "fileio/fileio.h"
#include "jobs/jobs.h"
#include "jobs/worker.h"
#include "jobs/pipeline.h"
#include "jobs/progress.h"
#include "window/window.h"
#include "window/window_record.h"
#include "tests/support/expected_digest.h"
#include "tests/support/gui_harness.h"
#include "tests/support/scratch.h"
#include "tests/support/job_harness.h"

namespace {

const wchar_t SAVE_ERROR[] = L"ERROR: Could not save the checksum list!";

class JobTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestWindow();
        g_app.hash_choice = HASH_AUTO;
        folder = MakeScratchFolder();
        ClearStatusLog();
    }
    void TearDown() override { RemoveTree(folder); }

    std::wstring MakeFiles(const std::wstring &sub, int count)
    {
        std::wstring dir = folder + L"\\" + sub;
        CreateDirectoryW(dir.c_str(), nullptr);
        for (int i = 0; i < count; ++i)
            PutBytes(dir + L"\\f" + std::to_wstring(i) + L".bin", "content " + std::to_string(i));
        return dir;
    }

    std::wstring folder;
};

}  // namespace

TEST_F(JobTest, ScanShowsProgressAndEndsReady)
{
    RunJobAndWait(JOB_FOLDER_SCAN, MakeFiles(L"ten", 10));
    // The percentage shows the latest fifth item reached (index 8 of 10).
    EXPECT_TRUE(StatusLogHas(STATUS_ACTIVITY, L"Work 80%"));
    EXPECT_EQ(gui::StatusText(STATUS_ACTIVITY), L"Ready");
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"OK");
    EXPECT_EQ(g_app.entry_count, 10);
    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(CountStatus(rows, L"Created"), 10);
    EXPECT_EQ(rows[0].path, std::wstring(g_app.entries[9].path));
    EXPECT_EQ(rows[0].digest.size(), 64u);

    // Index 53 of 100 in single precision is 52.99...%, shown truncated.
    ClearStatusLog();
    ShowWorkPercentage(53, 100);
    EXPECT_TRUE(StatusLogHas(STATUS_ACTIVITY, L"Work 52%"));
    ClearStatusLog();
    RunJobAndWait(JOB_FOLDER_SCAN, MakeFiles(L"hundred", 100));
    EXPECT_TRUE(StatusLogHas(STATUS_ACTIVITY, L"Work 98%"));
    EXPECT_EQ(g_app.entry_count, 100);

    ClearStatusLog();
    RunJobAndWait(JOB_FOLDER_SCAN, MakeFiles(L"three", 3));
    for (const StatusChange &change : StatusLog())
        EXPECT_NE(change.text.rfind(L"Work ", 0), 0u) << "no percentage for three files";

    // An empty folder and a missing one: nothing found, and the job is over.
    for (const std::wstring &target : {MakeFiles(L"empty", 0), folder + L"\\missing"}) {
        RunJobAndWait(JOB_FOLDER_SCAN, target);
        EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"Files not found");
        EXPECT_EQ(gui::StatusText(STATUS_ACTIVITY), L"Ready");
        EXPECT_EQ(g_app.entry_count, 0);
        EXPECT_EQ(gui::RowCount(), 0);
        EXPECT_TRUE(gui::JobCommandsEnabled());
    }
}

TEST_F(JobTest, ScanMarksUnreadableFilesAndTakesHashChoicePerFile)
{
    std::wstring dir = MakeFiles(L"locked", 4);
    HANDLE held = CreateFileW((dir + L"\\f2.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RunJobAndWait(JOB_FOLDER_SCAN, dir);
    CloseHandle(held);
    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(CountStatus(rows, L"ERROR"), 1);
    for (const ResultRow &row : rows)
        EXPECT_EQ(row.digest.empty(), row.status == L"ERROR");
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
    EXPECT_EQ(g_app.entry_count, 4);
    // The failed file stays out of a saved list.
    std::wstring list = folder + L"\\locked.qcx";
    ASSERT_EQ(SaveChecksumListTo(list.c_str()), FILE_OK);
    std::string saved = GetBytes(list);
    EXPECT_EQ(saved.size(), 2 + 3 * 2 * (1 + 1 + 64 + 1 + (dir.size() + 7) + 2));

    // CRC-32C chosen while the scan runs, with the 30th file still being
    // read: the files handed out before keep SHA3-256, those after take
    // CRC-32C. Two hashing threads whatever the cores: with one per core,
    // a machine of many cores would have every file handed out by then.
    ForceDigestThreads(2);
    g_app.hash_choice = HASH_SHA3_256;
    std::wstring switching = MakeFiles(L"switch", 60);
    ASSERT_EQ(SetTargetPath(switching.c_str(), 0), 0);
    HoldDigestOf(GetBytes(ListingOrder(switching).at(30)));
    g_app.pending_job = JOB_FOLDER_SCAN;
    PostMessageW(g_win.main_window, WM_NULL, 0, 0);
    ASSERT_TRUE(gui::PumpUntil(DigestHeld, 60000));
    StoreHashChoice(HASH_CRC32C);
    ReleaseHeldDigest();
    bool ended = gui::PumpUntil(gui::JobCommandsEnabled, 60000);
    ForceDigestThreads(0);
    ASSERT_TRUE(ended);
    ASSERT_EQ(g_app.entry_count, 60);
    int crc = 0;
    for (int i = 0; i < 60; ++i) {
        const Entry &e = g_app.entries[i];
        size_t units = std::wstring(e.digest).size();
        EXPECT_EQ(units, e.kind == 'C' ? 8u : 64u);
        EXPECT_TRUE(e.kind == 'S' || e.kind == 'C');
        if (e.kind == 'C')
            ++crc;
        else
            EXPECT_EQ(crc, 0) << "an S entry after a C entry";
    }
    EXPECT_GE(crc, 1);
    EXPECT_LE(crc, 29);
}

TEST_F(JobTest, ScanReportsAFolderItCannotListAndSavesOnlyTheFilesItRead)
{
    std::wstring dir = MakeFiles(L"tree", 2);
    std::wstring shut = dir + L"\\shut";
    CreateDirectoryW(shut.c_str(), nullptr);
    PutBytes(shut + L"\\hidden.bin", "never listed");
    // An exclusive handle keeps the enumeration out, as a denied folder would.
    HANDLE lock = CreateFileW(shut.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    RunJobAndWait(JOB_FOLDER_SCAN, dir);
    CloseHandle(lock);
    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].path, shut);
    EXPECT_EQ(rows[0].digest, L"");
    EXPECT_EQ(rows[0].status, L"ERROR");
    EXPECT_EQ(CountStatus(rows, L"Created"), 2);
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
    EXPECT_EQ(gui::StatusText(STATUS_ACTIVITY), L"Ready");
    std::wstring list = folder + L"\\tree.qcx";
    ASSERT_EQ(SaveChecksumListTo(list.c_str()), FILE_OK);
    EXPECT_EQ(GetBytes(list).size(), 2 + 2 * 2 * (1 + 1 + 64 + 1 + (dir.size() + 7) + 2));
}

// Paths as people type them: slashes, `.` and `..` name the same files.
TEST_F(JobTest, TypedFolderFormsScanAndCheckTheSameFiles)
{
    std::wstring dir = MakeFiles(L"typed", 2);
    std::wstring slashed = dir;
    for (wchar_t &unit : slashed)
        if (unit == L'\\')
            unit = L'/';
    for (const std::wstring &typed :
         {slashed, dir + L"\\.", dir + L"\\sub\\..", folder + L"\\x\\..\\typed"}) {
        RunJobAndWait(JOB_FOLDER_SCAN, typed);
        std::vector<ResultRow> rows = ReadResultRows();
        ASSERT_EQ(rows.size(), 2u) << typed;
        EXPECT_EQ(CountStatus(rows, L"Created"), 2) << typed;
        EXPECT_EQ(rows[0].path.compare(0, typed.size(), typed), 0) << rows[0].path;
        EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"OK");
        std::wstring list = folder + L"\\typed.qcx";
        ASSERT_EQ(SaveChecksumListTo(list.c_str()), FILE_OK);
        RunJobAndWait(JOB_CHECK, list);
        EXPECT_EQ(CountStatus(ReadResultRows(), L"OK"), 2) << typed;
    }
}

TEST_F(JobTest, ScanSaveCheckRoundTrip)
{
    // Non-ASCII names, and a file whose full path passes 260 units while its
    // folder stays enumerable without the long-path form.
    std::wstring dir = folder + L"\\r\u00e9sum\u00e9 \u65e5\u672c";
    CreateDirectoryW(dir.c_str(), nullptr);
    std::wstring deep = dir + L"\\" + std::wstring(120, L'd');
    CreateDirectoryW(deep.c_str(), nullptr);
    std::wstring long_file = deep + L"\\" + std::wstring(150, L'f') + L".bin";
    ASSERT_GT(long_file.size(), 260u);
    PutBytes(long_file, "far away");
    PutBytes(dir + L"\\\u0161\u0111\u010d.txt", "non-ascii");
    PutBytes(dir + L"\\plain.txt", "plain");
    PutBytes(dir + L"\\gone.txt", "will be deleted");
    g_app.hash_choice = HASH_SHA3_512;
    RunJobAndWait(JOB_FOLDER_SCAN, dir);
    ASSERT_EQ(g_app.entry_count, 4);
    ASSERT_EQ(CountStatus(ReadResultRows(), L"Created"), 4);

    std::wstring list = folder + L"\\round.qcx";
    ASSERT_EQ(SaveChecksumListTo(list.c_str()), FILE_OK);
    std::string first = GetBytes(list);
    RunJobAndWait(JOB_CHECK, list);
    EXPECT_EQ(CountStatus(ReadResultRows(), L"OK"), 4);
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"OK");
    EXPECT_EQ(gui::StatusText(STATUS_COUNT), L"Files: 4");
    EXPECT_EQ(gui::StatusText(STATUS_ENGINE), L"");
    // The check keeps what it read, so Save writes the same list again.
    std::wstring again = folder + L"\\again.qcx";
    ASSERT_EQ(SaveChecksumListTo(again.c_str()), FILE_OK);
    EXPECT_EQ(GetBytes(again), first);

    PutBytes(long_file, "changed");
    DeleteFileW((dir + L"\\gone.txt").c_str());
    RunJobAndWait(JOB_CHECK, list);
    std::vector<ResultRow> rows = ReadResultRows();
    EXPECT_EQ(CountStatus(rows, L"OK"), 2);
    EXPECT_EQ(CountStatus(rows, L"MISMATCH"), 1);
    EXPECT_EQ(CountStatus(rows, L"MISSING"), 1);
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
    EXPECT_EQ(gui::StatusText(STATUS_ACTIVITY), L"Ready");
}

TEST_F(JobTest, CheckComparesDigestsExactlyWithOrWithoutTheByteOrderMark)
{
    std::wstring a = folder + L"\\a.txt";
    PutBytes(a, "123456789");
    // CRC-32C of 123456789 is E3069283; lower case never matches.
    std::wstring lower = folder + L"\\lower.qcx";
    PutBytes(lower, ListBytes(L"C\te3069283\t" + a + L"\r\n"));
    RunJobAndWait(JOB_CHECK, lower);
    EXPECT_EQ(CountStatus(ReadResultRows(), L"MISMATCH"), 1);
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");

    // Without the byte order mark, mixed with another kind.
    std::wstring mixed = folder + L"\\mixed.qcx";
    std::wstring sha3_of_a = widen(digest_hex(u'E', "123456789", 9));
    PutBytes(
        mixed,
        ListBytes(L"C\tE3069283\t" + a + L"\r\nE\t" + sha3_of_a + L"\t" + a + L"\r\n").substr(2));
    RunJobAndWait(JOB_CHECK, mixed);
    EXPECT_EQ(CountStatus(ReadResultRows(), L"OK"), 2);
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"OK");
}

TEST_F(JobTest, CheckOfAnEmptyListEndsOkWithoutARow)
{
    // Only the mark, and an empty file.
    for (const std::string &bytes : {std::string("\xFF\xFE", 2), std::string()}) {
        std::wstring empty = folder + L"\\empty.qcx";
        PutBytes(empty, bytes);
        RunJobAndWait(JOB_CHECK, empty);
        EXPECT_EQ(gui::StatusText(STATUS_COUNT), L"Files: 0");
        EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"OK");
        EXPECT_EQ(gui::StatusText(STATUS_ACTIVITY), L"Ready");
        EXPECT_EQ(gui::RowCount(), 0);
    }
}

TEST_F(JobTest, CheckOfAMissingListShowsOneErrorRowAndGivesTheCommandsBack)
{
    RunJobAndWait(JOB_CHECK, folder + L"\\missing.qcx");
    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].path, L"Could not find item");
    EXPECT_EQ(rows[0].digest, L"ERROR");
    EXPECT_EQ(rows[0].status, L"ERROR");
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
    EXPECT_EQ(gui::StatusText(STATUS_ACTIVITY), L"Ready");
    EXPECT_TRUE(gui::JobCommandsEnabled());
    EXPECT_EQ(g_app.entries, nullptr);
}

// Bytes that yield no entry (a list re-saved as UTF-8, blank lines) are no
// verified folder; a one-byte file neither. UTF-8 text is read as a tagged
// list, whose lines of another shape add an error row each.
TEST_F(JobTest, CheckOfBytesThatYieldNoEntryEndsBad)
{
    std::wstring a = folder + L"\\a.txt";
    struct NoEntries {
        std::string bytes;
        size_t rows;
    };
    const NoEntries no_entries[] = {{"\xEF\xBB\xBF"
                                     "C\tE3069283\t" +
                                         std::string(a.begin(), a.end()) + "\r\n",
                                     2},
                                    {ListBytes(L"\r\n\r\n"), 1},
                                    {std::string("x"), 2}};
    for (const NoEntries &list : no_entries) {
        std::wstring odd = folder + L"\\odd.qcx";
        PutBytes(odd, list.bytes);
        RunJobAndWait(JOB_CHECK, odd);
        std::vector<ResultRow> rows = ReadResultRows();
        ASSERT_EQ(rows.size(), list.rows);
        EXPECT_EQ(rows.back().status, L"ERROR");
        EXPECT_EQ(rows[0].path, odd);
        EXPECT_EQ(rows[0].digest, L"");
        EXPECT_EQ(rows[0].status, L"ERROR");
        EXPECT_EQ(gui::StatusText(STATUS_COUNT), L"Files: 0");
        EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
        EXPECT_EQ(gui::StatusText(STATUS_ACTIVITY), L"Ready");
    }
}

// The null device would read as an empty file and match the digest of
// nothing.
TEST_F(JobTest, CheckNeverOpensEntriesNamingDevices)
{
    std::wstring a = folder + L"\\a.txt";
    PutBytes(a, "123456789");
    std::wstring devices = folder + L"\\devices.qcx";
    PutBytes(
        devices,
        ListBytes(L"C\t00000000\tNUL\r\nC\t00000000\t" + folder +
                  L"\\nul.txt\r\n"
                  L"C\t00000000\t\\\\.\\NUL\r\nC\t00000000\t\\\\?\\GLOBALROOT\\Device\\Null\r\n"
                  L"C\tE3069283\t" +
                  a + L"\r\n"));
    RunJobAndWait(JOB_CHECK, devices);
    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].status, L"OK");
    EXPECT_EQ(CountStatus(rows, L"ERROR"), 4);
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
}

TEST_F(JobTest, CheckShowsEveryMissingFileOfALongList)
{
    std::wstring many;
    for (int i = 0; i < 1280; ++i)
        many += L"C\t00000000\t" + folder + L"\\none" + std::to_wstring(i) + L"\r\n";
    std::wstring big = folder + L"\\big.qcx";
    PutBytes(big, ListBytes(many));
    ClearStatusLog();
    RunJobAndWait(JOB_CHECK, big);
    EXPECT_EQ(gui::StatusText(STATUS_COUNT), L"Files: 1280");
    EXPECT_EQ(CountStatus(ReadResultRows(), L"MISSING"), 1280);
    EXPECT_TRUE(StatusLogHas(STATUS_ACTIVITY, L"Work 99%"));
}

TEST_F(JobTest, SaveWritesExactBytesAndNeverLosesTheOldList)
{
    std::wstring list = folder + L"\\exact.qcx";
    SetEntryTable({{'C', L"E3069283", L"C:\\data\\a.txt"}});
    PutBytes(list, std::string(5000, 'x'));
    ClearStatusLog();
    ASSERT_EQ(SaveChecksumListTo(list.c_str()), FILE_OK);
    EXPECT_EQ(GetBytes(list), ListBytes(L"C\tE3069283\tC:\\data\\a.txt\r\n"));
    ASSERT_EQ(StatusLog().size(), 2u);
    EXPECT_EQ(StatusLog()[0].text, L"Saving");
    EXPECT_EQ(StatusLog()[1].text, L"Ready");
    SetEntryTable({{'H', std::wstring(128, L'A'), L"C:\\x\\y.bin"}});
    ASSERT_EQ(SaveChecksumListTo(list.c_str()), FILE_OK);
    EXPECT_EQ(GetBytes(list).size(), 288u);
    SetEntryTable({});
    ASSERT_EQ(SaveChecksumListTo(list.c_str()), FILE_OK);
    EXPECT_EQ(GetBytes(list), std::string("\xFF\xFE", 2));
    // One missing folder level is made.
    SetEntryTable({{'C', L"E3069283", L"a"}});
    EXPECT_EQ(SaveChecksumListTo((folder + L"\\new\\one.qcx").c_str()), FILE_OK);

    const std::string old_list = ListBytes(L"C\t00000000\told\r\n");
    auto expect_save_failure = [&](const std::wstring &target) {
        SCOPED_TRACE(testing::Message()
                     << "saving over " << std::string(target.begin(), target.end()));
        ErrorBoxWatch watch;
        StartErrorBoxWatch(&watch);
        EXPECT_NE(SaveChecksumListTo(target.c_str()), FILE_OK);
        StopErrorBoxWatch(&watch);
        ASSERT_EQ(watch.texts.size(), 1u);
        EXPECT_EQ(watch.texts[0], SAVE_ERROR);
        EXPECT_EQ(gui::StatusText(STATUS_ACTIVITY), L"Ready");
        std::wstring pattern = target.substr(0, target.rfind(L'\\')) + L"\\*.saving";
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(pattern.c_str(), &found);
        EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "temporary file left behind";
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    };

    std::wstring read_only = folder + L"\\read-only.qcx";
    PutBytes(read_only, old_list);
    SetFileAttributesW(read_only.c_str(), FILE_ATTRIBUTE_READONLY);
    expect_save_failure(read_only);
    EXPECT_EQ(GetBytes(read_only), old_list);

    std::wstring held_path = folder + L"\\held.qcx";
    PutBytes(held_path, old_list);
    HANDLE held =
        CreateFileW(held_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    expect_save_failure(held_path);
    CloseHandle(held);
    EXPECT_EQ(GetBytes(held_path), old_list);

    expect_save_failure(folder + L"\\two\\levels\\list.qcx");
    EXPECT_FALSE(Exists(folder + L"\\two"));
}

// A row added alone may come from a buffer its caller reuses at once; rows
// added in a batch keep their order, the last on top.
TEST_F(JobTest, SingleRowsKeepTheirOwnTextsAndBatchesTheirOrder)
{
    ClearResultList();
    wchar_t path[16] = L"first";
    wchar_t digest[16] = L"AAAA";
    wchar_t status[16] = L"OK";
    AddResultRow(path, digest, status);
    std::wcscpy(path, L"second");
    std::wcscpy(digest, L"BBBB");
    std::wcscpy(status, L"ERROR");
    AddResultRow(path, digest, status);
    std::wcscpy(path, L"reused");
    const DisplayRow batch[] = {{L"b1", L"C1", L"OK"}, {L"b2", L"C2", L"MISMATCH"}};
    ASSERT_TRUE(AddResultRows(batch, 2));

    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), 4u);
    const wchar_t *expected[4][3] = {{L"b2", L"C2", L"MISMATCH"},
                                     {L"b1", L"C1", L"OK"},
                                     {L"second", L"BBBB", L"ERROR"},
                                     {L"first", L"AAAA", L"OK"}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].path, expected[i][0]) << i;
        EXPECT_EQ(rows[i].digest, expected[i][1]) << i;
        EXPECT_EQ(rows[i].status, expected[i][2]) << i;
    }
    ClearResultList();
    EXPECT_EQ(gui::RowCount(), 0);
}

TEST_F(JobTest, WorkersLeaveNoThreadHandlesBehind)
{
    std::wstring dir = MakeFiles(L"small", 1);
    RunJobAndWait(JOB_FOLDER_SCAN, dir);
    DWORD before = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    for (int i = 0; i < 20; ++i)
        RunJobAndWait(JOB_FOLDER_SCAN, dir);
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_LT(after, before + 10);
    EXPECT_EQ(g_job_threads.scan_thread, nullptr);
    EXPECT_NE(g_job_threads.scan_thread_id, 0u);
}

namespace {

const char SHA3_256_ABC_LOWER[] =
    "3a985da74fe225b2045c172d6bd390bd855f086e3e9d525b46bfe24511431532";

std::string Narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

}  // namespace

TEST_F(JobTest, CheckTakesTaggedListPathsFromTheListsOwnFolder)
{
    std::wstring sub = MakeSubFolder(folder, L"sub");
    std::wstring a = PutFileIn(sub, L"a.txt", "abc");
    std::wstring b = PutFileIn(folder, L"b.txt", "123456789");
    // Lower-case hex, a path up and a path down, in UTF-8 and as UTF-16 with
    // CR LF: the same two entries, both found from the list's folder.
    std::string utf8 = std::string("SHA3-256 (a.txt) = ") + SHA3_256_ABC_LOWER +
                       "\nCRC32C (../b.txt) = e3069283\n";
    std::wstring list = PutFileIn(sub, L"list.txt", utf8);
    std::wstring wide_list = PutFileIn(
        sub, L"wide.sha3",
        "\xFF\xFE" + Utf16Bytes(L"SHA3-256 (./a.txt) = " +
                                std::wstring(SHA3_256_ABC_LOWER, SHA3_256_ABC_LOWER + 64) +
                                L"\r\nCRC32C (..\\b.txt) = E3069283\r\n"));
    for (const std::wstring &tagged : {list, wide_list}) {
        RunJobAndWait(JOB_CHECK, tagged);
        std::vector<ResultRow> rows = ReadResultRows();
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(CountStatus(rows, L"OK"), 2)
            << Narrow(rows[0].path) << " " << Narrow(rows[1].path);
        EXPECT_EQ(rows[1].path, sub + L"\\" + (tagged == list ? L"a.txt" : L"./a.txt"));
        EXPECT_EQ(rows[1].digest,
                  L"3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532");
        EXPECT_EQ(gui::StatusText(STATUS_COUNT), L"Files: 2");
        EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"OK");
    }

    // A rooted path continues the list's drive; a drive-relative one has no
    // folder the check may assume: an error row with its digest, and "BAD".
    std::wstring rooted =
        PutFileIn(folder, L"rooted.txt",
                  "CRC32C (" + Narrow(b.substr(2)) + ") = E3069283\nCRC32C (C:b.txt) = E3069283\n");
    RunJobAndWait(JOB_CHECK, rooted);
    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].path, b);
    EXPECT_EQ(rows[0].status, L"OK");
    EXPECT_EQ(rows[1].path, L"C:b.txt");
    EXPECT_EQ(rows[1].digest, L"E3069283");
    EXPECT_EQ(rows[1].status, L"ERROR");
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
    EXPECT_EQ(g_app.entry_count, 1);
}

TEST_F(JobTest, HostileTaggedListGivesAnErrorRowPerBadLineAndTheWindowLives)
{
    PutFileIn(folder, L"a.txt", "abc");
    std::string overlong(40000, 'x');
    std::string lines = "CRC32C (a.txt) = 364B3FB7\n"
                        "SHA3-256 (a.tx\n"                                  // cut
                        "MD5 (a.txt) = 900150983cd24fb0d6963f7d28e17f72\n"  // unknown algorithm
                        "CRC32C (a.txt) = 364B3F\n"                         // digest too short
                        "SHA3-224 (a.txt) = 364B3FB7\n"                     // another kind's length
                        "CRC32C (" +
                        overlong +
                        ") = 00000000\n"                      // path beyond any limit
                        "CRC32C (\xFF\xFE.txt) = 00000000\n"  // not UTF-8
                        "# a comment\n\n"
                        "SHA3-512 (a";  // cut at the end
    std::wstring list = PutFileIn(folder, L"hostile.txt", lines);
    RunJobAndWait(JOB_CHECK, list);
    // The overlong path is cut like a .qcx path, which no open can take.
    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[0].path.size(), 32767u);
    EXPECT_EQ(rows[0].status, L"ERROR");
    EXPECT_EQ(rows[1].path, folder + L"\\a.txt");
    EXPECT_EQ(rows[1].status, L"OK");
    EXPECT_EQ(CountStatus(rows, L"ERROR"), 7);
    for (size_t i = 2; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].digest, L"") << i;
    EXPECT_EQ(rows[2].path, L"SHA3-512 (a");
    EXPECT_EQ(rows.back().path, L"SHA3-256 (a.tx");
    EXPECT_EQ(gui::StatusText(STATUS_COUNT), L"Files: 2");
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
    EXPECT_TRUE(IsWindow(g_win.main_window));
    EXPECT_TRUE(gui::JobCommandsEnabled());

    // Lines of text that are no list at all: every line an error row, then
    // the row that says the list gave nothing to check.
    std::wstring prose = PutFileIn(folder, L"prose.txt", "Dear reader,\r\nthis is no list.\r\n");
    RunJobAndWait(JOB_CHECK, prose);
    rows = ReadResultRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].path, prose);
    EXPECT_EQ(rows[2].path, L"Dear reader,");
    EXPECT_EQ(gui::StatusText(STATUS_COUNT), L"Files: 0");
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
}

TEST_F(JobTest, SaveWritesATaggedListForAnyOtherExtensionAndTellsWhatItLeftOut)
{
    const std::wstring sha3(L"3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532");
    SetEntryTable({{'C', L"E3069283", L"C:\\d\\b.txt"},
                   {'S', sha3, L"C:\\d\\\u00e9\U0001F600.txt"},
                   {'C', L"", L"C:\\d\\unread.txt"},
                   {'C', L"364B3FB7", std::wstring(L"C:\\d\\odd") + wchar_t(0xD800) + L".txt"},
                   {'C', L"364B3FB7", L"C:\\d\\line\nbreak.txt"}});
    const std::string tagged = "CRC32C (C:\\d\\b.txt) = E3069283\n"
                               "SHA3-256 (C:\\d\\\xC3\xA9\xF0\x9F\x98\x80.txt) = " +
                               Narrow(sha3) + "\n";
    const std::string qcx = ListBytes(L"C\tE3069283\tC:\\d\\b.txt\r\nS\t" + sha3 +
                                      L"\tC:\\d\\\u00e9\U0001F600.txt\r\n"
                                      L"C\t364B3FB7\tC:\\d\\odd" +
                                      std::wstring(1, wchar_t(0xD800)) +
                                      L".txt\r\n"
                                      L"C\t364B3FB7\tC:\\d\\line\nbreak.txt\r\n");

    // Unwritable names are left out of a tagged list, never silently.
    ErrorBoxWatch watch;
    StartErrorBoxWatch(&watch);
    int32_t left_out = -1;
    std::wstring txt = folder + L"\\list.txt";
    EXPECT_EQ(SaveChecksumListTo(txt.c_str(), &left_out), FILE_OK);
    StopErrorBoxWatch(&watch);
    EXPECT_EQ(left_out, 2);
    ASSERT_EQ(watch.texts.size(), 1u);
    EXPECT_NE(watch.texts[0].find(L"2 files"), std::wstring::npos) << Narrow(watch.texts[0]);
    EXPECT_EQ(GetBytes(txt), tagged);

    // The extension decides, in any case; a dot in a folder name is none.
    struct Named {
        const wchar_t *name;
        bool tagged;
    };
    const Named names[] = {{L"\\l.sha3", true},
                           {L"\\l.QCX", false},
                           {L"\\l.Qcx.bak", true},
                           {L"\\dir.d\\plain", false}};
    CreateDirectoryW((folder + L"\\dir.d").c_str(), nullptr);
    StartErrorBoxWatch(&watch);
    for (const Named &named : names) {
        std::wstring path = folder + named.name;
        EXPECT_EQ(SaveChecksumListTo(path.c_str()), FILE_OK) << Narrow(path);
        EXPECT_EQ(GetBytes(path), named.tagged ? tagged : qcx) << Narrow(path);
    }
    StopErrorBoxWatch(&watch);
}

namespace {

// The taskbar calls of the jobs, recorded on the user-interface thread.
struct TaskbarRecord {
    std::vector<int> states;
    std::vector<uint64_t> values;
    uint64_t value_total = 0;
    int flashes = 0;
};

TaskbarRecord g_taskbar_record;

void RecordState(HWND, int state)
{
    g_taskbar_record.states.push_back(state);
}

void RecordValue(HWND, uint64_t done, uint64_t total)
{
    g_taskbar_record.values.push_back(done);
    g_taskbar_record.value_total = total;
}

void RecordFlash(HWND)
{
    ++g_taskbar_record.flashes;
}

class ProgressTest : public JobTest {
protected:
    void SetUp() override
    {
        JobTest::SetUp();
        shell_calls = g_taskbar;
        g_taskbar = {RecordState, RecordValue, RecordFlash};
        g_taskbar_record = {};
    }
    void TearDown() override
    {
        g_taskbar = shell_calls;
        JobTest::TearDown();
    }

    TaskbarCalls shell_calls;
    OneFileAtATime one_file_at_a_time;
};

std::wstring WindowTitle()
{
    wchar_t title[160] = {};
    GetWindowTextW(g_win.main_window, title, 160);
    return title;
}

void StartJob(int32_t job, const std::wstring &path)
{
    ASSERT_EQ(SetTargetPath(path.c_str(), 0), 0);
    g_app.pending_job = job;
    PostMessageW(g_win.main_window, WM_NULL, 0, 0);
}

}  // namespace

TEST_F(ProgressTest, ScanBarFollowsBytesWhileTheTitleTellsRateAndTimeLeft)
{
    // One large file, then (a folder's files come before its sub-folders')
    // twenty small ones, held at the first: by bytes the scan is nearly
    // done, by files it has barely begun.
    std::wstring dir = MakeFiles(L"mixed", 0);
    MakeFiles(L"mixed\\sub", 20);
    PutBytes(dir + L"\\a_large.bin", std::string(48u << 20, 'x'));
    std::vector<std::wstring> order = ListingOrder(dir);
    ASSERT_EQ(order.at(0), dir + L"\\a_large.bin");
    HoldDigestOf(GetBytes(order.at(1)));
    StartJob(JOB_FOLDER_SCAN, dir);
    ASSERT_TRUE(gui::PumpUntil([] { return DigestHeld() && gui::ProgressPos() >= 95; }, 60000));
    EXPECT_EQ(gui::ProgressMax(), 100);
    EXPECT_LE(gui::RowCount(), 1);
    // The title gets its rate and time left from samples a second apart.
    ASSERT_TRUE(gui::PumpUntil([] { return WindowTitle().find(L" left") != std::wstring::npos; }))
        << WindowTitle().c_str();
    std::wstring title = WindowTitle();
    EXPECT_EQ(title.rfind(L"TALVOR CRC Check - 9", 0), 0u) << title.c_str();
    EXPECT_NE(title.find(L" % - "), std::wstring::npos) << title.c_str();
    EXPECT_NE(title.find(L"B/s - about "), std::wstring::npos) << title.c_str();
    ReleaseHeldDigest();
    ASSERT_TRUE(gui::PumpUntilJobEnded(60000));
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"OK");
    EXPECT_TRUE(StatusLogHas(STATUS_ACTIVITY, L"Work 85%")) << "counted in files";
    EXPECT_EQ(gui::ProgressPos(), 100);
    EXPECT_EQ(WindowTitle().rfind(L"TALVOR CRC Check - OK: 0 ERROR, 21 Created; ", 0), 0u)
        << "the summary in place of the progress";

    // Green while it ran, up to full; cleared at an "OK" end, never flashed.
    ASSERT_FALSE(g_taskbar_record.states.empty());
    EXPECT_EQ(g_taskbar_record.states.front(), TASKBAR_NORMAL);
    EXPECT_EQ(g_taskbar_record.states.back(), TASKBAR_NONE);
    EXPECT_EQ(g_taskbar_record.value_total, 100u);
    ASSERT_FALSE(g_taskbar_record.values.empty());
    EXPECT_EQ(g_taskbar_record.values.back(), 100u);
    EXPECT_EQ(g_taskbar_record.flashes, 0);
}

TEST_F(ProgressTest, StoppedSingleFileLeavesNoRowAndARedButtonUntilTheWindowIsActivated)
{
    std::wstring path = folder + L"\\huge.bin";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 3LL << 30;
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);

    StartJob(JOB_SINGLE_FILE, path);
    // On the worker: the window goes on pumping while the bar moves by bytes
    // (from the 0 the dispatcher set, not the previous job's 100).
    ASSERT_TRUE(gui::PumpUntil([] { return g_app.pending_job == JOB_NONE; }));
    ASSERT_TRUE(gui::PumpUntil([] { return gui::ProgressPos() > 0 || gui::JobEnded(); }, 60000));
    EXPECT_FALSE(gui::JobCommandsEnabled());
    SendMessageW(g_win.main_window, WM_COMMAND, ID_FILE_STOP, 0);
    ASSERT_TRUE(gui::PumpUntilJobEnded(60000));
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"Stopped");
    EXPECT_EQ(gui::RowCount(), 0);
    EXPECT_EQ(g_app.entry_count, 0);
    EXPECT_LT(gui::ProgressPos(), 100);
    EXPECT_TRUE(LastJobStopped());
    EXPECT_EQ(WindowTitle().rfind(L"TALVOR CRC Check - Stopped after 0 of 1 files: ", 0), 0u)
        << WindowTitle().c_str();
    ASSERT_FALSE(g_taskbar_record.states.empty());
    EXPECT_EQ(g_taskbar_record.states.back(), TASKBAR_ERROR);
    SendMessageW(g_win.main_window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(g_taskbar_record.states.back(), TASKBAR_NONE);

    // A long job's end flashes the button of a window in the background.
    ShowTaskbarJobEnd(true, true);
    EXPECT_EQ(g_taskbar_record.flashes, GetForegroundWindow() == g_win.main_window ? 0 : 1);
    DeleteFileW(path.c_str());
}

TEST(ProgressTitle, ShareRateAndTimeLeftInWholeUnits)
{
    wchar_t text[TITLE_PROGRESS_UNITS];
    FormatProgressTitle(42, 310u << 20, 125, text);
    EXPECT_STREQ(text, L"42 % - 310 MB/s - about 2 min left");
    FormatProgressTitle(0, 0, -1, text);
    EXPECT_STREQ(text, L"0 %");
    FormatProgressTitle(7, 5000, 0, text);
    EXPECT_STREQ(text, L"7 % - 4 KB/s - about 1 s left");
    FormatProgressTitle(99, 12, 59, text);
    EXPECT_STREQ(text, L"99 % - 12 B/s - about 59 s left");
    FormatProgressTitle(1, 1u << 20, 89 * 60 + 40, text);
    EXPECT_STREQ(text, L"1 % - 1 MB/s - about 90 min left");
    FormatProgressTitle(1, 1u << 20, 5 * 3600 + 1700, text);
    EXPECT_STREQ(text, L"1 % - 1 MB/s - about 5 h left");
}

// The summary's numbers read as the user's locale and Explorer write them
// (the test prefix runs in English: "," groups thousands).
TEST(JobSummary, CountsBytesAndTimeReadAsTheUserExpects)
{
    JobTally tally = {};
    tally.job = JOB_CHECK;
    tally.outcome = JOB_OUTCOME_BAD;
    tally.rows[ROW_MISMATCH] = 3;
    tally.rows[ROW_MISSING] = 1;
    tally.rows[ROW_OK] = 99996;
    tally.bytes_read = 412ull << 30;
    tally.elapsed_ms = 18 * 60 * 1000 + 20500;
    wchar_t text[JOB_SUMMARY_UNITS];
    size_t units = ComposeJobSummary(&tally, text, JOB_SUMMARY_UNITS);
    EXPECT_STREQ(L"BAD: 3 MISMATCH, 1 MISSING, 0 ERROR, 99,996 OK; 412 GB in 18 min", text);
    EXPECT_EQ(std::wcslen(text), units);

    tally = JobTally{};
    tally.job = JOB_FOLDER_SCAN;
    tally.rows[ROW_CREATED] = 1234567;
    tally.bytes_read = 1536;
    tally.elapsed_ms = 125400;
    ComposeJobSummary(&tally, text, JOB_SUMMARY_UNITS);
    EXPECT_STREQ(L"OK: 0 ERROR, 1,234,567 Created; 1.50 KB in 2 min 5 s", text);
    tally.elapsed_ms = 3 * 3600 * 1000 + 7 * 60 * 1000;
    tally.bytes_read = 0;
    ComposeJobSummary(&tally, text, JOB_SUMMARY_UNITS);
    EXPECT_STREQ(L"OK: 0 ERROR, 1,234,567 Created; 0 bytes in 3 h 7 min", text);
    tally.elapsed_ms = 2340;
    ComposeJobSummary(&tally, text, 12);
    EXPECT_STREQ(L"OK: 0 ERROR", text);
}
