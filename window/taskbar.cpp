// The taskbar button through the shell's ITaskbarList3 (Windows 7 and later)
// and FlashWindowEx. Every call fails soft: without the shell's object the
// button simply shows nothing.
#include <windows.h>
#include <shobjidl.h>

#include "window_record.h"

namespace {

// Created on the user-interface thread at the first call, kept for the
// program's life; null when the shell has none.
ITaskbarList3 *g_taskbar_list;
bool g_taskbar_list_tried;

ITaskbarList3 *TaskbarList()
{
    if (g_taskbar_list_tried)
        return g_taskbar_list;
    g_taskbar_list_tried = true;
    // Another apartment on this thread (S_FALSE, RPC_E_CHANGED_MODE) serves
    // just as well; the apartment stays for the taskbar object's life.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITaskbarList3 *list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void **>(&list))))
        return nullptr;
    if (FAILED(list->HrInit())) {
        list->Release();
        return nullptr;
    }
    g_taskbar_list = list;
    return list;
}

TBPFLAG ShellProgressFlag(int state)
{
    return state == TASKBAR_NORMAL  ? TBPF_NORMAL
           : state == TASKBAR_ERROR ? TBPF_ERROR
                                    : TBPF_NOPROGRESS;
}

void ShellSetState(HWND window, int state)
{
    if (ITaskbarList3 *list = TaskbarList())
        list->SetProgressState(window, ShellProgressFlag(state));
}

void ShellSetValue(HWND window, uint64_t done, uint64_t total)
{
    if (ITaskbarList3 *list = TaskbarList())
        list->SetProgressValue(window, done, total);
}

void ShellFlash(HWND window)
{
    FLASHWINFO flash = {};
    flash.cbSize = sizeof flash;
    flash.hwnd = window;
    flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
    FlashWindowEx(&flash);
}

}  // namespace

TaskbarCalls g_taskbar = {ShellSetState, ShellSetValue, ShellFlash};

void ClearTaskbarAlert()
{
    if (!g_win.taskbar_alert || !g_win.main_window)
        return;
    g_win.taskbar_alert = false;
    g_taskbar.set_state(g_win.main_window, TASKBAR_NONE);
}
