// The rows behind the owner-data result list and the view that orders and
// filters them. Private to the window layer; touched on the user-interface
// thread only.
#pragma once

#include <cstdint>

#include "window/display.h"

// The rows the list shows, oldest first. Rows added one at a time own their
// texts: one block each, kept in `owned` until the list is cleared.
struct RowStore {
    DisplayRow *rows;
    int32_t count;
    int32_t capacity;
    wchar_t **owned;
    int32_t owned_count;
    int32_t owned_capacity;
    int32_t problem_count;  // rows whose status is neither "OK" nor "Created"
};

// Written through the calls below (result_rows.cpp) by the display
// operations, read by the view, the copy and the list's cell requests; all
// on the user-interface thread.
extern RowStore g_rows;

// Appends `count` rows (their records only) and counts their problems.
// False when memory ran out (nothing is stored).
bool StoreRows(const DisplayRow *rows, int32_t count);
// One block holds the three texts of `row`; it belongs to the store from
// here on and `copy` points into it. False when memory ran out (nothing is
// kept).
bool CopyRowTexts(const DisplayRow *row, DisplayRow *copy);
// Releases the rows and their owned texts; the view forgets them too.
void ReleaseStoredRows();
// The RowStatus a row's status text names; an unknown text is an "ERROR".
RowStatus StatusOfRow(const DisplayRow *row);

// The view follows the store: rows from `first` on were just stored, or the
// store was emptied (ForgetViewRows). Both keep the chosen order and filter.
void PlaceNewRows(int32_t first);
void ForgetViewRows();
// Rows the list shows, and the stored row shown at `row` (0 on top); -1
// for a row not shown.
int32_t ShownRowCount();
int32_t StoredRowAt(int32_t row);
