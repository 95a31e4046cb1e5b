#include "app/app.h"
#include "app/resources/resource.h"

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
    default:
        return DefWindowProcW(window, WM_COMMAND, wparam, lparam);
    }
}
