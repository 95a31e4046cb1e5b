#include "tests/e2e/running_app.h"

#include "tests/e2e/app_path.h"

bool LaunchProgram(const std::wstring &exe, const std::wstring &arguments, const wchar_t *folder,
                   HANDLE output, PROCESS_INFORMATION *info)
{
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    return CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, output != nullptr, 0, nullptr,
                          folder, &startup, info) != 0;
}

RunningApp::~RunningApp()
{
    EndApp(this);
}

bool LaunchApp(const std::wstring &arguments, RunningApp *app, const wchar_t *folder)
{
    return LaunchProgram(AppPath(), arguments, folder, nullptr, &app->info);
}

int StartApp(const std::wstring &arguments, RunningApp *app, const wchar_t *folder)
{
    if (!LaunchApp(arguments, app, folder))
        return DRIVER_ERR_NOT_FOUND;
    int attached = AttachDriver(app->info.dwProcessId, E2E_WAIT_MS, &app->target);
    app->attached = attached == DRIVER_OK;
    if (!app->attached)
        EndApp(app);
    return attached;
}

DWORD AwaitExit(RunningApp *app, DWORD timeout_ms)
{
    DWORD exit_code = STILL_ACTIVE;
    if (app->info.hProcess && WaitForSingleObject(app->info.hProcess, timeout_ms) == WAIT_OBJECT_0)
        GetExitCodeProcess(app->info.hProcess, &exit_code);
    EndApp(app);
    return exit_code;
}

DWORD CloseApp(RunningApp *app)
{
    if (!app->attached || PostClose(&app->target) != DRIVER_OK) {
        EndApp(app);
        return STILL_ACTIVE;
    }
    return AwaitExit(app);
}

void EndApp(RunningApp *app)
{
    if (!app->info.hProcess)
        return;
    if (WaitForSingleObject(app->info.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(app->info.hProcess, 1);
    if (app->attached)
        DetachDriver(&app->target);
    app->attached = false;
    CloseHandle(app->info.hThread);
    CloseHandle(app->info.hProcess);
    app->info = {};
}

std::vector<std::vector<std::wstring>> ReadRows(RunningApp *app)
{
    std::vector<std::vector<std::wstring>> rows;
    ResultTable table;
    if (ReadResultTable(&app->target, &table) != DRIVER_OK)
        return rows;
    for (int row = 0; row < table.row_count; ++row) {
        std::vector<std::wstring> cells;
        for (int column = 0; column < table.column_count; ++column)
            cells.push_back(ResultCell(&table, row, column));
        rows.push_back(cells);
    }
    ReleaseResultTable(&table);
    return rows;
}

std::wstring StatusPartText(RunningApp *app, int part)
{
    StatusBarState state;
    if (ReadStatusBar(&app->target, &state) != DRIVER_OK)
        return L"?";
    std::wstring text = part < state.part_count ? state.parts[part].text : L"?";
    ReleaseStatusBar(&state);
    return text;
}
