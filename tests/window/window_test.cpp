#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "window/window.h"
#include "window/window_record.h"
#include "jobs/jobs.h"
#include "window/path_order.h"
#include "tests/support/gui_harness.h"
#include "tests/support/scratch.h"

namespace {

// Dismisses the About box from a helper thread while the test thread sits in
// its modal loop; records what the box showed.
struct AboutObservation {
    bool found = false;
    std::string version_text;
    bool has_icon = false;
};

enum class Dismissal { Ok, Escape, CloseBox };

std::thread DismissAboutBox(AboutObservation *seen, Dismissal how)
{
    return std::thread([seen, how] {
        HWND dialog = gui::WaitForWindow(L"#32770", L"About Ostrik");
        if (!dialog)
            return;
        seen->found = true;
        char text[128] = {};
        GetDlgItemTextA(dialog, IDC_VERSION_TEXT, text, sizeof text);
        seen->version_text = text;
        HWND icon = GetWindow(dialog, GW_CHILD);
        seen->has_icon = SendMessageW(icon, STM_GETICON, 0, 0) != 0;
        switch (how) {
        case Dismissal::Ok:
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            break;
        case Dismissal::Escape:
            PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
            break;
        case Dismissal::CloseBox:
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        }
    });
}

INT_PTR RunAboutBox(Dismissal how, AboutObservation *seen)
{
    std::thread helper = DismissAboutBox(seen, how);
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX),
                                     gui::MainWindow(), AboutDialogProc, 0);
    helper.join();
    return result;
}

// The window's pixel sizes at the DPIs the tests run at: 96 in every run, 144
// in the run whose prefix is set to it (window_test_144dpi).
struct DpiSizes {
    UINT dpi;
    SIZE min_frame;  // also the initial frame
    int band;        // the progress bar's height, where the result list starts
    int margin;      // how much shorter than the client area the result list is
};

const DpiSizes kAt96Dpi = {96, {500, 400}, 20, 42};
const DpiSizes kAt144Dpi = {144, {750, 600}, 30, 63};

void ExpectLayoutFor(SIZE client, const DpiSizes &sizes = kAt96Dpi)
{
    RECT progress = gui::ChildRect(g_win.progress_bar);
    EXPECT_EQ(progress.left, 0);
    EXPECT_EQ(progress.top, 0);
    EXPECT_EQ(progress.right, client.cx);
    EXPECT_EQ(progress.bottom, sizes.band);

    RECT list = gui::ChildRect(gui::ResultList());
    EXPECT_EQ(list.left, 0);
    EXPECT_EQ(list.top, sizes.band);
    EXPECT_EQ(list.right, client.cx);
    EXPECT_EQ(list.bottom - list.top, client.cy - sizes.margin);

    RECT status = gui::ChildRect(g_win.status_bar);
    EXPECT_EQ(status.left, 0);
    EXPECT_EQ(status.right, client.cx);
    EXPECT_EQ(status.bottom, client.cy);
}

void ExpectColumnsAndPartsFromTheClientWidth()
{
    int client_width = gui::ClientSize().cx;
    int widths[3];
    ComputeColumnWidths(client_width, widths);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(gui::ColumnWidth(i), widths[i]) << "column " << i;
    int edges[4];
    ComputeStatusPartEdges(client_width, edges);
    std::vector<int> parts = gui::StatusPartEdges();
    ASSERT_EQ(parts.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(parts[i], edges[i]) << "part " << i;
    EXPECT_EQ(parts[3], -1);
}

TEST(MainWindow, ComesUpWithItsControlsSizedFromTheClientWidth)
{
    int widths[3];
    ComputeColumnWidths(484, widths);
    EXPECT_EQ(widths[0], 242);
    EXPECT_EQ(widths[1], 161);
    EXPECT_EQ(widths[2], 60);
    int edges[4];
    ComputeStatusPartEdges(484, edges);
    EXPECT_EQ(edges[0], 121);
    EXPECT_EQ(edges[1], 266);
    EXPECT_EQ(edges[2], 403);
    EXPECT_EQ(edges[3], -1);

    ASSERT_EQ(gui::Start(L"talvor.exe"), 1);
    HWND main = gui::MainWindow();
    wchar_t caption[64] = {};
    GetWindowTextW(main, caption, 64);
    EXPECT_STREQ(caption, L"TALVOR CRC Check");
    RECT frame;
    GetWindowRect(main, &frame);
    EXPECT_EQ(frame.right - frame.left, 500);
    EXPECT_EQ(frame.bottom - frame.top, 400);
    EXPECT_EQ(GetDlgCtrlID(gui::ResultList()), 6990);
    EXPECT_EQ(GetDlgCtrlID(g_win.status_bar), 11990);
    EXPECT_EQ(GetDlgCtrlID(g_win.progress_bar), 12990);
    // Created in this order: progress bar, status bar, result list.
    EXPECT_EQ(GetWindow(main, GW_CHILD), g_win.progress_bar);
    EXPECT_EQ(GetWindow(g_win.progress_bar, GW_HWNDNEXT), g_win.status_bar);
    EXPECT_EQ(GetWindow(g_win.status_bar, GW_HWNDNEXT), gui::ResultList());

    ExpectColumnsAndPartsFromTheClientWidth();

    bool popout = false;
    std::wstring engine = gui::StatusText(0, &popout);
    EXPECT_TRUE(engine == L"SSE4.2 HW" || engine == L"SSE4.2 SW");
    EXPECT_EQ(engine == L"SSE4.2 HW", g_app.sse42 == 1);
    EXPECT_TRUE(popout);
    EXPECT_EQ(gui::StatusText(1, &popout), L"");
    EXPECT_TRUE(popout);
    EXPECT_EQ(gui::StatusText(2, &popout), L"");
    EXPECT_TRUE(popout);
    EXPECT_EQ(gui::StatusText(3, &popout), L"Ready");
    EXPECT_TRUE(popout);
    EXPECT_EQ(gui::ProgressMin(), 0);
    EXPECT_EQ(gui::ProgressMax(), 100);
    EXPECT_EQ(gui::ProgressPos(), 0);
    EXPECT_EQ(gui::RowCount(), 0);

    LVCOLUMNW column = {};
    wchar_t header[32];
    column.mask = LVCF_TEXT;
    column.pszText = header;
    column.cchTextMax = 32;
    const wchar_t *expected_headers[3] = {L"Path", L"CRC", L"Status"};
    for (int i = 0; i < 3; ++i) {
        SendMessageW(gui::ResultList(), LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        EXPECT_STREQ(header, expected_headers[i]);
    }

    // The manifest asks for the version 6 common controls, which load from
    // the side-by-side store. (Wine's copy reports 5.81 from DllGetVersion,
    // so the version number cannot tell.)
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), module, MAX_PATH);
    CharLowerW(module);
    EXPECT_NE(wcsstr(module, L"microsoft.windows.common-controls_6595b64144ccf1df_6."), nullptr)
        << module;
    EXPECT_EQ(gui::Close(), 0);
}

TEST(MainWindow, MenuStartsWithTheResourceStates)
{
    ASSERT_EQ(gui::Start(L"talvor.exe", SW_HIDE), 1);
    for (UINT id : {ID_FILE_SCAN, ID_FILE_CHECK, ID_FILE_UPDATE, ID_FILE_SAVE, IDM_EXIT, IDM_ABOUT,
                    ID_OPTIONS_SHA3_224, ID_OPTIONS_SHA3_384, ID_OPTIONS_SHA3_512, ID_OPTIONS_CRC32,
                    ID_OPTIONS_NEW_FILES})
        EXPECT_EQ(gui::MenuState(id) & (MF_GRAYED | MF_CHECKED), 0u) << id;
    EXPECT_EQ(gui::MenuState(ID_OPTIONS_SHA3_256) & (MF_GRAYED | MF_CHECKED), UINT(MF_CHECKED));
    EXPECT_EQ(gui::MenuState(ID_OPTIONS_AUTOMODE) & (MF_GRAYED | MF_CHECKED), UINT(MF_GRAYED));
    EXPECT_EQ(gui::MenuState(ID_OPTIONS_HIDDEN) & (MF_GRAYED | MF_CHECKED),
              UINT(MF_GRAYED | MF_CHECKED));
    HMENU bar = GetMenu(gui::MainWindow());
    ASSERT_EQ(GetMenuItemCount(bar), 4);
    wchar_t text[64];
    const wchar_t *popups[4] = {L"&File", L"&Options", L"&View", L"&Help"};
    for (int i = 0; i < 4; ++i) {
        GetMenuStringW(bar, i, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, popups[i]);
    }
    GetMenuStringW(bar, IDM_ABOUT, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"&About ...");
    GetMenuStringW(bar, ID_OPTIONS_HIDDEN, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"Check &hidden and system files");
    GetMenuStringW(bar, ID_OPTIONS_NEW_FILES, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"Also list &new files");
    GetMenuStringW(bar, ID_FILE_UPDATE, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"&Update list...");
    EXPECT_EQ(gui::Close(), 0);
}

TEST(MainWindow, ResizingKeepsTheBandsAndNotTheColumns)
{
    ASSERT_EQ(gui::Start(L"talvor.exe"), 1);
    HWND main = gui::MainWindow();
    int widths[3] = {gui::ColumnWidth(0), gui::ColumnWidth(1), gui::ColumnWidth(2)};
    std::vector<int> parts = gui::StatusPartEdges();
    ExpectLayoutFor(gui::ClientSize());

    const SIZE sizes[] = {{900, 700}, {640, 480}, {1200, 420}, {520, 900}};
    for (SIZE size : sizes) {
        MoveWindow(main, 10, 10, size.cx, size.cy, TRUE);
        gui::PumpFor(50);
        SCOPED_TRACE(size.cx);
        ExpectLayoutFor(gui::ClientSize());
        EXPECT_EQ(gui::ColumnWidth(0), widths[0]);
        EXPECT_EQ(gui::ColumnWidth(1), widths[1]);
        EXPECT_EQ(gui::ColumnWidth(2), widths[2]);
        EXPECT_EQ(gui::StatusPartEdges(), parts);
    }

    // Smaller than the minimum tracking size is refused when dragging.
    MINMAXINFO limits = {};
    SendMessageW(main, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, 500);
    EXPECT_EQ(limits.ptMinTrackSize.y, 400);
    SetWindowPos(main, nullptr, 0, 0, 200, 150, SWP_NOZORDER | SWP_NOMOVE);
    RECT frame;
    GetWindowRect(main, &frame);
    EXPECT_GE(frame.right - frame.left, 500);
    EXPECT_GE(frame.bottom - frame.top, 400);
    EXPECT_EQ(gui::Close(), 0);
}

// Counts the result list's paints and the times its redraw is turned on, and
// notes how many rows the last paint had to show; the list's own procedure
// does the rest.
std::atomic<int> g_list_paints;
std::atomic<int> g_rows_at_last_paint;
std::atomic<int> g_redraws_resumed;
WNDPROC g_list_procedure;

LRESULT CALLBACK CountingListProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_SETREDRAW && wparam)
        ++g_redraws_resumed;
    if (message == WM_PAINT) {
        ++g_list_paints;
        g_rows_at_last_paint =
            static_cast<int>(CallWindowProcW(g_list_procedure, window, LVM_GETITEMCOUNT, 0, 0));
    }
    return CallWindowProcW(g_list_procedure, window, message, wparam, lparam);
}

// Rows arriving from a worker, a little apart as a job's rows do: the shown
// list repaints only when the redraw timer lets it, not once per row, and is
// painted again after the last row with every row in place, newest on top.
TEST(ResultList, RepaintsOnlyOnTheRedrawTimerWhileRowsArriveAndAfterTheLast)
{
    ASSERT_EQ(gui::Start(L"talvor.exe"), 1);
    HWND list = gui::ResultList();
    gui::PumpFor(100);
    g_list_procedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingListProc)));
    g_list_paints = 0;
    g_rows_at_last_paint = -1;
    g_redraws_resumed = 0;

    const int rows = 200;
    std::atomic<bool> added(false);
    std::thread worker([&] {
        ClearResultList();
        for (int i = 0; i < rows; ++i) {
            wchar_t path[32];
            std::swprintf(path, 32, L"C:\\row%03d.bin", i);
            AddResultRow(path, L"E3069283", L"Created");
            Sleep(1);
        }
        added = true;
    });
    ASSERT_TRUE(gui::PumpUntil([&] { return added.load(); }));
    worker.join();
    // Each time the redraw timer turns the redraw on again lets one repaint
    // through; the clearing and a paint still due from the window's showing
    // may bring two more.
    int paints_while_adding = g_list_paints;
    EXPECT_LE(paints_while_adding, g_redraws_resumed + 2) << g_redraws_resumed << " resumed";

    EXPECT_TRUE(gui::PumpUntil([&] { return g_rows_at_last_paint == rows; }, 2000))
        << "not painted after the last row";
    ASSERT_EQ(gui::RowCount(), rows);
    EXPECT_EQ(gui::Cell(0, 0), L"C:\\row199.bin");
    EXPECT_EQ(gui::Cell(rows - 1, 0), L"C:\\row000.bin");
    RECT top = {};
    top.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&top)));
    RECT client;
    GetClientRect(list, &client);
    EXPECT_GE(top.top, client.top);
    EXPECT_LT(top.bottom, client.bottom);

    SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_list_procedure));
    EXPECT_EQ(gui::Close(), 0);
}

TEST(AboutBox, ShowsTheVersionAndClosesByOkEscapeAndCloseBox)
{
    ASSERT_EQ(gui::Start(L"talvor.exe"), 1);
    AboutObservation seen;
    EXPECT_EQ(RunAboutBox(Dismissal::Ok, &seen), IDOK);
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(seen.version_text, "Ostrik, Version 0.24b.1537");
    EXPECT_TRUE(seen.has_icon);

    AboutObservation by_escape;
    EXPECT_EQ(RunAboutBox(Dismissal::Escape, &by_escape), IDCANCEL);
    EXPECT_TRUE(by_escape.found);

    AboutObservation by_close_box;
    EXPECT_EQ(RunAboutBox(Dismissal::CloseBox, &by_close_box), IDCANCEL);
    EXPECT_TRUE(by_close_box.found);
    EXPECT_EQ(gui::Close(), 0);
}

TEST(AboutBox, OpensFromTheMenuCommandAndTheAcceleratorsThenTheDispatcherRuns)
{
    ASSERT_EQ(gui::Start(L"talvor.exe"), 1);
    HWND main = gui::MainWindow();

    AboutObservation from_menu;
    std::thread helper = DismissAboutBox(&from_menu, Dismissal::Ok);
    PostMessageW(main, WM_COMMAND, IDM_ABOUT, 0);
    gui::PumpFor(200);
    helper.join();
    EXPECT_TRUE(from_menu.found);
    EXPECT_EQ(from_menu.version_text, "Ostrik, Version 0.24b.1537");

    // Alt held, then the character: the message loop's accelerator table
    // turns it into About, and the dispatcher still runs after that message.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    std::wstring folder = MakeScratchFolder();
    std::wstring file = PutFileIn(folder, L"a.txt", "123456789");
    for (wchar_t character : {L'?', L'/'}) {
        std::wstring option = L"-file=" + file;
        ASSERT_EQ(SetTargetPath(option.c_str(), 6), 0);
        g_app.hash_choice = HASH_CRC32C;
        AboutObservation from_key;
        std::thread dismisser = DismissAboutBox(&from_key, Dismissal::Ok);
        // The job is requested only now, so the first message the loop
        // fetches is the accelerator and the job runs right after it.
        MSG message = {};
        message.hwnd = main;
        message.message = WM_SYSCHAR;
        message.wParam = character;
        message.lParam = 0x20000001;
        g_app.pending_job = JOB_SINGLE_FILE;
        ProcessMessage(&message);
        dismisser.join();
        EXPECT_TRUE(from_key.found) << char(character);
        EXPECT_EQ(g_app.pending_job, 0);
        ASSERT_TRUE(gui::PumpUntilJobEnded());
        ASSERT_EQ(gui::RowCount(), 1);
        EXPECT_EQ(gui::Cell(0, 1), L"E3069283");
    }
    keys[VK_MENU] = 0;
    SetKeyboardState(keys);
    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(gui::Close(), 0);
}

TEST(MainWindow, ExitCloseBoxAndAltF4EndTheLoopWithExitCodeZero)
{
    ASSERT_EQ(gui::Start(L"talvor.exe", SW_HIDE), 1);
    PostMessageW(gui::MainWindow(), WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_EQ(g_win.main_window, nullptr);

    ASSERT_EQ(gui::Start(L"talvor.exe", SW_HIDE), 1);
    PostMessageW(gui::MainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(RunMessageLoop(), 0);

    ASSERT_EQ(gui::Start(L"talvor.exe", SW_HIDE), 1);
    PostMessageW(gui::MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(RunMessageLoop(), 0);

    ASSERT_EQ(gui::Start(L"talvor.exe", SW_HIDE), 1);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(gui::MainWindow(), WM_SYSKEYDOWN, VK_F4, 0x20000001);
    EXPECT_EQ(gui::PumpUntilQuit(), 0);
    keys[VK_MENU] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(g_win.main_window, nullptr);
}

UINT ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    return dpi;
}

SIZE FrameSize()
{
    RECT frame;
    GetWindowRect(gui::MainWindow(), &frame);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

SIZE MinimumTrackingSize()
{
    MINMAXINFO limits = {};
    SendMessageW(gui::MainWindow(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    return SIZE{limits.ptMinTrackSize.x, limits.ptMinTrackSize.y};
}

LONG FontHeight(HWND control)
{
    LOGFONTW font = {};
    HFONT handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    GetObjectW(handle, sizeof font, &font);
    return font.lfHeight;
}

// The controls' fonts at a DPI: the result list's is the icon-title font,
// the status bar's the status font.
void ExpectFontsFor(UINT dpi)
{
    LOGFONTW icon_title = {};
    ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETICONTITLELOGFONT, sizeof icon_title, &icon_title,
                                           0, dpi));
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(
        SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi));
    EXPECT_EQ(FontHeight(gui::ResultList()), icon_title.lfHeight) << dpi;
    EXPECT_EQ(FontHeight(g_win.status_bar), metrics.lfStatusFont.lfHeight) << dpi;
}

// Null when the screen is at neither DPI, or not at the one the run asked the
// prefix for (a run at 144 must not pass by having been at 96).
const DpiSizes *SizesAtScreenDpi()
{
    UINT dpi = ScreenDpi();
    const char *wanted = std::getenv("TALVOR_TEST_DPI");
    if (wanted && static_cast<UINT>(std::atoi(wanted)) != dpi)
        return nullptr;
    return dpi == 96 ? &kAt96Dpi : dpi == 144 ? &kAt144Dpi : nullptr;
}

// The X server confirms a new window's first placement a moment after it is
// shown; under load that confirmation could otherwise arrive after the move a
// test makes and put the old size back.
void LetFirstPlacementSettle()
{
    gui::PumpFor(300);
}

// Also run with the prefix at 144 DPI, where the manifest's DPI awareness
// gets the window drawn at that DPI rather than stretched from 96.
TEST(WindowDpi, SizesAndFontsFollowTheScreenDpi)
{
    const DpiSizes *sizes = SizesAtScreenDpi();
    ASSERT_NE(sizes, nullptr) << "screen DPI " << ScreenDpi();
    ASSERT_EQ(gui::Start(L"talvor.exe"), 1);
    EXPECT_EQ(FrameSize().cx, sizes->min_frame.cx);
    EXPECT_EQ(FrameSize().cy, sizes->min_frame.cy);
    EXPECT_EQ(MinimumTrackingSize().cx, sizes->min_frame.cx);
    EXPECT_EQ(MinimumTrackingSize().cy, sizes->min_frame.cy);
    ExpectColumnsAndPartsFromTheClientWidth();
    ExpectLayoutFor(gui::ClientSize(), *sizes);
    ExpectFontsFor(sizes->dpi);

    LetFirstPlacementSettle();
    MoveWindow(gui::MainWindow(), 0, 0, sizes->min_frame.cx + 300, sizes->min_frame.cy + 200, TRUE);
    gui::PumpFor(50);
    ExpectLayoutFor(gui::ClientSize(), *sizes);
    SetWindowPos(gui::MainWindow(), nullptr, 0, 0, 200, 150, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_GE(FrameSize().cx, sizes->min_frame.cx);
    EXPECT_GE(FrameSize().cy, sizes->min_frame.cy);
    EXPECT_EQ(gui::Close(), 0);
}

// What the system sends when the window is dragged onto a screen of another
// DPI: the window takes the suggested rectangle, every pixel size and font
// follows the new DPI, and the columns and status-bar parts keep their look.
TEST(WindowDpi, MovingToAScreenOfAnotherDpiRescalesTheWindow)
{
    const DpiSizes *from = SizesAtScreenDpi();
    ASSERT_NE(from, nullptr) << "screen DPI " << ScreenDpi();
    const DpiSizes *to = from == &kAt96Dpi ? &kAt144Dpi : &kAt96Dpi;
    ASSERT_EQ(gui::Start(L"talvor.exe"), 1);
    HWND main = gui::MainWindow();
    int widths[3] = {gui::ColumnWidth(0), gui::ColumnWidth(1), gui::ColumnWidth(2)};
    std::vector<int> parts = gui::StatusPartEdges();

    LetFirstPlacementSettle();
    RECT suggested = {30, 40, 30 + to->min_frame.cx + 90, 40 + to->min_frame.cy + 60};
    SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(to->dpi, to->dpi),
                 reinterpret_cast<LPARAM>(&suggested));
    gui::PumpFor(50);
    RECT frame;
    GetWindowRect(main, &frame);
    EXPECT_EQ(frame.left, suggested.left);
    EXPECT_EQ(frame.top, suggested.top);
    EXPECT_EQ(FrameSize().cx, suggested.right - suggested.left);
    EXPECT_EQ(FrameSize().cy, suggested.bottom - suggested.top);
    EXPECT_EQ(MinimumTrackingSize().cx, to->min_frame.cx);
    EXPECT_EQ(MinimumTrackingSize().cy, to->min_frame.cy);
    ExpectLayoutFor(gui::ClientSize(), *to);
    ExpectFontsFor(to->dpi);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(gui::ColumnWidth(i), MulDiv(widths[i], to->dpi, from->dpi)) << "column " << i;
    std::vector<int> rescaled = gui::StatusPartEdges();
    ASSERT_EQ(rescaled.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(rescaled[i], MulDiv(parts[i], to->dpi, from->dpi)) << "part " << i;
    EXPECT_EQ(rescaled[3], -1);
    EXPECT_EQ(gui::Close(), 0);
}

}  // namespace

namespace {

// The column a click sorts by, as the header itself reports it.
int ArrowedColumn(bool *descending)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(gui::ResultList(), LVM_GETHEADER, 0, 0));
    int arrowed = -1;
    for (int column = 0; column < 3; ++column) {
        HDITEMW item = {};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, WPARAM(column), reinterpret_cast<LPARAM>(&item));
        if (item.fmt & (HDF_SORTUP | HDF_SORTDOWN)) {
            EXPECT_EQ(arrowed, -1) << "two arrows";
            arrowed = column;
            *descending = (item.fmt & HDF_SORTDOWN) != 0;
        }
    }
    return arrowed;
}

// A click on a header, as the list reports it to its parent.
void ClickHeader(int column)
{
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = gui::ResultList();
    click.hdr.idFrom = ID_RESULT_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageW(gui::MainWindow(), WM_NOTIFY, ID_RESULT_LIST, reinterpret_cast<LPARAM>(&click));
}

// The shown rows' paths, top first, with only their names.
std::wstring ShownNames()
{
    std::wstring names;
    for (int row = 0; row < gui::RowCount(); ++row) {
        std::wstring path = gui::Cell(row, 0);
        names += (row ? L" " : L"") + path.substr(path.rfind(L'\\') + 1);
    }
    return names;
}

// The order and filter outlive a window; each case starts from the design.
void StartWithTheDesignedView()
{
    ASSERT_EQ(gui::Start(L"talvor.exe", SW_SHOW), 1);
    SortResultRows(-1, false);
    ShowProblemsOnly(false);
}

void Command(WORD id)
{
    SendMessageW(gui::MainWindow(), WM_COMMAND, id, 0);
}

int FocusedRow()
{
    return int(SendMessageW(gui::ResultList(), LVM_GETNEXTITEM, WPARAM(-1),
                            MAKELPARAM(LVNI_SELECTED | LVNI_FOCUSED, 0)));
}

UINT ViewItemState(UINT id)
{
    HMENU view = GetSubMenu(GetMenu(gui::MainWindow()), 2);
    SendMessageW(gui::MainWindow(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), 2);
    return GetMenuState(view, id, MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED);
}

std::wstring CopiedText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (const wchar_t *units = data ? static_cast<const wchar_t *>(GlobalLock(data)) : nullptr) {
        text = units;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

}  // namespace

// Each column sorts both ways and back to the newest on top; names that
// differ only in case or in a digit run keep Explorer's order.
TEST(ResultView, HeaderClicksSortReverseAndRestoreWithTheArrowShown)
{
    ASSERT_NO_FATAL_FAILURE(StartWithTheDesignedView());
    AddResultRow(L"C:\\d\\f10.txt", L"0000000A", L"OK");
    AddResultRow(L"C:\\d\\F2.txt", L"0000000B", L"MISMATCH");
    AddResultRow(L"C:\\d\\b.txt", L"00000001", L"MISSING");
    AddResultRow(L"C:\\d\\B.txt", L"00000003", L"Created");
    AddResultRow(L"C:\\d\\f2.txt", L"00000002", L"ERROR");
    const wchar_t designed[] = L"f2.txt B.txt b.txt F2.txt f10.txt";
    EXPECT_EQ(ShownNames(), designed);
    const wchar_t *ascending[3] = {L"B.txt b.txt F2.txt f2.txt f10.txt",
                                   L"b.txt f2.txt B.txt f10.txt F2.txt",
                                   L"F2.txt b.txt f2.txt f10.txt B.txt"};
    const wchar_t *descending[3] = {L"f10.txt f2.txt F2.txt b.txt B.txt",
                                    L"F2.txt f10.txt B.txt f2.txt b.txt",
                                    L"B.txt f10.txt f2.txt b.txt F2.txt"};
    bool down = false;
    for (int column = 0; column < 3; ++column) {
        ClickHeader(column);
        EXPECT_EQ(ShownNames(), ascending[column]) << column;
        EXPECT_EQ(ArrowedColumn(&down), column);
        EXPECT_FALSE(down);
        ClickHeader(column);
        EXPECT_EQ(ShownNames(), descending[column]) << column;
        EXPECT_EQ(ArrowedColumn(&down), column);
        EXPECT_TRUE(down);
        ClickHeader(column);
        EXPECT_EQ(ShownNames(), designed) << column;
        EXPECT_EQ(ArrowedColumn(&down), -1);
    }
    // Rows that arrive while sorted go where the order puts them.
    ClickHeader(0);
    AddResultRow(L"C:\\d\\f1.txt", L"00000009", L"OK");
    const DisplayRow later[] = {{L"C:\\d\\a.txt", L"00000008", L"MISMATCH"},
                                {L"C:\\d\\f3.txt", L"00000007", L"OK"}};
    AddResultRows(later, 2);
    EXPECT_EQ(ShownNames(), L"a.txt B.txt b.txt f1.txt F2.txt f2.txt f3.txt f10.txt");
    EXPECT_EQ(gui::Close(), 0);
}

// A whole list is sorted by keys, rows arriving later by comparison: both
// must give one order, on names made to hit every case the rule has
// (case, separators, leading zeros, digit runs long and short, ends).
TEST(ResultView, PathKeysOrderRowsAsThePathComparisonDoes)
{
    const wchar_t *pieces[] = {
        L"a",  L"A", L"b",      L"\\",     L"/",
        L".",  L"_", L"\u00e9", L"\u00c9", L"0",
        L"00", L"7", L"10",     L"009",    L"1234567890123456789012345678901234567"};
    std::vector<std::wstring> paths;
    uint32_t seed = 7;
    for (int i = 0; i < 4000; ++i) {
        std::wstring path;
        seed = seed * 1664525u + 1013904223u;
        for (uint32_t n = (seed >> 8) % 9, r = seed; n > 0; --n) {
            r = r * 1103515245u + 12345u;
            path += pieces[(r >> 16) % (sizeof(pieces) / sizeof(pieces[0]))];
        }
        paths.push_back(path);
    }
    paths.push_back(paths[10]);  // the same text twice: the newer row first
    std::vector<DisplayRow> store;
    std::vector<uint32_t> keyed, compared;
    for (size_t i = 0; i < paths.size(); ++i) {
        store.push_back(DisplayRow{paths[i].c_str(), L"", L"OK"});
        keyed.push_back(uint32_t(i));
    }
    compared = keyed;
    ASSERT_TRUE(SortRowsByPath(keyed.data(), int32_t(keyed.size()), store.data()));
    std::sort(compared.begin(), compared.end(), [&](uint32_t a, uint32_t b) {
        int order = ComparePaths(store[a].path, store[b].path);
        return order != 0 ? order < 0 : a > b;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        ASSERT_EQ(keyed[i], compared[i])
            << "at " << i << ": " << store[keyed[i]].path << " / " << store[compared[i]].path;
}

// The filter hides "OK" and "Created", Copy copies what is shown in its
// order, and F8 / Shift+F8 walk the problems round; the menu follows.
TEST(ResultView, ProblemsOnlyCopyAndProblemStepsWrap)
{
    ASSERT_NO_FATAL_FAILURE(StartWithTheDesignedView());
    EXPECT_EQ(ViewItemState(ID_VIEW_NEXT_PROBLEM), UINT(MF_GRAYED));
    EXPECT_EQ(ViewItemState(ID_VIEW_PREVIOUS_PROBLEM), UINT(MF_GRAYED));
    AddResultRow(L"C:\\d\\ok1", L"1", L"OK");
    Command(ID_VIEW_NEXT_PROBLEM);
    EXPECT_EQ(FocusedRow(), -1) << "no problem yet is still nothing";
    AddResultRow(L"C:\\d\\bad1", L"2", L"MISMATCH");
    AddResultRow(L"C:\\d\\ok2", L"3", L"Created");
    AddResultRow(L"C:\\d\\gone", L"4", L"MISSING");
    AddResultRow(L"C:\\d\\ok3", L"5", L"OK");
    EXPECT_EQ(ViewItemState(ID_VIEW_NEXT_PROBLEM), 0u);
    EXPECT_EQ(ViewItemState(ID_VIEW_PROBLEMS_ONLY), 0u);
    // Shown: ok3 gone ok2 bad1 ok1.
    Command(ID_VIEW_NEXT_PROBLEM);
    EXPECT_EQ(FocusedRow(), 1);
    Command(ID_VIEW_NEXT_PROBLEM);
    EXPECT_EQ(FocusedRow(), 3);
    Command(ID_VIEW_NEXT_PROBLEM);
    EXPECT_EQ(FocusedRow(), 1);
    Command(ID_VIEW_PREVIOUS_PROBLEM);
    EXPECT_EQ(FocusedRow(), 3);
    Command(ID_VIEW_PREVIOUS_PROBLEM);
    EXPECT_EQ(FocusedRow(), 1);
    EXPECT_EQ(SendMessageW(gui::ResultList(), LVM_GETSELECTEDCOUNT, 0, 0), 1);

    Command(ID_VIEW_PROBLEMS_ONLY);
    EXPECT_EQ(ViewItemState(ID_VIEW_PROBLEMS_ONLY), UINT(MF_CHECKED));
    EXPECT_EQ(ShownNames(), L"gone bad1");
    ClickHeader(0);
    Command(ID_EDIT_SELECT_ALL);
    Command(ID_EDIT_COPY);
    EXPECT_EQ(CopiedText(), L"C:\\d\\bad1\t2\tMISMATCH\r\nC:\\d\\gone\t4\tMISSING");
    Command(ID_EDIT_COPY_DIGEST);
    EXPECT_EQ(CopiedText(), L"2\r\n4");
    // Arriving rows pass the filter too, in the order shown.
    AddResultRow(L"C:\\d\\ok4", L"6", L"OK");
    AddResultRow(L"C:\\d\\c", L"7", L"ERROR");
    EXPECT_EQ(ShownNames(), L"bad1 c gone");
    Command(ID_VIEW_PREVIOUS_PROBLEM);
    EXPECT_EQ(FocusedRow(), 2);
    Command(ID_VIEW_PROBLEMS_ONLY);
    EXPECT_EQ(ViewItemState(ID_VIEW_PROBLEMS_ONLY), 0u);
    EXPECT_EQ(ShownNames(), L"bad1 c gone ok1 ok2 ok3 ok4");
    ClickHeader(0);
    ClickHeader(0);
    EXPECT_EQ(ShownNames(), L"c ok4 ok3 gone ok2 bad1 ok1");
    EXPECT_EQ(gui::Close(), 0);
}
