#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>

#include "app/app.h"
#include "fileio/fileio.h"
#include "window/window.h"
#include "hash/hash.h"
#include "jobs/jobs.h"
#include "report_switch.h"
#include "window/display.h"

UnattendedRun g_unattended;

namespace {

constexpr wchar_t SAVE_PREFIX[] = L"-save=";
constexpr int32_t SAVE_PREFIX_UNITS = 6;
constexpr wchar_t QCX_EXTENSION[] = L".qcx";

struct PathOption {
    const wchar_t *prefix;
    int32_t prefix_units;
    int32_t job;
};

const PathOption kPathOptions[] = {
    {L"-file=", 6, JOB_SINGLE_FILE},
    {L"-dir=", 5, JOB_FOLDER_SCAN},
    {L"-chk=", 5, JOB_CHECK},
    {L"-update=", 8, JOB_UPDATE},
};

void ForgetUnattendedRun()
{
    std::free(g_unattended.save_path);
    std::free(g_unattended.report_path);
    g_unattended = {};
}

// A new -save= or -report= path replaces the previous one; without memory
// for it (a null copy) the previous one stands, like a path option's.
void KeepPath(wchar_t **slot, wchar_t *copy)
{
    if (!copy)
        return;
    std::free(*slot);
    *slot = copy;
}

// The -save= path as Save will write it.
void SetSavePath(const wchar_t *path)
{
    KeepPath(&g_unattended.save_path,
             JoinUnits(path, std::wcslen(path), SaveNameExtension(path) ? L"" : QCX_EXTENSION));
}

// The unattended-run switches; false for any other argument.
bool ApplyUnattendedSwitch(const wchar_t *argument)
{
    if (std::wcsncmp(argument, SAVE_PREFIX, SAVE_PREFIX_UNITS) == 0) {
        SetSavePath(argument + SAVE_PREFIX_UNITS);
        return true;
    }
    if (std::wcsncmp(argument, REPORT_PREFIX, REPORT_PREFIX_UNITS) == 0) {
        KeepPath(&g_unattended.report_path, DuplicateText(argument + REPORT_PREFIX_UNITS));
        return true;
    }
    if (std::wcscmp(argument, L"-exit") == 0) {
        g_unattended.exit_when_done = true;
        return true;
    }
    return false;
}

// "-mp=" and anything else of no known form fall through every table and
// change nothing.
void ApplyArgument(const wchar_t *argument)
{
    if (ApplyUnattendedSwitch(argument))
        return;
    for (const PathOption &option : kPathOptions) {
        if (std::wcsncmp(argument, option.prefix, option.prefix_units) == 0) {
            // Without memory for the new path the previous request stands
            // rather than a job on a path that was never stored.
            if (SetTargetPath(argument, option.prefix_units) == 0)
                g_app.pending_job = option.job;
            return;
        }
    }
    const HashOption *hash_option = HashOptionOfSwitch(argument);
    if (hash_option) {
        StoreHashChoice(hash_option->choice);
        return;
    }
    if (std::wcscmp(argument, L"-new") == 0)
        g_app.list_new_files = 1;
}

void ShowEngineText(int has_sse42)
{
    SetStatusText(STATUS_ENGINE, has_sse42 == 1 ? L"SSE4.2 HW" : L"SSE4.2 SW", true);
}

}  // namespace

int ApplyCommandLine(const wchar_t *command_line)
{
    ForgetUnattendedRun();
    int count = 0;
    wchar_t **arguments = CommandLineToArgvW(command_line, &count);
    if (!arguments)
        return 0;
    for (int i = 0; i < count; ++i)
        ApplyArgument(arguments[i]);
    LocalFree(arguments);
    return 1;
}

int StartApplication(HINSTANCE instance, int show, const wchar_t *command_line)
{
    SetCommandHandler(HandleCommand);
    SetJobEndHandler(HandleJobEnd);
    SetDropHandler(HandleDroppedFiles);
    SetMenuPopupHandler(DeriveMenuStates);
    ResetMenuMarks();
    if (!OpenMainWindow(instance, show) ||
        !InsertHashOptionItems(GetMenu(MainWindowFromAnyThread())))
        return 0;
    g_app.sse42 = detect_sse42();
    ShowEngineText(g_app.sse42);
    if (!ApplyCommandLine(command_line))
        return 0;
    // Nobody is there to dismiss an error box in an unattended run.
    SetErrorBoxesShown(!g_unattended.exit_when_done);
    // -save= and -exit are about the job requested here; without one there
    // is nothing to save, and -exit ends the run at once.
    if (g_app.pending_job == JOB_NONE) {
        bool exit_at_once = g_unattended.exit_when_done;
        ForgetUnattendedRun();
        if (exit_at_once)
            CloseMainWindow(JOB_OUTCOME_FAILED);
        return 1;
    }
    // A requested job starts after the first fetched message, and nothing
    // guarantees that one ever comes while the user keeps still: make sure.
    PostMessageW(MainWindowFromAnyThread(), WM_NULL, 0, 0);
    return 1;
}

void HandleJobEnd(int32_t outcome)
{
    UnattendedRun run = g_unattended;
    g_unattended = {};
    int exit_code = outcome;
    if (run.save_path && outcome != JOB_OUTCOME_FAILED && !LastJobStopped()) {
        int32_t left_out = 0;
        if (SaveChecksumListTo(run.save_path, &left_out) != FILE_OK)
            exit_code = JOB_OUTCOME_FAILED;
        else if (left_out > 0 && exit_code == JOB_OUTCOME_OK)
            exit_code = JOB_OUTCOME_BAD;
    }
    if (run.report_path && WriteJobReport(run.report_path) != FILE_OK) {
        exit_code = JOB_OUTCOME_FAILED;
        ShowErrorMessage(L"ERROR: Could not write the report!");
    }
    std::free(run.save_path);
    std::free(run.report_path);
    if (run.exit_when_done)
        CloseMainWindow(exit_code);
}

void ProcessMessage(MSG *message)
{
    if (!TranslateMainWindowKeys(message)) {
        TranslateMessage(message);
        DispatchMessageW(message);
    }
    DispatchPendingJob();
}

int RunMessageLoop()
{
    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        ProcessMessage(&message);
    return static_cast<int>(message.wParam);
}
