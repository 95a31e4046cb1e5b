// The menu commands inside the test process: check marks, greying while a
// worker runs, the pickers driven from a helper thread while the test thread
// sits in their modal loop, and the About accelerator typed on the keyboard.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "window/window.h"
#include "tests/support/gui_harness.h"
#include "tests/support/job_harness.h"
#include "tests/support/scratch.h"

namespace {

const UINT kAlgorithmItems[] = {
    ID_OPTIONS_AUTOMODE, ID_OPTIONS_SHA3_224, ID_OPTIONS_SHA3_256,
    ID_OPTIONS_SHA3_384, ID_OPTIONS_SHA3_512, ID_OPTIONS_CRC32,
};

struct AlgorithmCommand {
    UINT command;
    int32_t choice;
};

const AlgorithmCommand kAlgorithmCommands[] = {
    {ID_OPTIONS_SHA3_224, HASH_SHA3_224}, {ID_OPTIONS_SHA3_256, HASH_SHA3_256},
    {ID_OPTIONS_SHA3_384, HASH_SHA3_384}, {ID_OPTIONS_SHA3_512, HASH_SHA3_512},
    {ID_OPTIONS_CRC32, HASH_CRC32C},
};

const UINT kJobCommands[] = {ID_FILE_SCAN, ID_FILE_CHECK, ID_FILE_UPDATE, ID_FILE_SAVE};

LRESULT SendCommand(UINT command, WORD source = 0)
{
    return SendMessageW(gui::MainWindow(), WM_COMMAND, MAKEWPARAM(command, source), 0);
}

std::vector<UINT> CheckedAlgorithmItems()
{
    std::vector<UINT> checked;
    for (UINT item : kAlgorithmItems)
        if (gui::MenuState(item) & MF_CHECKED)
            checked.push_back(item);
    return checked;
}

bool Greyed(UINT command)
{
    return (gui::MenuState(command) & MF_GRAYED) != 0;
}

// Acts on a dialog of this process from a helper thread while the test
// thread runs the dialog's modal loop. Gives up once `stop` is set, so a
// dialog that never comes does not keep the test waiting.
struct DialogHelper {
    std::atomic<bool> seen{false};
    std::atomic<bool> stop{false};
    std::thread thread;

    template <typename Action>
    void Start(const wchar_t *caption, Action action)
    {
        thread = std::thread([this, caption, action] {
            while (!stop) {
                HWND dialog = gui::WaitForWindow(L"#32770", caption, 100);
                if (dialog) {
                    seen = true;
                    action(dialog);
                    return;
                }
            }
        });
    }

    void Finish()
    {
        stop = true;
        thread.join();
    }
};

void PressCancel(HWND dialog)
{
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

void PressOk(HWND dialog)
{
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

// Runs a command that may open `caption`; the helper applies `action` to it.
template <typename Action>
bool RunCommandWithDialog(UINT command, const wchar_t *caption, Action action)
{
    DialogHelper helper;
    helper.Start(caption, action);
    SendCommand(command);
    helper.Finish();
    return helper.seen;
}

// The file-name field of a file dialog: an edit somewhere inside the combo
// box 1148 of an explorer-style dialog.
HWND FileNameEdit(HWND dialog)
{
    HWND edit = nullptr;
    EnumChildWindows(
        GetDlgItem(dialog, 1148),
        [](HWND child, LPARAM found) {
            wchar_t name[16] = {};
            GetClassNameW(child, name, 16);
            if (lstrcmpiW(name, L"Edit") != 0)
                return TRUE;
            *reinterpret_cast<HWND *>(found) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&edit));
    return edit;
}

// The dispatcher runs after a fetched message. A command sent straight to
// the window procedure is not one, so a message follows it, as the menu's
// own posted WM_COMMAND would be; then the requested job runs to its end.
bool DispatchAfterSentCommand()
{
    PostMessageW(gui::MainWindow(), WM_NULL, 0, 0);
    return gui::PumpUntil([] { return g_app.pending_job == JOB_NONE; }) && gui::PumpUntilJobEnded();
}

void SetPreviousTarget(const wchar_t *path)
{
    ASSERT_EQ(SetTargetPath(path, 0), 0);
    g_app.pending_job = JOB_NONE;
}

std::wstring TargetPath()
{
    return g_app.target_path ? g_app.target_path : L"";
}

void RemoveFolder(const std::wstring &folder, const std::vector<std::wstring> &files)
{
    for (const std::wstring &file : files)
        DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
}

// Alt with the key of `character`, typed on the keyboard of the main window
// (a posted WM_SYSCHAR alone does not do: accelerator translation asks the
// thread's key state whether Alt is down). The helper dismisses the About
// box and notes whether a job was still running when it opened.
bool TypeAltCharacterOpensAbout(wchar_t character, bool *during_job)
{
    SHORT scan = VkKeyScanW(character);
    BYTE key = LOBYTE(scan);
    bool shift = (HIBYTE(scan) & 1) != 0;
    DialogHelper helper;
    helper.Start(L"About Ostrik", [during_job](HWND dialog) {
        *during_job = Greyed(ID_FILE_SCAN);
        PressOk(dialog);
    });
    SetForegroundWindow(gui::MainWindow());
    gui::PumpUntil([] { return GetForegroundWindow() == gui::MainWindow(); }, 5000);
    keybd_event(VK_MENU, 0, 0, 0);
    if (shift)
        keybd_event(VK_SHIFT, 0, 0, 0);
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    if (shift)
        keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
    gui::PumpUntil([&helper] { return helper.seen.load(); }, 10000);
    helper.Finish();
    return helper.seen;
}

// The algorithm items come from one table: each row's item sits in Options
// right after Auto-mode, in table order (where the keyboard and the
// end-to-end driver find them), with its text, and its item and its switch
// store the same choice.
TEST(Menu, EachAlgorithmRowGivesOneItemInOrderAndOneSwitchForTheSameChoice)
{
    ASSERT_EQ(gui::Start(L"talvor.exe"), 1);
    HMENU options = GetSubMenu(GetMenu(gui::MainWindow()), 1);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(GetMenuItemID(options, 0), UINT(ID_OPTIONS_AUTOMODE));
    ASSERT_GT(HashOptionCount(), 0);
    for (int32_t i = 0; i < HashOptionCount(); ++i) {
        const HashOption *option = HashOptionAt(i);
        EXPECT_EQ(GetMenuItemID(options, i + 1), option->command) << i;
        wchar_t text[64] = {};
        GetMenuStringW(options, option->command, text, 64, MF_BYCOMMAND);
        EXPECT_STREQ(text, option->item_text);
        SendCommand(option->command);
        EXPECT_EQ(g_app.hash_choice, option->choice) << i;
        StoreHashChoice(HASH_AUTO);
        std::wstring line = std::wstring(L"t.exe ") + option->switch_text;
        ASSERT_EQ(ApplyCommandLine(line.c_str()), 1);
        EXPECT_EQ(g_app.hash_choice, option->choice) << i;
    }
    EXPECT_EQ(GetMenuItemID(options, HashOptionCount() + 1), UINT(ID_OPTIONS_HIDDEN));
    EXPECT_EQ(gui::Close(), 0);
}

TEST(Menu, AlgorithmItemsCheckExactlyTheChosenOneWhileTheCommandLineLeavesTheMarks)
{
    ASSERT_EQ(gui::Start(L"talvor.exe -crc"), 1);
    EXPECT_EQ(g_app.hash_choice, HASH_CRC32C);
    EXPECT_EQ(CheckedAlgorithmItems(), std::vector<UINT>{ID_OPTIONS_SHA3_256});
    EXPECT_TRUE(Greyed(ID_OPTIONS_AUTOMODE));
    EXPECT_TRUE(Greyed(ID_OPTIONS_HIDDEN));
    EXPECT_TRUE(gui::MenuState(ID_OPTIONS_HIDDEN) & MF_CHECKED);

    EXPECT_EQ(SendCommand(ID_OPTIONS_SHA3_512), 0);
    EXPECT_EQ(g_app.hash_choice, HASH_SHA3_512);
    EXPECT_EQ(CheckedAlgorithmItems(), std::vector<UINT>{ID_OPTIONS_SHA3_512});
    EXPECT_EQ(SendCommand(ID_OPTIONS_CRC32), 0);
    EXPECT_EQ(g_app.hash_choice, HASH_CRC32C);
    EXPECT_EQ(CheckedAlgorithmItems(), std::vector<UINT>{ID_OPTIONS_CRC32});
    // The checked item again, this time as an accelerator would send it.
    SendCommand(ID_OPTIONS_CRC32, 1);
    EXPECT_EQ(g_app.hash_choice, HASH_CRC32C);
    EXPECT_EQ(CheckedAlgorithmItems(), std::vector<UINT>{ID_OPTIONS_CRC32});

    for (const AlgorithmCommand &item : kAlgorithmCommands) {
        SendCommand(item.command);
        EXPECT_EQ(g_app.hash_choice, item.choice) << item.command;
        EXPECT_EQ(CheckedAlgorithmItems(), std::vector<UINT>{item.command});
    }
    EXPECT_EQ(SendCommand(ID_OPTIONS_AUTOMODE), 0);
    EXPECT_EQ(g_app.hash_choice, HASH_CRC32C);
    EXPECT_EQ(CheckedAlgorithmItems(), std::vector<UINT>{ID_OPTIONS_CRC32});

    // Greyed in the menu, but the command itself flips the flag; the mark
    // starts checked while the flag starts at 0.
    EXPECT_EQ(SendCommand(ID_OPTIONS_HIDDEN), 0);
    EXPECT_EQ(g_app.hidden_files, 1);
    EXPECT_TRUE(gui::MenuState(ID_OPTIONS_HIDDEN) & MF_CHECKED);
    SendCommand(ID_OPTIONS_HIDDEN);
    EXPECT_EQ(g_app.hidden_files, 0);
    EXPECT_FALSE(gui::MenuState(ID_OPTIONS_HIDDEN) & MF_CHECKED);
    // Listing new files: off at start, its mark following each flip.
    EXPECT_EQ(g_app.list_new_files, 0);
    EXPECT_FALSE(gui::MenuState(ID_OPTIONS_NEW_FILES) & MF_CHECKED);
    SendCommand(ID_OPTIONS_NEW_FILES);
    EXPECT_EQ(g_app.list_new_files, 1);
    EXPECT_TRUE(gui::MenuState(ID_OPTIONS_NEW_FILES) & MF_CHECKED);
    SendCommand(ID_OPTIONS_NEW_FILES);
    EXPECT_EQ(g_app.list_new_files, 0);
    EXPECT_FALSE(gui::MenuState(ID_OPTIONS_NEW_FILES) & MF_CHECKED);
    EXPECT_EQ(gui::Close(), 0);

    ASSERT_EQ(gui::Start(L"talvor.exe -sha512 -sha224"), 1);
    EXPECT_EQ(g_app.hash_choice, HASH_SHA3_224);
    EXPECT_EQ(CheckedAlgorithmItems(), std::vector<UINT>{ID_OPTIONS_SHA3_256});
    SendCommand(ID_OPTIONS_SHA3_384);
    EXPECT_EQ(CheckedAlgorithmItems(), std::vector<UINT>{ID_OPTIONS_SHA3_384});
    EXPECT_EQ(gui::Close(), 0);
}

TEST(Menu, CancelledOrPathlessPickersRequestNothingAndConfirmedOnesRequestTheirJob)
{
    std::wstring folder = MakeScratchFolder();
    std::wstring data = PutFileIn(folder, L"check.txt", "123456789");
    std::wstring list =
        PutFileIn(folder, L"list.qcx", ListBytes(L"C\tE3069283\t" + data + L"\r\n"));
    ASSERT_EQ(gui::Start(L"talvor.exe"), 1);
    SetPreviousTarget(L"C:\\previous");

    EXPECT_TRUE(RunCommandWithDialog(ID_FILE_SCAN, L"Browse for Folder", PressCancel));
    EXPECT_EQ(g_app.pending_job, JOB_NONE);
    EXPECT_EQ(TargetPath(), L"C:\\previous");
    EXPECT_TRUE(RunCommandWithDialog(ID_FILE_CHECK, L"Open", PressCancel));
    EXPECT_EQ(g_app.pending_job, JOB_NONE);
    EXPECT_EQ(TargetPath(), L"C:\\previous");

    // "My Computer" has no file-system path; OK sent anyway (the button
    // itself may be disabled for it) must not scan some leftover text. A
    // browser that refuses the OK is cancelled after a while.
    PIDLIST_ABSOLUTE computer = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
    EXPECT_TRUE(RunCommandWithDialog(ID_FILE_SCAN, L"Browse for Folder", [computer](HWND dialog) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(computer));
        PressOk(dialog);
        for (int wait = 0; wait < 100 && IsWindow(dialog); ++wait)
            Sleep(20);
        if (IsWindow(dialog))
            PressCancel(dialog);
    }));
    CoTaskMemFree(computer);
    EXPECT_EQ(g_app.pending_job, JOB_NONE);
    EXPECT_EQ(TargetPath(), L"C:\\previous");

    EXPECT_TRUE(RunCommandWithDialog(ID_FILE_CHECK, L"Open", [&list](HWND dialog) {
        SetWindowTextW(FileNameEdit(dialog), list.c_str());
        PressOk(dialog);
    }));
    EXPECT_EQ(g_app.pending_job, JOB_CHECK);
    EXPECT_EQ(TargetPath(), list);
    ASSERT_TRUE(DispatchAfterSentCommand());
    ASSERT_EQ(gui::RowCount(), 1);
    EXPECT_EQ(gui::Cell(0, 0), data);
    EXPECT_EQ(gui::Cell(0, 2), L"OK");
    EXPECT_EQ(gui::StatusText(2), L"OK");

    EXPECT_TRUE(RunCommandWithDialog(ID_FILE_SCAN, L"Browse for Folder", [&folder](HWND dialog) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
        PressOk(dialog);
    }));
    EXPECT_EQ(g_app.pending_job, JOB_FOLDER_SCAN);
    EXPECT_EQ(TargetPath(), folder);
    ASSERT_TRUE(DispatchAfterSentCommand());
    EXPECT_EQ(gui::RowCount(), 2);
    EXPECT_EQ(g_app.entry_count, 2);
    EXPECT_EQ(gui::Close(), 0);
    RemoveFolder(folder, {data, list});
}

TEST(Menu, JobCommandsAreGreyedForAWholeScanWhileOptionsAndAboutStayUsable)
{
    std::wstring folder = MakeScratchFolder();
    std::vector<std::wstring> files;
    for (int i = 0; i < 300; ++i) {
        std::wstring name = L"f" + std::to_wstring(i) + L".txt";
        files.push_back(PutFileIn(folder, name.c_str(), "file " + std::to_string(i)));
    }
    // The scan stays at its twentieth file until the commands below have
    // been tried.
    HoldDigestOf(GetBytes(ListingOrder(folder).at(20)));
    ASSERT_EQ(gui::Start((L"talvor.exe \"-dir=" + folder + L"\"").c_str()), 1);
    ASSERT_TRUE(gui::PumpUntil([] { return g_app.pending_job == JOB_NONE; }));
    // The worker waits for the window at its first report, so it is running.
    for (UINT command : kJobCommands)
        EXPECT_TRUE(Greyed(command)) << command;
    for (const AlgorithmCommand &item : kAlgorithmCommands)
        EXPECT_FALSE(Greyed(item.command)) << item.command;
    EXPECT_FALSE(Greyed(IDM_ABOUT));
    EXPECT_FALSE(Greyed(IDM_EXIT));

    // However the commands arrive while greyed, no picker or save dialog
    // opens over a table that the worker is filling.
    EXPECT_FALSE(RunCommandWithDialog(ID_FILE_SCAN, L"Browse for Folder", PressCancel));
    EXPECT_FALSE(RunCommandWithDialog(ID_FILE_CHECK, L"Open", PressCancel));
    EXPECT_FALSE(RunCommandWithDialog(ID_FILE_UPDATE, L"Open", PressCancel));
    EXPECT_FALSE(RunCommandWithDialog(ID_FILE_SAVE, L"Save As", PressCancel));

    // Files read beside the held one on its thread's lanes wait with it, so
    // only the hold itself is certain; every file before it was handed out
    // under the old choice.
    ASSERT_TRUE(gui::PumpUntil(DigestHeld));
    SendCommand(ID_OPTIONS_CRC32);
    EXPECT_EQ(g_app.hash_choice, HASH_CRC32C);
    EXPECT_EQ(CheckedAlgorithmItems(), std::vector<UINT>{ID_OPTIONS_CRC32});
    for (UINT command : kJobCommands)
        EXPECT_TRUE(Greyed(command)) << command;

    bool question_during_job = false;
    bool slash_during_job = false;
    EXPECT_TRUE(TypeAltCharacterOpensAbout(L'?', &question_during_job));
    EXPECT_TRUE(TypeAltCharacterOpensAbout(L'/', &slash_during_job));
    EXPECT_TRUE(question_during_job);
    EXPECT_TRUE(slash_during_job);

    ReleaseHeldDigest();
    ASSERT_TRUE(gui::PumpUntilJobEnded());
    for (UINT command : kJobCommands)
        EXPECT_FALSE(Greyed(command)) << command;
    ASSERT_EQ(gui::RowCount(), 300);
    ASSERT_EQ(g_app.entry_count, 300);
    // Oldest row at the bottom: SHA3-256 up to the switch, CRC-32C after it.
    bool switched = false;
    for (int row = 299; row >= 0; --row) {
        size_t digits = gui::Cell(row, 1).size();
        switched = switched || digits == 8;
        EXPECT_EQ(digits, switched ? 8u : 64u) << "row " << row;
    }
    EXPECT_TRUE(switched);
    EXPECT_EQ(gui::Cell(299, 1).size(), 64u);
    for (int32_t i = 0; i < g_app.entry_count; ++i) {
        const Entry &entry = g_app.entries[i];
        EXPECT_EQ(std::wstring(entry.digest).size(), entry.kind == 'C' ? 8u : 64u) << i;
    }
    EXPECT_EQ(gui::Close(), 0);
    RemoveFolder(folder, files);
}

}  // namespace

namespace {

// The menu bar about to open, as a click on it or an accelerator announces it.
bool StopGreyedWhenTheMenuOpens()
{
    SendMessageW(gui::MainWindow(), WM_INITMENU, WPARAM(GetMenu(gui::MainWindow())), 0);
    return Greyed(ID_FILE_STOP);
}

// Esc typed on the keyboard of the main window, through the accelerators.
void TypeEscape()
{
    SetForegroundWindow(gui::MainWindow());
    gui::PumpUntil([] { return GetForegroundWindow() == gui::MainWindow(); }, 5000);
    keybd_event(VK_ESCAPE, 0, 0, 0);
    keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
}

std::wstring DialogText(HWND dialog)
{
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, 0xFFFF, text, 256);
    return text;
}

}  // namespace

TEST(Menu, EscapeStopsAScanThatKeepsItsRowsAndSaveAsksBeforeWritingPartOfTheFolder)
{
    OneFileAtATime one_file_at_a_time;
    std::wstring folder = MakeScratchFolder();
    std::vector<std::wstring> files;
    for (int i = 0; i < 60; ++i)
        files.push_back(PutFileIn(folder, (L"f" + std::to_wstring(i) + L".txt").c_str(),
                                  "file " + std::to_string(i)));
    ASSERT_EQ(gui::Start(L"talvor.exe"), 1);
    EXPECT_TRUE(StopGreyedWhenTheMenuOpens());
    SendCommand(ID_FILE_STOP);
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"") << "Stop without a job changes nothing";

    HoldDigestOf(GetBytes(ListingOrder(folder).at(20)));
    ASSERT_EQ(SetTargetPath(folder.c_str(), 0), 0);
    g_app.pending_job = JOB_FOLDER_SCAN;
    PostMessageW(gui::MainWindow(), WM_NULL, 0, 0);
    ASSERT_TRUE(gui::PumpUntil([] { return DigestHeld() && gui::RowCount() >= 20; }));
    EXPECT_FALSE(StopGreyedWhenTheMenuOpens());
    TypeEscape();
    ASSERT_TRUE(gui::PumpUntil(JobStopRequested));
    ReleaseHeldDigest();
    ASSERT_TRUE(gui::PumpUntilJobEnded(60000));
    EXPECT_EQ(gui::StatusText(STATUS_PHASE), L"Stopped");
    EXPECT_EQ(gui::RowCount(), 20) << "the rows made before Stop, and only those";
    EXPECT_EQ(g_app.stopped_scan_total, 60);
    wchar_t title[160] = {};
    GetWindowTextW(gui::MainWindow(), title, 160);
    EXPECT_EQ(std::wstring(title).rfind(L"TALVOR CRC Check - Stopped after 20 of 60 files: ", 0),
              0u)
        << title;
    EXPECT_TRUE(StopGreyedWhenTheMenuOpens());

    // No leaves the folder without a list; Yes goes on to the save dialog.
    std::wstring question;
    EXPECT_TRUE(RunCommandWithDialog(ID_FILE_SAVE, L"TALVOR CRC Check", [&question](HWND box) {
        question = DialogText(box);
        PostMessageW(box, WM_COMMAND, IDNO, 0);
    }));
    EXPECT_NE(question.find(L"20 of 60 files"), std::wstring::npos) << question.c_str();
    DialogHelper yes;
    yes.Start(L"TALVOR CRC Check", [](HWND box) { PostMessageW(box, WM_COMMAND, IDYES, 0); });
    EXPECT_TRUE(RunCommandWithDialog(ID_FILE_SAVE, L"Save As", PressCancel));
    yes.Finish();
    EXPECT_TRUE(yes.seen);
    EXPECT_EQ(gui::Close(), 0);
    RemoveFolder(folder, files);
}
