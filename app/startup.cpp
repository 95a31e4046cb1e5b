#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "app/app.h"
#include "window/window.h"
#include "hash/hash.h"
#include "jobs/jobs.h"
#include "window/display.h"

namespace {

struct PathOption {
    const wchar_t *prefix;
    int32_t prefix_units;
    int32_t job;
};

const PathOption kPathOptions[] = {
    {L"-file=", 6, JOB_SINGLE_FILE},
    {L"-dir=", 5, JOB_FOLDER_SCAN},
    {L"-chk=", 5, JOB_CHECK},
};

struct HashSwitch {
    const wchar_t *text;
    int32_t choice;
};

const HashSwitch kHashSwitches[] = {
    {L"-sha224", HASH_SHA3_224}, {L"-sha256", HASH_SHA3_256}, {L"-sha384", HASH_SHA3_384},
    {L"-sha512", HASH_SHA3_512}, {L"-crc", HASH_CRC32C},
};

// "-mp=" and anything else of no known form fall through both tables and
// change nothing.
void ApplyArgument(const wchar_t *argument)
{
    for (const PathOption &option : kPathOptions) {
        if (std::wcsncmp(argument, option.prefix, option.prefix_units) == 0) {
            // Without memory for the new path the previous request stands
            // rather than a job on a path that was never stored.
            if (SetTargetPath(argument, option.prefix_units) == 0)
                g_app.pending_job = option.job;
            return;
        }
    }
    for (const HashSwitch &hash_switch : kHashSwitches) {
        if (std::wcscmp(argument, hash_switch.text) == 0) {
            StoreHashChoice(hash_switch.choice);
            return;
        }
    }
}

void ShowEngineText(int has_sse42)
{
    SetStatusText(STATUS_ENGINE, has_sse42 == 1 ? L"SSE4.2 HW" : L"SSE4.2 SW", true);
}

} // namespace

int ApplyCommandLine(const wchar_t *command_line)
{
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
    LoadStringW(instance, IDS_APP_TITLE, g_win.title, TITLE_UNITS);
    LoadStringW(instance, IDC_TALVOR, g_win.class_name, TITLE_UNITS);
    SetCommandHandler(HandleCommand);
    RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance, show))
        return 0;
    g_win.accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_TALVOR));
    g_app.sse42 = detect_sse42();
    ShowEngineText(g_app.sse42);
    if (!ApplyCommandLine(command_line))
        return 0;
    // A requested job starts after the first fetched message, and nothing
    // guarantees that one ever comes while the user keeps still: make sure.
    if (g_app.pending_job != JOB_NONE)
        PostMessageW(g_win.main_window, WM_NULL, 0, 0);
    return 1;
}

void ProcessMessage(MSG *message)
{
    // Translated for the main window whichever of its controls has the
    // focus: the commands are the main window's, and a list view that got an
    // accelerator's WM_COMMAND would drop it.
    if (!TranslateAcceleratorW(g_win.main_window, g_win.accelerators, message)) {
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
