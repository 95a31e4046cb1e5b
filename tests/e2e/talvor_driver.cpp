// talvor_driver: reads and drives a running TALVOR CRC Check from outside.
//
//   talvor_driver [--pid N] [--desktop NAME] [--timeout MS] [--phase TEXT]...
//                 COMMAND [ARGUMENT] [COMMAND [ARGUMENT]]...
//
// Commands run in order against one main window: the one of process N, or
// the first window of the program's class. Output is UTF-8, one record a line,
// fields separated by tabs. The exit code is 0, or the DriverResult of the
// first command that failed, or 64 for a malformed command line.
#include <windows.h>

#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "tests/e2e/driver.h"

constexpr int EXIT_USAGE = 64;
constexpr DWORD DEFAULT_TIMEOUT_MS = 30000;
constexpr int MAX_PHASES = 16;

struct DriverOptions {
    DWORD process_id;
    const wchar_t *desktop;
    DWORD timeout_ms;
    const wchar_t *phases[MAX_PHASES];
    int phase_count;
};

struct DriverSession {
    DriverOptions options;
    DriverTarget target;
    bool attached;
};

static void WriteOut(const char *bytes, size_t length)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, (DWORD)length, &written, nullptr);
}

static void PrintText(const wchar_t *text)
{
    char *utf8 = ToUtf8(text);
    if (!utf8)
        return;
    WriteOut(utf8, strlen(utf8));
    free(utf8);
}

static void PrintNumbers(const char *label, const int *values, int count)
{
    char line[512];
    int used = snprintf(line, sizeof(line), "%s", label);
    for (int i = 0; i < count && used < (int)sizeof(line); ++i)
        used += snprintf(line + used, sizeof(line) - used, " %d", values[i]);
    if (used < (int)sizeof(line) - 1)
        used += snprintf(line + used, sizeof(line) - used, "\n");
    WriteOut(line, strlen(line));
}

static void PrintRect(const char *label, const RECT *rect)
{
    int values[4] = {(int)rect->left, (int)rect->top, (int)(rect->right - rect->left),
                     (int)(rect->bottom - rect->top)};
    PrintNumbers(label, values, 4);
}

static void PrintError(const char *message)
{
    fputs(message, stderr);
    fputc('\n', stderr);
}

static int EnsureAttached(DriverSession *session)
{
    if (session->attached)
        return DRIVER_OK;
    int result =
        AttachDriver(session->options.process_id, session->options.timeout_ms, &session->target);
    if (result == DRIVER_OK)
        session->attached = true;
    else
        PrintError("talvor_driver: no main window of TALVOR CRC Check found");
    return result;
}

static int CommandWaitWindow(DriverSession *session, const wchar_t *)
{
    return EnsureAttached(session);
}

static int CommandWaitReady(DriverSession *session, const wchar_t *)
{
    int result = EnsureAttached(session);
    if (result != DRIVER_OK)
        return result;
    result = WaitForReady(&session->target, session->options.phases, session->options.phase_count,
                          session->options.timeout_ms);
    if (result != DRIVER_OK)
        PrintError("talvor_driver: the program did not become ready in time");
    return result;
}

static int CommandWaitJob(DriverSession *session, const wchar_t *)
{
    int result = EnsureAttached(session);
    if (result != DRIVER_OK)
        return result;
    result = WaitForJobEnd(&session->target, session->options.timeout_ms);
    if (result != DRIVER_OK)
        PrintError("talvor_driver: the job did not end in time");
    return result;
}

static int CommandRows(DriverSession *session, const wchar_t *)
{
    int result = EnsureAttached(session);
    if (result != DRIVER_OK)
        return result;
    ResultTable table;
    result = ReadResultTable(&session->target, &table);
    if (result != DRIVER_OK)
        return result;
    for (int row = 0; row < table.row_count; ++row) {
        for (int column = 0; column < table.column_count; ++column) {
            if (column > 0)
                WriteOut("\t", 1);
            PrintText(ResultCell(&table, row, column));
        }
        WriteOut("\n", 1);
    }
    ReleaseResultTable(&table);
    return DRIVER_OK;
}

static int CommandColumns(DriverSession *session, const wchar_t *)
{
    int result = EnsureAttached(session);
    if (result != DRIVER_OK)
        return result;
    wchar_t **titles = nullptr;
    int count = 0;
    result = ReadColumnTitles(&session->target, &titles, &count);
    if (result != DRIVER_OK)
        return result;
    for (int column = 0; column < count; ++column) {
        if (column > 0)
            WriteOut("\t", 1);
        PrintText(titles[column]);
    }
    WriteOut("\n", 1);
    ReleaseColumnTitles(&titles, &count);
    return DRIVER_OK;
}

static int CommandStatus(DriverSession *session, const wchar_t *)
{
    int result = EnsureAttached(session);
    if (result != DRIVER_OK)
        return result;
    StatusBarState state;
    result = ReadStatusBar(&session->target, &state);
    if (result != DRIVER_OK)
        return result;
    for (int part = 0; part < state.part_count; ++part) {
        PrintText(state.parts[part].text);
        const char *border = state.parts[part].popout ? "\tpopout\n" : "\tplain\n";
        WriteOut(border, strlen(border));
    }
    ReleaseStatusBar(&state);
    return DRIVER_OK;
}

static int CommandProgress(DriverSession *session, const wchar_t *)
{
    int result = EnsureAttached(session);
    if (result != DRIVER_OK)
        return result;
    ProgressState progress;
    result = ReadProgress(&session->target, &progress);
    if (result != DRIVER_OK)
        return result;
    int values[3] = {progress.position, progress.minimum, progress.maximum};
    PrintNumbers("progress", values, 3);
    return DRIVER_OK;
}

static int CommandLayout(DriverSession *session, const wchar_t *)
{
    int result = EnsureAttached(session);
    if (result != DRIVER_OK)
        return result;
    WindowLayout layout;
    StatusBarState state;
    result = ReadWindowLayout(&session->target, &layout);
    if (result == DRIVER_OK)
        result = ReadStatusBar(&session->target, &state);
    if (result != DRIVER_OK)
        return result;
    PrintRect("window", &layout.window);
    PrintRect("client", &layout.client);
    PrintRect("progress", &layout.progress_bar);
    PrintRect("list", &layout.result_list);
    PrintRect("statusbar", &layout.status_bar);
    PrintNumbers("columns", layout.column_widths, layout.column_count);
    int edges[8];
    int edge_count = state.part_count < 8 ? state.part_count : 8;
    for (int part = 0; part < edge_count; ++part)
        edges[part] = state.parts[part].right_edge;
    PrintNumbers("parts", edges, edge_count);
    ReleaseStatusBar(&state);
    return DRIVER_OK;
}

static int CommandMenu(DriverSession *session, const wchar_t *argument)
{
    wchar_t *end = nullptr;
    unsigned long id = wcstoul(argument, &end, 10);
    if (end == argument || *end != L'\0' || id > 0xFFFF) {
        PrintError("talvor_driver: command takes a numeric command id");
        return EXIT_USAGE;
    }
    int result = EnsureAttached(session);
    if (result != DRIVER_OK)
        return result;
    return PostMenuCommand(&session->target, (WORD)id);
}

static int CommandClose(DriverSession *session, const wchar_t *)
{
    int result = EnsureAttached(session);
    if (result != DRIVER_OK)
        return result;
    DWORD process_id = session->target.process_id;
    result = PostClose(&session->target);
    DWORD exit_code = 0;
    if (result == DRIVER_OK)
        result = WaitForProcessExit(process_id, session->options.timeout_ms, &exit_code);
    if (result != DRIVER_OK) {
        PrintError("talvor_driver: the program did not end after WM_CLOSE");
        return result;
    }
    char line[64];
    snprintf(line, sizeof(line), "exit\t%lu\n", (unsigned long)exit_code);
    WriteOut(line, strlen(line));
    DetachDriver(&session->target);
    session->attached = false;
    return DRIVER_OK;
}

static BOOL CALLBACK PrintProcessWindow(HWND window, LPARAM process_id)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != (DWORD)process_id || !IsWindowVisible(window))
        return TRUE;
    wchar_t text[256];
    if (GetClassNameW(window, text, 256) > 0)
        PrintText(text);
    WriteOut("\t", 1);
    if (GetWindowTextW(window, text, 256) > 0)
        PrintText(text);
    WriteOut("\n", 1);
    return TRUE;
}

// The visible top-level windows of the program: its main window and any
// dialog or message box it has open.
static int CommandWindows(DriverSession *session, const wchar_t *)
{
    int result = EnsureAttached(session);
    if (result != DRIVER_OK)
        return result;
    EnumWindows(PrintProcessWindow, (LPARAM)session->target.process_id);
    return DRIVER_OK;
}

// "VERB|PATH": has the shell carry out VERB (empty: the default verb, as a
// double-click does) on PATH, as Explorer would, and makes the program it
// started the one the following commands drive.
static int CommandShell(DriverSession *session, const wchar_t *argument)
{
    const wchar_t *bar = wcschr(argument, L'|');
    if (!bar || session->attached) {
        PrintError("talvor_driver: shell takes VERB|PATH, before any other command");
        return EXIT_USAGE;
    }
    size_t verb_units = (size_t)(bar - argument);
    wchar_t verb[64] = L"";
    if (verb_units >= 64)
        return EXIT_USAGE;
    wmemcpy(verb, argument, verb_units);
    verb[verb_units] = L'\0';
    SHELLEXECUTEINFOW info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = verb_units ? verb : nullptr;
    info.lpFile = bar + 1;
    // A folder's verbs are those of the Directory class, which Explorer
    // knows its item to be; Wine's shell would not look there by itself.
    DWORD attributes = GetFileAttributesW(info.lpFile);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        info.fMask |= SEE_MASK_CLASSNAME;
        info.lpClass = L"Directory";
    }
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info) || !info.hProcess) {
        PrintError("talvor_driver: the shell started no program");
        return DRIVER_ERR_NOT_FOUND;
    }
    session->options.process_id = GetProcessId(info.hProcess);
    CloseHandle(info.hProcess);
    return DRIVER_OK;
}

struct DriverCommand {
    const wchar_t *name;
    bool takes_argument;
    int (*run)(DriverSession *session, const wchar_t *argument);
};

static const DriverCommand COMMANDS[] = {
    {L"wait-window", false, CommandWaitWindow},
    {L"wait-ready", false, CommandWaitReady},
    {L"wait-job", false, CommandWaitJob},
    {L"rows", false, CommandRows},
    {L"columns", false, CommandColumns},
    {L"status", false, CommandStatus},
    {L"progress", false, CommandProgress},
    {L"layout", false, CommandLayout},
    {L"windows", false, CommandWindows},
    {L"command", true, CommandMenu},
    {L"close", false, CommandClose},
    {L"shell", true, CommandShell},
};

static const DriverCommand *FindCommand(const wchar_t *name)
{
    for (const DriverCommand &command : COMMANDS)
        if (wcscmp(command.name, name) == 0)
            return &command;
    return nullptr;
}

static bool ParseNumber(const wchar_t *text, DWORD *value)
{
    wchar_t *end = nullptr;
    unsigned long number = wcstoul(text, &end, 10);
    if (end == text || *end != L'\0')
        return false;
    *value = (DWORD)number;
    return true;
}

// Reads the option at argv[*index] (and its value); false if malformed.
static bool ParseOption(wchar_t **argv, int argc, int *index, DriverOptions *options)
{
    const wchar_t *name = argv[*index];
    if (*index + 1 >= argc)
        return false;
    const wchar_t *value = argv[++*index];
    if (wcscmp(name, L"--pid") == 0)
        return ParseNumber(value, &options->process_id);
    if (wcscmp(name, L"--timeout") == 0)
        return ParseNumber(value, &options->timeout_ms);
    if (wcscmp(name, L"--desktop") == 0) {
        options->desktop = value;
        return true;
    }
    if (wcscmp(name, L"--phase") == 0 && options->phase_count < MAX_PHASES) {
        options->phases[options->phase_count++] = value;
        return true;
    }
    return false;
}

static int ParseOptions(wchar_t **argv, int argc, int *first_command, DriverOptions *options)
{
    memset(options, 0, sizeof(*options));
    options->timeout_ms = DEFAULT_TIMEOUT_MS;
    int index = 1;
    while (index < argc && wcsncmp(argv[index], L"--", 2) == 0) {
        if (!ParseOption(argv, argc, &index, options))
            return EXIT_USAGE;
        ++index;
    }
    *first_command = index;
    return index < argc ? 0 : EXIT_USAGE;
}

// A program shown on another desktop (a Wine virtual desktop named on the
// explorer command line, for one) is only visible to threads on that desktop,
// which may still be coming up when the driver starts.
static int SwitchDesktop(const wchar_t *name, DWORD timeout_ms)
{
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    HDESK desktop = nullptr;
    while (!(desktop = OpenDesktopW(name, 0, FALSE, GENERIC_ALL)) && GetTickCount64() < deadline)
        Sleep(100);
    if (!desktop || !SetThreadDesktop(desktop)) {
        PrintError("talvor_driver: cannot switch to the given desktop");
        return DRIVER_ERR_NOT_FOUND;
    }
    return DRIVER_OK;
}

static int RunCommands(wchar_t **argv, int argc, int first_command, DriverSession *session)
{
    for (int index = first_command; index < argc; ++index) {
        const DriverCommand *command = FindCommand(argv[index]);
        if (!command || (command->takes_argument && index + 1 >= argc)) {
            PrintError("talvor_driver: unknown command or missing argument");
            return EXIT_USAGE;
        }
        const wchar_t *argument = command->takes_argument ? argv[++index] : nullptr;
        int result = command->run(session, argument);
        if (result != DRIVER_OK)
            return result;
    }
    return DRIVER_OK;
}

static void PrintUsage()
{
    PrintError("usage: talvor_driver [--pid N] [--desktop NAME] [--timeout MS] [--phase TEXT]...\n"
               "                     COMMAND [ARGUMENT]...\n"
               "commands: wait-window wait-ready wait-job rows columns status progress layout\n    "
               "      windows command ID close shell VERB|PATH");
}

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return EXIT_USAGE;
    DriverSession session;
    memset(&session, 0, sizeof(session));
    int first_command = 0;
    int result = ParseOptions(argv, argc, &first_command, &session.options);
    if (result != DRIVER_OK)
        PrintUsage();
    else if (session.options.desktop)
        result = SwitchDesktop(session.options.desktop, session.options.timeout_ms);
    if (result == DRIVER_OK)
        result = RunCommands(argv, argc, first_command, &session);
    if (session.attached)
        DetachDriver(&session.target);
    LocalFree(argv);
    return result;
}
