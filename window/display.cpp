#include <windows.h>
#include <commctrl.h>

#include "window/display.h"
#include "window_record.h"

#include "result_rows.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

// Every operation runs on the user-interface thread as one synchronous call
// (RunOnUiThread), so a worker waits for it and no control is touched from
// two threads. The argument records live on the caller's stack for that wait.
// The rows below are touched on that thread only.

namespace {

struct RowBatch {
    const DisplayRow *rows;
    int32_t count;
    bool kept;
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

// The list learns the new count and repaints what it shows; `count` is
// always below INT32_MAX here.
void ShowRowCount(HWND list)
{
    HoldListRedraw(list);
    SendMessageW(list, LVM_SETITEMCOUNT, WPARAM(ShownRowCount()), LVSICF_NOSCROLL);
}

// The list forgets its rows before their texts go.
void ClearRowsNow(const void *)
{
    HWND list = ResultListHandle();
    HoldListRedraw(list);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    ReleaseStoredRows();
}

void AddRowsNow(const void *args)
{
    RowBatch *batch = static_cast<RowBatch *>(const_cast<void *>(args));
    int32_t first = g_rows.count;
    batch->kept = StoreRows(batch->rows, batch->count);
    if (!batch->kept)
        return;
    PlaceNewRows(first);
    ShowRowCount(ResultListHandle());
}

// The caller's texts may be gone once it returns, so they are copied here,
// on the user-interface thread, while the caller waits.
void AddOwnedRowNow(const void *args)
{
    DisplayRow copy;
    if (!CopyRowTexts(static_cast<const DisplayRow *>(args), &copy))
        return;
    RowBatch batch = {&copy, 1, false};
    AddRowsNow(&batch);
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

void SetTitleDetailNow(const void *args)
{
    const wchar_t *detail = static_cast<const wchar_t *>(args);
    if (!detail || !*detail) {
        SetWindowTextW(g_win.main_window, g_win.title);
        return;
    }
    // lstrcpynW cuts a detail too long for the room and always terminates.
    wchar_t title[TITLE_UNITS + 3 + JOB_DETAIL_UNITS];
    int title_units = lstrlenW(g_win.title);
    std::wmemcpy(title, g_win.title, size_t(title_units));
    std::wmemcpy(title + title_units, L" - ", 3);
    lstrcpynW(title + title_units + 3, detail, JOB_DETAIL_UNITS);
    SetWindowTextW(g_win.main_window, title);
}

struct TaskbarProgress {
    int32_t done;
    int32_t total;
};

void SetTaskbarProgressNow(const void *args)
{
    const TaskbarProgress *progress = static_cast<const TaskbarProgress *>(args);
    g_taskbar.set_state(g_win.main_window, TASKBAR_NORMAL);
    g_taskbar.set_value(g_win.main_window, uint64_t(progress->done), uint64_t(progress->total));
}

struct TaskbarEnd {
    bool alert;
    bool flash;
};

void ShowTaskbarJobEndNow(const void *args)
{
    const TaskbarEnd *end = static_cast<const TaskbarEnd *>(args);
    g_taskbar.set_state(g_win.main_window, end->alert ? TASKBAR_ERROR : TASKBAR_NONE);
    g_win.taskbar_alert = end->alert;
    if (end->flash && GetForegroundWindow() != g_win.main_window)
        g_taskbar.flash(g_win.main_window);
}

}  // namespace

const wchar_t *RowStatusText(RowStatus status)
{
    static const wchar_t *const texts[ROW_STATUS_COUNT] = {L"MISMATCH", L"MISSING", L"ERROR",
                                                           L"OK",       L"Created", L"NEW"};
    return status >= 0 && status < ROW_STATUS_COUNT ? texts[status] : L"ERROR";
}

void SetTitleDetail(const wchar_t *detail)
{
    RunOnUiThread(SetTitleDetailNow, detail);
}

void ClearResultList()
{
    RunOnUiThread(ClearRowsNow, nullptr);
}

void AddResultRow(const wchar_t *path, const wchar_t *digest, const wchar_t *status)
{
    DisplayRow row = {path, digest, status};
    RunOnUiThread(AddOwnedRowNow, &row);
}

bool AddResultRows(const DisplayRow *rows, int32_t count)
{
    if (count <= 0)
        return true;
    RowBatch batch = {rows, count, true};
    RunOnUiThread(AddRowsNow, &batch);
    return batch.kept;
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

void SetTaskbarProgress(int32_t done, int32_t total)
{
    TaskbarProgress progress = {done, total};
    RunOnUiThread(SetTaskbarProgressNow, &progress);
}

void ShowTaskbarJobEnd(bool alert, bool flash)
{
    TaskbarEnd end = {alert, flash};
    RunOnUiThread(ShowTaskbarJobEndNow, &end);
}

// Shown by the calling thread itself, owned by the main window; the caller
// waits until the user dismisses it.
void ShowErrorMessage(const wchar_t *text)
{
    HWND owner = MainWindowFromAnyThread();
    if (owner && !g_win.error_boxes_off)
        MessageBoxW(owner, text, L"ERROR", MB_OK);
}

// Posted, not sent: the handler may save or close the window, which must not
// happen while a worker still waits inside one of its display calls.
void NotifyJobEnded(int32_t outcome)
{
    HWND window = MainWindowFromAnyThread();
    if (window)
        PostMessageW(window, WM_APP_JOB_ENDED, WPARAM(outcome), 0);
}
