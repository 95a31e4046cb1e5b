// End-to-end: starts the real TalvorCrcCheck.exe with the arguments a user
// would type and reads its window from outside through the driver.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/driver_dialogs.h"
#include "tests/e2e/app_path.h"
#include "tests/e2e/running_app.h"
#include "tests/support/faults.h"
#include "tests/support/scratch.h"

namespace {

constexpr DWORD WAIT_MS = E2E_WAIT_MS;

std::wstring WriteChecksumListFile(const NamedFolder &folder, const std::wstring &name,
                                   const std::wstring &text)
{
    return PutFileIn(folder.path, name, ListBytes(text));
}

// What the window showed once the job requested on the command line ended,
// and how the program ended after WM_CLOSE.
struct AppRun {
    int wait_result = DRIVER_ERR_NOT_FOUND;
    std::vector<std::vector<std::wstring>> rows;
    std::vector<std::wstring> parts;
    std::vector<bool> popout;
    std::wstring title;     // the main window's text, as any program reads it
    int arrow_column = -1;  // after a click on a column header, if asked for
    bool arrow_descending = false;
    std::vector<std::wstring> statuses_after_click;  // top first
    DWORD exit_code = STILL_ACTIVE;
};

// The program's list has 3 columns and its status bar 4 parts; fewer is a
// failure, and the padding keeps the tests' indexing in range.
constexpr size_t COLUMNS = 3;
constexpr size_t PARTS = 4;

void CaptureWindow(RunningApp *app, AppRun *run)
{
    for (std::vector<std::wstring> cells : ReadRows(app)) {
        EXPECT_EQ(COLUMNS, cells.size());
        cells.resize(COLUMNS);
        run->rows.push_back(cells);
    }
    StatusBarState state;
    ASSERT_EQ(DRIVER_OK, ReadStatusBar(&app->target, &state));
    for (int part = 0; part < state.part_count; ++part) {
        run->parts.push_back(state.parts[part].text);
        run->popout.push_back(state.parts[part].popout);
    }
    ReleaseStatusBar(&state);
    wchar_t title[512] = L"";
    GetWindowTextW(app->target.main_window, title, 512);
    run->title = title;
    EXPECT_EQ(PARTS, run->parts.size());
    run->parts.resize(PARTS);
    run->popout.resize(PARTS);
}

// Closes the program and notes how it ended.
void CloseAndReap(RunningApp *app, AppRun *run)
{
    run->exit_code = CloseApp(app);
    EXPECT_NE(STILL_ACTIVE, run->exit_code) << "the program did not close";
}

// A click on a column's header once the job has ended: the arrow and the
// statuses as shown then.
void ClickAndCapture(DriverTarget *target, int column, AppRun *run)
{
    ASSERT_EQ(DRIVER_OK, ClickColumnHeader(target, column));
    ASSERT_EQ(DRIVER_OK, ReadSortArrow(target, &run->arrow_column, &run->arrow_descending));
    ResultTable table;
    ASSERT_EQ(DRIVER_OK, ReadResultTable(target, &table));
    for (int row = 0; row < table.row_count; ++row)
        run->statuses_after_click.push_back(ResultCell(&table, row, 2));
    ReleaseResultTable(&table);
}

// The static control that holds a message box's text.
constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF;

// Waits for the job's "ERROR" box, keeps its text and dismisses it, then
// waits for the job's end.
int PassErrorBox(DriverTarget *target, std::wstring *text)
{
    HWND box = WaitForDialog(target, L"ERROR", WAIT_MS);
    if (!box)
        return DRIVER_ERR_TIMEOUT;
    wchar_t shown[512] = L"";
    GetDlgItemTextW(box, MESSAGE_BOX_TEXT_ID, shown, 512);
    *text = shown;
    int clicked = ClickDialogButton(box, IDOK);
    return clicked == DRIVER_OK ? WaitForJobsEnded(target, 1, WAIT_MS) : clicked;
}

// Starts the program, waits until its job ended, records the window and
// closes it. With `error_box`, the job is to show an "ERROR" box before it
// ends: its text goes there.
AppRun RunApp(const std::wstring &arguments, const wchar_t *folder = nullptr, int click_column = -1,
              std::wstring *error_box = nullptr)
{
    AppRun run;
    RunningApp app;
    run.wait_result = StartApp(arguments, &app, folder);
    if (run.wait_result != DRIVER_OK)
        return run;
    run.wait_result =
        error_box ? PassErrorBox(&app.target, error_box) : WaitForJobEnd(&app.target, WAIT_MS);
    if (run.wait_result == DRIVER_OK)
        CaptureWindow(&app, &run);
    if (run.wait_result == DRIVER_OK && click_column >= 0)
        ClickAndCapture(&app.target, click_column, &run);
    CloseAndReap(&app, &run);
    return run;
}

void ExpectRow(const std::vector<std::wstring> &row, const std::wstring &path,
               const std::wstring &digest, const std::wstring &status)
{
    EXPECT_EQ(path, row[0]);
    EXPECT_EQ(digest, row[1]);
    EXPECT_EQ(status, row[2]);
}

void ExpectSingleRow(const AppRun &run, const std::wstring &path, const std::wstring &digest,
                     const std::wstring &status)
{
    ASSERT_EQ(DRIVER_OK, run.wait_result);
    ASSERT_EQ(1u, run.rows.size());
    ExpectRow(run.rows[0], path, digest, status);
    EXPECT_EQ(0u, run.exit_code);
}

// Runs the program with -exit in front of `arguments`; its exit code, or
// STILL_ACTIVE when it did not end by itself in time (it is ended then).
DWORD RunUnattended(const std::wstring &arguments, const wchar_t *folder = nullptr)
{
    RunningApp app;
    if (!LaunchApp(L"-exit " + arguments, &app, folder)) {
        ADD_FAILURE() << "cannot start " << AppPath().c_str();
        return STILL_ACTIVE;
    }
    return AwaitExit(&app);
}

std::wstring Quoted(const std::wstring &option, const std::wstring &path)
{
    return L"\"" + option + path + L"\"";
}

bool IsEngineText(const std::wstring &text)
{
    return text == L"SSE4.2 HW" || text == L"SSE4.2 SW";
}

const char SHA3_256_ABC[] = "3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532";

std::wstring Wide(const char *text)
{
    return std::wstring(text, text + strlen(text));
}

}  // namespace

TEST(EndToEnd, NoArgumentsComesUpIdleWithItsLayoutAndExitsWithZero)
{
    RunningApp app;
    ASSERT_EQ(DRIVER_OK, StartApp(L"", &app));
    AppRun run;
    WindowLayout layout;
    StatusBarState state = {};
    ProgressState progress = {};
    wchar_t **titles = nullptr;
    int title_count = 0;
    wchar_t caption[64] = L"";
    int ready = WaitForReady(&app.target, nullptr, 0, WAIT_MS);
    if (ready == DRIVER_OK) {
        GetWindowTextW(app.target.main_window, caption, 64);
        EXPECT_EQ(DRIVER_OK, ReadColumnTitles(&app.target, &titles, &title_count));
        CaptureWindow(&app, &run);
        EXPECT_EQ(DRIVER_OK, ReadWindowLayout(&app.target, &layout));
        EXPECT_EQ(DRIVER_OK, ReadStatusBar(&app.target, &state));
        EXPECT_EQ(DRIVER_OK, ReadProgress(&app.target, &progress));
    }
    CloseAndReap(&app, &run);
    ASSERT_EQ(DRIVER_OK, ready);
    ASSERT_EQ(4, state.part_count);
    EXPECT_STREQ(L"TALVOR CRC Check", caption);
    ASSERT_EQ(3, title_count);
    EXPECT_STREQ(L"Path", titles[0]);
    EXPECT_STREQ(L"CRC", titles[1]);
    EXPECT_STREQ(L"Status", titles[2]);
    ReleaseColumnTitles(&titles, &title_count);

    EXPECT_TRUE(run.rows.empty());
    EXPECT_TRUE(IsEngineText(run.parts[0])) << run.parts[0].c_str();
    EXPECT_TRUE(run.popout[0]);
    EXPECT_EQ(L"", run.parts[2]);
    EXPECT_EQ(L"Ready", run.parts[3]);
    EXPECT_TRUE(run.popout[3]);
    EXPECT_EQ(0u, run.exit_code);

    EXPECT_EQ(500, layout.window.right - layout.window.left);
    EXPECT_EQ(400, layout.window.bottom - layout.window.top);
    int width = layout.client.right;
    int half = width / 2;
    ASSERT_EQ(3, layout.column_count);
    EXPECT_EQ(width / 2, layout.column_widths[0]);
    EXPECT_EQ(width / 3, layout.column_widths[1]);
    EXPECT_EQ(width / 8, layout.column_widths[2]);
    EXPECT_EQ(half / 2, state.parts[0].right_edge);
    EXPECT_EQ(half + half / 10, state.parts[1].right_edge);
    EXPECT_EQ(half + 2 * half / 3, state.parts[2].right_edge);
    EXPECT_EQ(-1, state.parts[3].right_edge);
    ReleaseStatusBar(&state);
    EXPECT_EQ(0, layout.progress_bar.top);
    EXPECT_EQ(width, layout.progress_bar.right - layout.progress_bar.left);
    EXPECT_EQ(20, layout.result_list.top);
    EXPECT_EQ(layout.client.bottom - 42, layout.result_list.bottom - layout.result_list.top);
    EXPECT_EQ(layout.client.bottom, layout.status_bar.bottom);
    EXPECT_EQ(0, progress.position);
    EXPECT_EQ(100, progress.maximum);
}

TEST(EndToEnd, SingleFileGivesOneCreatedRowWithTheChosenAlgorithmsDigest)
{
    NamedFolder folder = MakeNamedFolder(TempParent(), L"talvor_e2e_file_");
    std::wstring abc = PutFileIn(folder.path, L"abc.txt", "abc");
    std::wstring check = PutFileIn(folder.path, L"check.txt", "123456789");
    std::wstring empty = PutFileIn(folder.path, L"empty.bin", "");
    struct Case {
        std::wstring arguments;
        std::wstring path;
        const char *digest;
    } cases[] = {
        {L"\"-file=" + abc + L"\"", abc, SHA3_256_ABC},
        {L"-sha224 \"-file=" + abc + L"\"", abc,
         "E642824C3F8CF24AD09234EE7D3C766FC9A3A5168D0C94AD73B46FDF"},
        {L"\"-file=" + abc + L"\" -sha256", abc, SHA3_256_ABC},
        {L"-sha384 \"-file=" + abc + L"\"", abc,
         "EC01498288516FC926459F58E2C6AD8DF9B473CB0FC08C2596DA7CF0E49BE4B298D88CEA927AC7F539F1EDF22"
         "8376D25"},
        {L"-sha512 \"-file=" + abc + L"\"", abc,
         "B751850B1A57168A5693CD924B6B096E08F621827444F70D884F5D0240D2712E"
         "10E116E9192AF3C91A7EC57647E3934057340B4CF408D5A56592F8274EEC53F0"},
        {L"-crc \"-file=" + check + L"\"", check, "E3069283"},
        {L"-sha512 -crc \"-file=" + abc + L"\"", abc, "364B3FB7"},
        {L"-CRC -sha256x \"-file=" + check + L"\"", check,
         "87CD084D190E436F147322B90E7384F6A8E0676C99D21EF519EA718E51D45F9C"},
        {L"-crc \"-file=" + empty + L"\"", empty, "00000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.c_str());
        AppRun run = RunApp(c.arguments);
        ASSERT_NO_FATAL_FAILURE(ExpectSingleRow(run, c.path, Wide(c.digest), L"Created"));
        EXPECT_EQ(L"OK", run.parts[2]);
        EXPECT_EQ(L"Ready", run.parts[3]);
    }
    AppRun relative = RunApp(L"-crc -file=check.txt", folder.path.c_str());
    ASSERT_NO_FATAL_FAILURE(ExpectSingleRow(relative, L"check.txt", L"E3069283", L"Created"));
    RemoveTree(folder.path);
}

TEST(EndToEnd, SingleFileThatIsMissingShowsAnErrorRowAndBad)
{
    NamedFolder folder = MakeNamedFolder(TempParent(), L"talvor_e2e_missing_");
    std::wstring missing = folder.path + L"\\missing.txt";
    AppRun run = RunApp(L"\"-file=" + missing + L"\"");
    ASSERT_NO_FATAL_FAILURE(ExpectSingleRow(run, missing, L"", L"ERROR"));
    EXPECT_EQ(L"BAD", run.parts[2]);
    EXPECT_EQ(L"Ready", run.parts[3]);
    RemoveTree(folder.path);
}

// The driver program's own output: one tab-separated UTF-8 line per row and
// per status part, read here through a pipe as a script would.
TEST(EndToEnd, DriverProgramPrintsRowsAndStatusAsUtf8)
{
    NamedFolder folder = MakeNamedFolder(TempParent(), L"talvor_e2e_driver_");
    std::wstring path = PutFileIn(folder.path, L"pr\u00fcf \u2713.txt", "abc");
    RunningApp app;
    ASSERT_TRUE(LaunchApp(L"-crc \"-file=" + path + L"\"", &app));

    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    ASSERT_TRUE(CreatePipe(&read_end, &write_end, &inherit, 0));
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION driver;
    std::wstring arguments =
        L"--pid " + std::to_wstring(app.info.dwProcessId) + L" wait-job rows status close";
    ASSERT_TRUE(
        LaunchProgram(ExeFolder() + L"talvor_driver.exe", arguments, nullptr, write_end, &driver));
    CloseHandle(write_end);
    std::string output;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(read_end, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        output.append(chunk, got);
    CloseHandle(read_end);
    DWORD driver_exit = 1;
    WaitForSingleObject(driver.hProcess, WAIT_MS);
    GetExitCodeProcess(driver.hProcess, &driver_exit);
    CloseHandle(driver.hThread);
    CloseHandle(driver.hProcess);
    DWORD app_exit = AwaitExit(&app, driver_exit == 0 ? WAIT_MS : 0);
    RemoveTree(folder.path);

    EXPECT_EQ(0u, driver_exit);
    EXPECT_EQ(0u, app_exit);
    char *utf8_path = ToUtf8(path.c_str());
    std::string row = std::string(utf8_path) + "\t364B3FB7\tCreated\n";
    free(utf8_path);
    ASSERT_EQ(0u, output.find(row)) << output;
    std::string rest = output.substr(row.size());
    bool engine_hw = rest.rfind("SSE4.2 HW\tpopout\n", 0) == 0;
    bool engine_sw = rest.rfind("SSE4.2 SW\tpopout\n", 0) == 0;
    ASSERT_TRUE(engine_hw || engine_sw) << output;
    EXPECT_EQ("\tpopout\nOK\tpopout\nReady\tpopout\nexit\t0\n",
              rest.substr(strlen("SSE4.2 HW\tpopout\n")));
}

// abc.txt and check.txt, sub\hello.txt and an empty folder.
class SmallTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = MakeNamedFolder(TempParent(), L"talvor_e2e_scan_");
        abc = PutFileIn(folder.path, L"abc.txt", "abc");
        check = PutFileIn(folder.path, L"check.txt", "123456789");
        MakeSubFolder(folder.path, L"sub");
        empty = MakeSubFolder(folder.path, L"empty");
        hello = PutFileIn(folder.path, L"sub\\hello.txt", "hello");
    }
    void TearDown() override { RemoveTree(folder.path); }

    NamedFolder folder;
    std::wstring abc, check, empty, hello;
};

TEST_F(SmallTree, AScanListsTheFoldersOwnFilesFirstEachOneCreated)
{
    AppRun scan = RunApp(L"-crc \"-dir=" + folder.path + L"\"");
    ASSERT_EQ(DRIVER_OK, scan.wait_result);
    ASSERT_EQ(3u, scan.rows.size());
    // Sub-folders come after the folder's own files; the newest row is on top.
    EXPECT_EQ(hello, scan.rows[0][0]);
    EXPECT_EQ(L"9A71BB4C", scan.rows[0][1]);
    for (const std::vector<std::wstring> &row : scan.rows)
        EXPECT_EQ(L"Created", row[2]);
    // The folder's own files come in the order the file system lists them.
    size_t abc_row = scan.rows[1][0] == abc ? 1 : 2;
    size_t check_row = 3 - abc_row;
    EXPECT_EQ(abc, scan.rows[abc_row][0]);
    EXPECT_EQ(L"364B3FB7", scan.rows[abc_row][1]);
    EXPECT_EQ(check, scan.rows[check_row][0]);
    EXPECT_EQ(L"E3069283", scan.rows[check_row][1]);
    EXPECT_EQ(L"OK", scan.parts[2]);
    EXPECT_EQ(L"Ready", scan.parts[3]);
    EXPECT_EQ(0u, scan.exit_code);
}

TEST_F(SmallTree, ARelativeFolderKeepsItsTypedPathsAndAnEmptyOneFindsNoFiles)
{
    AppRun relative = RunApp(L"-crc -dir=sub", folder.path.c_str());
    ASSERT_EQ(DRIVER_OK, relative.wait_result);
    ASSERT_EQ(1u, relative.rows.size());
    EXPECT_EQ(L"sub\\hello.txt", relative.rows[0][0]);

    AppRun nothing = RunApp(L"\"-dir=" + empty + L"\"");
    ASSERT_EQ(DRIVER_OK, nothing.wait_result);
    EXPECT_TRUE(nothing.rows.empty());
    EXPECT_EQ(L"Files not found", nothing.parts[2]);
    EXPECT_EQ(L"Ready", nothing.parts[3]);
}

TEST_F(SmallTree, AListOfItsFilesChecksOkAndTheLastPathOptionDecidesTheJob)
{
    std::wstring good =
        WriteChecksumListFile(folder, L"good.qcx",
                              L"C\tE3069283\t" + check + L"\r\nS\t" + Wide(SHA3_256_ABC) + L"\t" +
                                  abc + L"\r\nC\t9A71BB4C\t" + hello + L"\r\n");
    AppRun verified = RunApp(L"\"-chk=" + good + L"\"");
    ASSERT_EQ(DRIVER_OK, verified.wait_result);
    ASSERT_EQ(3u, verified.rows.size());
    EXPECT_EQ(hello, verified.rows[0][0]);
    EXPECT_EQ(abc, verified.rows[1][0]);
    EXPECT_EQ(Wide(SHA3_256_ABC), verified.rows[1][1]);
    for (const std::vector<std::wstring> &row : verified.rows)
        EXPECT_EQ(L"OK", row[2]);
    EXPECT_EQ(L"", verified.parts[0]);
    EXPECT_EQ(L"Files: 3", verified.parts[1]);
    EXPECT_FALSE(verified.popout[1]);
    EXPECT_EQ(L"OK", verified.parts[2]);
    EXPECT_EQ(L"Ready", verified.parts[3]);

    // The last path option decides the job, whatever came before it.
    AppRun last_wins = RunApp(L"\"-dir=" + folder.path + L"\" \"-chk=" + good + L"\"");
    ASSERT_EQ(DRIVER_OK, last_wins.wait_result);
    ASSERT_EQ(3u, last_wins.rows.size());
    EXPECT_EQ(L"OK", last_wins.rows[0][2]);
    EXPECT_EQ(L"Files: 3", last_wins.parts[1]);
}

TEST_F(SmallTree, AMismatchOrAListThatIsNotThereEndsBad)
{
    std::wstring bad = WriteChecksumListFile(
        folder, L"bad.qcx", L"C\tE3069283\t" + check + L"\r\nC\t9a71bb4c\t" + hello + L"\r\n");
    AppRun mismatched = RunApp(L"\"-chk=" + bad + L"\"");
    ASSERT_EQ(DRIVER_OK, mismatched.wait_result);
    ASSERT_EQ(2u, mismatched.rows.size());
    EXPECT_EQ(L"MISMATCH", mismatched.rows[0][2]);
    EXPECT_EQ(L"OK", mismatched.rows[1][2]);
    EXPECT_EQ(L"BAD", mismatched.parts[2]);

    AppRun missing = RunApp(L"\"-chk=" + folder.path + L"\\none.qcx\"");
    ASSERT_EQ(DRIVER_OK, missing.wait_result);
    ASSERT_EQ(1u, missing.rows.size());
    EXPECT_EQ(L"Could not find item", missing.rows[0][0]);
    EXPECT_EQ(L"ERROR", missing.rows[0][1]);
    EXPECT_EQ(L"ERROR", missing.rows[0][2]);
    EXPECT_EQ(L"BAD", missing.parts[2]);
    EXPECT_EQ(L"Ready", missing.parts[3]);
}

std::wstring WithSlashes(std::wstring path)
{
    for (wchar_t &unit : path)
        if (unit == L'\\')
            unit = L'/';
    return path;
}

// Slashes, `.` and `..` as people type them: the rows keep the typed text
// and every file is read.
TEST(EndToEnd, TypedPathFormsDigestEveryFile)
{
    NamedFolder folder = MakeNamedFolder(TempParent(), L"talvor_e2e_typed_");
    std::wstring abc = PutFileIn(folder.path, L"abc.txt", "abc");
    MakeSubFolder(folder.path, L"sub");
    PutFileIn(folder.path, L"sub\\hello.txt", "hello");
    std::wstring up = folder.path + L"\\sub\\..\\..\\" + folder.name;
    for (const std::wstring &typed :
         {WithSlashes(folder.path), folder.path + L"\\.", folder.path + L"\\sub\\..", up}) {
        AppRun scan = RunApp(L"-crc \"-dir=" + typed + L"\"");
        ASSERT_EQ(DRIVER_OK, scan.wait_result) << typed.c_str();
        ASSERT_EQ(2u, scan.rows.size()) << typed.c_str();
        EXPECT_EQ(typed + L"\\sub\\hello.txt", scan.rows[0][0]);
        EXPECT_EQ(L"9A71BB4C", scan.rows[0][1]);
        EXPECT_EQ(typed + L"\\abc.txt", scan.rows[1][0]);
        EXPECT_EQ(L"364B3FB7", scan.rows[1][1]);
        EXPECT_EQ(L"OK", scan.parts[2]) << typed.c_str();
    }
    AppRun file = RunApp(L"-crc \"-file=" + WithSlashes(abc) + L"\"");
    ASSERT_NO_FATAL_FAILURE(ExpectSingleRow(file, WithSlashes(abc), L"364B3FB7", L"Created"));
    EXPECT_EQ(L"OK", file.parts[2]);
    RemoveTree(folder.path);
}

// No end reads "OK" unless every file was read and matched.
TEST(EndToEnd, UnlistableFoldersListsWithoutEntriesAndDevicesEndBad)
{
    NamedFolder folder = MakeNamedFolder(TempParent(), L"talvor_e2e_truth_");
    std::wstring abc = PutFileIn(folder.path, L"abc.txt", "abc");
    std::wstring shut = MakeSubFolder(folder.path, L"shut");
    PutFileIn(folder.path, L"shut\\inside.txt", "inside");
    // Held exclusively by this process, the folder cannot be listed.
    HANDLE lock = CreateFileW(shut.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    AppRun scan = RunApp(L"-crc \"-dir=" + folder.path + L"\"");
    CloseHandle(lock);
    ASSERT_EQ(DRIVER_OK, scan.wait_result);
    ASSERT_EQ(2u, scan.rows.size());
    ExpectRow(scan.rows[0], shut, L"", L"ERROR");
    EXPECT_EQ(L"Created", scan.rows[1][2]);
    EXPECT_EQ(L"BAD", scan.parts[2]);
    EXPECT_EQ(L"Ready", scan.parts[3]);

    std::string utf8 = "\xEF\xBB\xBF"
                       "C\t364B3FB7\t";
    for (wchar_t unit : abc)
        utf8 += char(unit);
    std::wstring resaved = PutFileIn(folder.path, L"resaved.qcx", utf8 + "\r\n");
    AppRun check = RunApp(L"\"-chk=" + resaved + L"\"");
    // UTF-8 is read as a tagged list: the line of another shape is an error
    // row of its own, below the row that says the list gave no entry.
    ASSERT_EQ(DRIVER_OK, check.wait_result);
    ASSERT_EQ(2u, check.rows.size());
    ExpectRow(check.rows[0], resaved, L"", L"ERROR");
    EXPECT_EQ(L"ERROR", check.rows[1][2]);
    EXPECT_EQ(L"Files: 0", check.parts[1]);
    EXPECT_EQ(L"BAD", check.parts[2]);
    EXPECT_EQ(L"Ready", check.parts[3]);

    std::wstring devices =
        WriteChecksumListFile(folder, L"devices.qcx",
                              L"C\t00000000\tNUL\r\nC\t00000000\t\\\\.\\COM1\r\nC\t00000000\t\\\\."
                              L"\\PhysicalDrive0\r\nC\t364B3FB7\t" +
                                  abc + L"\r\n");
    check = RunApp(L"\"-chk=" + devices + L"\"");
    ASSERT_EQ(DRIVER_OK, check.wait_result);
    ASSERT_EQ(4u, check.rows.size());
    EXPECT_EQ(L"OK", check.rows[0][2]);
    for (size_t row = 1; row < 4; ++row)
        EXPECT_EQ(L"ERROR", check.rows[row][2]) << check.rows[row][0].c_str();
    EXPECT_EQ(L"BAD", check.parts[2]);
    RemoveTree(folder.path);
}

// The summary after the time taken, which varies: "OK: ...; 9 bytes in ".
std::wstring SummaryBeforeTime(const std::wstring &title)
{
    size_t in = title.rfind(L" in ");
    return in == std::wstring::npos ? title : title.substr(0, in + 4);
}

// Every row says what happened to its file, from real causes, and the title
// bar sums the rows up once the job has ended.
TEST(EndToEnd, EachStatusComesFromItsCauseAndTheTitleSumsThemUp)
{
    NamedFolder folder = MakeNamedFolder(TempParent(), L"talvor_e2e_status_");
    std::wstring tree = MakeSubFolder(folder.path, L"tree");
    std::wstring same = PutFileIn(tree, L"same.txt", "abc");
    std::wstring changed = PutFileIn(tree, L"changed.txt", "hello");
    std::wstring deleted = PutFileIn(tree, L"deleted.txt", "gone");
    std::wstring locked = PutFileIn(tree, L"locked.txt", "held");
    std::wstring sub = MakeSubFolder(tree, L"sub");
    std::wstring in_sub = PutFileIn(sub, L"inner.txt", "inner");

    AppRun scan = RunApp(L"-crc \"-dir=" + tree + L"\"");
    ASSERT_EQ(DRIVER_OK, scan.wait_result);
    ASSERT_EQ(5u, scan.rows.size());
    EXPECT_EQ(L"TALVOR CRC Check - OK: 0 ERROR, 5 Created; 21 bytes in ",
              SummaryBeforeTime(scan.title));
    std::wstring list = L"";
    for (const std::vector<std::wstring> &row : scan.rows)
        list += L"C\t" + row[1] + L"\t" + row[0] + L"\r\n";
    list += L"C\t00000000\tNUL\r\n";
    std::wstring saved = WriteChecksumListFile(folder, L"tree.qcx", list);

    PutFileIn(tree, L"changed.txt", "HELLO");
    ASSERT_TRUE(DeleteFileW(deleted.c_str()));
    ASSERT_TRUE(DeleteFileW(in_sub.c_str()));
    ASSERT_TRUE(RemoveDirectoryW(sub.c_str()));
    HANDLE lock = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    AppRun check = RunApp(Quoted(L"-chk=", saved), nullptr, 2);
    CloseHandle(lock);
    ASSERT_EQ(DRIVER_OK, check.wait_result);
    ASSERT_EQ(6u, check.rows.size());
    std::map<std::wstring, std::wstring> status;
    for (const std::vector<std::wstring> &row : check.rows)
        status[row[0]] = row[2];
    EXPECT_EQ(L"OK", status[same]);
    EXPECT_EQ(L"MISMATCH", status[changed]);
    EXPECT_EQ(L"MISSING", status[deleted]);
    EXPECT_EQ(L"MISSING", status[in_sub]);
    EXPECT_EQ(L"ERROR", status[locked]);
    EXPECT_EQ(L"ERROR", status[L"NUL"]);
    EXPECT_EQ(L"BAD", check.parts[2]);
    EXPECT_EQ(L"Ready", check.parts[3]);
    EXPECT_EQ(L"TALVOR CRC Check - BAD: 1 MISMATCH, 2 MISSING, 2 ERROR, 1 OK; 8 bytes in ",
              SummaryBeforeTime(check.title));
    // A click on "Status" puts the problems first and the arrow up.
    EXPECT_EQ(2, check.arrow_column);
    EXPECT_FALSE(check.arrow_descending);
    EXPECT_EQ(
        (std::vector<std::wstring>{L"MISMATCH", L"MISSING", L"MISSING", L"ERROR", L"ERROR", L"OK"}),
        check.statuses_after_click);
    EXPECT_EQ(1u, RunUnattended(Quoted(L"-chk=", saved)));
    RemoveTree(folder.path);
}

TEST(EndToEnd, UnattendedRunsExitWithZeroWhenOkAndOneWhenBad)
{
    NamedFolder folder = MakeNamedFolder(TempParent(), L"talvor_e2e_exit_");
    std::wstring tree = MakeSubFolder(folder.path, L"tree");
    PutFileIn(tree, L"a.txt", "abc");
    std::wstring b = PutFileIn(tree, L"b.txt", "123456789");
    std::wstring list = folder.path + L"\\list";

    // A scan that ends "OK" saves its list (.qcx added) and exits with 0;
    // the last -save= wins.
    EXPECT_EQ(0u, RunUnattended(Quoted(L"-dir=", tree) + L" " +
                                Quoted(L"-save=", folder.path + L"\\first.qcx") + L" " +
                                Quoted(L"-save=", list)));
    EXPECT_FALSE(Exists(folder.path + L"\\first.qcx"));
    ASSERT_TRUE(Exists(list + L".qcx"));
    EXPECT_EQ(0u, RunUnattended(Quoted(L"-chk=", list + L".qcx")));

    // A mismatch: 1, and without -exit the program still ends with 0.
    PutBytes(b, "123456780");
    EXPECT_EQ(1u, RunUnattended(Quoted(L"-chk=", list + L".qcx")));
    AppRun bad = RunApp(Quoted(L"-chk=", list + L".qcx"));
    ASSERT_EQ(DRIVER_OK, bad.wait_result);
    EXPECT_EQ(L"BAD", bad.parts[2]);
    EXPECT_EQ(0u, bad.exit_code);

    // A list that reads with errors: the lines it could read are checked,
    // the rest are listing errors, 1.
    std::wstring broken = PutFileIn(folder.path, L"broken.txt",
                                    "CRC32C (tree/a.txt) = 364b3fb7\nMD5 (tree/a.txt) = 0\n");
    EXPECT_EQ(1u, RunUnattended(Quoted(L"-chk=", broken)));
    RemoveTree(folder.path);
}

// Jobs that could not run: 2. A failed save too, and it must not wait for
// anybody to dismiss its error box; nor does a job that could not run
// replace a list that is there.
TEST(EndToEnd, UnattendedRunsThatCouldNotRunExitWithTwoAndReplaceNoList)
{
    NamedFolder folder = MakeNamedFolder(TempParent(), L"talvor_e2e_exit2_");
    std::wstring tree = MakeSubFolder(folder.path, L"tree");
    std::wstring a = PutFileIn(tree, L"a.txt", "abc");
    std::wstring empty = MakeSubFolder(folder.path, L"empty");
    std::wstring list = WriteChecksumListFile(folder, L"list.qcx", L"C\t364B3FB7\t" + a + L"\r\n");
    const std::string kept = GetBytes(list);

    EXPECT_EQ(2u, RunUnattended(Quoted(L"-chk=", folder.path + L"\\missing.qcx")));
    EXPECT_EQ(2u, RunUnattended(Quoted(L"-dir=", empty) + L" " + Quoted(L"-save=", list)));
    EXPECT_EQ(kept, GetBytes(list));
    EXPECT_EQ(2u, RunUnattended(Quoted(L"-file=", folder.path + L"\\missing.bin")));
    EXPECT_EQ(2u, RunUnattended(L""));
    EXPECT_EQ(2u, RunUnattended(Quoted(L"-dir=", tree) + L" " +
                                Quoted(L"-save=", folder.path + L"\\no\\such\\folder\\list.qcx")));
    RemoveTree(folder.path);
}

// The host's rhash wrote these lists (tests/e2e/make_rhash_lists.sh); Wine
// reaches them under Z:.
TEST(EndToEnd, ListsMadeByRhashCheckOkAndAChangedFileEndsBad)
{
    const wchar_t *prepared = _wgetenv(L"TALVOR_RHASH_LISTS");
    if (!prepared)
        GTEST_SKIP() << "TALVOR_RHASH_LISTS is not set";
    std::wstring lists = prepared;
    struct Expected {
        const wchar_t *list;
        size_t rows;
    };
    const Expected fine[] = {
        {L"\\tree\\relative.txt", 15}, {L"\\tree\\absolute.txt", 4}, {L"\\tree\\drive.txt", 4}};
    for (const Expected &expected : fine) {
        AppRun check = RunApp(Quoted(L"-chk=", lists + expected.list));
        ASSERT_EQ(DRIVER_OK, check.wait_result) << expected.list;
        EXPECT_EQ(expected.rows, check.rows.size()) << expected.list;
        for (const std::vector<std::wstring> &row : check.rows)
            EXPECT_EQ(L"OK", row[2]) << row[0].c_str();
        EXPECT_EQ(L"OK", check.parts[2]) << expected.list;
        EXPECT_EQ(0u, RunUnattended(Quoted(L"-chk=", lists + expected.list))) << expected.list;
    }
    // Relative paths are taken from the list's folder, not the current one.
    EXPECT_EQ(0u, RunUnattended(Quoted(L"-chk=", lists + L"\\tree\\relative.txt"), L"C:\\"));

    std::wstring changed = lists + L"\\changed\\relative.txt";
    AppRun check = RunApp(Quoted(L"-chk=", changed));
    ASSERT_EQ(DRIVER_OK, check.wait_result);
    ASSERT_EQ(15u, check.rows.size());
    int mismatches = 0;
    for (const std::vector<std::wstring> &row : check.rows) {
        bool is_changed = row[0].find(L"b (1).bin") != std::wstring::npos;
        EXPECT_EQ(is_changed ? L"MISMATCH" : L"OK", row[2]) << row[0].c_str();
        mismatches += is_changed;
    }
    EXPECT_EQ(5, mismatches);
    EXPECT_EQ(L"BAD", check.parts[2]);
    EXPECT_EQ(1u, RunUnattended(Quoted(L"-chk=", changed)));
}

namespace {

// Waits until the list shows at least one row, read from outside; the table
// stays with the caller.
bool WaitForRows(DriverTarget *target, ResultTable *table)
{
    for (DWORD waited = 0; waited < WAIT_MS; waited += 50) {
        if (ReadResultTable(target, table) != DRIVER_OK)
            return false;
        if (table->row_count > 0)
            return true;
        ReleaseResultTable(table);
        Sleep(50);
    }
    return false;
}

// Starts the program on `arguments`, reads its first rows and the status bar
// while the job runs, closes it and returns its exit code.
DWORD CloseDuringJob(const std::wstring &arguments, const std::wstring &folder)
{
    RunningApp app;
    if (StartApp(arguments, &app) != DRIVER_OK) {
        ADD_FAILURE() << "cannot start the program";
        return STILL_ACTIVE;
    }
    AppRun run;
    ResultTable table;
    if (WaitForRows(&app.target, &table)) {
        EXPECT_EQ(3, table.column_count);
        std::wstring path = ResultCell(&table, table.row_count - 1, 0);
        std::wstring status = ResultCell(&table, table.row_count - 1, 2);
        EXPECT_EQ(folder, path.substr(0, folder.size()));
        EXPECT_TRUE(status == L"Created" || status == L"MISMATCH") << status.c_str();
        ReleaseResultTable(&table);
        StatusBarState state;
        if (ReadStatusBar(&app.target, &state) == DRIVER_OK) {
            EXPECT_EQ(0, wcsncmp(state.parts[3].text, L"Work", 4))
                << "the job ended before the close";
            ReleaseStatusBar(&state);
        }
    } else {
        ADD_FAILURE() << "no rows appeared";
    }
    CloseAndReap(&app, &run);
    return run.exit_code;
}

}  // namespace

// Four files of a gigabyte (sparse, so quick to make) behind small ones: the
// close comes while every hashing thread is busy with them.
TEST(EndToEnd, ClosingDuringAParallelScanOrCheckExitsWithZero)
{
    NamedFolder folder = MakeNamedFolder(TempParent(), L"talvor_e2e_close_");
    std::wstring list_text;
    for (int i = 0; i < 20; ++i) {
        std::wstring small = PutFileIn(folder.path, L"s" + std::to_wstring(i) + L".txt", "small");
        list_text += L"C\t00000000\t" + small + L"\r\n";
    }
    std::wstring big = MakeSubFolder(folder.path, L"big");
    for (int i = 0; i < 4; ++i) {
        std::wstring path = PutFileIn(big, L"g" + std::to_wstring(i) + L".bin", "");
        ASSERT_TRUE(CutFile(path, 1u << 30));
        list_text += L"H\t" + std::wstring(128, L'0') + L"\t" + path + L"\r\n";
    }
    std::wstring list = WriteChecksumListFile(folder, L"exit.qcx", list_text);

    EXPECT_EQ(0u, CloseDuringJob(L"-sha512 \"-dir=" + folder.path + L"\"", folder.path));
    EXPECT_EQ(0u, CloseDuringJob(L"\"-chk=" + list + L"\"", folder.path));
    RemoveTree(folder.path);
}

namespace {

// The rows of a run by path: digest and status.
std::map<std::wstring, std::pair<std::wstring, std::wstring>> RowsByPath(const AppRun &run)
{
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> rows;
    for (const std::vector<std::wstring> &row : run.rows)
        rows[row[0]] = {row[1], row[2]};
    return rows;
}

// The paths of the rows with `status`, sorted: the walk's order is the file
// system's.
std::vector<std::wstring> RowsWith(const AppRun &run, const wchar_t *status)
{
    std::vector<std::wstring> paths;
    for (const std::vector<std::wstring> &row : run.rows)
        if (row[2] == status)
            paths.push_back(row[0]);
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> paths)
{
    std::sort(paths.begin(), paths.end());
    return paths;
}

// abc.txt and old\hello.txt, listed; top.txt, old\more.txt and
// fresh\deep.txt, added since.
struct GrownTree {
    NamedFolder folder;
    std::wstring abc, hello;
    std::vector<std::wstring> added;
};

GrownTree MakeGrownTree(const std::wstring &parent, const std::wstring &prefix)
{
    GrownTree tree;
    tree.folder = MakeNamedFolder(parent, prefix);
    const std::wstring &f = tree.folder.path;
    tree.abc = PutFileIn(f, L"abc.txt", "abc");
    MakeSubFolder(f, L"old");
    MakeSubFolder(f, L"fresh");
    tree.hello = PutFileIn(f, L"old\\hello.txt", "hello");
    tree.added = {PutFileIn(f, L"top.txt", "top"), PutFileIn(f, L"old\\more.txt", "more"),
                  PutFileIn(f, L"fresh\\deep.txt", "deep")};
    return tree;
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t &unit : text)
        unit = wchar_t(towupper(unit));
    return text;
}

}  // namespace

// a., "b " and x.\f.txt beside a, b and x\f.txt: each name is its own file
// in a scan and in a check of the scan's list.
TEST(EndToEnd, NamesEndingInADotOrABlankAreOpenedAsThemselves)
{
    const wchar_t *tree = _wgetenv(L"TALVOR_ODD_NAMES");
    if (!tree)
        GTEST_SKIP() << "TALVOR_ODD_NAMES is not set";
    const std::map<std::wstring, std::wstring> sha3_256 = {
        {L"\\a.", L"0322981E65D1DA5EC9EC911D114C72CD301661D1DAE742DF496FFE8D6ED159EE"},
        {L"\\a", L"1A54D8EBB4748B5F3F686FEE47846102A7853C9A67E8FDA7306DA4E504C596A6"},
        {L"\\b ", L"2094DF4AA54E2D6A2AA85534C1BA01097CC580F57D8577EFCA5E11CBDA8DC1CB"},
        {L"\\b", L"B039179A8A4CE2C252AA6F2F25798251C19B75FC1508D9D511A191E0487D64A7"},
        {L"\\x.\\f.txt", L"E0D4493C295945E973526FD25D364C1199FCA41E2849AB84FB1072B07D6395AC"},
        {L"\\x\\f.txt", L"F7E2F8903D373D9126E1632246DC23A5D9AA7D9ADB2253D79ED61C1AE91F16E8"},
    };
    AppRun scan = RunApp(L"\"-dir=" + std::wstring(tree) + L"\"");
    ASSERT_EQ(DRIVER_OK, scan.wait_result);
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> scanned = RowsByPath(scan);
    ASSERT_EQ(sha3_256.size(), scan.rows.size());
    for (const auto &[name, digest] : sha3_256) {
        EXPECT_EQ(digest, scanned[tree + name].first) << name.c_str();
        EXPECT_EQ(L"Created", scanned[tree + name].second) << name.c_str();
    }

    NamedFolder folder = MakeNamedFolder(TempParent(), L"talvor_e2e_odd_");
    std::wstring list = folder.path + L"\\odd.qcx";
    ASSERT_EQ(0u, RunUnattended(L"\"-dir=" + std::wstring(tree) + L"\" \"-save=" + list + L"\""));
    AppRun check = RunApp(Quoted(L"-chk=", list));
    ASSERT_EQ(DRIVER_OK, check.wait_result);
    ASSERT_EQ(sha3_256.size(), check.rows.size());
    for (const std::vector<std::wstring> &row : check.rows)
        EXPECT_EQ(L"OK", row[2]) << row[0].c_str();
    EXPECT_EQ(L"OK", check.parts[2]);
    RemoveTree(folder.path);
}

// Reads that fail under the program, at the start or part-way: a list that
// could not be read is a check that could not run, a file that could not be
// read is "BAD", never "OK"; short reads change nothing.
TEST(EndToEnd, ReadErrorsInListsAndFilesNeverEndOk)
{
    if (!FaultsAvailable())
        GTEST_SKIP() << "no fault injector (TALVOR_FAULT_PLAN is not set)";
    NamedFolder folder = MakeNamedFolder(TempParent(), L"talvor_e2e_fault_");
    std::wstring data = MakeSubFolder(folder.path, L"data");
    std::wstring large = data + L"\\large.bin";
    ASSERT_TRUE(PutFile(large, 200000));
    PutFileIn(data, L"abc.txt", "abc");
    std::wstring list = folder.path + L"\\list.qcx";
    ASSERT_EQ(0u,
              RunUnattended(L"-crc " + Quoted(L"-dir=", data) + L" " + Quoted(L"-save=", list)));
    AppRun clean = RunApp(L"-crc " + Quoted(L"-dir=", data));
    ASSERT_EQ(DRIVER_OK, clean.wait_result);
    const std::wstring large_crc = RowsByPath(clean)[large].first;
    ASSERT_EQ(8u, large_crc.size());

    for (uint64_t after : {0u, 100u}) {
        SCOPED_TRACE(after);
        ASSERT_TRUE(PlanFault({"read-eio", list, after}));
        AppRun check = RunApp(Quoted(L"-chk=", list));
        DWORD exit_code = RunUnattended(Quoted(L"-chk=", list));
        EndFault();
        ASSERT_EQ(DRIVER_OK, check.wait_result);
        ASSERT_EQ(1u, check.rows.size());
        ExpectRow(check.rows[0], L"Could not find item", L"ERROR", L"ERROR");
        EXPECT_EQ(L"BAD", check.parts[2]);
        EXPECT_EQ(2u, exit_code);
    }
    for (uint64_t after : {0u, 70000u}) {
        SCOPED_TRACE(after);
        ASSERT_TRUE(PlanFault({"read-eio", large, after}));
        AppRun scan = RunApp(L"-crc " + Quoted(L"-dir=", data));
        DWORD scan_exit = RunUnattended(L"-crc " + Quoted(L"-dir=", data));
        AppRun check = RunApp(Quoted(L"-chk=", list));
        DWORD check_exit = RunUnattended(Quoted(L"-chk=", list));
        EndFault();
        ASSERT_EQ(DRIVER_OK, scan.wait_result);
        auto scanned = RowsByPath(scan);
        EXPECT_EQ(std::make_pair(std::wstring(), std::wstring(L"ERROR")), scanned[large]);
        EXPECT_EQ(L"Created", scanned[data + L"\\abc.txt"].second);
        EXPECT_EQ(L"BAD", scan.parts[2]);
        EXPECT_EQ(1u, scan_exit);
        ASSERT_EQ(DRIVER_OK, check.wait_result);
        // There but not read whole: told apart from a changed file.
        EXPECT_EQ(L"ERROR", RowsByPath(check)[large].second);
        EXPECT_EQ(L"OK", RowsByPath(check)[data + L"\\abc.txt"].second);
        EXPECT_EQ(L"BAD", check.parts[2]);
        EXPECT_EQ(1u, check_exit);
    }
    ASSERT_TRUE(PlanFault({"read-short", large, 0}));
    AppRun scan = RunApp(L"-crc " + Quoted(L"-dir=", data));
    EndFault();
    ASSERT_EQ(DRIVER_OK, scan.wait_result);
    EXPECT_EQ(std::make_pair(large_crc, std::wstring(L"Created")), RowsByPath(scan)[large]);
    RemoveTree(folder.path);
}

// The files a list does not name: wherever the list lies, however its paths
// are written, and never a file it names in another case nor another list.
TEST(EndToEnd, ACheckWithNewListsTheFilesItsListDoesNotName)
{
    GrownTree tree = MakeGrownTree(TempParent(), L"talvor_e2e_new_");
    const std::wstring &f = tree.folder.path;
    // The new files' rows spell the folder as the list's first entry does.
    std::wstring entries =
        L"C\t364B3FB7\t" + f + L"\\ABC.TXT\r\nC\t9A71BB4C\t" + Upper(tree.hello) + L"\r\n";
    std::wstring inside = WriteChecksumListFile(tree.folder, L"inside.qcx", entries);
    std::wstring relative = PutFileIn(
        f, L"relative.txt", "CRC32C (ABC.txt) = 364b3fb7\nCRC32C (old/hello.txt) = 9a71bb4c\n");
    NamedFolder outside_folder = MakeNamedFolder(TempParent(), L"talvor_e2e_outside_");
    std::wstring outside = WriteChecksumListFile(outside_folder, L"outside.qcx", entries);

    for (const std::wstring &list : {inside, relative, outside}) {
        AppRun run = RunApp(L"-new " + Quoted(L"-chk=", list));
        ASSERT_EQ(DRIVER_OK, run.wait_result) << list.c_str();
        EXPECT_EQ(2u, RowsWith(run, L"OK").size()) << list.c_str();
        EXPECT_EQ(Sorted(tree.added), RowsWith(run, L"NEW")) << list.c_str();
        EXPECT_EQ(run.rows.size(), 5u) << list.c_str();
        for (const std::vector<std::wstring> &row : run.rows)
            EXPECT_TRUE(row[2] != L"NEW" || row[1].empty()) << row[0].c_str();
        EXPECT_EQ(L"OK", run.parts[2]) << list.c_str();
        EXPECT_EQ(0u, RunUnattended(L"-new " + Quoted(L"-chk=", list)));
    }
    // Without the switch a check says nothing of them; "-NEW" is not it.
    AppRun plain = RunApp(L"-NEW " + Quoted(L"-chk=", inside));
    ASSERT_EQ(DRIVER_OK, plain.wait_result);
    EXPECT_EQ(2u, plain.rows.size());
    RemoveTree(outside_folder.path);
    RemoveTree(f);
}

// An update adds exactly the new files, after every byte the list held.
TEST(EndToEnd, UpdateAppendsTheNewFilesAndKeepsEveryOldByte)
{
    GrownTree tree = MakeGrownTree(TempParent(), L"talvor_e2e_update_");
    const std::wstring &f = tree.folder.path;
    std::wstring gone = PutFileIn(f, L"old\\gone.txt", "gone");
    std::wstring qcx = WriteChecksumListFile(tree.folder, L"list.qcx",
                                             L"C\t364B3FB7\t" + tree.abc + L"\r\nC\t9A71BB4C\t" +
                                                 tree.hello + L"\r\nC\t00000000\t" + gone);
    std::string qcx_before = GetBytes(qcx);
    std::string tagged_before = "; made by hand\r\nCRC32C (abc.txt) = 364b3fb7\r\n"
                                "CRC32C (old\\hello.txt) = 9a71bb4c\r\n";
    std::wstring tagged = PutFileIn(f, L"list.sfv.txt", tagged_before);
    ASSERT_TRUE(DeleteFileW(gone.c_str()));

    AppRun update = RunApp(L"-crc " + Quoted(L"-update=", qcx));
    ASSERT_EQ(DRIVER_OK, update.wait_result);
    EXPECT_EQ(Sorted(tree.added), RowsWith(update, L"Created"));
    EXPECT_EQ(std::vector<std::wstring>{gone}, RowsWith(update, L"MISSING"));
    EXPECT_EQ(4u, update.rows.size());
    EXPECT_EQ(L"OK", update.parts[2]);
    std::string qcx_after = GetBytes(qcx);
    ASSERT_GT(qcx_after.size(), qcx_before.size());
    EXPECT_EQ(qcx_before, qcx_after.substr(0, qcx_before.size()));
    // The last line had no end: it gets one, then full paths like the others.
    EXPECT_EQ(Utf16Bytes(L"\r\nC\t"), qcx_after.substr(qcx_before.size(), 8));
    EXPECT_NE(std::string::npos, qcx_after.find(Utf16Bytes(L"\t" + tree.added[0] + L"\r\n")));

    EXPECT_EQ(0u, RunUnattended(L"-crc " + Quoted(L"-update=", tagged)));
    std::string tagged_after = GetBytes(tagged);
    EXPECT_EQ(tagged_before, tagged_after.substr(0, tagged_before.size()));
    EXPECT_NE(std::string::npos, tagged_after.find("CRC32C (old\\more.txt) = "));
    EXPECT_NE(std::string::npos, tagged_after.find("CRC32C (top.txt) = "));
    EXPECT_EQ(std::string::npos, tagged_after.find("list.qcx"));
    EXPECT_EQ(std::string::npos, tagged_after.find("\n\n"));
    EXPECT_EQ(std::string::npos, tagged_after.find(".saving"));

    // Checked afterwards, every file the lists name is "OK" and none is new.
    AppRun check = RunApp(L"-new " + Quoted(L"-chk=", tagged));
    ASSERT_EQ(DRIVER_OK, check.wait_result);
    EXPECT_EQ(5u, RowsWith(check, L"OK").size());
    EXPECT_EQ(5u, check.rows.size());
    EXPECT_EQ(L"OK", check.parts[2]);

    // Nothing new: the list is left as it is; a new file that cannot be read
    // is left out: 1; the rest is added.
    EXPECT_EQ(0u, RunUnattended(Quoted(L"-update=", tagged)));
    EXPECT_EQ(tagged_after, GetBytes(tagged));
    std::wstring locked = PutFileIn(f, L"locked.txt", "locked");
    std::wstring later = PutFileIn(f, L"later.txt", "later");
    HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hold);
    AppRun partial = RunApp(L"-crc " + Quoted(L"-update=", tagged));
    EXPECT_EQ(1u, RunUnattended(L"-crc " + Quoted(L"-update=", qcx)));
    CloseHandle(hold);
    ASSERT_EQ(DRIVER_OK, partial.wait_result);
    EXPECT_EQ(std::vector<std::wstring>{locked}, RowsWith(partial, L"ERROR"));
    EXPECT_EQ(std::vector<std::wstring>{later}, RowsWith(partial, L"Created"));
    EXPECT_EQ(L"BAD", partial.parts[2]);
    std::string tagged_partial = GetBytes(tagged);
    EXPECT_EQ(tagged_after, tagged_partial.substr(0, tagged_after.size()));
    EXPECT_EQ("CRC32C (later.txt) = ", tagged_partial.substr(tagged_after.size(), 21));
    EXPECT_EQ(std::string::npos, tagged_partial.find("locked.txt"));

    // A list on a read-only file, or none at all: 2, and the file as it was.
    PutFileIn(f, L"newest.txt", "newest");
    ASSERT_TRUE(SetFileAttributesW(tagged.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(2u, RunUnattended(Quoted(L"-update=", tagged)));
    EXPECT_EQ(tagged_partial, GetBytes(tagged));
    ASSERT_TRUE(SetFileAttributesW(tagged.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(2u, RunUnattended(Quoted(L"-update=", f + L"\\none.txt")));
    RemoveTree(f);
}

// rhash's own list, under Z:, grown by the program; read back by rhash once
// the tests are through (read_back_rhash_list.sh).
TEST(EndToEnd, AListMadeByRhashGrowsByItsNewFiles)
{
    const wchar_t *prepared = _wgetenv(L"TALVOR_RHASH_LISTS");
    if (!prepared)
        GTEST_SKIP() << "TALVOR_RHASH_LISTS is not set";
    std::wstring grow = std::wstring(prepared) + L"\\grow";
    std::wstring list = grow + L"\\list.txt";
    std::vector<std::wstring> added = {grow + L"\\new.txt", grow + L"\\sub\\more.txt",
                                       grow + L"\\fresh\\c.txt"};
    AppRun audit = RunApp(L"-new " + Quoted(L"-chk=", list));
    ASSERT_EQ(DRIVER_OK, audit.wait_result);
    EXPECT_EQ(Sorted(added), RowsWith(audit, L"NEW"));
    EXPECT_EQ(2u, RowsWith(audit, L"OK").size());

    std::string before = GetBytes(list);
    AppRun update = RunApp(L"-sha256 " + Quoted(L"-update=", list));
    ASSERT_EQ(DRIVER_OK, update.wait_result);
    EXPECT_EQ(Sorted(added), RowsWith(update, L"Created"));
    std::string after = GetBytes(list);
    EXPECT_EQ(before, after.substr(0, before.size()));
    EXPECT_NE(std::string::npos, after.find("\nSHA3-256 (sub/more.txt) = "));
    EXPECT_EQ(0u, RunUnattended(L"-new " + Quoted(L"-chk=", list)));
}

namespace {

// Whether a save's temporary file was left in `folder`.
bool HoldsTemporaryFile(const std::wstring &folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*.saving").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

}  // namespace

// The update writes the grown list to a temporary file first: a full or
// failing disk under it leaves the list byte for byte, and the run says it
// failed; short writes are carried on until every byte is out.
TEST(EndToEnd, AnUpdateOnAFullDiskLeavesTheListByteForByte)
{
    if (!FaultsAvailable())
        GTEST_SKIP() << "no fault injector (TALVOR_FAULT_PLAN is not set)";
    GrownTree tree = MakeGrownTree(TempParent(), L"talvor_e2e_full_");
    const std::wstring &f = tree.folder.path;
    std::wstring list = WriteChecksumListFile(tree.folder, L"list.qcx",
                                              L"C\t364B3FB7\t" + tree.abc + L"\r\nC\t9A71BB4C\t" +
                                                  tree.hello + L"\r\n");
    const std::string before = GetBytes(list);
    const std::wstring update = L"-crc " + Quoted(L"-update=", list);
    // The temporary file's name carries the program's process id.
    const std::wstring temporary = list + L".*.saving";

    const InjectedFault faults[] = {{"write-enospc", temporary, 0},
                                    {"write-enospc", temporary, before.size() / 2},
                                    {"write-eio", temporary, 0}};
    for (const InjectedFault &fault : faults) {
        SCOPED_TRACE(std::string(fault.kind) + " after " + std::to_string(fault.after));
        ASSERT_TRUE(PlanFault(fault));
        DWORD exit_code = RunUnattended(update);
        EndFault();
        EXPECT_EQ(2u, exit_code);
        EXPECT_EQ(before, GetBytes(list));
        EXPECT_FALSE(HoldsTemporaryFile(f));
    }
    ASSERT_TRUE(PlanFault({"write-enospc", temporary, 0}));
    std::wstring box;
    AppRun full = RunApp(update, nullptr, -1, &box);
    EndFault();
    ASSERT_EQ(DRIVER_OK, full.wait_result);
    EXPECT_EQ(L"ERROR: Could not update the checksum list; it was left as it was!", box);
    EXPECT_EQ(Sorted(tree.added), RowsWith(full, L"Created"));
    EXPECT_EQ(L"BAD", full.parts[2]);
    EXPECT_EQ(before, GetBytes(list));

    ASSERT_TRUE(PlanFault({"write-short", temporary, 0}));
    DWORD exit_code = RunUnattended(update);
    EndFault();
    EXPECT_EQ(0u, exit_code);
    std::string after = GetBytes(list);
    EXPECT_EQ(before, after.substr(0, before.size()));
    AppRun check = RunApp(Quoted(L"-chk=", list));
    ASSERT_EQ(DRIVER_OK, check.wait_result);
    EXPECT_EQ(5u, RowsWith(check, L"OK").size());
    EXPECT_EQ(5u, check.rows.size());
    RemoveTree(f);
}

namespace {

// The folder of the lists other tools wrote (tests/e2e/make_tool_lists.sh),
// under Z:; empty when the build did not make them.
std::wstring ToolLists()
{
    const wchar_t *prepared = _wgetenv(L"TALVOR_TOOL_LISTS");
    return prepared ? prepared : L"";
}

}  // namespace

// Each list as its tool wrote it checks OK in the tree (a row shows a path
// as its list writes it, below the list's folder); in a copy where one
// file changed that file alone reads "MISMATCH", in one where a file is gone
// that file alone "MISSING". The escaped name of SHA256SUMS is the file
// esc\aped.txt; the sidecar a.txt.sha256 checks a.txt beside it.
TEST(EndToEnd, ListsOfOtherToolsCheckOkAndTheirChangedOrMissingFilesEndBad)
{
    std::wstring lists = ToolLists();
    if (lists.empty())
        GTEST_SKIP() << "TALVOR_TOOL_LISTS is not set";
    const struct {
        const wchar_t *name;
        size_t rows;
    } made[] = {
        {L"SHA256SUMS", 4},  {L"MD5SUMS", 3},   {L"SHA512SUMS", 3}, {L"list.b3", 3},
        {L"list.xxh128", 3}, {L"list.xxh3", 3}, {L"list.sfv", 3},   {L"a.txt.sha256", 1},
    };
    for (const auto &list : made) {
        AppRun fine = RunApp(Quoted(L"-chk=", lists + L"\\tree\\" + list.name));
        ASSERT_EQ(DRIVER_OK, fine.wait_result) << list.name;
        EXPECT_EQ(list.rows, RowsWith(fine, L"OK").size()) << list.name;
        EXPECT_EQ(list.rows, fine.rows.size()) << list.name;
        EXPECT_EQ(L"OK", fine.parts[2]) << list.name;

        AppRun changed = RunApp(Quoted(L"-chk=", lists + L"\\changed\\" + list.name));
        ASSERT_EQ(DRIVER_OK, changed.wait_result) << list.name;
        std::vector<std::wstring> mismatched;
        if (list.rows > 1)
            mismatched.push_back(lists + L"\\changed\\sub dir/b (1).bin");
        EXPECT_EQ(mismatched, RowsWith(changed, L"MISMATCH")) << list.name;
        EXPECT_EQ(list.rows - mismatched.size(), RowsWith(changed, L"OK").size()) << list.name;

        AppRun missing = RunApp(Quoted(L"-chk=", lists + L"\\missing\\" + list.name));
        ASSERT_EQ(DRIVER_OK, missing.wait_result) << list.name;
        EXPECT_EQ(std::vector<std::wstring>{lists + L"\\missing\\a.txt"},
                  RowsWith(missing, L"MISSING"))
            << list.name;
        EXPECT_EQ(L"BAD", missing.parts[2]) << list.name;
        EXPECT_EQ(1u, RunUnattended(Quoted(L"-chk=", lists + L"\\missing\\" + list.name)));
    }
    AppRun escaped = RunApp(Quoted(L"-chk=", lists + L"\\tree\\SHA256SUMS"));
    ASSERT_EQ(DRIVER_OK, escaped.wait_result);
    std::vector<std::wstring> ok = RowsWith(escaped, L"OK");
    EXPECT_NE(ok.end(), std::find(ok.begin(), ok.end(), lists + L"\\tree\\esc\\aped.txt"));
}

// 64 hex digits fit SHA-256, SHA3-256 and BLAKE3: the files that match settle
// the list's algorithm, and the title names it; digests of other bytes settle
// nothing and every file reads "MISMATCH".
TEST(EndToEnd, AListThatNamesNoAlgorithmSettlesOnTheOneItsFilesMatch)
{
    std::wstring lists = ToolLists();
    if (lists.empty())
        GTEST_SKIP() << "TALVOR_TOOL_LISTS is not set";
    AppRun settled = RunApp(Quoted(L"-chk=", lists + L"\\tree\\neutral.txt"));
    ASSERT_EQ(DRIVER_OK, settled.wait_result);
    EXPECT_EQ(3u, RowsWith(settled, L"OK").size());
    EXPECT_EQ(L"OK", settled.parts[2]);
    EXPECT_NE(std::wstring::npos, settled.title.find(L"BLAKE3")) << settled.title.c_str();

    AppRun changed = RunApp(Quoted(L"-chk=", lists + L"\\changed\\neutral.txt"));
    ASSERT_EQ(DRIVER_OK, changed.wait_result);
    EXPECT_EQ(std::vector<std::wstring>{lists + L"\\changed\\sub dir/b (1).bin"},
              RowsWith(changed, L"MISMATCH"));
    EXPECT_NE(std::wstring::npos, changed.title.find(L"BLAKE3")) << changed.title.c_str();

    AppRun unsettled = RunApp(Quoted(L"-chk=", lists + L"\\tree\\unsettled.txt"));
    ASSERT_EQ(DRIVER_OK, unsettled.wait_result);
    EXPECT_EQ(2u, unsettled.rows.size());
    EXPECT_EQ(2u, RowsWith(unsettled, L"MISMATCH").size());
    EXPECT_EQ(L"BAD", unsettled.parts[2]);
    EXPECT_NE(std::wstring::npos, unsettled.title.find(L"no algorithm matched"))
        << unsettled.title.c_str();
}

// The format a saved list's name asks for, which its tool verifies
// (verify_tool_lists.sh); a format that cannot hold the digests is refused
// with a message naming one that can, and nothing is written. An update
// adds to a sha256sum list in its own algorithm, whatever Options say.
TEST(EndToEnd, ListsSavedUnderToolNamesTakeTheirFormAndRefuseWhatTheyCannotHold)
{
    std::wstring lists = ToolLists();
    if (lists.empty())
        GTEST_SKIP() << "TALVOR_TOOL_LISTS is not set";
    std::wstring save = lists + L"\\save";
    std::wstring files = Quoted(L"-dir=", save + L"\\files");
    const struct {
        const wchar_t *algorithm;
        const wchar_t *name;
    } saves[] = {
        {L"-sha2-256", L"SHA256SUMS"}, {L"-md5", L"list.md5"},   {L"-blake3", L"B3SUMS"},
        {L"-xxh128", L"list.xxh128"},  {L"-crc32", L"list.sfv"},
    };
    for (const auto &list : saves) {
        std::wstring path = save + L"\\" + list.name;
        EXPECT_EQ(0u, RunUnattended(std::wstring(list.algorithm) + L" " + files + L" " +
                                    Quoted(L"-save=", path)))
            << list.name;
        EXPECT_EQ(0u, RunUnattended(Quoted(L"-chk=", path))) << list.name;
    }
    EXPECT_EQ(2u,
              RunUnattended(L"-crc " + files + L" " + Quoted(L"-save=", save + L"\\refused.sfv")));
    std::wstring message;
    AppRun refused =
        RunApp(L"-sha2-256 " + files + L" " + Quoted(L"-save=", save + L"\\refused.md5"), nullptr,
               -1, &message);
    ASSERT_EQ(DRIVER_OK, refused.wait_result);
    EXPECT_NE(std::wstring::npos, message.find(L".qcx")) << message.c_str();
    EXPECT_FALSE(Exists(save + L"\\refused.md5"));

    AppRun update = RunApp(Quoted(L"-update=", lists + L"\\grow\\SHA256SUMS"));
    ASSERT_EQ(DRIVER_OK, update.wait_result);
    EXPECT_EQ(std::vector<std::wstring>{lists + L"\\grow\\new.txt"}, RowsWith(update, L"Created"));
}
