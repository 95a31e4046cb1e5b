// The store behind the owner-data result list: its rows, the texts it owns,
// the count of problem rows. Touched on the user-interface thread only.
#include "result_rows.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "window_record.h"

RowStore g_rows;

namespace {

// Doubling keeps a million rows linear in time. False when memory ran out.
bool ReserveRows(int64_t wanted)
{
    return ReserveArray(&g_rows.rows, &g_rows.capacity, wanted, 256);
}

bool ReserveOwned(int64_t wanted)
{
    return ReserveArray(&g_rows.owned, &g_rows.owned_capacity, wanted, 256);
}

}  // namespace

void ReleaseStoredRows()
{
    for (int32_t i = 0; i < g_rows.owned_count; ++i)
        std::free(g_rows.owned[i]);
    std::free(g_rows.owned);
    std::free(g_rows.rows);
    g_rows = RowStore{};
    ForgetViewRows();
}

bool StoreRows(const DisplayRow *rows, int32_t count)
{
    if (!ReserveRows(int64_t(g_rows.count) + count))
        return false;
    int32_t first = g_rows.count;
    std::memcpy(g_rows.rows + first, rows, size_t(count) * sizeof(DisplayRow));
    g_rows.count += count;
    for (int32_t i = first; i < g_rows.count; ++i)
        g_rows.problem_count += IsProblemStatus(StatusOfRow(&g_rows.rows[i])) ? 1 : 0;
    return true;
}

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

void ForgetResultRows()
{
    ReleaseStoredRows();
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
