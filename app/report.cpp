#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "app/app.h"
#include "fileio/fileio.h"
#include "jobs/jobs.h"
#include "window/window.h"

namespace {

// A growing UTF-8 text; `failed` once memory ran out, after which it takes
// nothing more.
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
    if (!ReserveArray(&text->bytes, &text->capacity, int64_t(text->used + room + 1), 4096)) {
        text->failed = true;
        return;
    }
    if (length > 0)
        text->used +=
            size_t(WideCharToMultiByte(CP_UTF8, 0, units, int(length), text->bytes + text->used,
                                       int(text->capacity - text->used), nullptr, nullptr));
}

}  // namespace

char *ComposeJobReport(size_t *bytes)
{
    wchar_t summary[JOB_SUMMARY_UNITS];
    ComposeJobSummary(&g_app.tally, summary, JOB_SUMMARY_UNITS);
    Utf8Text text = {};
    AppendUtf8(&text, summary);
    AppendUtf8(&text, L"\r\n");
    int32_t count = StoredResultRowCount();
    for (int32_t index = 0; index < count; ++index) {
        RowStatus status = ROW_OK;
        const DisplayRow *row = StoredResultRow(index, &status);
        if (!IsProblemStatus(status))
            continue;
        AppendUtf8(&text, row->status);
        AppendUtf8(&text, L"\t");
        AppendUtf8(&text, row->path);
        AppendUtf8(&text, L"\r\n");
    }
    if (text.failed) {
        std::free(text.bytes);
        return nullptr;
    }
    *bytes = text.used;
    return text.bytes;
}

int WriteJobReport(const wchar_t *path)
{
    size_t bytes = 0;
    char *report = ComposeJobReport(&bytes);
    int result = report ? ReplaceFileWhole(path, report, bytes) : FILE_ERR_IO;
    std::free(report);
    return result;
}
