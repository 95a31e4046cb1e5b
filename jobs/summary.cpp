#include "worker.h"

#include <shlwapi.h>

#include <cstdio>
#include <cwchar>
#include <iterator>

namespace {

// The statuses a summary lists for each kind of job, problems first.
const RowStatus kCheckStatuses[] = {ROW_MISMATCH, ROW_MISSING, ROW_ERROR, ROW_OK};
const RowStatus kScanStatuses[] = {ROW_ERROR, ROW_CREATED};
const RowStatus kUpdateStatuses[] = {ROW_ERROR, ROW_MISSING, ROW_CREATED};

// The text as it grows, always terminated and never past its room.
struct SummaryText {
    wchar_t *units;
    size_t capacity;
    size_t count;
};

void Append(SummaryText *text, const wchar_t *part)
{
    while (*part && text->count + 1 < text->capacity)
        text->units[text->count++] = *part++;
    text->units[text->count] = 0;
}

// The grouping of the user's locale, "3;0" style, as NUMBERFMT wants it:
// 3 for "3;0", 32 for "3;2;0"; 3 when the locale does not say.
UINT LocaleGrouping()
{
    wchar_t groups[16];
    if (!GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SGROUPING, groups, 16))
        return 3;
    UINT grouping = 0;
    for (const wchar_t *c = groups; *c; ++c)
        if (*c >= L'1' && *c <= L'9')
            grouping = grouping * 10 + UINT(*c - L'0');
    // A closing ";0" repeats the last group; without it a trailing digit
    // group stands alone, which NUMBERFMT writes with a closing 0.
    size_t length = std::wcslen(groups);
    bool repeats = length >= 2 && groups[length - 1] == L'0' && groups[length - 2] == L';';
    return repeats || grouping == 0 ? grouping : grouping * 10;
}

// A whole number with the user's digit grouping; plain digits when the
// locale cannot be asked.
void AppendCount(SummaryText *text, uint64_t count)
{
    wchar_t digits[32];
    std::swprintf(digits, 32, L"%llu", static_cast<unsigned long long>(count));
    wchar_t thousands[8] = L",";
    wchar_t decimal[8] = L".";
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8);
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
    // LeadingZero 1: with 0 Wine writes nothing at all for the count 0.
    NUMBERFMTW format = {0, 1, LocaleGrouping(), decimal, thousands, 1};
    wchar_t grouped[64];
    if (GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits, &format, grouped, 64) > 0)
        Append(text, grouped);
    else
        Append(text, digits);
}

// "412 GB", "1.20 MB", "512 bytes": Explorer's own rendering.
void AppendSize(SummaryText *text, uint64_t bytes)
{
    wchar_t size[32];
    if (StrFormatByteSizeW(LONGLONG(bytes), size, 32))
        Append(text, size);
    else
        AppendCount(text, bytes);
}

// Tenths of a second below 10 s, whole seconds below a minute, minutes and
// seconds below 10 min, then minutes, then hours and minutes.
void AppendDuration(SummaryText *text, uint64_t ms)
{
    wchar_t part[48];
    uint64_t s = ms / 1000;
    if (ms < 10000)
        std::swprintf(part, 48, L"%llu.%llu s", s, (ms % 1000) / 100);
    else if (s < 60)
        std::swprintf(part, 48, L"%llu s", s);
    else if (s < 600)
        std::swprintf(part, 48, L"%llu min %llu s", s / 60, s % 60);
    else if (s < 3600)
        std::swprintf(part, 48, L"%llu min", s / 60);
    else
        std::swprintf(part, 48, L"%llu h %llu min", s / 3600, (s / 60) % 60);
    Append(text, part);
}

// "3 MISMATCH"
void AppendStatusCount(SummaryText *text, const JobTally *tally, RowStatus status)
{
    AppendCount(text, uint64_t(tally->rows[status]));
    Append(text, L" ");
    Append(text, RowStatusText(status));
}

}  // namespace

size_t ComposeJobSummary(const JobTally *tally, wchar_t *out, size_t units)
{
    if (units == 0)
        return 0;
    SummaryText text = {out, units, 0};
    out[0] = 0;
    if (tally->stopped) {
        Append(&text, L"Stopped after ");
        AppendCount(&text, uint64_t(tally->files_done));
        Append(&text, L" of ");
        AppendCount(&text, uint64_t(tally->files));
        Append(&text, L" files: ");
    } else {
        Append(&text, JobPhaseText(tally->outcome));
        Append(&text, L": ");
    }
    bool check = tally->job == JOB_CHECK;
    bool update = tally->job == JOB_UPDATE;
    const RowStatus *statuses = check ? kCheckStatuses : update ? kUpdateStatuses : kScanStatuses;
    size_t count = check    ? std::size(kCheckStatuses)
                   : update ? std::size(kUpdateStatuses)
                            : std::size(kScanStatuses);
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            Append(&text, L", ");
        AppendStatusCount(&text, tally, statuses[i]);
    }
    // A check lists new files only when asked to, and says so only then.
    if (check && tally->rows[ROW_NEW] > 0) {
        Append(&text, L", ");
        AppendStatusCount(&text, tally, ROW_NEW);
    }
    Append(&text, L"; ");
    AppendSize(&text, tally->bytes_read);
    Append(&text, L" in ");
    AppendDuration(&text, tally->elapsed_ms);
    return text.count;
}
