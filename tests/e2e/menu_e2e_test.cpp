// End-to-end through the menu: the real TalvorCrcCheck.exe driven like a
// person would, by the keyboard on its menu and the controls of its dialogs,
// and judged by what its window shows and the files it writes.
#include <windows.h>
#include <commctrl.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/driver_dialogs.h"
#include "tests/e2e/running_app.h"
#include "tests/support/scratch.h"

namespace {

constexpr DWORD WAIT_MS = E2E_WAIT_MS;
constexpr DWORD NO_DIALOG_MS = 1000;
// SHA3-256 of this many bytes outlasts the menu work done meanwhile.
constexpr LONGLONG LARGE_FILE_BYTES = 2LL << 30;
constexpr DWORD LARGE_SCAN_WAIT_MS = 180000;

// Sparse, so it costs neither disk space nor time to write, while the
// program still digests every byte of it.
void WriteLargeSparseFile(const std::wstring &folder, const std::wstring &name, LONGLONG bytes)
{
    std::wstring path = folder + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = bytes;
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}

int RowCount(RunningApp *app)
{
    LRESULT rows = -1;
    SendToWindow(app->target.result_list, LVM_GETITEMCOUNT, 0, 0, &rows);
    return (int)rows;
}

int WaitForRowCount(RunningApp *app, int count)
{
    ULONGLONG deadline = GetTickCount64() + WAIT_MS;
    while (RowCount(app) < count) {
        if (GetTickCount64() >= deadline)
            return DRIVER_ERR_TIMEOUT;
        Sleep(20);
    }
    return DRIVER_OK;
}

// Waits for the end of the next job, the one after those already waited
// for, and gives its phase; "(no end)" when it did not end in time.
std::wstring NextJobPhase(RunningApp *app, DWORD timeout_ms = WAIT_MS)
{
    if (WaitForJobsEnded(&app->target, ++app->jobs_waited_for, timeout_ms) != DRIVER_OK)
        return L"(no end)";
    return StatusPartText(app, STATUS_PHASE);
}

// Chooses a menu item and returns the dialog it opened, or null.
HWND OpenDialogFromMenu(RunningApp *app, WORD command, const wchar_t *caption)
{
    if (ChooseMenuItem(&app->target, command, WAIT_MS) != DRIVER_OK)
        return nullptr;
    return WaitForDialog(&app->target, caption, WAIT_MS);
}

void CancelDialogFromMenu(RunningApp *app, WORD command, const wchar_t *caption)
{
    HWND dialog = OpenDialogFromMenu(app, command, caption);
    ASSERT_NE(nullptr, dialog) << caption;
    EXPECT_EQ(DRIVER_OK, ClickDialogButton(dialog, IDCANCEL));
    EXPECT_EQ(DRIVER_OK, WaitForWindowGone(dialog, WAIT_MS));
}

// A greyed item sends no command: where the menu can be read it must say
// so; where it cannot (Wine), choosing it must open nothing.
void ExpectMenuItemGreyed(RunningApp *app, WORD command, const wchar_t *caption)
{
    int chosen = ChooseMenuItem(&app->target, command, WAIT_MS);
    EXPECT_TRUE(chosen == DRIVER_ERR_GREYED || chosen == DRIVER_OK) << chosen;
    EXPECT_FALSE(DialogAppears(&app->target, caption, NO_DIALOG_MS)) << caption;
}

void UseFileDialogFromMenu(RunningApp *app, WORD command, const wchar_t *caption,
                           const std::wstring &name)
{
    HWND dialog = OpenDialogFromMenu(app, command, caption);
    ASSERT_NE(nullptr, dialog) << caption;
    ASSERT_EQ(DRIVER_OK, TypeFileName(dialog, name.c_str()));
    ASSERT_EQ(DRIVER_OK, ClickDialogButton(dialog, IDOK));
    EXPECT_EQ(DRIVER_OK, WaitForWindowGone(dialog, WAIT_MS));
}

// The checksum list the window's rows stand for: table order is scan order,
// the reverse of the rows (newest on top).
std::string ExpectedChecksumList(const std::vector<std::vector<std::wstring>> &rows, wchar_t kind)
{
    std::wstring text;
    for (size_t i = rows.size(); i > 0; --i)
        text += std::wstring(1, kind) + L"\t" + rows[i - 1][1] + L"\t" + rows[i - 1][0] + L"\r\n";
    return ListBytes(text);
}

TEST(MenuEndToEnd, ScanSaveAndCheckThroughTheMenuAndItsDialogs)
{
    NamedFolder folder = MakeNamedFolder(L"C:\\", L"talvor-menu-");
    std::wstring abc = PutFileIn(folder.path, L"abc.txt", "abc");
    std::wstring digits = PutFileIn(folder.path, L"digits.txt", "123456789");
    std::wstring list = folder.path + L"\\list.qcx";
    RunningApp app;
    ASSERT_EQ(DRIVER_OK, StartApp(L"", &app));
    ASSERT_EQ(DRIVER_OK, WaitForReady(&app.target, nullptr, 0, WAIT_MS));

    // Cancelling any picker, and the save dialog, leaves the window idle.
    CancelDialogFromMenu(&app, DRIVER_CMD_SCAN, L"Browse for Folder");
    CancelDialogFromMenu(&app, DRIVER_CMD_CHECK, L"Open");
    CancelDialogFromMenu(&app, DRIVER_CMD_SAVE, L"Save As");
    EXPECT_TRUE(ReadRows(&app).empty());
    EXPECT_EQ(L"Ready", StatusPartText(&app, STATUS_ACTIVITY));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(list.c_str()));

    HWND browser = OpenDialogFromMenu(&app, DRIVER_CMD_SCAN, L"Browse for Folder");
    ASSERT_NE(nullptr, browser);
    const wchar_t *tree_path[] = {nullptr, L"C:", folder.name.c_str()};
    ASSERT_EQ(DRIVER_OK, SelectBrowserFolder(&app.target, browser, tree_path, 3, WAIT_MS));
    wchar_t selected[MAX_PATH] = {};
    ASSERT_EQ(DRIVER_OK, ReadBrowserSelection(&app.target, browser, selected, MAX_PATH));
    EXPECT_STREQ(folder.name.c_str(), selected);
    ASSERT_EQ(DRIVER_OK, ClickDialogButton(browser, IDOK));
    ASSERT_EQ(L"OK", NextJobPhase(&app));
    std::vector<std::vector<std::wstring>> scanned = ReadRows(&app);
    ASSERT_EQ(2u, scanned.size());
    for (const std::vector<std::wstring> &row : scanned) {
        EXPECT_EQ(L"Created", row[2]);
        EXPECT_EQ(64u, row[1].size()) << "SHA3-256 without a choice";
    }
    EXPECT_EQ(L"3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532",
              scanned[0][0] == abc ? scanned[0][1] : scanned[1][1]);

    // A name without extension gets ".qcx" from the dialog.
    UseFileDialogFromMenu(&app, DRIVER_CMD_SAVE, L"Save As", folder.path + L"\\list");
    ASSERT_EQ(DRIVER_OK, WaitForReady(&app.target, nullptr, 0, WAIT_MS));
    EXPECT_EQ(ExpectedChecksumList(scanned, L'S'), GetBytes(list));

    UseFileDialogFromMenu(&app, DRIVER_CMD_CHECK, L"Open", list);
    ASSERT_EQ(L"OK", NextJobPhase(&app));
    std::vector<std::vector<std::wstring>> checked = ReadRows(&app);
    ASSERT_EQ(2u, checked.size());
    for (const std::vector<std::wstring> &row : checked)
        EXPECT_EQ(L"OK", row[2]);
    EXPECT_EQ(L"Files: 2", StatusPartText(&app, 1));

    PutFileIn(folder.path, L"digits.txt", "123456780");
    UseFileDialogFromMenu(&app, DRIVER_CMD_CHECK, L"Open", list);
    ASSERT_EQ(L"BAD", NextJobPhase(&app));
    checked = ReadRows(&app);
    ASSERT_EQ(2u, checked.size());
    for (const std::vector<std::wstring> &row : checked)
        EXPECT_EQ(row[0] == digits ? L"MISMATCH" : L"OK", row[2]) << row[0].c_str();

    EXPECT_EQ(DRIVER_OK, ChooseMenuItem(&app.target, DRIVER_CMD_EXIT, WAIT_MS));
    EXPECT_EQ(0u, AwaitExit(&app));
    RemoveTree(folder.path);
}

// A scan of `-dir=sub` gives relative paths; they must name the same files
// after the save and open dialogs as before, checked through File > Check.
TEST(MenuEndToEnd, ARelativeListChecksAgainstTheStartFolderAfterEveryDialog)
{
    NamedFolder folder = MakeNamedFolder(L"C:\\", L"talvor-relative-");
    MakeSubFolder(folder.path, L"sub");
    PutFileIn(folder.path, L"sub\\abc.txt", "abc");
    PutFileIn(folder.path, L"sub\\digits.txt", "123456789");
    std::wstring lists = MakeSubFolder(folder.path, L"lists");
    std::wstring list = lists + L"\\relative.qcx";
    RunningApp app;
    ASSERT_EQ(DRIVER_OK, StartApp(L"-crc -dir=sub", &app, folder.path.c_str()));
    ASSERT_EQ(L"OK", NextJobPhase(&app));
    std::vector<std::vector<std::wstring>> scanned = ReadRows(&app);
    ASSERT_EQ(2u, scanned.size());
    EXPECT_EQ(0u, scanned[0][0].rfind(L"sub\\", 0)) << scanned[0][0].c_str();

    UseFileDialogFromMenu(&app, DRIVER_CMD_SAVE, L"Save As", list);
    ASSERT_EQ(DRIVER_OK, WaitForReady(&app.target, nullptr, 0, WAIT_MS));
    EXPECT_EQ(ExpectedChecksumList(scanned, L'C'), GetBytes(list));

    // Twice: the open dialog and the folder browser must not move it either.
    for (int round = 0; round < 2; ++round) {
        if (round == 1)
            CancelDialogFromMenu(&app, DRIVER_CMD_SCAN, L"Browse for Folder");
        UseFileDialogFromMenu(&app, DRIVER_CMD_CHECK, L"Open", list);
        ASSERT_EQ(L"OK", NextJobPhase(&app)) << round;
        EXPECT_EQ(L"Files: 2", StatusPartText(&app, STATUS_COUNT));
        std::vector<std::vector<std::wstring>> checked = ReadRows(&app);
        ASSERT_EQ(2u, checked.size());
        for (const std::vector<std::wstring> &row : checked)
            EXPECT_EQ(L"OK", row[2]) << row[0].c_str();
    }
    EXPECT_EQ(DRIVER_OK, ChooseMenuItem(&app.target, DRIVER_CMD_EXIT, WAIT_MS));
    EXPECT_EQ(0u, AwaitExit(&app));
    RemoveTree(folder.path);
}

// -save= writes, with no dialog, exactly the bytes File > Save writes for
// the same job: a .qcx list, or a tagged list for any other extension.
TEST(MenuEndToEnd, SaveSwitchWritesWhatFileSaveWritesInBothFormats)
{
    NamedFolder folder = MakeNamedFolder(L"C:\\", L"talvor-save-switch-");
    std::wstring tree = MakeSubFolder(folder.path, L"tree");
    PutFileIn(tree, L"abc.txt", "abc");
    PutFileIn(tree, L"r\u00e9sum\u00e9.txt", "123456789");
    std::wstring out = MakeSubFolder(folder.path, L"out");
    for (const wchar_t *extension : {L".qcx", L".txt"}) {
        std::wstring by_switch = out + L"\\switch" + extension;
        std::wstring by_menu = out + L"\\menu" + extension;
        RunningApp app;
        ASSERT_EQ(DRIVER_OK,
                  StartApp(L"-crc \"-dir=" + tree + L"\" \"-save=" + by_switch + L"\"", &app));
        // Counted once -save= has written its list.
        ASSERT_EQ(L"OK", NextJobPhase(&app));
        UseFileDialogFromMenu(&app, DRIVER_CMD_SAVE, L"Save As", by_menu);
        ASSERT_EQ(DRIVER_OK, WaitForReady(&app.target, nullptr, 0, WAIT_MS));
        std::string written = GetBytes(by_switch);
        EXPECT_EQ(GetBytes(by_menu), written);
        if (std::wstring(extension) == L".qcx") {
            EXPECT_EQ(ExpectedChecksumList(ReadRows(&app), L'C'), written);
        } else {
            EXPECT_NE(std::string::npos, written.find("CRC32C (C:\\talvor-save-switch-"))
                << written;
            EXPECT_NE(std::string::npos, written.find("r\xC3\xA9sum\xC3\xA9.txt) = E3069283\n"))
                << written;
        }
        EXPECT_EQ(DRIVER_OK, ChooseMenuItem(&app.target, DRIVER_CMD_EXIT, WAIT_MS));
        EXPECT_EQ(0u, AwaitExit(&app));
    }
    RemoveTree(folder.path);
}

TEST(MenuEndToEnd, DuringAScanOptionsAndAboutStayUsableAndTheCloseBoxEndsTheProgram)
{
    // The folder's own files come first, then the large file of "sub", then
    // the files of "sub\\deeper": the large file keeps the scan busy while
    // the menu and the accelerators are used.
    NamedFolder folder = MakeNamedFolder(L"C:\\", L"talvor-menu-long-");
    const int group_size = 40;
    for (int i = 0; i < group_size; ++i)
        PutFileIn(folder.path, L"r" + std::to_wstring(i) + L".txt", "r" + std::to_string(i));
    MakeSubFolder(folder.path, L"sub");
    WriteLargeSparseFile(folder.path, L"sub\\large.bin", LARGE_FILE_BYTES);
    MakeSubFolder(folder.path, L"sub\\deeper");
    for (int i = 0; i < group_size; ++i)
        PutFileIn(folder.path, L"sub\\deeper\\d" + std::to_wstring(i) + L".txt",
                  "d" + std::to_string(i));
    RunningApp app;
    ASSERT_EQ(DRIVER_OK, StartApp(L"\"-dir=" + folder.path + L"\"", &app));
    ASSERT_EQ(DRIVER_OK, WaitForRowCount(&app, group_size));

    for (wchar_t key : {L'?', L'/'}) {
        ASSERT_EQ(DRIVER_OK, PressAltCharacter(&app.target, key));
        HWND about = WaitForDialog(&app.target, L"About Ostrik", WAIT_MS);
        ASSERT_NE(nullptr, about) << "Alt+" << (char)key;
        EXPECT_NE(L"Ready", StatusPartText(&app, STATUS_ACTIVITY));
        EXPECT_EQ(DRIVER_OK, ClickDialogButton(about, IDOK));
        EXPECT_EQ(DRIVER_OK, WaitForWindowGone(about, WAIT_MS));
    }
    ASSERT_EQ(DRIVER_OK, ChooseMenuItem(&app.target, DRIVER_CMD_CRC32, WAIT_MS));
    ASSERT_EQ(group_size, RowCount(&app)) << "the large file was done before the switch";
    ExpectMenuItemGreyed(&app, DRIVER_CMD_SCAN, L"Browse for Folder");
    ExpectMenuItemGreyed(&app, DRIVER_CMD_CHECK, L"Open");
    ExpectMenuItemGreyed(&app, DRIVER_CMD_SAVE, L"Save As");

    ASSERT_EQ(L"OK", NextJobPhase(&app, LARGE_SCAN_WAIT_MS));
    std::vector<std::vector<std::wstring>> rows = ReadRows(&app);
    ASSERT_EQ((size_t)(2 * group_size + 1), rows.size());
    // The switch applies to the files not yet handed to the hashing threads:
    // the large file and those handed out with it keep the algorithm they
    // were started with, every later file has the new one.
    bool switched = false;
    for (size_t at = rows.size(); at-- > 0;) {
        const std::vector<std::wstring> &row = rows[at];
        bool deeper = row[0].find(L"\\deeper\\") != std::wstring::npos;
        switched = switched || row[1].size() == 8u;
        EXPECT_TRUE(deeper || !switched) << row[0].c_str();
        EXPECT_EQ(switched ? 8u : 64u, row[1].size()) << row[0].c_str();
    }
    EXPECT_EQ(8u, rows[0][1].size());

    EXPECT_TRUE(PostMessageW(app.target.main_window, WM_SYSCOMMAND, SC_CLOSE, 0));
    EXPECT_EQ(0u, AwaitExit(&app));
    RemoveTree(folder.path);
}

}  // namespace

namespace {

constexpr LONGLONG HUGE_FILE_BYTES = 3LL << 30;

// A .qcx list of `paths`, each with a digest no file has: every file
// checked is a "MISMATCH" row.
std::string WrongDigestList(const std::vector<std::wstring> &paths)
{
    std::wstring text;
    for (const std::wstring &path : paths)
        text += L"S\t" + std::wstring(64, L'0') + L"\t" + path + L"\r\n";
    return ListBytes(text);
}

}  // namespace

TEST(MenuEndToEnd, StopEndsScanCheckAndSingleFileJobsKeepingTheirRowsNeverSavingAndExitingWithOne)
{
    // Forty small files, then (a folder's files come before its sub-folders')
    // a file of some GiB that keeps the job busy until Stop.
    NamedFolder folder = MakeNamedFolder(L"C:\\", L"talvor-stop-");
    const int group_size = 40;
    std::vector<std::wstring> paths;
    for (int i = 0; i < group_size; ++i)
        paths.push_back(PutFileIn(folder.path, L"r" + std::to_wstring(i) + L".txt", "r"));
    MakeSubFolder(folder.path, L"sub");
    WriteLargeSparseFile(folder.path, L"sub\\huge.bin", HUGE_FILE_BYTES);
    std::wstring huge = folder.path + L"\\sub\\huge.bin";
    std::wstring saved = folder.path + L"\\partial.qcx";

    // An unattended scan stopped from the menu: exit code 1, nothing saved.
    {
        RunningApp app;
        StartApp(L"\"-dir=" + folder.path + L"\" \"-save=" + saved + L"\" -exit", &app);
        ASSERT_EQ(DRIVER_OK, WaitForRowCount(&app, group_size));
        ASSERT_EQ(DRIVER_OK, ChooseMenuItem(&app.target, DRIVER_CMD_STOP, WAIT_MS));
        EXPECT_EQ(1u, AwaitExit(&app));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(saved.c_str()));
    }

    // A check stopped at the large file keeps the rows made before it and
    // leaves the commands usable; closing still ends with 0.
    std::vector<std::wstring> listed = paths;
    listed.push_back(huge);
    listed.insert(listed.end(), paths.begin(), paths.end());
    std::wstring list = PutFileIn(folder.path, L"list.qcx", WrongDigestList(listed));
    {
        RunningApp app;
        StartApp(L"\"-chk=" + list + L"\"", &app);
        ASSERT_EQ(DRIVER_OK, WaitForRowCount(&app, group_size));
        ASSERT_EQ(DRIVER_OK, PostMenuCommand(&app.target, DRIVER_CMD_STOP));
        ASSERT_EQ(L"Stopped", NextJobPhase(&app));
        std::vector<std::vector<std::wstring>> rows = ReadRows(&app);
        EXPECT_GE(rows.size(), (size_t)group_size);
        EXPECT_LT(rows.size(), listed.size());
        for (const std::vector<std::wstring> &row : rows)
            EXPECT_EQ(L"MISMATCH", row.at(2)) << row.at(0).c_str();
        EXPECT_EQ(L"Ready", StatusPartText(&app, STATUS_ACTIVITY));
        CancelDialogFromMenu(&app, DRIVER_CMD_CHECK, L"Open");
        EXPECT_TRUE(PostMessageW(app.target.main_window, WM_SYSCOMMAND, SC_CLOSE, 0));
        EXPECT_EQ(0u, AwaitExit(&app));
    }

    // The single-file job runs beside the window, which answers another
    // program at once; Stop ends it with no row and, unattended, with 1.
    {
        RunningApp app;
        StartApp(L"\"-file=" + huge + L"\" -exit", &app);
        // The program's first job: no earlier phase can read the same.
        for (int waited = 0; StatusPartText(&app, STATUS_PHASE) != L"Creating CRC"; waited += 20) {
            ASSERT_LT(waited, int(WAIT_MS)) << "the single-file job did not start";
            Sleep(20);
        }
        ULONGLONG asked = GetTickCount64();
        DWORD_PTR answer = 0;
        LRESULT answered = SendMessageTimeoutW(app.target.main_window, WM_NULL, 0, 0,
                                               SMTO_ABORTIFHUNG, WAIT_MS, &answer);
        ULONGLONG answer_ms = GetTickCount64() - asked;
        std::wstring activity = StatusPartText(&app, STATUS_ACTIVITY);
        EXPECT_NE(0, answered);
        EXPECT_NE(L"Ready", activity) << "answered only once the job ended";
        std::printf("the window answered after %llu ms while digesting %llu bytes\n",
                    (unsigned long long)answer_ms, (unsigned long long)HUGE_FILE_BYTES);
        EXPECT_EQ(0, RowCount(&app));
        ASSERT_EQ(DRIVER_OK, PostMenuCommand(&app.target, DRIVER_CMD_STOP));
        EXPECT_EQ(1u, AwaitExit(&app));
    }
    RemoveTree(folder.path);
}
