#include "app/app.h"
#include "window/window.h"
#include "jobs/jobs.h"

namespace {

// ---- Menu item states ------------------------------------------------------------
// Each item's greyed and checked state as a function of the application
// state, applied whenever its popup opens. An item not listed keeps the
// state the menu resource gives it.

bool Never()
{
    return false;
}

bool Always()
{
    return true;
}

bool HiddenFilesMarked()
{
    return g_app.hidden_files_marked != 0;
}

bool NewFilesListed()
{
    return g_app.list_new_files != 0;
}

bool NothingToStop()
{
    return !JobRunning() || JobStopRequested();
}

bool NoProblemRow()
{
    return !AnyProblemRow();
}

struct MenuItemRule {
    UINT command;
    bool (*greyed)();
    bool (*checked)();
};

// Auto-mode and the hidden-files item cannot be chosen from the menu. The
// algorithm items are never greyed, and marked when theirs is the algorithm
// chosen there last.
constexpr MenuItemRule kMenuItemRules[] = {
    {ID_FILE_SCAN, JobRunning, Never},
    {ID_FILE_CHECK, JobRunning, Never},
    {ID_FILE_UPDATE, JobRunning, Never},
    {ID_FILE_SAVE, JobRunning, Never},
    {ID_FILE_STOP, NothingToStop, Never},
    {ID_OPTIONS_AUTOMODE, Always, Never},
    {ID_OPTIONS_HIDDEN, Always, HiddenFilesMarked},
    {ID_OPTIONS_NEW_FILES, Never, NewFilesListed},
    {ID_VIEW_PROBLEMS_ONLY, Never, ProblemsOnlyShown},
    {ID_VIEW_NEXT_PROBLEM, NoProblemRow, Never},
    {ID_VIEW_PREVIOUS_PROBLEM, NoProblemRow, Never},
};

}  // namespace

void DeriveMenuStates(HMENU popup)
{
    // By command: an item that is not in this popup is left alone.
    for (const MenuItemRule &rule : kMenuItemRules) {
        EnableMenuItem(popup, rule.command,
                       MF_BYCOMMAND | (rule.greyed() ? MF_DISABLED | MF_GRAYED : MF_ENABLED));
        CheckMenuItem(popup, rule.command,
                      MF_BYCOMMAND | (rule.checked() ? MF_CHECKED : MF_UNCHECKED));
    }
    for (int32_t i = 0; i < HashOptionCount(); ++i) {
        const HashOption *option = HashOptionAt(i);
        bool marked = g_app.marked_hash_choice == option->choice;
        CheckMenuItem(popup, option->command, MF_BYCOMMAND | (marked ? MF_CHECKED : MF_UNCHECKED));
    }
}

bool CommandGreyed(UINT command)
{
    for (const MenuItemRule &rule : kMenuItemRules)
        if (rule.command == command)
            return rule.greyed();
    return false;
}

// Menu and accelerator commands of the main window, by command id. The high
// word of wParam (menu, accelerator, control) does not matter: an accelerator
// acts exactly like its menu item.
LRESULT HandleCommand(HWND window, WPARAM wparam, LPARAM lparam)
{
    switch (LOWORD(wparam)) {
    case IDM_ABOUT:
        ShowAboutDialog();
        return 0;
    case IDM_EXIT:
        DestroyWindow(window);
        return 0;
    case ID_FILE_SCAN:
        return CommandGreyed(ID_FILE_SCAN) ? 0 : ChooseFolder();
    case ID_FILE_CHECK:
        return CommandGreyed(ID_FILE_CHECK) ? 0 : ChooseChecksumFile();
    case ID_FILE_UPDATE:
        return CommandGreyed(ID_FILE_UPDATE) ? 0 : ChooseListToUpdate();
    case ID_FILE_SAVE:
        return CommandGreyed(ID_FILE_SAVE) ? 0 : SaveChecksumList();
    case ID_FILE_STOP:
        // Changes nothing when no job runs, however the command arrives.
        RequestJobStop();
        return 0;
    case ID_EDIT_SELECT_ALL:
        SelectAllResultRows();
        return 0;
    case ID_EDIT_COPY:
        CopyResultRows(COPY_WHOLE_ROWS);
        return 0;
    case ID_EDIT_COPY_DIGEST:
        CopyResultRows(COPY_DIGESTS_ONLY);
        return 0;
    case ID_VIEW_PROBLEMS_ONLY:
        ShowProblemsOnly(!ProblemsOnlyShown());
        return 0;
    case ID_VIEW_NEXT_PROBLEM:
        SelectNextProblem(1);
        return 0;
    case ID_VIEW_PREVIOUS_PROBLEM:
        SelectNextProblem(-1);
        return 0;
    case ID_OPTIONS_AUTOMODE:
        return 0;
    case ID_OPTIONS_HIDDEN:
        ToggleHiddenFiles();
        return 0;
    case ID_OPTIONS_NEW_FILES:
        ToggleNewFiles();
        return 0;
    default:
        break;
    }
    const HashOption *option = HashOptionOfCommand(LOWORD(wparam));
    if (option) {
        ChooseHashAlgorithm(option->choice);
        return 0;
    }
    return DefWindowProcW(window, WM_COMMAND, wparam, lparam);
}
