// Lists placed directly before a page that cannot be read: any read past the
// end of the text faults instead of passing unnoticed.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "checklist/checklist.h"

namespace {

struct GuardedText {
    char *base = nullptr;
    SIZE_T page = 0;

    GuardedText()
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page = info.dwPageSize;
        base = static_cast<char *>(
            VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base + page, page, PAGE_NOACCESS, &old);
    }
    ~GuardedText() { VirtualFree(base, 0, MEM_RELEASE); }

    // The text ends exactly where the unreadable page begins.
    const utf16 *Place(const std::wstring &text)
    {
        size_t bytes = text.size() * sizeof(utf16);
        char *start = base + page - bytes;
        std::memcpy(start, text.data(), bytes);
        return reinterpret_cast<const utf16 *>(start);
    }
};

int ParseGuarded(GuardedText &guard, const std::wstring &text)
{
    ParsedList list = {};
    int result = ParseChecksumList(guard.Place(text), text.size(), &list);
    int count = list.count;
    ReleaseParsedList(&list);
    return result == CHECKLIST_OK ? count : -1;
}

}  // namespace

TEST(ChecklistBounds, EveryCutOfEveryKindStaysInsideTheText)
{
    GuardedText guard;
    const std::wstring kinds = L"CESMH";
    for (wchar_t kind : kinds) {
        std::wstring digest(kind == L'C'   ? 8
                            : kind == L'E' ? 56
                            : kind == L'S' ? 64
                            : kind == L'M' ? 96
                                           : 128,
                            L'7');
        std::wstring line = std::wstring(1, kind) + L"\t" + digest + L"\tC:\\p.bin\r\n";
        for (size_t cut = 0; cut <= line.size(); ++cut) {
            std::wstring text = L"\xFEFF" + line.substr(0, cut);
            int expected = cut >= digest.size() + 2 ? 1 : 0;
            EXPECT_EQ(ParseGuarded(guard, text), expected) << char(kind) << " cut at " << cut;
        }
    }
    EXPECT_EQ(ParseGuarded(guard, L"SMEHC"), 0);
    EXPECT_EQ(ParseGuarded(guard, L"C\t12345678\tpath without end"), 1);
    EXPECT_EQ(ParseGuarded(guard, std::wstring(L"C\t12345678\t") + std::wstring(1000, L'\n')), 1);
}
