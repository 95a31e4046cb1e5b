// The program under test as the end-to-end tests run it: started with the
// arguments a user would type, attached to by the driver, read, and ended
// again whatever the test's assertions did meanwhile.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/driver.h"

// How long any one wait of an end-to-end test may take.
constexpr DWORD E2E_WAIT_MS = 60000;

// Starts `exe` with `arguments` in `folder` (null: this process's folder),
// its standard output and error going to `output` when one is given.
bool LaunchProgram(const std::wstring &exe, const std::wstring &arguments, const wchar_t *folder,
                   HANDLE output, PROCESS_INFORMATION *info);

// A started TalvorCrcCheck.exe. A test stopped by a failed assertion must not
// leave it running (it would keep the test's output open and CTest would
// wait), so the record ends the program when it goes out of scope.
struct RunningApp {
    PROCESS_INFORMATION info = {};
    DriverTarget target = {};
    bool attached = false;
    LONG jobs_waited_for = 0;  // jobs ended that the test has waited for
    RunningApp() = default;
    RunningApp(const RunningApp &) = delete;
    RunningApp &operator=(const RunningApp &) = delete;
    ~RunningApp();
};

// Starts the program with `arguments` in `folder` and waits for its main
// window: DRIVER_OK, or DRIVER_ERR_NOT_FOUND when it could not be started or
// showed no window (it is ended then).
int StartApp(const std::wstring &arguments, RunningApp *app, const wchar_t *folder = nullptr);
// Starts the program without attaching to it: a run that ends by itself.
bool LaunchApp(const std::wstring &arguments, RunningApp *app, const wchar_t *folder = nullptr);
// Waits for the program to end by itself; its exit code, or STILL_ACTIVE
// when it did not end in time (it is ended then).
DWORD AwaitExit(RunningApp *app, DWORD timeout_ms = E2E_WAIT_MS);
// Closes the main window (WM_CLOSE), then AwaitExit.
DWORD CloseApp(RunningApp *app);
// Ends the program if it still runs and lets go of it; nothing once ended.
void EndApp(RunningApp *app);

// The result list's rows, top first, each its cells left to right; empty
// when the list cannot be read.
std::vector<std::vector<std::wstring>> ReadRows(RunningApp *app);
// The text of a status-bar part; "?" when it cannot be read.
std::wstring StatusPartText(RunningApp *app, int part);
