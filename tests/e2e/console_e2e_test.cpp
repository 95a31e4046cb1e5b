// The console companion (TalvorCrcCheck.com) and -report=: what a console,
// a batch file or a scheduled task with redirected output gets back from an
// unattended run, read through a pipe as they would read it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/app_path.h"
#include "tests/e2e/running_app.h"
#include "tests/support/scratch.h"

namespace {

constexpr DWORD WAIT_MS = E2E_WAIT_MS;

struct ConsoleRun {
    DWORD exit_code = STILL_ACTIVE;
    std::string output;  // standard output and standard error
};

std::string ReadAll(HANDLE pipe)
{
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(pipe, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        text.append(chunk, got);
    return text;
}

// Runs `exe` with `arguments` to its end, both its outputs to one pipe
// read here, as `2>&1 |` would.
ConsoleRun RunRedirected(const std::wstring &exe, const std::wstring &arguments)
{
    ConsoleRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE out_read = nullptr, out_write = nullptr;
    if (!CreatePipe(&out_read, &out_write, &inherit, 0)) {
        ADD_FAILURE() << "no pipe";
        return run;
    }
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out_write;
    startup.hStdError = out_write;
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION info = {};
    BOOL started = CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &info);
    CloseHandle(out_write);
    if (started) {
        run.output = ReadAll(out_read);
        if (WaitForSingleObject(info.hProcess, WAIT_MS) == WAIT_OBJECT_0)
            GetExitCodeProcess(info.hProcess, &run.exit_code);
        else
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << exe.c_str();
    }
    CloseHandle(out_read);
    return run;
}

std::wstring SystemCommandShell()
{
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length) + L"\\cmd.exe";
}

std::wstring Quoted(const std::wstring &option, const std::wstring &path)
{
    return L"\"" + option + path + L"\"";
}

std::string Utf8(const std::wstring &text)
{
    char *bytes = ToUtf8(text.c_str());
    std::string copy = bytes ? bytes : "";
    free(bytes);
    return copy;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back("<unterminated> " + text.substr(start));
    return lines;
}

// The report is renamed into place whole, so its name appearing is the sign
// that it is complete.
bool WaitForFile(const std::wstring &path)
{
    for (ULONGLONG deadline = GetTickCount64() + WAIT_MS; GetTickCount64() < deadline; Sleep(50))
        if (Exists(path))
            return true;
    return false;
}

bool StartsWith(const std::string &text, const char *head)
{
    return text.rfind(head, 0) == 0;
}

// A folder with two files and its list, made by the companion itself.
struct CheckedTree {
    NamedFolder folder;
    std::wstring tree, kept, changed, list;
};

CheckedTree MakeCheckedTree(const wchar_t *prefix)
{
    CheckedTree made;
    made.folder = MakeNamedFolder(TempParent(), prefix);
    made.tree = MakeSubFolder(made.folder.path, L"tr\u00e9e");
    made.kept = PutFileIn(made.tree, L"a.txt", "abc");
    made.changed = PutFileIn(made.tree, L"\u00e4nderung.txt", "123456789");
    made.list = made.folder.path + L"\\list.qcx";
    ConsoleRun scan = RunRedirected(ConsolePath(), Quoted(L"-dir=", made.tree) + L" " +
                                                       Quoted(L"-save=", made.list) + L" -exit");
    EXPECT_EQ(0u, scan.exit_code);
    // A scan's rows are all "Created": the summary alone.
    EXPECT_EQ(1u, Lines(scan.output).size()) << scan.output;
    EXPECT_TRUE(StartsWith(scan.output, "OK")) << scan.output;
    return made;
}

TEST(Console, RelaysTheReportAndExitCodeOfOkBadAndCouldNotRun)
{
    CheckedTree made = MakeCheckedTree(L"talvor_console_");

    ConsoleRun ok = RunRedirected(ConsolePath(), Quoted(L"-chk=", made.list) + L" -exit");
    EXPECT_EQ(0u, ok.exit_code);
    std::vector<std::string> ok_lines = Lines(ok.output);
    ASSERT_EQ(1u, ok_lines.size()) << ok.output;
    EXPECT_TRUE(StartsWith(ok_lines[0], "OK")) << ok.output;

    // The summary, then one line per row that is not OK, status and path,
    // paths in UTF-8.
    PutBytes(made.changed, "123456780");
    ASSERT_TRUE(DeleteFileW(made.kept.c_str()));
    ConsoleRun bad = RunRedirected(ConsolePath(), Quoted(L"-chk=", made.list) + L" -exit");
    EXPECT_EQ(1u, bad.exit_code);
    std::vector<std::string> bad_lines = Lines(bad.output);
    ASSERT_EQ(3u, bad_lines.size()) << bad.output;
    EXPECT_TRUE(StartsWith(bad_lines[0], "BAD: 1 MISMATCH, 1 MISSING, 0 ERROR, 0 OK; "))
        << bad.output;
    std::vector<std::string> rows(bad_lines.begin() + 1, bad_lines.end());
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ("MISMATCH\t" + Utf8(made.changed), rows[0]);
    EXPECT_EQ("MISSING\t" + Utf8(made.kept), rows[1]);

    std::wstring missing = made.folder.path + L"\\missing.qcx";
    ConsoleRun failed = RunRedirected(ConsolePath(), Quoted(L"-chk=", missing) + L" -exit");
    EXPECT_EQ(2u, failed.exit_code);
    std::vector<std::string> failed_lines = Lines(failed.output);
    ASSERT_EQ(2u, failed_lines.size()) << failed.output;
    EXPECT_TRUE(StartsWith(failed_lines[0], "BAD")) << failed.output;
    EXPECT_EQ("ERROR\tCould not find item", failed_lines[1]);

    // As a scheduled task runs it: through cmd, the extension left out (so
    // cmd picks the .com over the .exe), the report appended to a log.
    std::wstring log = made.folder.path + L"\\check.log";
    std::wstring program = ConsolePath().substr(0, ConsolePath().size() - 4);
    ConsoleRun task =
        RunRedirected(SystemCommandShell(), L"/s /c \"" + Quoted(L"", program) + L" " +
                                                Quoted(L"-chk=", made.list) + L" -exit >> " +
                                                Quoted(L"", log) + L"\"");
    EXPECT_EQ(1u, task.exit_code);
    EXPECT_EQ("", task.output);
    std::vector<std::string> logged = Lines(GetBytes(log));
    ASSERT_EQ(3u, logged.size()) << GetBytes(log);
    EXPECT_EQ(bad_lines[0].substr(0, bad_lines[0].find(" in ")),
              logged[0].substr(0, logged[0].find(" in ")));
    std::sort(logged.begin() + 1, logged.end());
    EXPECT_EQ(rows, std::vector<std::string>(logged.begin() + 1, logged.end()));

    // Without a job there is no report, and -exit ends at once with 2.
    ConsoleRun idle = RunRedirected(ConsolePath(), L"-exit");
    EXPECT_EQ(2u, idle.exit_code);
    EXPECT_EQ("", idle.output);

    // Without the program beside it the companion says so and gives 2.
    std::wstring alone = made.folder.path + L"\\TalvorCrcCheck.com";
    ASSERT_TRUE(CopyFileW(ConsolePath().c_str(), alone.c_str(), FALSE));
    ConsoleRun orphan = RunRedirected(alone, Quoted(L"-chk=", made.list) + L" -exit");
    EXPECT_EQ(2u, orphan.exit_code);
    EXPECT_TRUE(StartsWith(orphan.output, "TalvorCrcCheck: cannot start ")) << orphan.output;
    RemoveTree(made.folder.path);
}

TEST(Console, ReportFilesAreWrittenWholeWithOrWithoutExit)
{
    CheckedTree made = MakeCheckedTree(L"talvor_report_");
    PutBytes(made.changed, "123456780");
    std::wstring report = made.folder.path + L"\\r\u00e9port.txt";
    // A longer old report is replaced, not overwritten in part.
    PutBytes(report, std::string(4096, 'x'));

    // The companion relays the file asked for and leaves it there.
    ConsoleRun relayed = RunRedirected(ConsolePath(), Quoted(L"-chk=", made.list) + L" " +
                                                          Quoted(L"-report=", report) + L" -exit");
    EXPECT_EQ(1u, relayed.exit_code);
    std::string written = GetBytes(report);
    EXPECT_EQ(relayed.output, written);
    std::vector<std::string> lines = Lines(written);
    ASSERT_EQ(2u, lines.size()) << written;
    EXPECT_TRUE(StartsWith(lines[0], "BAD: 1 MISMATCH, 0 MISSING, 0 ERROR, 1 OK; ")) << written;
    EXPECT_EQ("MISMATCH\t" + Utf8(made.changed), lines[1]);

    // The program alone, without -exit: the report is there once the job
    // has ended, while the window stays open.
    DeleteFileW(report.c_str());
    RunningApp app;
    ASSERT_EQ(DRIVER_OK,
              StartApp(Quoted(L"-chk=", made.list) + L" " + Quoted(L"-report=", report), &app));
    EXPECT_EQ(DRIVER_OK, WaitForJobEnd(&app.target, WAIT_MS));
    EXPECT_TRUE(WaitForFile(report));
    // The same report but for the time taken.
    std::string again = GetBytes(report);
    EXPECT_EQ(written.substr(0, written.find(" in ")), again.substr(0, again.find(" in ")));
    EXPECT_EQ(written.substr(written.find("\r\n")), again.substr(again.find("\r\n")));
    EXPECT_EQ(0u, CloseApp(&app));

    // A report that cannot be written makes the run one that failed.
    ConsoleRun unwritable = RunRedirected(
        AppPath(), Quoted(L"-chk=", made.list) + L" " +
                       Quoted(L"-report=", made.folder.path + L"\\no\\such\\folder\\r.txt") +
                       L" -exit");
    EXPECT_EQ(2u, unwritable.exit_code);
    RemoveTree(made.folder.path);
}

}  // namespace
