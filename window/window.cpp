#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <atomic>
#include <cstdlib>

#include "core/version.h"
#include "window_record.h"

AppWindows g_win;

namespace {

// A call a reporting thread waits on, on that thread's stack. Any number of
// threads may wait at once: each sends its own record's address with the
// private message, and the record is registered while it waits, so a message
// of that number from anywhere else names no call and runs nothing.
struct UiCall {
    void (*call)(const void *args);
    const void *args;
    UiCall *next;
};

// The calls reporting threads wait on: each thread adds and removes its own
// under the lock, the user-interface thread looks them up under it.
SRWLOCK g_waiting_lock = SRWLOCK_INIT;
UiCall *g_waiting_calls;

void RegisterWaitingCall(UiCall *request)
{
    AcquireSRWLockExclusive(&g_waiting_lock);
    request->next = g_waiting_calls;
    g_waiting_calls = request;
    ReleaseSRWLockExclusive(&g_waiting_lock);
}

// True when `request` was still registered (and is no longer).
bool UnregisterWaitingCall(const UiCall *request)
{
    AcquireSRWLockExclusive(&g_waiting_lock);
    UiCall **link = &g_waiting_calls;
    while (*link && *link != request)
        link = &(*link)->next;
    bool found = *link != nullptr;
    if (found)
        *link = request->next;
    ReleaseSRWLockExclusive(&g_waiting_lock);
    return found;
}

MainWindowRecord *MainRecord(HWND window)
{
    return reinterpret_cast<MainWindowRecord *>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void RunWaitingCall(LPARAM lparam)
{
    UiCall *request = reinterpret_cast<UiCall *>(lparam);
    if (UnregisterWaitingCall(request) && g_win.main_window)
        request->call(request->args);
}

int InitControlClass(DWORD classes)
{
    INITCOMMONCONTROLSEX init = {sizeof init, classes};
    return InitCommonControlsEx(&init) ? 1 : 0;
}

// `place` holds x, y, width and height in left, top, right and bottom: the
// status bar is created by handing it the client rectangle that way.
HWND CreateChild(const wchar_t *window_class, const wchar_t *text, DWORD style, RECT place, UINT id)
{
    return CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, place.left,
                           place.top, place.right, place.bottom, g_win.main_window,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), g_win.instance,
                           nullptr);
}

RECT MainClientRect()
{
    RECT client;
    GetClientRect(g_win.main_window, &client);
    return client;
}

// The per-window DPI calls came with Windows 10 1607. Looked up rather than
// imported, so the program still starts on Windows 7 and 8, where it runs
// system-aware and the screen's DPI is every window's.
template <typename Function>
Function User32Function(const char *name)
{
    FARPROC address = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

UINT WindowDpi(HWND window)
{
    typedef UINT(WINAPI * GetDpiForWindowCall)(HWND);
    static const GetDpiForWindowCall get_dpi_for_window =
        User32Function<GetDpiForWindowCall>("GetDpiForWindow");
    if (get_dpi_for_window)
        return get_dpi_for_window(window);
    HDC screen = GetDC(nullptr);
    UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    return dpi;
}

int SystemParametersForWindowDpi(UINT action, UINT size, void *values)
{
    typedef BOOL(WINAPI * ForDpiCall)(UINT, UINT, void *, UINT, UINT);
    static const ForDpiCall for_dpi = User32Function<ForDpiCall>("SystemParametersInfoForDpi");
    if (for_dpi)
        return for_dpi(action, size, values, 0, g_win.dpi) ? 1 : 0;
    return SystemParametersInfoW(action, size, values, 0) ? 1 : 0;
}

int ScaleForWindowDpi(int pixels)
{
    return MulDiv(pixels, static_cast<int>(g_win.dpi), static_cast<int>(DESIGN_DPI));
}

// The fonts each control would pick for itself, taken at the window's DPI:
// the list the icon-title font, the status bar the status font. Fonts that
// cannot be had leave the controls' current ones in place.
void ApplyControlFonts()
{
    LOGFONTW list_font = {};
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersForWindowDpi(SPI_GETICONTITLELOGFONT, sizeof list_font, &list_font) ||
        !SystemParametersForWindowDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics))
        return;
    HFONT new_list_font = CreateFontIndirectW(&list_font);
    HFONT new_status_font = CreateFontIndirectW(&metrics.lfStatusFont);
    if (!new_list_font || !new_status_font) {
        DeleteObject(new_list_font);
        DeleteObject(new_status_font);
        return;
    }
    SendMessageW(ResultListHandle(), WM_SETFONT, reinterpret_cast<WPARAM>(new_list_font), TRUE);
    SendMessageW(g_win.status_bar, WM_SETFONT, reinterpret_cast<WPARAM>(new_status_font), TRUE);
    DeleteObject(g_win.list_font);
    DeleteObject(g_win.status_font);
    g_win.list_font = new_list_font;
    g_win.status_font = new_status_font;
}

void SetInitialStatusTexts(HWND status_bar)
{
    SendMessageW(status_bar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L""));
    SendMessageW(status_bar, SB_SETTEXTW, 1 | SBT_POPOUT, reinterpret_cast<LPARAM>(L""));
    SendMessageW(status_bar, SB_SETTEXTW, 2 | SBT_POPOUT, reinterpret_cast<LPARAM>(L""));
    SendMessageW(status_bar, SB_SETTEXTW, 3 | SBT_POPOUT, reinterpret_cast<LPARAM>(L"Ready"));
}

int CreateProgressBar()
{
    if (!InitControlClass(ICC_PROGRESS_CLASS))
        return 0;
    g_win.progress_bar =
        CreateChild(PROGRESS_CLASSW, nullptr, PBS_SMOOTH,
                    RECT{0, 0, ScaleForWindowDpi(300), ScaleForWindowDpi(PROGRESS_BAR_HEIGHT)},
                    ID_PROGRESS_BAR);
    return g_win.progress_bar ? 1 : 0;
}

int CreateStatusBar()
{
    if (!InitControlClass(ICC_BAR_CLASSES))
        return 0;
    RECT client = MainClientRect();
    HWND status_bar = CreateChild(STATUSCLASSNAMEW, nullptr, CCS_BOTTOM, client, ID_STATUS_BAR);
    if (!status_bar)
        return 0;
    int edges[4];
    ComputeStatusPartEdges(client.right - client.left, edges);
    SendMessageW(status_bar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    SetInitialStatusTexts(status_bar);
    g_win.status_bar = status_bar;
    return 1;
}

void InsertResultColumns(HWND list, int client_width)
{
    static const wchar_t *const headers[3] = {L"Path", L"CRC", L"Status"};
    int widths[3];
    ComputeColumnWidths(client_width, widths);
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.pszText = const_cast<wchar_t *>(headers[i]);
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, i, widths[i]);
    }
}

int CreateResultList()
{
    if (!InitControlClass(ICC_LISTVIEW_CLASSES))
        return 0;
    MainWindowRecord *record = static_cast<MainWindowRecord *>(std::calloc(1, sizeof *record));
    if (!record)
        return 0;
    SetWindowLongPtrW(g_win.main_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    RECT client = MainClientRect();
    RECT place = {0, 0, client.right - client.left, client.bottom - client.top};
    record->result_list =
        CreateChild(WC_LISTVIEWW, L"", WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                    place, ID_RESULT_LIST);
    if (!record->result_list)
        return 0;
    InsertResultColumns(record->result_list, place.right);
    return 1;
}

void LayOutControls(HWND window, int width, int height)
{
    MainWindowRecord *record = MainRecord(window);
    if (!record || !record->result_list || !g_win.progress_bar || !g_win.status_bar)
        return;
    int band = ScaleForWindowDpi(PROGRESS_BAR_HEIGHT);
    MoveWindow(record->result_list, 0, band, width,
               height - ScaleForWindowDpi(RESULT_LIST_HEIGHT_MARGIN), TRUE);
    MoveWindow(g_win.progress_bar, 0, 0, width, band, TRUE);
    // The status bar ignores the place given; told its parent changed size,
    // it docks itself along the bottom edge at its own height.
    MoveWindow(g_win.status_bar, 0, 0, width, band, TRUE);
    SendMessageW(g_win.status_bar, WM_SIZE, 0, 0);
    SendMessageW(record->result_list, LVM_ARRANGE, LVA_ALIGNTOP, 0);
}

void LayOutForClientSize(HWND window, LPARAM size)
{
    LayOutControls(window, static_cast<short>(LOWORD(size)), static_cast<short>(HIWORD(size)));
}

// Column widths and status-bar part edges keep their look on the new screen:
// each is scaled by the change of DPI, whatever the user made of it.
void RescaleColumnsAndParts(UINT old_dpi, UINT new_dpi)
{
    HWND list = ResultListHandle();
    for (int i = 0; i < 3; ++i) {
        int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, i, MulDiv(width, new_dpi, old_dpi));
    }
    int edges[4];
    int parts = static_cast<int>(
        SendMessageW(g_win.status_bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)));
    for (int i = 0; i < parts && i < 4; ++i) {
        if (edges[i] >= 0)
            edges[i] = MulDiv(edges[i], new_dpi, old_dpi);
    }
    SendMessageW(g_win.status_bar, SB_SETPARTS, parts, reinterpret_cast<LPARAM>(edges));
}

// The window was moved to a screen of another DPI (or that screen's scale was
// changed); the system suggests the window's new place and size.
void ApplyDpiChange(HWND window, WPARAM dpis, const RECT *suggested)
{
    UINT old_dpi = g_win.dpi;
    UINT new_dpi = HIWORD(dpis);
    if (new_dpi == 0 || !ResultListHandle() || !g_win.status_bar)
        return;
    g_win.dpi = new_dpi;
    if (old_dpi != 0 && old_dpi != new_dpi)
        RescaleColumnsAndParts(old_dpi, new_dpi);
    ApplyControlFonts();
    if (suggested)
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    // The suggested size may equal the old one, and then no WM_SIZE comes.
    RECT client = MainClientRect();
    LayOutControls(window, client.right - client.left, client.bottom - client.top);
}

void SetMinimumTrackingSize(MINMAXINFO *limits)
{
    limits->ptMinTrackSize.x = ScaleForWindowDpi(MIN_WINDOW_WIDTH);
    limits->ptMinTrackSize.y = ScaleForWindowDpi(MIN_WINDOW_HEIGHT);
}

// The window is created at its size for DESIGN_DPI, when its screen is not
// yet known; once it is, a window on a screen of another DPI gets its size
// for that one, before its controls are laid out in it.
void SizeForWindowDpi(HWND window)
{
    g_win.dpi = WindowDpi(window);
    if (g_win.dpi == DESIGN_DPI)
        return;
    SetWindowPos(window, nullptr, 0, 0, ScaleForWindowDpi(MIN_WINDOW_WIDTH),
                 ScaleForWindowDpi(MIN_WINDOW_HEIGHT), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ReleaseControlFonts()
{
    DeleteObject(g_win.list_font);
    DeleteObject(g_win.status_font);
    g_win.list_font = nullptr;
    g_win.status_font = nullptr;
}

// The rows added while the redraw was held appear now, in one repaint. The
// list is invalidated explicitly: turning redraw on does not repaint by itself.
void ResumeResultListRedraw(HWND window)
{
    KillTimer(window, LIST_REDRAW_TIMER_ID);
    g_win.list_redraw_held = false;
    MainWindowRecord *record = MainRecord(window);
    if (!record || !record->result_list)
        return;
    SendMessageW(record->result_list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(record->result_list, nullptr, nullptr,
                 RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// The result list holds no texts: it asks for each cell it draws or is asked
// for (LVM_GETITEMTEXTW from any process included). The text is copied into
// the list's buffer, which serves both the drawing and the callers.
void AnswerCellText(NMLVDISPINFOW *info)
{
    LVITEMW *item = &info->item;
    if (!(item->mask & LVIF_TEXT) || !item->pszText || item->cchTextMax <= 0)
        return;
    lstrcpynW(item->pszText, ResultCellText(item->iItem, item->iSubItem), item->cchTextMax);
}

LRESULT HandleNotify(HWND window, WPARAM wparam, LPARAM lparam)
{
    NMHDR *header = reinterpret_cast<NMHDR *>(lparam);
    if (header->idFrom == ID_RESULT_LIST && header->code == LVN_GETDISPINFOW) {
        AnswerCellText(reinterpret_cast<NMLVDISPINFOW *>(lparam));
        return 0;
    }
    if (header->idFrom == ID_RESULT_LIST && header->code == LVN_COLUMNCLICK) {
        ClickResultColumn(reinterpret_cast<NMLISTVIEW *>(lparam)->iSubItem);
        return 0;
    }
    return DefWindowProcW(window, WM_NOTIFY, wparam, lparam);
}

void PaintNothing(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
}

// Display calls made from now on, and workers still running, must find no
// window to write to.
void ForgetWindowHandles()
{
    std::atomic_ref<HWND>(g_win.main_window).store(nullptr, std::memory_order_release);
    g_win.status_bar = nullptr;
    g_win.progress_bar = nullptr;
    g_win.list_redraw_held = false;
}

// The drop belongs to the window, which releases it whatever the handler did.
void HandleDrop(HDROP drop)
{
    if (g_win.drop_handler)
        g_win.drop_handler(drop);
    DragFinish(drop);
}

void ReleaseMainRecord(HWND window)
{
    std::free(MainRecord(window));
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
}

}  // namespace

HWND ResultListHandle()
{
    MainWindowRecord *record = g_win.main_window ? MainRecord(g_win.main_window) : nullptr;
    return record ? record->result_list : nullptr;
}

void ComputeColumnWidths(int client_width, int widths[3])
{
    widths[0] = client_width / 2;
    widths[1] = client_width / 3;
    widths[2] = client_width / 8;
}

void ComputeStatusPartEdges(int client_width, int edges[4])
{
    int half = client_width / 2;
    edges[0] = half / 2;
    edges[1] = half + half / 10;
    edges[2] = half + (2 * half) / 3;
    edges[3] = -1;
}

HWND MainWindowFromAnyThread()
{
    return std::atomic_ref<HWND>(g_win.main_window).load(std::memory_order_acquire);
}

void RunOnUiThread(void (*call)(const void *args), const void *args)
{
    HWND window = MainWindowFromAnyThread();
    if (!window)
        return;
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        call(args);
        return;
    }
    UiCall request = {call, args, nullptr};
    RegisterWaitingCall(&request);
    SendMessageW(window, WM_APP_RUN_UI_CALL, 0, reinterpret_cast<LPARAM>(&request));
    // A window destroyed meanwhile never ran it.
    UnregisterWaitingCall(&request);
}

void SetCommandHandler(CommandHandler handler)
{
    g_win.command_handler = handler;
}

void SetJobEndHandler(JobEndHandler handler)
{
    g_win.job_end_handler = handler;
}

void SetDropHandler(DropHandler handler)
{
    g_win.drop_handler = handler;
}

void SetMenuPopupHandler(MenuPopupHandler handler)
{
    g_win.menu_popup_handler = handler;
}

void SetErrorBoxesShown(bool shown)
{
    g_win.error_boxes_off = !shown;
}

ATOM RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = MainWindowProc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TALVOR));
    window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszMenuName = MAKEINTRESOURCEW(IDC_TALVOR);
    window_class.lpszClassName = g_win.class_name;
    window_class.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TALVOR));
    return RegisterClassExW(&window_class);
}

int CreateMainWindow(HINSTANCE instance, int show)
{
    g_win.instance = instance;
    g_win.dpi = DESIGN_DPI;
    g_win.main_window =
        CreateWindowExW(0, g_win.class_name, g_win.title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                        MIN_WINDOW_WIDTH, MIN_WINDOW_HEIGHT, nullptr, nullptr, instance, nullptr);
    if (!g_win.main_window)
        return 0;
    SizeForWindowDpi(g_win.main_window);
    if (!CreateProgressBar() || !CreateStatusBar() || !CreateResultList())
        return 0;
    ApplyControlFonts();
    DragAcceptFiles(g_win.main_window, TRUE);
    ShowWindow(g_win.main_window, show);
    UpdateWindow(g_win.main_window);
    return 1;
}

int OpenMainWindow(HINSTANCE instance, int show)
{
    LoadStringW(instance, IDS_APP_TITLE, g_win.title, TITLE_UNITS);
    LoadStringW(instance, IDC_TALVOR, g_win.class_name, TITLE_UNITS);
    g_win.exit_code = 0;
    g_win.jobs_ended = 0;
    RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance, show))
        return 0;
    g_win.accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_TALVOR));
    return 1;
}

void CloseMainWindow(int exit_code)
{
    g_win.exit_code = exit_code;
    if (g_win.main_window)
        DestroyWindow(g_win.main_window);
}

// Translated for the main window whichever of its controls has the focus:
// the commands are the main window's, and a list view that got an
// accelerator's WM_COMMAND would drop it.
bool TranslateMainWindowKeys(MSG *message)
{
    return TranslateAcceleratorW(g_win.main_window, g_win.accelerators, message) != 0;
}

const wchar_t *MainWindowTitle()
{
    return g_win.title;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_APP_RUN_UI_CALL:
        RunWaitingCall(lparam);
        return 0;
    case WM_COMMAND:
        if (!g_win.command_handler)
            return DefWindowProcW(window, message, wparam, lparam);
        return g_win.command_handler(window, wparam, lparam);
    case WM_APP_JOB_ENDED:
        if (g_win.job_end_handler)
            g_win.job_end_handler(int32_t(wparam));
        ++g_win.jobs_ended;
        return 0;
    case WM_APP_COUNT_JOBS_ENDED:
        return g_win.jobs_ended;
    case WM_INITMENU:
    case WM_INITMENUPOPUP:
        // Not the window menu (high word of lParam set): its items are the system's.
        if ((message == WM_INITMENUPOPUP && HIWORD(lparam)) || !g_win.menu_popup_handler)
            return DefWindowProcW(window, message, wparam, lparam);
        g_win.menu_popup_handler(reinterpret_cast<HMENU>(wparam));
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wparam) != WA_INACTIVE)
            ClearTaskbarAlert();
        return DefWindowProcW(window, message, wparam, lparam);
    case WM_DROPFILES:
        HandleDrop(reinterpret_cast<HDROP>(wparam));
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wparam) != ResultListHandle())
            return DefWindowProcW(window, message, wparam, lparam);
        ShowResultListMenu(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        return 0;
    case WM_NOTIFY:
        return HandleNotify(window, wparam, lparam);
    case WM_SIZE:
        LayOutForClientSize(window, lparam);
        return 0;
    case WM_DPICHANGED:
        ApplyDpiChange(window, wparam, reinterpret_cast<const RECT *>(lparam));
        return 0;
    case WM_TIMER:
        if (wparam != LIST_REDRAW_TIMER_ID)
            return DefWindowProcW(window, message, wparam, lparam);
        ResumeResultListRedraw(window);
        return 0;
    case WM_PAINT:
        PaintNothing(window);
        return 0;
    case WM_GETMINMAXINFO:
        SetMinimumTrackingSize(reinterpret_cast<MINMAXINFO *>(lparam));
        return 0;
    case WM_DESTROY:
        if (window == g_win.main_window)
            ForgetWindowHandles();
        PostQuitMessage(g_win.exit_code);
        return 0;
    case WM_NCDESTROY:
        ReleaseMainRecord(window);
        ForgetResultRows();
        ReleaseControlFonts();
        return DefWindowProcW(window, message, wparam, lparam);
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_VERSION_TEXT,
                        TALVOR_COMPANY_NAME ", Version " TALVOR_VERSION_TEXT);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wparam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void ShowAboutDialog()
{
    DialogBoxParamW(g_win.instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), g_win.main_window,
                    AboutDialogProc, 0);
}
