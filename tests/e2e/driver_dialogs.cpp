#include "tests/e2e/driver_dialogs.h"

#include <commctrl.h>
#include <string.h>
#include <wchar.h>

constexpr DWORD POLL_MS = 30;
constexpr DWORD MENU_OPEN_MS = 10000;
constexpr DWORD MENU_CLOSE_MS = 3000;
constexpr int TREE_TEXT_UNITS = 520;
constexpr SIZE_T TREE_RECORD_BYTES = 256;
constexpr SIZE_T TREE_BUFFER_BYTES = TREE_RECORD_BYTES + TREE_TEXT_UNITS * sizeof(wchar_t);

// Where a command sits in the program's menu: the popup's access key and the
// item's place among the items the arrow keys stop at (separators are
// skipped, greyed items are not).
struct MenuPlace {
    WORD command;
    wchar_t popup_key;
    int position;
};

static const MenuPlace MENU_PLACES[] = {
    {DRIVER_CMD_SCAN, L'f', 0},     {DRIVER_CMD_CHECK, L'f', 1},
    {DRIVER_CMD_SAVE, L'f', 3},     {DRIVER_CMD_STOP, L'f', 4},
    {DRIVER_CMD_EXIT, L'f', 5},     {DRIVER_CMD_AUTO_MODE, L'o', 0},
    {DRIVER_CMD_SHA3_224, L'o', 1}, {DRIVER_CMD_SHA3_256, L'o', 2},
    {DRIVER_CMD_SHA3_384, L'o', 3}, {DRIVER_CMD_SHA3_512, L'o', 4},
    {DRIVER_CMD_CRC32, L'o', 5},    {DRIVER_CMD_HIDDEN_FILES, L'o', 6},
    {DRIVER_CMD_ABOUT, L'h', 0},
};

static const MenuPlace *FindMenuPlace(WORD command)
{
    for (const MenuPlace &place : MENU_PLACES)
        if (place.command == command)
            return &place;
    return nullptr;
}

// The popup's place on the menu bar: File, Options, Help.
static int PopupIndex(wchar_t popup_key)
{
    return popup_key == L'f' ? 0 : popup_key == L'o' ? 1 : 2;
}

int ReadMenuItemState(const DriverTarget *target, WORD command, UINT *state)
{
    HMENU menu = GetMenu(target->main_window);
    // The program sets its items' states when a popup opens: ask it to, as
    // opening the popup would.
    const MenuPlace *place = FindMenuPlace(command);
    LRESULT ignored = 0;
    int popup = place ? PopupIndex(place->popup_key) : -1;
    if (menu && popup >= 0)
        SendToWindow(target->main_window, WM_INITMENUPOPUP, (WPARAM)GetSubMenu(menu, popup),
                     MAKELPARAM(popup, FALSE), &ignored);
    UINT flags = menu ? GetMenuState(menu, command, MF_BYCOMMAND) : (UINT)-1;
    if (flags == (UINT)-1)
        return DRIVER_ERR_REMOTE;
    *state = flags;
    return DRIVER_OK;
}

static bool PopupMenuOpen(const DriverTarget *target)
{
    HWND popup = FindProcessWindow(target->process_id, L"#32768", nullptr);
    return popup && IsWindowVisible(popup);
}

static bool WaitForPopupMenu(const DriverTarget *target, bool open, DWORD timeout_ms)
{
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (PopupMenuOpen(target) != open) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(POLL_MS);
    }
    return true;
}

static void PostKey(HWND window, WPARAM key)
{
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

// Escape closes the popup, a second one leaves the menu bar.
static int CloseMenu(const DriverTarget *target)
{
    for (int attempt = 0; attempt < 3 && !WaitForPopupMenu(target, false, MENU_CLOSE_MS);
         ++attempt) {
        PostKey(target->main_window, VK_ESCAPE);
        PostKey(target->main_window, VK_ESCAPE);
    }
    return PopupMenuOpen(target) ? DRIVER_ERR_TIMEOUT : DRIVER_OK;
}

int ChooseMenuItem(const DriverTarget *target, WORD command, DWORD timeout_ms)
{
    const MenuPlace *place = FindMenuPlace(command);
    if (!place)
        return DRIVER_ERR_NOT_FOUND;
    UINT state = 0;
    if (ReadMenuItemState(target, command, &state) == DRIVER_OK &&
        (state & (MF_GRAYED | MF_DISABLED)))
        return DRIVER_ERR_GREYED;
    // What DefWindowProc makes of Alt with a letter.
    if (!PostMessageW(target->main_window, WM_SYSCOMMAND, SC_KEYMENU, place->popup_key))
        return DRIVER_ERR_NOT_FOUND;
    if (!WaitForPopupMenu(target, true, timeout_ms < MENU_OPEN_MS ? timeout_ms : MENU_OPEN_MS)) {
        CloseMenu(target);
        return DRIVER_ERR_TIMEOUT;
    }
    for (int step = 0; step < place->position; ++step)
        PostKey(target->main_window, VK_DOWN);
    PostKey(target->main_window, VK_RETURN);
    return CloseMenu(target);
}

static void AddKey(INPUT *inputs, int *count, WORD key, bool up)
{
    memset(&inputs[*count], 0, sizeof(INPUT));
    inputs[*count].type = INPUT_KEYBOARD;
    inputs[*count].ki.wVk = key;
    inputs[*count].ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ++*count;
}

static bool BringToFront(const DriverTarget *target)
{
    ULONGLONG deadline = GetTickCount64() + MENU_OPEN_MS;
    while (GetForegroundWindow() != target->main_window) {
        if (GetTickCount64() >= deadline)
            return false;
        SetForegroundWindow(target->main_window);
        Sleep(POLL_MS);
    }
    return true;
}

int PressAltCharacter(const DriverTarget *target, wchar_t character)
{
    SHORT scan = VkKeyScanW(character);
    if (scan == -1)
        return DRIVER_ERR_NOT_FOUND;
    WORD key = LOBYTE(scan);
    bool shift = (HIBYTE(scan) & 1) != 0;
    INPUT inputs[6];
    int count = 0;
    AddKey(inputs, &count, VK_MENU, false);
    if (shift)
        AddKey(inputs, &count, VK_SHIFT, false);
    AddKey(inputs, &count, key, false);
    AddKey(inputs, &count, key, true);
    if (shift)
        AddKey(inputs, &count, VK_SHIFT, true);
    AddKey(inputs, &count, VK_MENU, true);
    if (!BringToFront(target))
        return DRIVER_ERR_NOT_FOUND;
    return SendInput(count, inputs, sizeof(INPUT)) == (UINT)count ? DRIVER_OK : DRIVER_ERR_REMOTE;
}

HWND WaitForDialog(const DriverTarget *target, const wchar_t *caption, DWORD timeout_ms)
{
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        HWND dialog = FindProcessWindow(target->process_id, L"#32770", caption);
        if (dialog && IsWindowVisible(dialog))
            return dialog;
        if (GetTickCount64() >= deadline)
            return nullptr;
        Sleep(POLL_MS);
    }
}

int WaitForWindowGone(HWND window, DWORD timeout_ms)
{
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount64() >= deadline)
            return DRIVER_ERR_TIMEOUT;
        Sleep(POLL_MS);
    }
    return DRIVER_OK;
}

bool DialogAppears(const DriverTarget *target, const wchar_t *caption, DWORD timeout_ms)
{
    return WaitForDialog(target, caption, timeout_ms) != nullptr;
}

// What a button sends its dialog when clicked. BM_CLICK itself may be lost
// when the dialog is not the active window, which another process cannot
// change.
int ClickDialogButton(HWND dialog, int control_id)
{
    HWND button = GetDlgItem(dialog, control_id);
    if (!button || !IsWindowEnabled(button))
        return DRIVER_ERR_NOT_FOUND;
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(control_id, BN_CLICKED), (LPARAM)button)
               ? DRIVER_OK
               : DRIVER_ERR_NOT_FOUND;
}

static BOOL CALLBACK MatchEdit(HWND child, LPARAM found)
{
    wchar_t name[16];
    if (GetClassNameW(child, name, 16) <= 0 || _wcsicmp(name, L"Edit") != 0)
        return TRUE;
    *(HWND *)found = child;
    return FALSE;
}

// Explorer-style dialogs nest the edit inside a combo box inside an extended
// combo box, all three with the same id; older ones have a plain edit.
static HWND FileNameField(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, DRIVER_ID_FILE_NAME);
    HWND edit = nullptr;
    if (combo)
        EnumChildWindows(combo, MatchEdit, (LPARAM)&edit);
    if (edit)
        return edit;
    return combo ? combo : GetDlgItem(dialog, DRIVER_ID_FILE_NAME_EDIT);
}

// WM_SETTEXT carries its text across processes by itself.
int TypeFileName(HWND dialog, const wchar_t *name)
{
    HWND field = FileNameField(dialog);
    LRESULT done = 0;
    if (!field || !SendToWindow(field, WM_SETTEXT, 0, (LPARAM)name, &done) || !done)
        return DRIVER_ERR_NOT_FOUND;
    return DRIVER_OK;
}

// ---- Folder browser tree -------------------------------------------------------

struct BrowserTree {
    HWND tree;
    RemoteBuffer buffer;  // a TVITEMW, then its text
};

static HTREEITEM NextTreeItem(const BrowserTree *tree, HTREEITEM item, WPARAM relation)
{
    LRESULT next = 0;
    if (!SendToWindow(tree->tree, TVM_GETNEXTITEM, relation, (LPARAM)item, &next))
        return nullptr;
    return (HTREEITEM)next;
}

static bool ReadTreeRecord(const BrowserTree *tree, HTREEITEM item, UINT mask, TVITEMW *record)
{
    memset(record, 0, sizeof(*record));
    record->mask = mask | TVIF_HANDLE;
    record->hItem = item;
    record->pszText = (wchar_t *)((char *)tree->buffer.address + TREE_RECORD_BYTES);
    record->cchTextMax = TREE_TEXT_UNITS;
    LRESULT done = 0;
    return WriteRemote(&tree->buffer, tree->buffer.address, record, sizeof(*record)) &&
           SendToWindow(tree->tree, TVM_GETITEMW, 0, (LPARAM)tree->buffer.address, &done) && done &&
           ReadRemote(&tree->buffer, tree->buffer.address, record, sizeof(*record));
}

static bool ReadTreeText(const BrowserTree *tree, HTREEITEM item, wchar_t *text, int units)
{
    TVITEMW record;
    if (!ReadTreeRecord(tree, item, TVIF_TEXT, &record))
        return false;
    // The control may answer with its own text pointer instead of the buffer.
    wchar_t remote_text[TREE_TEXT_UNITS];
    if (!ReadRemote(&tree->buffer, record.pszText, remote_text, sizeof(remote_text)))
        return false;
    remote_text[TREE_TEXT_UNITS - 1] = L'\0';
    wcsncpy(text, remote_text, units - 1);
    text[units - 1] = L'\0';
    return true;
}

static bool TreeItemHasChildren(const BrowserTree *tree, HTREEITEM item)
{
    TVITEMW record;
    return ReadTreeRecord(tree, item, TVIF_CHILDREN, &record) && record.cChildren != 0;
}

// "C:" matches a drive shown as "Local Disk (C:)" or "(C:)" too.
static bool TreeTextMatches(const wchar_t *text, const wchar_t *name)
{
    if (_wcsicmp(text, name) == 0)
        return true;
    size_t text_units = wcslen(text);
    size_t name_units = wcslen(name);
    if (text_units < name_units + 2 || text[text_units - 1] != L')')
        return false;
    const wchar_t *inner = text + text_units - 1 - name_units;
    return inner[-1] == L'(' && _wcsnicmp(inner, name, name_units) == 0;
}

// Selects the item as a click would, then opens it; the browser fills an
// item's children only when it is first expanded.
static HTREEITEM OpenTreeItem(const BrowserTree *tree, HTREEITEM item, DWORD timeout_ms)
{
    LRESULT done = 0;
    SendToWindow(tree->tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item, &done);
    SendToWindow(tree->tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)item, &done);
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        HTREEITEM child = NextTreeItem(tree, item, TVGN_CHILD);
        if (child || !TreeItemHasChildren(tree, item) || GetTickCount64() >= deadline)
            return child;
        PostKey(tree->tree, VK_RIGHT);
        Sleep(POLL_MS);
    }
}

static HTREEITEM FindChildByText(const BrowserTree *tree, HTREEITEM first, const wchar_t *name)
{
    wchar_t text[TREE_TEXT_UNITS];
    for (HTREEITEM item = first; item; item = NextTreeItem(tree, item, TVGN_NEXT))
        if (ReadTreeText(tree, item, text, TREE_TEXT_UNITS) && TreeTextMatches(text, name))
            return item;
    return nullptr;
}

// Without a name for the top level, every top-level item's children are
// searched for the next name.
static HTREEITEM FindTopLevel(const BrowserTree *tree, HTREEITEM root, const wchar_t *first,
                              const wchar_t *second, DWORD timeout_ms)
{
    HTREEITEM top = OpenTreeItem(tree, root, timeout_ms);
    if (first)
        return FindChildByText(tree, top, first);
    for (HTREEITEM item = top; item; item = NextTreeItem(tree, item, TVGN_NEXT)) {
        HTREEITEM child = OpenTreeItem(tree, item, timeout_ms);
        if (child && FindChildByText(tree, child, second))
            return item;
    }
    return nullptr;
}

static int WalkBrowserTree(const BrowserTree *tree, const wchar_t *const *names, int count,
                           DWORD timeout_ms)
{
    HTREEITEM root = NextTreeItem(tree, nullptr, TVGN_ROOT);
    if (!root || count < 1)
        return DRIVER_ERR_NOT_FOUND;
    HTREEITEM item = FindTopLevel(tree, root, names[0], count > 1 ? names[1] : nullptr, timeout_ms);
    for (int level = 1; item && level < count; ++level)
        item = FindChildByText(tree, OpenTreeItem(tree, item, timeout_ms), names[level]);
    if (!item)
        return DRIVER_ERR_NOT_FOUND;
    LRESULT done = 0;
    SendToWindow(tree->tree, TVM_ENSUREVISIBLE, 0, (LPARAM)item, &done);
    if (!SendToWindow(tree->tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item, &done) || !done)
        return DRIVER_ERR_REMOTE;
    return DRIVER_OK;
}

static int OpenBrowserTree(const DriverTarget *target, HWND dialog, BrowserTree *tree)
{
    tree->tree = GetDlgItem(dialog, DRIVER_ID_FOLDER_TREE);
    if (!tree->tree)
        return DRIVER_ERR_NOT_FOUND;
    return AllocRemoteBuffer(target->process_id, TREE_BUFFER_BYTES, &tree->buffer);
}

int SelectBrowserFolder(const DriverTarget *target, HWND dialog, const wchar_t *const *names,
                        int count, DWORD timeout_ms)
{
    BrowserTree tree;
    memset(&tree, 0, sizeof(tree));
    int result = OpenBrowserTree(target, dialog, &tree);
    if (result != DRIVER_OK)
        return result;
    result = WalkBrowserTree(&tree, names, count, timeout_ms);
    FreeRemoteBuffer(&tree.buffer);
    return result;
}

int ReadBrowserSelection(const DriverTarget *target, HWND dialog, wchar_t *text, int units)
{
    BrowserTree tree;
    memset(&tree, 0, sizeof(tree));
    int result = OpenBrowserTree(target, dialog, &tree);
    if (result != DRIVER_OK)
        return result;
    HTREEITEM selected = NextTreeItem(&tree, nullptr, TVGN_CARET);
    if (!selected || !ReadTreeText(&tree, selected, text, units))
        result = DRIVER_ERR_REMOTE;
    FreeRemoteBuffer(&tree.buffer);
    return result;
}
