// TalvorCrcCheck.com, the program's console companion. cmd and PowerShell
// prefer a .com to the .exe of the same name when the extension is left out,
// so `TalvorCrcCheck -chk=LIST -exit` typed at a prompt or run by a scheduled
// task lands here. It starts the window program beside it with the same
// arguments and a -report= file, waits until it has ended, writes the report
// to its own output and returns the program's exit code: what cmd does not
// do for a window program, which it neither waits for nor hears from.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "fileio/fileio.h"
#include "report_switch.h"

namespace {

constexpr int EXIT_COULD_NOT_RUN = 2;
constexpr DWORD MODULE_PATH_UNITS = 32768;
// A report is one line per row that is not OK: generous, yet bounded.
constexpr uint32_t REPORT_LIMIT_BYTES = 0x7FFFFFFF;

void WriteBytes(HANDLE output, const char *bytes, DWORD count)
{
    DWORD written = 0;
    WriteFile(output, bytes, count, &written, nullptr);
}

// UTF-8 bytes as they are when the output goes to a file or a pipe; on a
// console window as UTF-16, which it shows whatever its code page.
void WriteUtf8(HANDLE output, const char *bytes, uint32_t count)
{
    DWORD mode = 0;
    if (count == 0)
        return;
    if (!GetConsoleMode(output, &mode)) {
        WriteBytes(output, bytes, count);
        return;
    }
    int units = MultiByteToWideChar(CP_UTF8, 0, bytes, int(count), nullptr, 0);
    wchar_t *text = static_cast<wchar_t *>(std::malloc(size_t(units) * sizeof(wchar_t) + 1));
    if (!text)
        return;
    MultiByteToWideChar(CP_UTF8, 0, bytes, int(count), text, units);
    DWORD written = 0;
    WriteConsoleW(output, text, DWORD(units), &written, nullptr);
    std::free(text);
}

void WriteError(const wchar_t *text, const wchar_t *detail)
{
    wchar_t line[600];
    std::swprintf(line, 600, L"TalvorCrcCheck: %ls %.500ls\r\n", text, detail);
    char bytes[1800];
    int count = WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, sizeof(bytes), nullptr, nullptr);
    if (count > 1)
        WriteUtf8(GetStdHandle(STD_ERROR_HANDLE), bytes, uint32_t(count - 1));
}

// The window program: this file's own path with .exe for .com.
wchar_t *ProgramPath()
{
    wchar_t *path = static_cast<wchar_t *>(std::malloc(MODULE_PATH_UNITS * sizeof(wchar_t)));
    if (!path)
        return nullptr;
    DWORD units = GetModuleFileNameW(nullptr, path, MODULE_PATH_UNITS - 4);
    wchar_t *dot = units ? std::wcsrchr(path, L'.') : nullptr;
    if (!dot || std::wcschr(dot, L'\\')) {
        std::free(path);
        return nullptr;
    }
    std::wcscpy(dot, L".exe");
    return path;
}

// The arguments as typed, after the companion's own name, which the command
// line's first argument ends as CommandLineToArgvW reads it: at the closing
// quote when it starts with one, else at the first blank.
const wchar_t *ArgumentsAfterProgramName(const wchar_t *command_line)
{
    const wchar_t *p = command_line;
    if (*p == L'"') {
        for (++p; *p && *p != L'"'; ++p) {
        }
        return *p ? p + 1 : p;
    }
    while (*p && *p != L' ' && *p != L'\t')
        ++p;
    return p;
}

// The last -report= among the arguments, the one the program writes; null
// when there is none. Points into `arguments`.
const wchar_t *RequestedReport(wchar_t **arguments, int count)
{
    const wchar_t *path = nullptr;
    for (int i = 1; i < count; ++i)
        if (std::wcsncmp(arguments[i], REPORT_PREFIX, REPORT_PREFIX_UNITS) == 0)
            path = arguments[i] + REPORT_PREFIX_UNITS;
    return path;
}

// A fresh empty file in the temporary folder; the caller deletes it.
bool MakeTemporaryReport(wchar_t path[MAX_PATH])
{
    wchar_t folder[MAX_PATH];
    DWORD units = GetTempPathW(MAX_PATH, folder);
    return units > 0 && units < MAX_PATH - 14 && GetTempFileNameW(folder, L"tcc", 0, path) != 0;
}

// "PROGRAM" ARGUMENTS [ "-report=REPORT"]
wchar_t *ComposeCommandLine(const wchar_t *program, const wchar_t *arguments,
                            const wchar_t *added_report)
{
    size_t units = std::wcslen(program) + std::wcslen(arguments) + 4;
    if (added_report)
        units += REPORT_PREFIX_UNITS + std::wcslen(added_report) + 4;
    wchar_t *line = static_cast<wchar_t *>(std::malloc(units * sizeof(wchar_t)));
    if (!line)
        return nullptr;
    std::swprintf(line, units, L"\"%ls\"%ls", program, arguments);
    if (added_report) {
        size_t used = std::wcslen(line);
        std::swprintf(line + used, units - used, L" \"%ls%ls\"", REPORT_PREFIX, added_report);
    }
    return line;
}

// Starts the program, waits for its end and gives its exit code, or -1 when
// it could not be started.
int64_t RunProgram(const wchar_t *program, wchar_t *command_line)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    // The program gets none of our standard handles: were it to hold our
    // output pipe (Wine hands them on by default, and so to the desktop
    // process a first window starts), a reader would wait past our end.
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program, command_line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exit_code = EXIT_COULD_NOT_RUN;
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hProcess);
    return exit_code;
}

// Copies the report the program wrote to the output; nothing when it wrote
// none (no job was requested).
void RelayReport(const wchar_t *path)
{
    uint32_t size = REPORT_LIMIT_BYTES;
    void *report = ReadFileWhole(path, &size);
    if (!report)
        return;
    WriteUtf8(GetStdHandle(STD_OUTPUT_HANDLE), static_cast<const char *>(report), size);
    std::free(report);
}

int RunWithReport(const wchar_t *program, wchar_t **arguments, int count)
{
    const wchar_t *report = RequestedReport(arguments, count);
    wchar_t temporary[MAX_PATH] = L"";
    if (!report) {
        if (!MakeTemporaryReport(temporary)) {
            WriteError(L"cannot create a temporary file in", L"%TEMP%");
            return EXIT_COULD_NOT_RUN;
        }
        report = temporary;
    }
    wchar_t *command_line = ComposeCommandLine(
        program, ArgumentsAfterProgramName(GetCommandLineW()), temporary[0] ? temporary : nullptr);
    int64_t exit_code = command_line ? RunProgram(program, command_line) : -1;
    std::free(command_line);
    if (exit_code < 0) {
        WriteError(L"cannot start", program);
        exit_code = EXIT_COULD_NOT_RUN;
    } else {
        RelayReport(report);
    }
    if (temporary[0])
        DeleteFileW(temporary);
    return int(exit_code);
}

}  // namespace

int wmain()
{
    wchar_t *program = ProgramPath();
    int count = 0;
    wchar_t **arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    int exit_code = EXIT_COULD_NOT_RUN;
    if (program && arguments)
        exit_code = RunWithReport(program, arguments, count);
    else
        WriteError(L"out of memory", L"");
    LocalFree(arguments);
    std::free(program);
    return exit_code;
}
