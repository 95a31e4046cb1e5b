#include "tests/support/gui_harness.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>

#include "app/app.h"
#include "window/display.h"
#include "window/window.h"
#include "window/window_record.h"

namespace gui {

namespace {

bool PumpOne()
{
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (message.message == WM_QUIT) {
        // Put it back for PumpUntilQuit; nothing else may swallow it.
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
    }
    ProcessMessage(&message);
    return true;
}

void ResetAppState()
{
    ClearResultList();
    ReleaseEntryTable();
    g_app.pending_job = 0;
    g_app.hash_choice = 0;
    g_app.hidden_files = 0;
}

}  // namespace

int Start(const wchar_t *command_line, int show)
{
    ResetAppState();
    return StartApplication(GetModuleHandleW(nullptr), show, command_line);
}

bool PumpUntil(const std::function<bool()> &done, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout_ms)
            return false;
        if (!PumpOne())
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void PumpFor(DWORD ms)
{
    DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

bool JobCommandsEnabled()
{
    const UINT ids[] = {ID_FILE_SCAN, ID_FILE_CHECK, ID_FILE_SAVE};
    for (UINT id : ids)
        if (MenuState(id) & (MF_GRAYED | MF_DISABLED))
            return false;
    return true;
}

bool JobEnded()
{
    return g_app.pending_job == 0 && StatusText(STATUS_ACTIVITY) == L"Ready" &&
           JobCommandsEnabled();
}

bool PumpUntilJobEnded(DWORD timeout_ms)
{
    return PumpUntil(JobEnded, timeout_ms);
}

int PumpUntilQuit(DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start <= timeout_ms) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return static_cast<int>(message.wParam);
            ProcessMessage(&message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return -1;
}

int Close()
{
    if (g_win.main_window)
        DestroyWindow(g_win.main_window);
    return PumpUntilQuit();
}

HWND MainWindow()
{
    return g_win.main_window;
}

HWND ResultList()
{
    return ResultListHandle();
}

int RowCount()
{
    return static_cast<int>(SendMessageW(ResultList(), LVM_GETITEMCOUNT, 0, 0));
}

std::wstring Cell(int row, int column)
{
    // A cell may hold a path of the longest kind.
    std::vector<wchar_t> text(32768);
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = int(text.size());
    SendMessageW(ResultList(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text.data();
}

int ColumnWidth(int column)
{
    return static_cast<int>(SendMessageW(ResultList(), LVM_GETCOLUMNWIDTH, column, 0));
}

std::wstring StatusText(int part, bool *popout)
{
    wchar_t text[512] = {};
    LRESULT result =
        SendMessageW(g_win.status_bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
    if (popout)
        *popout = (HIWORD(result) & SBT_POPOUT) != 0;
    return text;
}

std::vector<int> StatusPartEdges()
{
    int edges[8] = {};
    int count = static_cast<int>(
        SendMessageW(g_win.status_bar, SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges)));
    return std::vector<int>(edges, edges + count);
}

int ProgressMin()
{
    return static_cast<int>(SendMessageW(g_win.progress_bar, PBM_GETRANGE, TRUE, 0));
}

int ProgressMax()
{
    return static_cast<int>(SendMessageW(g_win.progress_bar, PBM_GETRANGE, FALSE, 0));
}

int ProgressPos()
{
    return static_cast<int>(SendMessageW(g_win.progress_bar, PBM_GETPOS, 0, 0));
}

UINT MenuState(UINT command)
{
    // What a person sees: the states as the popups' opening derives them.
    HMENU menu = GetMenu(g_win.main_window);
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        SendMessageW(g_win.main_window, WM_INITMENUPOPUP, WPARAM(GetSubMenu(menu, i)),
                     MAKELPARAM(i, FALSE));
    return GetMenuState(menu, command, MF_BYCOMMAND);
}

SIZE ClientSize()
{
    RECT client;
    GetClientRect(g_win.main_window, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

RECT ChildRect(HWND child)
{
    RECT place;
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, g_win.main_window, reinterpret_cast<POINT *>(&place), 2);
    return place;
}

HWND WaitForWindow(const wchar_t *window_class, const wchar_t *caption, DWORD timeout_ms)
{
    // Other programs on the same display may show windows of the same name.
    struct Search {
        const wchar_t *window_class;
        const wchar_t *caption;
        HWND found;
    } search = {window_class, caption, nullptr};
    WNDENUMPROC match = [](HWND window, LPARAM data) -> BOOL {
        Search *s = reinterpret_cast<Search *>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        wchar_t name[64] = {};
        wchar_t text[128] = {};
        GetClassNameW(window, name, 64);
        InternalGetWindowText(window, text, 128);
        if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
            wcscmp(name, s->window_class) == 0 && wcscmp(text, s->caption) == 0) {
            s->found = window;
            return FALSE;
        }
        return TRUE;
    };
    DWORD start = GetTickCount();
    while (GetTickCount() - start <= timeout_ms) {
        EnumWindows(match, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(20);
    }
    return nullptr;
}

}  // namespace gui
