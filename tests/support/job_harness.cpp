#include "tests/support/job_harness.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>

#include "app/app.h"
#include "window/window.h"
#include "tests/support/gui_harness.h"

namespace {

WNDPROC g_status_bar_proc;
std::vector<StatusChange> g_status_log;
const DWORD JOB_TIMEOUT_MS = 120000;
// The box text control of a message box.
const int MESSAGE_BOX_TEXT_ID = 0xFFFF;

LRESULT CALLBACK RecordingStatusBarProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == SB_SETTEXTW)
        g_status_log.push_back({int(wparam & 0xFF), reinterpret_cast<const wchar_t *>(lparam)});
    return CallWindowProcW(g_status_bar_proc, window, message, wparam, lparam);
}

DWORD WINAPI WatchErrorBoxes(LPVOID parameter)
{
    ErrorBoxWatch *watch = static_cast<ErrorBoxWatch *>(parameter);
    while (!watch->stop) {
        HWND box = gui::WaitForWindow(L"#32770", L"ERROR", 50);
        if (!box)
            continue;
        wchar_t text[512] = {};
        GetDlgItemTextW(box, MESSAGE_BOX_TEXT_ID, text, 512);
        watch->texts.push_back(text);
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        while (IsWindow(box) && !watch->stop)
            Sleep(5);
    }
    return 0;
}

} // namespace

void StartTestWindow()
{
    if (g_win.main_window)
        return;
    ASSERT_EQ(gui::Start(L"job_test.exe"), 1) << "no main window";
    ShowWindow(g_win.main_window, SW_HIDE);
    g_status_bar_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        g_win.status_bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingStatusBarProc)));
}

bool JobCommandsEnabled()
{
    const UINT ids[] = {ID_FILE_SCAN, ID_FILE_CHECK, ID_FILE_SAVE};
    for (UINT id : ids)
        if (gui::MenuState(id) & (MF_GRAYED | MF_DISABLED))
            return false;
    return true;
}

// Like the message loop: waits inside GetMessageW, where the worker's
// synchronous calls are served at once. A timer keeps the check going.
bool PumpUntilJobEnded()
{
    UINT_PTR timer = SetTimer(nullptr, 0, 20, nullptr);
    DWORD start = GetTickCount();
    bool ended = false;
    while (!(ended = g_app.pending_job == JOB_NONE && JobCommandsEnabled())
           && GetTickCount() - start < JOB_TIMEOUT_MS) {
        MSG message;
        if (GetMessageW(&message, nullptr, 0, 0) <= 0)
            break;
        ProcessMessage(&message);
    }
    KillTimer(nullptr, timer);
    return ended;
}

void RunJobAndWait(int32_t job, const std::wstring &path)
{
    ASSERT_EQ(SetTargetPath(path.c_str(), 0), 0);
    g_app.pending_job = job;
    PostMessageW(g_win.main_window, WM_NULL, 0, 0);
    ASSERT_TRUE(PumpUntilJobEnded()) << "job did not end";
}

std::vector<ResultRow> ReadResultRows()
{
    std::vector<ResultRow> rows;
    for (int row = 0; row < gui::RowCount(); ++row)
        rows.push_back({gui::Cell(row, 0), gui::Cell(row, 1), gui::Cell(row, 2)});
    return rows;
}

int CountStatus(const std::vector<ResultRow> &rows, const wchar_t *status)
{
    int n = 0;
    for (const ResultRow &row : rows)
        n += row.status == status;
    return n;
}

void ClearStatusLog() { g_status_log.clear(); }
const std::vector<StatusChange> &StatusLog() { return g_status_log; }

bool StatusLogHas(int part, const std::wstring &text)
{
    for (const StatusChange &change : g_status_log)
        if (change.part == part && change.text == text)
            return true;
    return false;
}

void StartErrorBoxWatch(ErrorBoxWatch *watch)
{
    watch->stop = 0;
    watch->texts.clear();
    watch->thread = CreateThread(nullptr, 0, WatchErrorBoxes, watch, 0, nullptr);
}

void StopErrorBoxWatch(ErrorBoxWatch *watch)
{
    watch->stop = 1;
    WaitForSingleObject(watch->thread, INFINITE);
    CloseHandle(watch->thread);
}

std::wstring MakeScratchFolder()
{
    static int counter;
    std::wstring tag = L"jobs-" + std::to_wstring(++counter);
    return gui::TempFolder(tag.c_str());
}

std::wstring LongForm(const std::wstring &path)
{
    if (path.size() > 1 && path[1] == L':')
        return L"\\\\?\\" + path;
    return path;
}

void RemoveTree(const std::wstring &folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(LongForm(folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesW(LongForm(path).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(LongForm(path).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(LongForm(folder).c_str());
}

void WriteTestFile(const std::wstring &path, const std::string &bytes)
{
    HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadTestFile(const std::wstring &path)
{
    HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

bool FileExists(const std::wstring &path)
{
    return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ListBytes(const std::wstring &body)
{
    std::string bytes("\xFF\xFE", 2);
    for (wchar_t u : body) {
        bytes.push_back(char(u & 0xFF));
        bytes.push_back(char(u >> 8));
    }
    return bytes;
}

static utf16 *CopyOf(const std::wstring &text)
{
    utf16 *copy = static_cast<utf16 *>(std::calloc(text.size() + 1, sizeof(utf16)));
    std::wmemcpy(copy, text.c_str(), text.size());
    return copy;
}

void SetEntryTable(const std::vector<TestEntry> &entries)
{
    ReleaseEntryTable();
    g_app.entries = static_cast<Entry *>(std::calloc(entries.size() + 1, sizeof(Entry)));
    for (size_t i = 0; i < entries.size(); ++i)
        g_app.entries[i] = {entries[i].kind, CopyOf(entries[i].digest), CopyOf(entries[i].path)};
    g_app.entry_count = int32_t(entries.size());
}
