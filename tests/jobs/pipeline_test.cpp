// The scan and check on a pool of hashing threads: rows in listing order
// whatever order the files finish in, failures kept to their own rows.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileio/fileio.h"
#include "hash/cpu_features.h"
#include "hash/file_digest_reader.h"
#include "hash/file_digest.h"
#include "jobs/jobs.h"
#include "jobs/pipeline.h"
#include "window/window.h"
#include "window/window_record.h"
#include "tests/support/expected_digest.h"
#include "tests/support/gui_harness.h"
#include "tests/support/job_harness.h"
#include "tests/support/scratch.h"

namespace {

// More threads than this machine has cores, so that files finish out of
// order even on one core.
constexpr int32_t FORCED_THREADS = 8;

class ParallelJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestWindow();
        g_app.hash_choice = HASH_AUTO;
        ForceDigestThreads(FORCED_THREADS);
        folder = MakeScratchFolder();
    }
    void TearDown() override
    {
        ForceDigestThreads(0);
        RemoveTree(folder);
    }

    // Small files in the folder itself, a few of some megabytes in `deep`.
    std::wstring MakeMixedTree(int small)
    {
        std::wstring top = MakeSubFolder(folder, L"mixed");
        for (int i = 0; i < small; ++i)
            PutFileIn(top, L"s" + std::to_wstring(i) + L".txt", "small " + std::to_string(i));
        std::wstring deep = MakeSubFolder(top, L"deep");
        for (int i = 0; i < 3; ++i)
            PutFileIn(deep, L"big" + std::to_wstring(i) + L".bin",
                      std::string(size_t(3 + i) << 20, char('a' + i)));
        return top;
    }

    std::wstring folder;
};

std::wstring DigestOf(char kind, const std::wstring &path)
{
    std::string bytes = GetBytes(path);
    return widen(digest_hex(utf16(kind), bytes.data(), bytes.size()));
}

// Rows bottom up are the listing; `status` on every row.
void ExpectRowsInListingOrder(const std::vector<std::wstring> &listing, const wchar_t *status)
{
    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), listing.size());
    for (size_t i = 0; i < listing.size(); ++i) {
        const ResultRow &row = rows[rows.size() - 1 - i];
        EXPECT_EQ(row.path, listing[i]) << i;
        EXPECT_EQ(row.digest, DigestOf('S', listing[i])) << i;
        EXPECT_EQ(row.status, status) << i;
    }
}

// Rows, top first, compared by path, digest and status.
bool SameRows(const std::vector<ResultRow> &a, const std::vector<ResultRow> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].path != b[i].path || a[i].digest != b[i].digest || a[i].status != b[i].status)
            return false;
    return true;
}

// Files in the listing being scanned.
size_t g_listed;

// A file after the first one has its digest: with the first one held, only
// a thread other than the one holding it (and its lanes) can have done that.
bool LaterFileDigested()
{
    if (!g_app.entries)
        return false;
    for (size_t i = 1; i < g_listed; ++i) {
        const utf16 *digest = g_app.entries[i].digest;
        if (digest && digest[0] != 0)
            return true;
    }
    return false;
}

}  // namespace

TEST(DigestThreads, OnePerCoreOneOnASpinningDiskOrAsForced)
{
    EXPECT_EQ(ChooseDigestThreads(2, -1, 0), 2);  // the drive does not answer
    EXPECT_EQ(ChooseDigestThreads(2, 0, 0), 2);
    EXPECT_EQ(ChooseDigestThreads(16, 1, 0), 1);
    EXPECT_EQ(ChooseDigestThreads(2, 1, 8), 8);
    EXPECT_EQ(ChooseDigestThreads(0, -1, 0), 1);
    EXPECT_EQ(ChooseDigestThreads(1000, 0, 0), 64);
}

// The first file is held until the files after it are digested; the rows
// still come in listing order, and the check of the saved list likewise.
TEST_F(ParallelJob, RowsKeepListingOrderWhileFilesFinishOutOfOrder)
{
    std::wstring top = MakeMixedTree(40);
    std::vector<std::wstring> listing = ListingOrder(top);
    ASSERT_EQ(listing.size(), 43u);
    g_listed = listing.size();
    HoldDigestOf(GetBytes(listing[0]));
    ASSERT_EQ(SetTargetPath(top.c_str(), 0), 0);
    g_app.pending_job = JOB_FOLDER_SCAN;
    PostMessageW(g_win.main_window, WM_NULL, 0, 0);
    ASSERT_TRUE(gui::PumpUntil(DigestHeld, 60000));
    bool overtaken = gui::PumpUntil(LaterFileDigested, 60000);
    ReleaseHeldDigest();
    ASSERT_TRUE(overtaken);
    ASSERT_TRUE(gui::PumpUntilJobEnded());
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"OK");
    ExpectRowsInListingOrder(listing, L"Created");

    std::wstring list = folder + L"\\mixed.qcx";
    ASSERT_EQ(SaveChecksumListTo(list.c_str()), FILE_OK);
    RunJobAndWait(JOB_CHECK, list);
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"OK");
    ExpectRowsInListingOrder(listing, L"OK");
}

TEST_F(ParallelJob, UnreadableFilesAndDevicesFailOnlyTheirOwnRows)
{
    std::wstring top = MakeMixedTree(30);
    std::vector<std::wstring> listing = ListingOrder(top);
    const std::wstring &locked = listing[17];
    HANDLE held = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RunJobAndWait(JOB_FOLDER_SCAN, top);
    CloseHandle(held);
    std::vector<ResultRow> rows = ReadResultRows();
    ASSERT_EQ(rows.size(), listing.size());
    for (size_t i = 0; i < listing.size(); ++i) {
        const ResultRow &row = rows[rows.size() - 1 - i];
        EXPECT_EQ(row.path, listing[i]);
        EXPECT_EQ(row.status, listing[i] == locked ? L"ERROR" : L"Created") << i;
    }
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");

    // Devices between readable files: never opened, each an error.
    std::wstring text;
    std::vector<std::wstring> paths;
    for (size_t i = 0; i < listing.size(); ++i) {
        paths.push_back(i % 10 == 5 ? (i % 20 == 5 ? L"NUL" : L"\\\\.\\NUL") : listing[i]);
        text += L"C\t" + (i % 10 == 5 ? std::wstring(L"00000000") : DigestOf('C', listing[i])) +
                L"\t" + paths.back() + L"\r\n";
    }
    std::wstring list = folder + L"\\devices.qcx";
    PutBytes(list, ListBytes(text));
    RunJobAndWait(JOB_CHECK, list);
    rows = ReadResultRows();
    ASSERT_EQ(rows.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        const ResultRow &row = rows[rows.size() - 1 - i];
        EXPECT_EQ(row.path, paths[i]);
        EXPECT_EQ(row.status, i % 10 == 5 ? L"ERROR" : L"OK") << i;
    }
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
}

// Files of every size around each rate's block edges and the lanes' read
// edges, checked with every kind in one list and scanned: the hashing
// threads' lanes (eight and four wide, as this processor has them) give
// exactly the rows of the single-stream path.
TEST_F(ParallelJob, LanesGiveTheRowsOfTheSingleStreamPath)
{
    std::wstring top = MakeSubFolder(folder, L"edges");
    const uint32_t sizes[] = {0,    1,      71,     72,     73,     103,    104,
                              105,  135,    136,    137,    143,    144,    145,
                              4096, 262143, 262144, 262145, 262288, 700001, 3u << 20};
    const wchar_t kinds[] = L"SEMHC";
    std::wstring text;
    int n = 0;
    for (uint32_t size : sizes)
        for (int copy = 0; copy < 2; ++copy, ++n) {
            std::string bytes(size, '\0');
            for (uint32_t i = 0; i < size; ++i)
                bytes[i] = char(PatternByte(i * 7 + uint32_t(n)));
            std::wstring path = PutFileIn(top, L"f" + std::to_wstring(n) + L".bin", bytes);
            wchar_t kind = kinds[n % 5];
            text +=
                std::wstring(1, kind) + L"\t" + DigestOf(char(kind), path) + L"\t" + path + L"\r\n";
        }
    std::wstring list = folder + L"\\edges.qcx";
    PutBytes(list, ListBytes(text));

    // Single stream first: no multi-state kernel without AVX2 or AVX-512.
    cpu_features_limit(CPU_SSE42 | CPU_PCLMUL | CPU_BMI2);
    RunJobAndWait(JOB_CHECK, list);
    std::vector<ResultRow> checked = ReadResultRows();
    RunJobAndWait(JOB_FOLDER_SCAN, top);
    std::vector<ResultRow> scanned = ReadResultRows();
    cpu_features_limit(~0u);
    EXPECT_EQ(CountStatus(checked, L"OK"), n);
    EXPECT_EQ(CountStatus(scanned, L"Created"), n);
    for (const ResultRow &row : checked)
        EXPECT_EQ(row.status, L"OK") << row.path.size() << " " << row.digest.size();

    const uint32_t lane_limits[] = {~0u, ~uint32_t(CPU_AVX512)};
    for (uint32_t limit : lane_limits) {
        cpu_features_limit(limit);
        int32_t width = sha3_lanes_width();
        RunJobAndWait(JOB_CHECK, list);
        std::vector<ResultRow> lane_checked = ReadResultRows();
        RunJobAndWait(JOB_FOLDER_SCAN, top);
        std::vector<ResultRow> lane_scanned = ReadResultRows();
        cpu_features_limit(~0u);
        if (width == 0) {
            std::printf("this processor has no %s kernel: skipped\n",
                        limit == ~0u ? "multi-state" : "AVX2");
            continue;
        }
        EXPECT_TRUE(SameRows(lane_checked, checked)) << width << " lanes";
        EXPECT_TRUE(SameRows(lane_scanned, scanned)) << width << " lanes";
    }

    // A read that fails part-way through a file on a lane fails that file
    // alone: only the two 3 MiB files are read beyond their first MiB.
    file_digest_read_block = [](sOpenFile *file, void *dest, uint64_t offset, uint32_t *length) {
        return offset >= (1u << 20) ? int(FILE_ERR_IO) : ReadOpenFileAt(file, dest, offset, length);
    };
    RunJobAndWait(JOB_CHECK, list);
    file_digest_read_block = ReadOpenFileAt;
    std::vector<ResultRow> failed = ReadResultRows();
    EXPECT_EQ(CountStatus(failed, L"ERROR"), 2);
    EXPECT_EQ(CountStatus(failed, L"OK"), n - 2);
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"BAD");
}
