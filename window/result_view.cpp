// The result view: which stored rows the list shows and in which order. The
// designed order (newest on top, every row) needs nothing; a sort or the
// problems-only filter keeps one index per shown row. Rows that arrive
// while a job runs are placed where the current order puts them, so the
// list stays sorted and filtered as it grows.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "window_record.h"

#include "path_order.h"
#include "result_rows.h"

namespace {

// The list's columns, as the sort knows them.
enum SortColumn : int {
    SORT_NONE = -1,  // the designed order
    SORT_BY_PATH = 0,
    SORT_BY_DIGEST = 1,
    SORT_BY_STATUS = 2,
};

struct ResultView {
    uint32_t *order;  // stored row indexes, top first; only while arranged
    int32_t shown;
    int32_t capacity;
    int sort_column;  // a SortColumn
    bool descending;
    bool problems_only;
};

// This file's alone, written and read on the user-interface thread.
ResultView g_view = {nullptr, 0, 0, SORT_NONE, false, false};

// Above this many new rows at once, ordering them all again is cheaper than
// placing each one.
constexpr int32_t PLACE_ONE_BY_ONE_LIMIT = 1024;

bool Arranged()
{
    return g_view.sort_column != SORT_NONE || g_view.problems_only;
}

bool IsShownRow(int32_t stored)
{
    return !g_view.problems_only || IsProblemStatus(StatusOfRow(&g_rows.rows[stored]));
}

// What the order looks at of one row, gathered in one place: a sort that
// went to the row store and then to the texts for every comparison spent
// its time waiting for memory.
struct SortItem {
    const wchar_t *path;
    const wchar_t *digest;
    uint32_t row;
    int32_t status;
};

SortItem SortItemOf(uint32_t row)
{
    const DisplayRow *shown = &g_rows.rows[row];
    return SortItem{shown->path, shown->digest, row, StatusOfRow(shown)};
}

// The order of the chosen column, ties broken by path and then by age (the
// newer first, as designed); reversed whole when descending.
struct RowOrder {
    int column;
    bool descending;

    int Compare(const SortItem &x, const SortItem &y) const
    {
        int result = 0;
        if (column == SORT_BY_DIGEST)
            result = std::wcscmp(x.digest, y.digest);
        else if (column == SORT_BY_STATUS)
            result = x.status - y.status;
        if (result == 0)
            result = ComparePaths(x.path, y.path);
        if (result == 0)
            result = x.row > y.row ? -1 : x.row < y.row ? 1 : 0;
        return descending ? -result : result;
    }

    bool operator()(const SortItem &x, const SortItem &y) const { return Compare(x, y) < 0; }
};

bool ReserveOrder(int64_t wanted)
{
    return ReserveArray(&g_view.order, &g_view.capacity, wanted, 256);
}

void ReleaseOrder()
{
    std::free(g_view.order);
    g_view.order = nullptr;
    g_view.shown = 0;
    g_view.capacity = 0;
}

// Without memory for the order the list falls back to the designed one,
// which needs none.
void ShowDesignedOrder()
{
    g_view.sort_column = SORT_NONE;
    g_view.problems_only = false;
    ReleaseOrder();
}

// A stable counting sort of `rows` by status, problems first.
bool GroupRowsByStatus(uint32_t *rows, int32_t count)
{
    uint32_t *moved =
        static_cast<uint32_t *>(std::malloc(size_t(count ? count : 1) * sizeof(uint32_t)));
    if (!moved)
        return false;
    int32_t starts[ROW_STATUS_COUNT + 1] = {};
    for (int32_t i = 0; i < count; ++i)
        ++starts[StatusOfRow(&g_rows.rows[rows[i]]) + 1];
    for (int32_t status = 0; status < ROW_STATUS_COUNT; ++status)
        starts[status + 1] += starts[status];
    for (int32_t i = 0; i < count; ++i)
        moved[starts[StatusOfRow(&g_rows.rows[rows[i]])]++] = rows[i];
    std::memcpy(rows, moved, size_t(count) * sizeof(uint32_t));
    std::free(moved);
    return true;
}

// The shown rows by digest text, ties as RowOrder breaks them.
bool OrderRowsByDigest()
{
    int32_t shown = g_view.shown;
    SortItem *items =
        static_cast<SortItem *>(std::malloc(size_t(shown ? shown : 1) * sizeof(SortItem)));
    if (!items)
        return false;
    for (int32_t i = 0; i < shown; ++i)
        items[i] = SortItemOf(g_view.order[i]);
    std::sort(items, items + shown, RowOrder{g_view.sort_column, g_view.descending});
    for (int32_t i = 0; i < shown; ++i)
        g_view.order[i] = items[i].row;
    std::free(items);
    return true;
}

// Rows in path order, then (for the Status column) moved into their
// statuses' groups with their order kept: the order RowOrder gives, found
// without comparing rows. Reversed whole when descending.
bool OrderRowsByPathOrStatus()
{
    uint32_t *order = g_view.order;
    int32_t shown = g_view.shown;
    if (!SortRowsByPath(order, shown, g_rows.rows))
        return false;
    if (g_view.sort_column == SORT_BY_STATUS && !GroupRowsByStatus(order, shown))
        return false;
    if (g_view.descending)
        std::reverse(order, order + shown);
    return true;
}

// Every stored row the filter lets through, in the chosen order.
void OrderAllRows()
{
    if (!Arranged()) {
        ReleaseOrder();
        return;
    }
    if (!ReserveOrder(g_rows.count)) {
        ShowDesignedOrder();
        return;
    }
    int32_t shown = 0;
    for (int32_t stored = g_rows.count - 1; stored >= 0; --stored)
        if (IsShownRow(stored))
            g_view.order[shown++] = uint32_t(stored);
    g_view.shown = shown;
    if (g_view.sort_column == SORT_NONE)
        return;
    bool ordered =
        g_view.sort_column == SORT_BY_DIGEST ? OrderRowsByDigest() : OrderRowsByPathOrStatus();
    // Without memory for the order the rows stay in the designed order.
    if (!ordered)
        ShowDesignedOrder();
}

// The new rows `fresh` (already in the chosen order) go where they belong:
// each found by binary search, the rows after it moved once per batch.
void MergeIntoOrder(const SortItem *fresh, int32_t count)
{
    RowOrder order = {g_view.sort_column, g_view.descending};
    int32_t end = g_view.shown;
    for (int32_t j = count - 1; j >= 0; --j) {
        uint32_t *place = std::upper_bound(
            g_view.order, g_view.order + end, fresh[j],
            [&](const SortItem &item, uint32_t row) { return order(item, SortItemOf(row)); });
        int32_t at = int32_t(place - g_view.order);
        std::memmove(g_view.order + at + j + 1, g_view.order + at,
                     size_t(end - at) * sizeof(uint32_t));
        g_view.order[at + j] = fresh[j].row;
        end = at;
    }
    g_view.shown += count;
}

HWND ResultHeader(HWND list)
{
    return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
}

// The sorted column's header shows the direction; the others none.
void ShowSortArrows(HWND list)
{
    HWND header = ResultHeader(list);
    int columns = int(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int column = 0; column < columns; ++column) {
        HDITEMW item = {};
        item.mask = HDI_FORMAT;
        if (!SendMessageW(header, HDM_GETITEMW, WPARAM(column), reinterpret_cast<LPARAM>(&item)))
            continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (column == g_view.sort_column)
            item.fmt |= g_view.descending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageW(header, HDM_SETITEMW, WPARAM(column), reinterpret_cast<LPARAM>(&item));
    }
}

// The rows moved under the selection, so it goes; the list shows the new
// count and order from the top.
void ShowNewOrder()
{
    HWND list = ResultListHandle();
    if (!list)
        return;
    // Clearing the state of every row costs a pass over all of them.
    if (SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) > 0 ||
        SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED) >= 0) {
        LVITEMW none = {};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&none));
    }
    SendMessageW(list, LVM_SETITEMCOUNT, WPARAM(ShownRowCount()), 0);
    ShowSortArrows(list);
    if (ShownRowCount() > 0)
        SendMessageW(list, LVM_ENSUREVISIBLE, 0, FALSE);
    InvalidateRect(list, nullptr, TRUE);
}

bool IsProblemRow(int32_t row)
{
    return IsProblemStatus(StatusOfRow(&g_rows.rows[StoredRowAt(row)]));
}

}  // namespace

int32_t ShownRowCount()
{
    return Arranged() ? g_view.shown : g_rows.count;
}

int32_t StoredRowAt(int32_t row)
{
    if (row < 0 || row >= ShownRowCount())
        return -1;
    return Arranged() ? int32_t(g_view.order[row]) : g_rows.count - 1 - row;
}

void ForgetViewRows()
{
    g_view.shown = 0;
}

void PlaceNewRows(int32_t first)
{
    int32_t count = g_rows.count - first;
    if (!Arranged() || count <= 0)
        return;
    if (count > PLACE_ONE_BY_ONE_LIMIT || !ReserveOrder(g_rows.count)) {
        OrderAllRows();
        return;
    }
    SortItem fresh[PLACE_ONE_BY_ONE_LIMIT];
    int32_t kept = 0;
    for (int32_t stored = g_rows.count - 1; stored >= first; --stored)
        if (IsShownRow(stored))
            fresh[kept++] = SortItemOf(uint32_t(stored));
    if (g_view.sort_column == SORT_NONE) {
        // The designed order: the newest on top.
        std::memmove(g_view.order + kept, g_view.order, size_t(g_view.shown) * sizeof(uint32_t));
        for (int32_t i = 0; i < kept; ++i)
            g_view.order[i] = fresh[i].row;
        g_view.shown += kept;
        return;
    }
    std::sort(fresh, fresh + kept, RowOrder{g_view.sort_column, g_view.descending});
    MergeIntoOrder(fresh, kept);
}

void SortResultRows(int column, bool descending)
{
    g_view.sort_column = column >= SORT_BY_PATH && column <= SORT_BY_STATUS ? column : SORT_NONE;
    g_view.descending = g_view.sort_column != SORT_NONE && descending;
    OrderAllRows();
    ShowNewOrder();
}

void ClickResultColumn(int column)
{
    if (column != g_view.sort_column)
        SortResultRows(column, false);
    else if (!g_view.descending)
        SortResultRows(column, true);
    else
        SortResultRows(-1, false);
}

void ShowProblemsOnly(bool on)
{
    g_view.problems_only = on;
    OrderAllRows();
    ShowNewOrder();
}

bool ProblemsOnlyShown()
{
    return g_view.problems_only;
}

bool AnyProblemRow()
{
    return g_rows.problem_count > 0;
}

void SelectNextProblem(int direction)
{
    HWND list = ResultListHandle();
    int32_t shown = ShownRowCount();
    if (!list || shown == 0 || !AnyProblemRow())
        return;
    int32_t selected =
        int32_t(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), MAKELPARAM(LVNI_SELECTED, 0)));
    // Without a selected row the search starts just outside the end it walks from.
    int32_t row = selected >= 0 ? selected : direction > 0 ? -1 : shown;
    for (int32_t step = 0; step < shown; ++step) {
        row = (row + direction + shown) % shown;
        if (!IsProblemRow(row))
            continue;
        LVITEMW none = {};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&none));
        LVITEMW chosen = {};
        chosen.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        chosen.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(&chosen));
        SendMessageW(list, LVM_ENSUREVISIBLE, WPARAM(row), FALSE);
        return;
    }
}
