#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "app/app.h"
#include "fileio/fileio.h"
#include "jobs/jobs.h"
#include "window/window.h"

namespace {

constexpr int PATH_COLUMN = 0;
constexpr int STATUS_COLUMN = 2;
constexpr int SUMMARY_UNITS = 200;

// Appends text to a growing UTF-8 buffer; false once memory ran out, after
// which it takes nothing more.
struct Utf8Text {
    char *bytes;
    size_t used;
    size_t capacity;
    bool failed;
};

void AppendUtf8(Utf8Text *text, const wchar_t *units)
{
    if (text->failed)
        return;
    // Unpaired surrogates become U+FFFD; a UTF-16 unit is at most 3 bytes.
    size_t length = std::wcslen(units);
    size_t room = 3 * length;
    if (text->capacity - text->used < room + 1) {
        size_t grown = 2 * (text->capacity + room + 64);
        char *moved = static_cast<char *>(std::realloc(text->bytes, grown));
        if (!moved) {
            text->failed = true;
            return;
        }
        text->bytes = moved;
        text->capacity = grown;
    }
    if (length > 0)
        text->used +=
            size_t(WideCharToMultiByte(CP_UTF8, 0, units, int(length), text->bytes + text->used,
                                       int(text->capacity - text->used), nullptr, nullptr));
}

bool IsGoodStatus(const wchar_t *status)
{
    return std::wcscmp(status, L"OK") == 0 || std::wcscmp(status, L"Created") == 0;
}

// The job's summary line for the report.
void ComposeSummaryLine(int32_t outcome, int rows, wchar_t summary[SUMMARY_UNITS])
{
    int good = 0;
    for (int row = 0; row < rows; ++row)
        if (IsGoodStatus(ResultCellText(row, STATUS_COLUMN)))
            ++good;
    std::swprintf(summary, SUMMARY_UNITS, L"%ls: %d OK, %d not OK",
                  outcome == JOB_OUTCOME_OK ? L"OK" : L"BAD", good, rows - good);
}

}  // namespace

char *ComposeJobReport(int32_t outcome, size_t *bytes)
{
    int rows = int(SendMessageW(ResultListHandle(), LVM_GETITEMCOUNT, 0, 0));
    wchar_t summary[SUMMARY_UNITS];
    ComposeSummaryLine(outcome, rows, summary);
    Utf8Text text = {};
    AppendUtf8(&text, summary);
    AppendUtf8(&text, L"\r\n");
    // The rows in the order the job made them: the oldest is at the bottom.
    for (int row = rows - 1; row >= 0; --row) {
        const wchar_t *status = ResultCellText(row, STATUS_COLUMN);
        if (IsGoodStatus(status))
            continue;
        AppendUtf8(&text, status);
        AppendUtf8(&text, L"\t");
        AppendUtf8(&text, ResultCellText(row, PATH_COLUMN));
        AppendUtf8(&text, L"\r\n");
    }
    if (text.failed) {
        std::free(text.bytes);
        return nullptr;
    }
    *bytes = text.used;
    return text.bytes;
}

int WriteJobReport(const wchar_t *path, int32_t outcome)
{
    size_t bytes = 0;
    char *report = ComposeJobReport(outcome, &bytes);
    int result = report ? ReplaceFileWhole(path, report, bytes) : FILE_ERR_IO;
    std::free(report);
    return result;
}
