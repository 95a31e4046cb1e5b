#include <windows.h>
#include <commctrl.h>

#include "window/display.h"
#include "window/window.h"

#include "result_rows.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

// Every operation runs on the user-interface thread as one synchronous call
// (RunOnUiThread), so a worker waits for it and no control is touched from
// two threads. The argument records live on the caller's stack for that wait.
// The rows below are touched on that thread only.

RowStore g_rows;

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

// Doubling keeps a million rows linear in time. False when memory ran out.
bool ReserveRows(int64_t wanted)
{
    return ReserveArray(&g_rows.rows, &g_rows.capacity, wanted, 256);
}

bool ReserveOwned(int64_t wanted)
{
    return ReserveArray(&g_rows.owned, &g_rows.owned_capacity, wanted, 256);
}

void ReleaseRows()
{
    for (int32_t i = 0; i < g_rows.owned_count; ++i)
        std::free(g_rows.owned[i]);
    std::free(g_rows.owned);
    std::free(g_rows.rows);
    g_rows = RowStore{};
    ForgetViewRows();
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
    ReleaseRows();
}

void AddRowsNow(const void *args)
{
    RowBatch *batch = static_cast<RowBatch *>(const_cast<void *>(args));
    batch->kept = ReserveRows(int64_t(g_rows.count) + batch->count);
    if (!batch->kept)
        return;
    int32_t first = g_rows.count;
    std::memcpy(g_rows.rows + first, batch->rows, size_t(batch->count) * sizeof(DisplayRow));
    g_rows.count += batch->count;
    for (int32_t i = first; i < g_rows.count; ++i)
        g_rows.problem_count += IsProblemStatus(StatusOfRow(&g_rows.rows[i])) ? 1 : 0;
    PlaceNewRows(first);
    ShowRowCount(ResultListHandle());
}

// One block holds the three texts; it belongs to the row store from here on
// and `copy` points into it. False when memory ran out (nothing is kept).
bool CopyRowTexts(const DisplayRow *row, DisplayRow *copy)
{
    size_t path = std::wcslen(row->path) + 1;
    size_t digest = std::wcslen(row->digest) + 1;
    size_t status = std::wcslen(row->status) + 1;
    wchar_t *block =
        static_cast<wchar_t *>(std::malloc((path + digest + status) * sizeof(wchar_t)));
    if (!block || !ReserveOwned(int64_t(g_rows.owned_count) + 1)) {
        std::free(block);
        return false;
    }
    std::wmemcpy(block, row->path, path);
    std::wmemcpy(block + path, row->digest, digest);
    std::wmemcpy(block + path + digest, row->status, status);
    g_rows.owned[g_rows.owned_count++] = block;
    *copy = DisplayRow{block, block + path, block + path + digest};
    return true;
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

// Jobs hand over the texts of RowStatusText themselves, so the addresses
// answer nearly always; rows added one at a time carry copies.
RowStatus StatusOfRow(const DisplayRow *row)
{
    for (int32_t status = 0; status < ROW_STATUS_COUNT; ++status)
        if (row->status == RowStatusText(RowStatus(status)))
            return RowStatus(status);
    for (int32_t status = 0; status < ROW_STATUS_COUNT; ++status)
        if (row->status && std::wcscmp(row->status, RowStatusText(RowStatus(status))) == 0)
            return RowStatus(status);
    return ROW_ERROR;
}

int32_t StoredResultRowCount()
{
    return g_rows.count;
}

const DisplayRow *StoredResultRow(int32_t index, RowStatus *status)
{
    if (index < 0 || index >= g_rows.count)
        return nullptr;
    if (status)
        *status = StatusOfRow(&g_rows.rows[index]);
    return &g_rows.rows[index];
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

void ForgetResultRows()
{
    ReleaseRows();
}

const wchar_t *ResultCellText(int row, int column)
{
    int32_t stored = StoredRowAt(row);
    if (stored < 0)
        return L"";
    const DisplayRow *shown = &g_rows.rows[stored];
    const wchar_t *text = column == 0 ? shown->path : column == 1 ? shown->digest : shown->status;
    return column >= 0 && column <= 2 && text ? text : L"";
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
