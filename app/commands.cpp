#include "app/app.h"
#include "window/window.h"
#include "jobs/jobs.h"

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
        return IsCommandGreyed(window, ID_FILE_SCAN) ? 0 : ChooseFolder();
    case ID_FILE_CHECK:
        return IsCommandGreyed(window, ID_FILE_CHECK) ? 0 : ChooseChecksumFile();
    case ID_FILE_SAVE:
        return IsCommandGreyed(window, ID_FILE_SAVE) ? 0 : SaveChecksumList();
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
    case ID_OPTIONS_SHA3_224:
        ChooseHashAlgorithm(window, ID_OPTIONS_SHA3_224, HASH_SHA3_224);
        return 0;
    case ID_OPTIONS_SHA3_256:
        ChooseHashAlgorithm(window, ID_OPTIONS_SHA3_256, HASH_SHA3_256);
        return 0;
    case ID_OPTIONS_SHA3_384:
        ChooseHashAlgorithm(window, ID_OPTIONS_SHA3_384, HASH_SHA3_384);
        return 0;
    case ID_OPTIONS_SHA3_512:
        ChooseHashAlgorithm(window, ID_OPTIONS_SHA3_512, HASH_SHA3_512);
        return 0;
    case ID_OPTIONS_CRC32:
        ChooseHashAlgorithm(window, ID_OPTIONS_CRC32, HASH_CRC32C);
        return 0;
    case ID_OPTIONS_HIDDEN:
        ToggleHiddenFiles(window);
        return 0;
    default:
        return DefWindowProcW(window, WM_COMMAND, wparam, lparam);
    }
}

void DeriveMenuStates(HMENU menu)
{
    EnableMenuItem(menu, ID_FILE_STOP, MF_BYCOMMAND | (JobRunning() ? MF_ENABLED : MF_GRAYED));
}
