#include "tests/support/job_harness.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "app/app.h"
#include "fileio/fileio.h"
#include "hash/cpu_features.h"
#include "hash/file_digest_reader.h"
#include "window/display.h"
#include "window/window.h"
#include "window/window_record.h"
#include "tests/support/gui_harness.h"

namespace {

WNDPROC g_status_bar_proc;
std::vector<StatusChange> g_status_log;
const DWORD JOB_TIMEOUT_MS = 120000;
// The box text control of a message box.
const int MESSAGE_BOX_TEXT_ID = 0xFFFF;

LRESULT CALLBACK RecordingStatusBarProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == SB_SETTEXTW)
        g_status_log.push_back({int(wparam & 0xFF), reinterpret_cast<const wchar_t *>(lparam)});
    return CallWindowProcW(g_status_bar_proc, window, message, wparam, lparam);
}

DWORD WINAPI WatchErrorBoxes(LPVOID parameter)
{
    ErrorBoxWatch *watch = static_cast<ErrorBoxWatch *>(parameter);
    while (!watch->stop) {
        HWND box = gui::WaitForWindow(L"#32770", L"ERROR", 50);
        if (!box)
            continue;
        wchar_t text[512] = {};
        GetDlgItemTextW(box, MESSAGE_BOX_TEXT_ID, text, 512);
        watch->texts.push_back(text);
        watch->owners.push_back(GetWindow(box, GW_OWNER));
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        while (IsWindow(box) && !watch->stop)
            Sleep(5);
    }
    return 0;
}

}  // namespace

void StartTestWindow()
{
    if (g_win.main_window)
        return;
    ASSERT_EQ(gui::Start(L"job_test.exe"), 1) << "no main window";
    ShowWindow(g_win.main_window, SW_HIDE);
    g_status_bar_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        g_win.status_bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingStatusBarProc)));
}

void RunJobAndWait(int32_t job, const std::wstring &path)
{
    ASSERT_EQ(SetTargetPath(path.c_str(), 0), 0);
    g_app.pending_job = job;
    PostMessageW(g_win.main_window, WM_NULL, 0, 0);
    ASSERT_TRUE(gui::PumpUntilJobEnded(JOB_TIMEOUT_MS)) << "job did not end";
}

std::vector<ResultRow> ReadResultRows()
{
    std::vector<ResultRow> rows;
    for (int row = 0; row < gui::RowCount(); ++row)
        rows.push_back({gui::Cell(row, 0), gui::Cell(row, 1), gui::Cell(row, 2)});
    return rows;
}

int CountStatus(const std::vector<ResultRow> &rows, const wchar_t *status)
{
    int n = 0;
    for (const ResultRow &row : rows)
        n += row.status == status;
    return n;
}

void ClearStatusLog()
{
    g_status_log.clear();
}
const std::vector<StatusChange> &StatusLog()
{
    return g_status_log;
}

bool StatusLogHas(int part, const std::wstring &text)
{
    for (const StatusChange &change : g_status_log)
        if (change.part == part && change.text == text)
            return true;
    return false;
}

void StartErrorBoxWatch(ErrorBoxWatch *watch)
{
    watch->stop = 0;
    watch->texts.clear();
    watch->owners.clear();
    watch->thread = CreateThread(nullptr, 0, WatchErrorBoxes, watch, 0, nullptr);
}

void StopErrorBoxWatch(ErrorBoxWatch *watch)
{
    watch->stop = 1;
    WaitForSingleObject(watch->thread, INFINITE);
    CloseHandle(watch->thread);
}

void SetEntryTable(const std::vector<TestEntry> &entries)
{
    // Rows shown read their texts from the table about to go.
    ClearResultList();
    ReleaseEntryTable();
    g_app.entries = static_cast<Entry *>(std::calloc(entries.size() + 1, sizeof(Entry)));
    for (size_t i = 0; i < entries.size(); ++i)
        g_app.entries[i] = {entries[i].kind, DuplicateText(entries[i].digest.c_str()),
                            DuplicateText(entries[i].path.c_str())};
    g_app.entry_count = int32_t(entries.size());
}

namespace {

std::string g_held_content;
HANDLE g_hold_released;
volatile LONG g_digest_held;

int HoldingReader(sOpenFile *file, void *dest, uint64_t offset, uint32_t *length)
{
    int result = ReadOpenFileAt(file, dest, offset, length);
    if (result == FILE_OK && offset == 0 && *length == g_held_content.size() &&
        std::memcmp(dest, g_held_content.data(), *length) == 0) {
        InterlockedExchange(&g_digest_held, 1);
        WaitForSingleObject(g_hold_released, INFINITE);
    }
    return result;
}

}  // namespace

void HoldDigestOf(const std::string &content)
{
    if (!g_hold_released)
        g_hold_released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(g_hold_released);
    g_held_content = content;
    g_digest_held = 0;
    file_digest_read_block = HoldingReader;
}

bool DigestHeld()
{
    return InterlockedCompareExchange(&g_digest_held, 0, 0) != 0;
}

void ReleaseHeldDigest()
{
    SetEvent(g_hold_released);
    file_digest_read_block = ReadOpenFileAt;
}

std::vector<std::wstring> ListingOrder(const std::wstring &folder)
{
    sListDir listing;
    ListDirInit(&listing);
    std::vector<std::wstring> paths;
    if (ListDirRecursive(folder.c_str(), &listing) == 0)
        for (int32_t i = 0; i < listing.count; ++i)
            paths.push_back(listing.items[i].full_path);
    ListDirFree(&listing);
    return paths;
}

// Without the multi-state kernels there are no lanes.
OneFileAtATime::OneFileAtATime()
{
    cpu_features_limit(~(CPU_AVX2 | CPU_AVX512 | CPU_VPCLMUL));
}

OneFileAtATime::~OneFileAtATime()
{
    cpu_features_limit(~0u);
}
