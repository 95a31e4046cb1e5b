// The algorithms the user can choose, one row each: its Options menu item
// and its command-line switch. The items are not in the menu resource; they
// are put into the Options menu from this table when the window is made.
#include <windows.h>

#include <cwchar>

#include "app/app.h"
#include "window/ids.h"

namespace {

// Items in Options in this order, after Auto-mode; rows naming the same
// submenu share one popup, placed where its first row would be.
constexpr HashOption kHashOptions[] = {
    {HASH_SHA3_224, ID_OPTIONS_SHA3_224, L"Always use &SHA-3-224", nullptr, L"-sha224"},
    {HASH_SHA3_256, ID_OPTIONS_SHA3_256, L"Always use &SHA-3-256", nullptr, L"-sha256"},
    {HASH_SHA3_384, ID_OPTIONS_SHA3_384, L"Always use &SHA-3-384", nullptr, L"-sha384"},
    {HASH_SHA3_512, ID_OPTIONS_SHA3_512, L"Always use &SHA-3-512", nullptr, L"-sha512"},
    {HASH_CRC32C, ID_OPTIONS_CRC32, L"Always use &CRC32", nullptr, L"-crc"},
};

constexpr int32_t OPTIONS_POPUP = 1;
constexpr UINT NOT_FOUND = UINT(-1);

// The place of `command` among the popup's items; NOT_FOUND without it.
UINT ItemPosition(HMENU popup, UINT command)
{
    int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i)
        if (GetMenuItemID(popup, i) == command)
            return UINT(i);
    return NOT_FOUND;
}

// The submenu titled `title` among the popup's items, made at `position`
// when there is none yet (then *position moves past it). Null when it could
// not be made.
HMENU SubmenuTitled(HMENU popup, const wchar_t *title, UINT *position)
{
    int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        HMENU sub = GetSubMenu(popup, i);
        if (sub && GetMenuStringW(popup, UINT(i), text, 64, MF_BYPOSITION) > 0 &&
            std::wcscmp(text, title) == 0)
            return sub;
    }
    HMENU sub = CreatePopupMenu();
    if (sub && !InsertMenuW(popup, (*position)++, MF_BYPOSITION | MF_POPUP | MF_STRING,
                            UINT_PTR(sub), title)) {
        DestroyMenu(sub);
        return nullptr;
    }
    return sub;
}

}  // namespace

int32_t HashOptionCount()
{
    return int32_t(sizeof kHashOptions / sizeof kHashOptions[0]);
}

const HashOption *HashOptionAt(int32_t index)
{
    return index >= 0 && index < HashOptionCount() ? &kHashOptions[index] : nullptr;
}

const HashOption *HashOptionOfCommand(UINT command)
{
    for (const HashOption &option : kHashOptions)
        if (option.command == command)
            return &option;
    return nullptr;
}

const HashOption *HashOptionOfSwitch(const wchar_t *argument)
{
    for (const HashOption &option : kHashOptions)
        if (std::wcscmp(argument, option.switch_text) == 0)
            return &option;
    return nullptr;
}

bool InsertHashOptionItems(HMENU menu_bar)
{
    HMENU options = GetSubMenu(menu_bar, OPTIONS_POPUP);
    UINT position = options ? ItemPosition(options, ID_OPTIONS_AUTOMODE) : NOT_FOUND;
    if (position == NOT_FOUND)
        return false;
    ++position;
    for (const HashOption &option : kHashOptions) {
        HMENU popup = options;
        UINT at = position;
        if (option.submenu) {
            popup = SubmenuTitled(options, option.submenu, &position);
            at = popup ? UINT(GetMenuItemCount(popup)) : 0;
        }
        if (!popup || !InsertMenuW(popup, at, MF_BYPOSITION | MF_STRING, option.command,
                                   option.item_text))
            return false;
        if (popup == options)
            ++position;
    }
    return true;
}
