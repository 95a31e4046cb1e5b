#include <windows.h>
#include <commctrl.h>

#include "window/display.h"
#include "window/window.h"

// Every operation runs on the user-interface thread as one synchronous call
// (RunOnUiThread), so a worker waits for it and no control is touched from
// two threads. The argument records live on the caller's stack for that wait.

namespace {

struct RowTexts {
    const wchar_t *path;
    const wchar_t *digest;
    const wchar_t *status;
};

struct StatusText {
    int part;
    const wchar_t *text;
    bool popout;
};

template <typename T>
LPARAM AsLParam(T *pointer)
{
    return reinterpret_cast<LPARAM>(pointer);
}

void SetCellText(HWND list, WPARAM row, int sub_item, const wchar_t *text)
{
    LVITEMW item = {};
    item.iSubItem = sub_item;
    item.pszText = const_cast<wchar_t *>(text);
    SendMessageW(list, LVM_SETITEMTEXTW, row, AsLParam(&item));
}

// Redraw off until the main window's redraw timer turns it on again. Armed
// once per hold, so rows arriving without pause still see the list repainted
// every LIST_REDRAW_DELAY_MS. Without a timer the list is left redrawing.
void HoldListRedraw(HWND list)
{
    if (!list || g_win.list_redraw_held)
        return;
    if (!SetTimer(g_win.main_window, LIST_REDRAW_TIMER_ID, LIST_REDRAW_DELAY_MS, nullptr))
        return;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    g_win.list_redraw_held = true;
}

void ClearRowsNow(const void *)
{
    HWND list = ResultListHandle();
    HoldListRedraw(list);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
}

// Row 0 every time: the newest row is on top. The texts go to the row the
// list reports as inserted; a refused insert must not rewrite another file's
// row.
void AddRowNow(const void *args)
{
    const RowTexts *row = static_cast<const RowTexts *>(args);
    HWND list = ResultListHandle();
    HoldListRedraw(list);
    LVITEMW item = {};
    LRESULT inserted = SendMessageW(list, LVM_INSERTITEMW, 0, AsLParam(&item));
    if (inserted < 0)
        return;
    WPARAM at = WPARAM(inserted);
    SetCellText(list, at, 0, row->path);
    SetCellText(list, at, 1, row->digest);
    SetCellText(list, at, 2, row->status);
}

void SetStatusTextNow(const void *args)
{
    const StatusText *status = static_cast<const StatusText *>(args);
    WPARAM part = static_cast<WPARAM>(status->part) | (status->popout ? SBT_POPOUT : 0);
    SendMessageW(g_win.status_bar, SB_SETTEXTW, part, AsLParam(status->text));
}

void SetProgressRangeNow(const void *args)
{
    SendMessageW(g_win.progress_bar, PBM_SETRANGE32, 0, *static_cast<const int32_t *>(args));
}

void SetProgressPosNow(const void *args)
{
    SendMessageW(g_win.progress_bar, PBM_SETPOS, *static_cast<const int32_t *>(args), 0);
}

void EnableJobCommandsNow(const void *args)
{
    UINT state = *static_cast<const bool *>(args) ? MF_ENABLED : MF_DISABLED | MF_GRAYED;
    HMENU menu = GetMenu(g_win.main_window);
    EnableMenuItem(menu, ID_FILE_SCAN, MF_BYCOMMAND | state);
    EnableMenuItem(menu, ID_FILE_CHECK, MF_BYCOMMAND | state);
    EnableMenuItem(menu, ID_FILE_SAVE, MF_BYCOMMAND | state);
    // The menu bar does not redraw by itself after a state change.
    DrawMenuBar(g_win.main_window);
}

} // namespace

void ClearResultList()
{
    RunOnUiThread(ClearRowsNow, nullptr);
}

void AddResultRow(const wchar_t *path, const wchar_t *digest, const wchar_t *status)
{
    RowTexts row = {path, digest, status};
    RunOnUiThread(AddRowNow, &row);
}

void SetStatusText(int part, const wchar_t *text, bool popout)
{
    StatusText status = {part, text, popout};
    RunOnUiThread(SetStatusTextNow, &status);
}

void SetProgressRange(int32_t maximum)
{
    RunOnUiThread(SetProgressRangeNow, &maximum);
}

void SetProgressPos(int32_t position)
{
    RunOnUiThread(SetProgressPosNow, &position);
}

void EnableJobCommands(bool enabled)
{
    RunOnUiThread(EnableJobCommandsNow, &enabled);
}

// Shown by the calling thread itself, owned by the main window; the caller
// waits until the user dismisses it.
void ShowErrorMessage(const wchar_t *text)
{
    HWND owner = g_win.main_window;
    if (owner && !g_win.error_boxes_off)
        MessageBoxW(owner, text, L"ERROR", MB_OK);
}

// Posted, not sent: the handler may save or close the window, which must not
// happen while a worker still waits inside one of its display calls.
void NotifyJobEnded(int32_t outcome)
{
    HWND window = g_win.main_window;
    if (window)
        PostMessageW(window, WM_APP_JOB_ENDED, WPARAM(outcome), 0);
}
