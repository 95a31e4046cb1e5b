#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "window_record.h"

namespace {

constexpr size_t TEXT_INITIAL_UNITS = 4096;

// The clipboard text as it grows, NUL-terminated whenever it is handed on.
struct CopyText {
    wchar_t *units;
    size_t count;
    size_t capacity;
};

bool Append(CopyText *text, const wchar_t *units, size_t count)
{
    if (!ReserveArray(&text->units, &text->capacity, int64_t(text->count + count + 1),
                      TEXT_INITIAL_UNITS))
        return false;
    std::memcpy(text->units + text->count, units, count * sizeof(wchar_t));
    text->count += count;
    text->units[text->count] = 0;
    return true;
}

// The texts come from the rows the list shows, as the list itself gets them.
bool AppendCell(CopyText *text, int row, int column)
{
    const wchar_t *cell = ResultCellText(row, column);
    return Append(text, cell, std::wcslen(cell));
}

// A row after the first starts a new line, even after an empty one.
bool AppendRow(CopyText *text, int row, bool first, int columns)
{
    if (!first && !Append(text, L"\r\n", 2))
        return false;
    if (columns == COPY_DIGESTS_ONLY)
        return AppendCell(text, row, 1);
    return AppendCell(text, row, 0) && Append(text, L"\t", 1) && AppendCell(text, row, 1) &&
           Append(text, L"\t", 1) && AppendCell(text, row, 2);
}

int NextSelectedRow(HWND list, int after)
{
    return int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(after), MAKELPARAM(LVNI_SELECTED, 0)));
}

// The selected rows in the order shown; false when memory ran out.
bool ComposeSelectedRows(HWND list, int columns, CopyText *text)
{
    // The text exists, terminated, even when every copied cell is empty.
    bool complete = Append(text, L"", 0);
    int first = NextSelectedRow(list, -1);
    for (int row = first; row >= 0 && complete; row = NextSelectedRow(list, row))
        complete = AppendRow(text, row, row == first, columns);
    return complete;
}

// The clipboard takes the memory only when SetClipboardData succeeds, and it
// is emptied only once the new text is ready.
bool PutOnClipboard(const CopyText *text)
{
    size_t bytes = (text->count + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory)
        return false;
    void *target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(target, text->units, bytes);
    GlobalUnlock(memory);
    if (!OpenClipboard(g_win.main_window)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!placed)
        GlobalFree(memory);
    return placed;
}

bool AnyRowSelected(HWND list)
{
    return NextSelectedRow(list, -1) >= 0;
}

}  // namespace

void SelectAllResultRows()
{
    HWND list = ResultListHandle();
    if (!list)
        return;
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&item));
}

int CopyResultRows(int columns)
{
    HWND list = ResultListHandle();
    if (!list || !AnyRowSelected(list))
        return 0;
    CopyText text = {};
    bool copied = ComposeSelectedRows(list, columns, &text) && PutOnClipboard(&text);
    std::free(text.units);
    return copied ? 1 : 0;
}

void ShowResultListMenu(POINT screen)
{
    HWND list = ResultListHandle();
    HMENU menu = CreatePopupMenu();
    if (!list || !menu) {
        if (menu)
            DestroyMenu(menu);
        return;
    }
    UINT state = AnyRowSelected(list) ? MF_ENABLED : MF_GRAYED;
    AppendMenuW(menu, MF_STRING | state, ID_EDIT_COPY, L"Copy");
    AppendMenuW(menu, MF_STRING | state, ID_EDIT_COPY_DIGEST, L"Copy digest");
    // Shift+F10 or the menu key gives no point: open below the focused row.
    if (screen.x == -1 && screen.y == -1) {
        RECT row = {LVIR_BOUNDS, 0, 0, 0};
        int focused =
            int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), MAKELPARAM(LVNI_FOCUSED, 0)));
        if (focused < 0 ||
            !SendMessageW(list, LVM_GETITEMRECT, WPARAM(focused), reinterpret_cast<LPARAM>(&row)))
            GetClientRect(list, &row);
        screen = POINT{row.left, row.bottom};
        ClientToScreen(list, &screen);
    }
    // The chosen item arrives as a WM_COMMAND of the main window.
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, screen.x, screen.y, 0, g_win.main_window, nullptr);
    DestroyMenu(menu);
}
