// Copying result rows: Ctrl+A and Ctrl+C through the accelerator table, the
// context menu's items, and what lands on the clipboard.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "window/display.h"
#include "window/window.h"
#include "window/window_record.h"
#include "tests/support/gui_harness.h"
#include "tests/support/job_harness.h"

namespace {

std::wstring ClipboardText()
{
    std::wstring text = L"<none>";
    if (!OpenClipboard(nullptr))
        return L"<closed>";
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data) {
        const wchar_t *units = static_cast<const wchar_t *>(GlobalLock(data));
        if (units)
            text = units;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const std::wstring &text)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

// Ctrl held in this thread's key state, as the accelerator translation
// reads it, while the key goes to the focused list.
void PressControlWith(char key)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] |= 0x80;
    SetKeyboardState(keys);
    PostMessageW(gui::ResultList(), WM_KEYDOWN, WPARAM(key), 1);
    gui::PumpFor(100);
    keys[VK_CONTROL] &= 0x7F;
    SetKeyboardState(keys);
}

void SelectRow(int row, bool selected)
{
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    SendMessageW(gui::ResultList(), LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(&item));
}

int SelectedCount()
{
    return int(SendMessageW(gui::ResultList(), LVM_GETSELECTEDCOUNT, 0, 0));
}

// The texts of the popup menu that opens, read from a helper thread while the
// menu's own loop runs, then closed with Escape.
DWORD WINAPI ReadPopupMenu(LPVOID parameter)
{
    std::wstring *texts = static_cast<std::wstring *>(parameter);
    HWND popup = gui::WaitForWindow(L"#32768", L"", 5000);
    if (!popup)
        return 0;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, UINT(i), text, 64, MF_BYPOSITION);
        UINT state = GetMenuState(menu, UINT(i), MF_BYPOSITION);
        *texts += std::wstring(text) + ((state & MF_GRAYED) ? L" (greyed)" : L"") + L";";
    }
    PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    return 0;
}

std::wstring ContextMenuTexts()
{
    std::wstring texts;
    HANDLE reader = CreateThread(nullptr, 0, ReadPopupMenu, &texts, 0, nullptr);
    PostMessageW(g_win.main_window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(gui::ResultList()),
                 MAKELPARAM(10, 10));
    gui::PumpUntil([&] { return WaitForSingleObject(reader, 0) == WAIT_OBJECT_0; }, 10000);
    CloseHandle(reader);
    return texts;
}

class CopyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestWindow();
        ClearResultList();
        // Newest on top: shown as c, b, a.
        AddResultRow(L"C:\\a.txt", L"364B3FB7", L"Created");
        AddResultRow(L"C:\\b \u00e9.txt", L"E3069283", L"OK");
        AddResultRow(L"C:\\c.txt", L"", L"ERROR");
        SetFocus(gui::ResultList());
    }
};

}  // namespace

TEST_F(CopyTest, ControlAAndControlCCopyEveryRowInTheOrderShown)
{
    SetClipboardText(L"before");
    PressControlWith('C');
    EXPECT_EQ(ClipboardText(), L"before") << "nothing selected, nothing copied";

    PressControlWith('A');
    EXPECT_EQ(SelectedCount(), 3);
    PressControlWith('C');
    EXPECT_EQ(
        ClipboardText(),
        L"C:\\c.txt\t\tERROR\r\nC:\\b \u00e9.txt\tE3069283\tOK\r\nC:\\a.txt\t364B3FB7\tCreated");
}

TEST_F(CopyTest, TheContextMenuCopiesRowsOrDigestsOfTheSelection)
{
    EXPECT_EQ(ContextMenuTexts(), L"Copy (greyed);Copy digest (greyed);");
    SelectRow(0, true);
    SelectRow(2, true);
    EXPECT_EQ(ContextMenuTexts(), L"Copy;Copy digest;");

    SendMessageW(g_win.main_window, WM_COMMAND, ID_EDIT_COPY, 0);
    EXPECT_EQ(ClipboardText(), L"C:\\c.txt\t\tERROR\r\nC:\\a.txt\t364B3FB7\tCreated");
    SendMessageW(g_win.main_window, WM_COMMAND, ID_EDIT_COPY_DIGEST, 0);
    EXPECT_EQ(ClipboardText(), L"\r\n364B3FB7");
}

// Not a timing assertion: the time is printed for the record, the content is
// what is checked.
TEST_F(CopyTest, AHundredThousandRowsCopyWhole)
{
    const int rows = 100000;
    // Rows reach the list as a job hands them over: records whose texts stay
    // with the caller, the last record on top.
    std::vector<std::wstring> paths(rows);
    std::vector<DisplayRow> records(rows);
    for (int i = 0; i < rows; ++i) {
        wchar_t path[64];
        std::swprintf(path, 64, L"C:\\data\\folder %06d\\file.bin", i);
        paths[i] = path;
        records[rows - 1 - i] = {
            paths[i].c_str(), L"3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532",
            L"OK"};
    }
    ClearResultList();
    ASSERT_TRUE(AddResultRows(records.data(), rows));
    SelectAllResultRows();
    ASSERT_EQ(SelectedCount(), rows);

    LARGE_INTEGER start, end, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    ASSERT_EQ(CopyResultRows(COPY_WHOLE_ROWS), 1);
    QueryPerformanceCounter(&end);
    std::printf("copied %d rows in %.1f ms\n", rows,
                1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));

    std::wstring text = ClipboardText();
    const size_t line = std::wstring(L"C:\\data\\folder 000000\\file.bin\t").size() + 64 + 3;
    EXPECT_EQ(text.size(), rows * (line + 2) - 2);
    EXPECT_EQ(text.substr(0, line),
              L"C:\\data\\folder 000000\\file.bin\t"
              L"3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532\tOK");
    EXPECT_EQ(text.substr(text.size() - line),
              L"C:\\data\\folder 099999\\file.bin\t"
              L"3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532\tOK");
    ClearResultList();
}
