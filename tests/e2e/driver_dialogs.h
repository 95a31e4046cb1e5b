// Drives the program's menu, accelerators and dialogs from another process,
// with the keys and buttons a person would use: the menu is opened and an
// item chosen by keyboard, the folder browser's tree is walked item by item,
// a file name is typed into a file dialog and its button pressed.
#pragma once

#include <windows.h>

#include "tests/e2e/driver.h"

// The menu item is greyed: choosing it would send no command.
constexpr int DRIVER_ERR_GREYED = 5;

constexpr UINT DRIVER_ID_FOLDER_TREE = 14145;
constexpr UINT DRIVER_ID_FILE_NAME = 1148;  // combo box of a file dialog, an edit inside it
constexpr UINT DRIVER_ID_FILE_NAME_EDIT = 1152;

// Command ids of the program's menu.
constexpr WORD DRIVER_CMD_ABOUT = 104;
constexpr WORD DRIVER_CMD_EXIT = 105;
constexpr WORD DRIVER_CMD_SAVE = 32773;
constexpr WORD DRIVER_CMD_CHECK = 32775;
constexpr WORD DRIVER_CMD_SCAN = 32777;
constexpr WORD DRIVER_CMD_STOP = 32778;
constexpr WORD DRIVER_CMD_CRC32 = 32783;
constexpr WORD DRIVER_CMD_AUTO_MODE = 32784;
constexpr WORD DRIVER_CMD_HIDDEN_FILES = 32786;
constexpr WORD DRIVER_CMD_SHA3_256 = 32787;
constexpr WORD DRIVER_CMD_SHA3_224 = 32788;
constexpr WORD DRIVER_CMD_SHA3_384 = 32789;
constexpr WORD DRIVER_CMD_SHA3_512 = 32790;

// ---- Menu --------------------------------------------------------------------
// GetMenuState of a main-window item. Windows lets another process read a
// window's menu; Wine does not, and then this gives DRIVER_ERR_REMOTE.
int ReadMenuItemState(const DriverTarget *target, WORD command, UINT *state);
// Chooses a menu item the way the keyboard does: Alt with the popup's access
// key opens it, the arrow keys move to the item, Enter chooses it. When the
// item's state can be read and it is greyed, nothing is pressed and the result
// is DRIVER_ERR_GREYED. The menu is closed again in any case.
int ChooseMenuItem(const DriverTarget *target, WORD command, DWORD timeout_ms);
// Types Alt with the key of `character` (and Shift when the keyboard layout
// needs it) into the main window, brought to the front first. Real key input:
// accelerator translation asks the thread's key state whether Alt is down, so
// a posted WM_SYSCHAR alone is not taken for Alt with the character.
int PressAltCharacter(const DriverTarget *target, wchar_t character);

// ---- Dialogs -------------------------------------------------------------------
// Waits for a visible top-level dialog of the program with this caption
// (null: any); null when none appeared in time.
HWND WaitForDialog(const DriverTarget *target, const wchar_t *caption, DWORD timeout_ms);
// Waits until the window is gone or hidden.
int WaitForWindowGone(HWND window, DWORD timeout_ms);
// True when a dialog of the program with this caption shows up within
// `timeout_ms`; used to tell that a command did not open one.
bool DialogAppears(const DriverTarget *target, const wchar_t *caption, DWORD timeout_ms);
// Clicks a button of a dialog by its control id.
int ClickDialogButton(HWND dialog, int control_id);
// Types `name` into the file-name field of an open or save dialog.
int TypeFileName(HWND dialog, const wchar_t *name);
// Walks the folder browser's tree from its top: expands the item whose text
// is names[0] (or, for a drive, ends in "(names[0])"), then names[1] below
// it, and so on, and selects the last one. The first name may be null to
// search every top-level item for names[1].
int SelectBrowserFolder(const DriverTarget *target, HWND dialog, const wchar_t *const *names,
                        int count, DWORD timeout_ms);
// The text of the folder browser's selected item into `text`.
int ReadBrowserSelection(const DriverTarget *target, HWND dialog, wchar_t *text, int units);
