#include "tests/e2e/driver.h"

#include <commctrl.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

const wchar_t DRIVER_CLASS_NAME[] = L"TALVOR CRC Check";

// The records written into the scratch buffer go first, the text after them.
// Room for the longest path the program can show (32,767 units) and its NUL.
constexpr SIZE_T SCRATCH_RECORD_BYTES = 4096;
constexpr SIZE_T SCRATCH_TEXT_UNITS = 32768;
constexpr SIZE_T SCRATCH_BYTES = SCRATCH_RECORD_BYTES + SCRATCH_TEXT_UNITS * sizeof(wchar_t);
constexpr int MAX_STATUS_PARTS = 256;
// A single-file job keeps the program's window busy while it digests; one
// unanswered message must not count as a failure of the whole wait.
constexpr UINT MESSAGE_TIMEOUT_MS = 5000;
constexpr DWORD POLL_INTERVAL_MS = 50;

static void *RemoteRecord(const RemoteBuffer *buffer)
{
    return buffer->address;
}

static wchar_t *RemoteText(const RemoteBuffer *buffer)
{
    return (wchar_t *)((char *)buffer->address + SCRATCH_RECORD_BYTES);
}

int AllocRemoteBuffer(DWORD process_id, SIZE_T size, RemoteBuffer *buffer)
{
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                     PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE,
                                 FALSE, process_id);
    if (!process)
        return DRIVER_ERR_REMOTE;
    void *address =
        VirtualAllocEx(process, nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!address) {
        CloseHandle(process);
        return DRIVER_ERR_REMOTE;
    }
    buffer->process = process;
    buffer->address = address;
    buffer->size = size;
    return DRIVER_OK;
}

void FreeRemoteBuffer(RemoteBuffer *buffer)
{
    if (!buffer->process)
        return;
    VirtualFreeEx(buffer->process, buffer->address, 0, MEM_RELEASE);
    CloseHandle(buffer->process);
    buffer->process = nullptr;
    buffer->address = nullptr;
    buffer->size = 0;
}

bool WriteRemote(const RemoteBuffer *buffer, void *remote, const void *data, SIZE_T size)
{
    SIZE_T written = 0;
    return WriteProcessMemory(buffer->process, remote, data, size, &written) && written == size;
}

bool ReadRemote(const RemoteBuffer *buffer, const void *remote, void *data, SIZE_T size)
{
    SIZE_T read = 0;
    return ReadProcessMemory(buffer->process, remote, data, size, &read) && read == size;
}

bool SendToWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT *result)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             MESSAGE_TIMEOUT_MS, &answer))
        return false;
    *result = (LRESULT)answer;
    return true;
}

// Copies `units` units of the remote text area plus a NUL into a new buffer.
static wchar_t *FetchRemoteText(const RemoteBuffer *buffer, SIZE_T units)
{
    wchar_t *text = (wchar_t *)malloc((units + 1) * sizeof(wchar_t));
    if (!text)
        return nullptr;
    if (units > 0 && !ReadRemote(buffer, RemoteText(buffer), text, units * sizeof(wchar_t))) {
        free(text);
        return nullptr;
    }
    text[units] = L'\0';
    return text;
}

struct WindowSearch {
    DWORD process_id;
    const wchar_t *class_name;
    const wchar_t *title;
    HWND found;
};

static bool WindowTextIs(HWND window, const wchar_t *expected, bool class_name)
{
    wchar_t text[256];
    int length = class_name ? GetClassNameW(window, text, 256) : GetWindowTextW(window, text, 256);
    return length >= 0 && length < 255 && wcscmp(text, expected) == 0;
}

static BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM context)
{
    WindowSearch *search = (WindowSearch *)context;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->process_id != 0 && owner != search->process_id)
        return TRUE;
    if (search->class_name && !WindowTextIs(window, search->class_name, true))
        return TRUE;
    if (search->title && !WindowTextIs(window, search->title, false))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindProcessWindow(DWORD process_id, const wchar_t *class_name, const wchar_t *title)
{
    WindowSearch search = {process_id, class_name, title, nullptr};
    EnumWindows(MatchProcessWindow, (LPARAM)&search);
    return search.found;
}

static HWND FindMainWindow(DWORD process_id)
{
    if (process_id == 0)
        return FindWindowW(DRIVER_CLASS_NAME, nullptr);
    return FindProcessWindow(process_id, DRIVER_CLASS_NAME, nullptr);
}

// The main window exists a moment before its controls do, and is shown only
// once they are all set up.
static bool FillTargetWindows(HWND main_window, DriverTarget *target)
{
    if (!IsWindowVisible(main_window))
        return false;
    target->main_window = main_window;
    target->result_list = GetDlgItem(main_window, ID_RESULT_LIST);
    target->status_bar = GetDlgItem(main_window, ID_STATUS_BAR);
    target->progress_bar = GetDlgItem(main_window, ID_PROGRESS_BAR);
    return target->result_list && target->status_bar && target->progress_bar;
}

int AttachDriver(DWORD process_id, DWORD timeout_ms, DriverTarget *target)
{
    memset(target, 0, sizeof(*target));
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        HWND main_window = FindMainWindow(process_id);
        if (main_window && FillTargetWindows(main_window, target))
            break;
        if (GetTickCount64() >= deadline)
            return DRIVER_ERR_NOT_FOUND;
        Sleep(POLL_INTERVAL_MS);
    }
    GetWindowThreadProcessId(target->main_window, &target->process_id);
    return AllocRemoteBuffer(target->process_id, SCRATCH_BYTES, &target->scratch);
}

void DetachDriver(DriverTarget *target)
{
    FreeRemoteBuffer(&target->scratch);
}

static int ReadStatusPartText(DriverTarget *target, int part, StatusPartState *out)
{
    LRESULT length = 0;
    if (!SendToWindow(target->status_bar, SB_GETTEXTLENGTHW, part, 0, &length))
        return DRIVER_ERR_REMOTE;
    if (LOWORD(length) >= SCRATCH_TEXT_UNITS)
        return DRIVER_ERR_REMOTE;
    LRESULT answer = 0;
    if (!SendToWindow(target->status_bar, SB_GETTEXTW, part, (LPARAM)RemoteText(&target->scratch),
                      &answer))
        return DRIVER_ERR_REMOTE;
    // The length of SB_GETTEXTLENGTHW bounds what SB_GETTEXTW wrote; the text
    // may have changed in between, so trust the shorter of the two.
    SIZE_T units = LOWORD(answer) < LOWORD(length) ? LOWORD(answer) : LOWORD(length);
    out->text = FetchRemoteText(&target->scratch, units);
    if (!out->text)
        return DRIVER_ERR_MEMORY;
    out->popout = (HIWORD(answer) & SBT_POPOUT) != 0;
    return DRIVER_OK;
}

static int ReadStatusPartEdges(DriverTarget *target, int *edges, int *count)
{
    LRESULT parts = 0;
    void *remote_edges = RemoteRecord(&target->scratch);
    if (!SendToWindow(target->status_bar, SB_GETPARTS, MAX_STATUS_PARTS, (LPARAM)remote_edges,
                      &parts))
        return DRIVER_ERR_REMOTE;
    if (parts < 0 || parts > MAX_STATUS_PARTS)
        return DRIVER_ERR_REMOTE;
    if (parts > 0 && !ReadRemote(&target->scratch, remote_edges, edges, parts * sizeof(int)))
        return DRIVER_ERR_REMOTE;
    *count = (int)parts;
    return DRIVER_OK;
}

int ReadStatusBar(DriverTarget *target, StatusBarState *state)
{
    state->part_count = 0;
    state->parts = nullptr;
    int edges[MAX_STATUS_PARTS];
    int count = 0;
    int result = ReadStatusPartEdges(target, edges, &count);
    if (result != DRIVER_OK)
        return result;
    state->parts = (StatusPartState *)calloc(count > 0 ? count : 1, sizeof(StatusPartState));
    if (!state->parts)
        return DRIVER_ERR_MEMORY;
    for (int part = 0; part < count; ++part) {
        result = ReadStatusPartText(target, part, &state->parts[part]);
        if (result != DRIVER_OK) {
            ReleaseStatusBar(state);
            return result;
        }
        state->parts[part].right_edge = edges[part];
        state->part_count = part + 1;
    }
    return DRIVER_OK;
}

void ReleaseStatusBar(StatusBarState *state)
{
    for (int part = 0; part < state->part_count; ++part)
        free(state->parts[part].text);
    free(state->parts);
    state->parts = nullptr;
    state->part_count = 0;
}

static int ReadListCell(DriverTarget *target, int row, int column, wchar_t **text)
{
    LVITEMW item;
    memset(&item, 0, sizeof(item));
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = RemoteText(&target->scratch);
    item.cchTextMax = (int)SCRATCH_TEXT_UNITS;
    void *remote_item = RemoteRecord(&target->scratch);
    if (!WriteRemote(&target->scratch, remote_item, &item, sizeof(item)))
        return DRIVER_ERR_REMOTE;
    LRESULT length = 0;
    if (!SendToWindow(target->result_list, LVM_GETITEMTEXTW, row, (LPARAM)remote_item, &length))
        return DRIVER_ERR_REMOTE;
    if (length < 0 || (SIZE_T)length >= SCRATCH_TEXT_UNITS)
        return DRIVER_ERR_REMOTE;
    *text = FetchRemoteText(&target->scratch, (SIZE_T)length);
    return *text ? DRIVER_OK : DRIVER_ERR_MEMORY;
}

static int ReadColumnCount(const DriverTarget *target, int *count)
{
    LRESULT header = 0;
    LRESULT columns = 0;
    if (!SendToWindow(target->result_list, LVM_GETHEADER, 0, 0, &header) || !header)
        return DRIVER_ERR_REMOTE;
    if (!SendToWindow((HWND)header, HDM_GETITEMCOUNT, 0, 0, &columns) || columns < 0)
        return DRIVER_ERR_REMOTE;
    *count = (int)columns;
    return DRIVER_OK;
}

static int ReadColumnTitle(DriverTarget *target, int column, wchar_t **title)
{
    LVCOLUMNW record;
    memset(&record, 0, sizeof(record));
    record.mask = LVCF_TEXT;
    record.pszText = RemoteText(&target->scratch);
    record.cchTextMax = (int)SCRATCH_TEXT_UNITS;
    void *remote_record = RemoteRecord(&target->scratch);
    LRESULT answer = 0;
    if (!WriteRemote(&target->scratch, remote_record, &record, sizeof(record)) ||
        !SendToWindow(target->result_list, LVM_GETCOLUMNW, column, (LPARAM)remote_record,
                      &answer) ||
        !answer || !ReadRemote(&target->scratch, remote_record, &record, sizeof(record)))
        return DRIVER_ERR_REMOTE;
    // The control may answer with a pointer to its own copy of the title.
    wchar_t *text = (wchar_t *)malloc(SCRATCH_TEXT_UNITS * sizeof(wchar_t));
    if (!text)
        return DRIVER_ERR_MEMORY;
    SIZE_T units = 0;
    while (units + 1 < SCRATCH_TEXT_UNITS &&
           ReadRemote(&target->scratch, record.pszText + units, &text[units], sizeof(wchar_t)) &&
           text[units] != L'\0')
        ++units;
    text[units] = L'\0';
    *title = text;
    return DRIVER_OK;
}

int ReadColumnTitles(DriverTarget *target, wchar_t ***titles, int *count)
{
    *titles = nullptr;
    *count = 0;
    int columns = 0;
    int result = ReadColumnCount(target, &columns);
    if (result != DRIVER_OK)
        return result;
    wchar_t **list = (wchar_t **)calloc(columns > 0 ? columns : 1, sizeof(wchar_t *));
    if (!list)
        return DRIVER_ERR_MEMORY;
    for (int column = 0; column < columns && result == DRIVER_OK; ++column)
        result = ReadColumnTitle(target, column, &list[column]);
    *titles = list;
    *count = columns;
    if (result != DRIVER_OK)
        ReleaseColumnTitles(titles, count);
    return result;
}

int ReadSortArrow(DriverTarget *target, int *column, bool *descending)
{
    *column = -1;
    *descending = false;
    LRESULT header = 0;
    int columns = 0;
    int result = ReadColumnCount(target, &columns);
    if (result != DRIVER_OK)
        return result;
    if (!SendToWindow(target->result_list, LVM_GETHEADER, 0, 0, &header))
        return DRIVER_ERR_REMOTE;
    for (int i = 0; i < columns; ++i) {
        HDITEMW item;
        memset(&item, 0, sizeof(item));
        item.mask = HDI_FORMAT;
        LRESULT got = 0;
        if (!WriteRemote(&target->scratch, target->scratch.address, &item, sizeof(item)) ||
            !SendToWindow((HWND)header, HDM_GETITEMW, (WPARAM)i, (LPARAM)target->scratch.address,
                          &got) ||
            !got || !ReadRemote(&target->scratch, target->scratch.address, &item, sizeof(item)))
            return DRIVER_ERR_REMOTE;
        if (item.fmt & (HDF_SORTUP | HDF_SORTDOWN)) {
            *column = i;
            *descending = (item.fmt & HDF_SORTDOWN) != 0;
        }
    }
    return DRIVER_OK;
}

int ClickColumnHeader(DriverTarget *target, int column)
{
    LRESULT header = 0;
    if (!SendToWindow(target->result_list, LVM_GETHEADER, 0, 0, &header))
        return DRIVER_ERR_REMOTE;
    RECT rect;
    LRESULT got = 0;
    if (!SendToWindow((HWND)header, HDM_GETITEMRECT, (WPARAM)column,
                      (LPARAM)target->scratch.address, &got) ||
        !got || !ReadRemote(&target->scratch, target->scratch.address, &rect, sizeof(rect)))
        return DRIVER_ERR_REMOTE;
    LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    LRESULT ignored = 0;
    if (!SendToWindow((HWND)header, WM_LBUTTONDOWN, MK_LBUTTON, point, &ignored) ||
        !SendToWindow((HWND)header, WM_LBUTTONUP, 0, point, &ignored))
        return DRIVER_ERR_REMOTE;
    return DRIVER_OK;
}

void ReleaseColumnTitles(wchar_t ***titles, int *count)
{
    for (int column = 0; *titles && column < *count; ++column)
        free((*titles)[column]);
    free(*titles);
    *titles = nullptr;
    *count = 0;
}

int ReadResultTable(DriverTarget *target, ResultTable *table)
{
    memset(table, 0, sizeof(*table));
    LRESULT rows = 0;
    int columns = 0;
    if (!SendToWindow(target->result_list, LVM_GETITEMCOUNT, 0, 0, &rows) || rows < 0)
        return DRIVER_ERR_REMOTE;
    int result = ReadColumnCount(target, &columns);
    if (result != DRIVER_OK)
        return result;
    SIZE_T cell_count = (SIZE_T)rows * (SIZE_T)columns;
    table->cells = (wchar_t **)calloc(cell_count > 0 ? cell_count : 1, sizeof(wchar_t *));
    if (!table->cells)
        return DRIVER_ERR_MEMORY;
    table->row_count = (int)rows;
    table->column_count = columns;
    for (SIZE_T cell = 0; cell < cell_count; ++cell) {
        result =
            ReadListCell(target, (int)(cell / columns), (int)(cell % columns), &table->cells[cell]);
        if (result != DRIVER_OK) {
            ReleaseResultTable(table);
            return result;
        }
    }
    return DRIVER_OK;
}

void ReleaseResultTable(ResultTable *table)
{
    SIZE_T cell_count = (SIZE_T)table->row_count * (SIZE_T)table->column_count;
    for (SIZE_T cell = 0; table->cells && cell < cell_count; ++cell)
        free(table->cells[cell]);
    free(table->cells);
    memset(table, 0, sizeof(*table));
}

const wchar_t *ResultCell(const ResultTable *table, int row, int column)
{
    if (row < 0 || row >= table->row_count || column < 0 || column >= table->column_count)
        return nullptr;
    return table->cells[row * table->column_count + column];
}

static void ChildRectInClient(HWND main_window, HWND child, RECT *rect)
{
    GetWindowRect(child, rect);
    MapWindowPoints(nullptr, main_window, (POINT *)rect, 2);
}

int ReadWindowLayout(const DriverTarget *target, WindowLayout *layout)
{
    memset(layout, 0, sizeof(*layout));
    if (!GetWindowRect(target->main_window, &layout->window) ||
        !GetClientRect(target->main_window, &layout->client))
        return DRIVER_ERR_NOT_FOUND;
    ChildRectInClient(target->main_window, target->progress_bar, &layout->progress_bar);
    ChildRectInClient(target->main_window, target->result_list, &layout->result_list);
    ChildRectInClient(target->main_window, target->status_bar, &layout->status_bar);
    int columns = 0;
    int result = ReadColumnCount(target, &columns);
    if (result != DRIVER_OK)
        return result;
    layout->column_count = columns < 8 ? columns : 8;
    for (int column = 0; column < layout->column_count; ++column) {
        LRESULT width = 0;
        if (!SendToWindow(target->result_list, LVM_GETCOLUMNWIDTH, column, 0, &width))
            return DRIVER_ERR_REMOTE;
        layout->column_widths[column] = (int)width;
    }
    return DRIVER_OK;
}

int ReadProgress(const DriverTarget *target, ProgressState *progress)
{
    LRESULT position = 0, minimum = 0, maximum = 0;
    if (!SendToWindow(target->progress_bar, PBM_GETPOS, 0, 0, &position) ||
        !SendToWindow(target->progress_bar, PBM_GETRANGE, TRUE, 0, &minimum) ||
        !SendToWindow(target->progress_bar, PBM_GETRANGE, FALSE, 0, &maximum))
        return DRIVER_ERR_REMOTE;
    progress->position = (int)position;
    progress->minimum = (int)minimum;
    progress->maximum = (int)maximum;
    return DRIVER_OK;
}

static bool TextIsOneOf(const wchar_t *text, const wchar_t *const *choices, int count)
{
    for (int i = 0; i < count; ++i)
        if (wcscmp(text, choices[i]) == 0)
            return true;
    return false;
}

static bool StatusReady(const StatusBarState *state, const wchar_t *const *phases, int phase_count)
{
    if (state->part_count <= STATUS_ACTIVITY)
        return false;
    if (wcscmp(state->parts[STATUS_ACTIVITY].text, L"Ready") != 0)
        return false;
    return phase_count == 0 || TextIsOneOf(state->parts[STATUS_PHASE].text, phases, phase_count);
}

static bool JobEnded(DriverTarget *target, const StatusBarState *)
{
    // A job that runs out of memory waits on its "ERROR" message box before it ends.
    LONG ended = 0;
    return (ReadJobsEnded(target, &ended) == DRIVER_OK && ended > 0) ||
           FindProcessWindow(target->process_id, L"#32770", L"ERROR");
}

// Polls the status bar until `done` holds. Unanswered reads are retried: the
// window does not answer while it digests a single file.
static int PollStatus(DriverTarget *target, DWORD timeout_ms,
                      bool (*done)(DriverTarget *, const StatusBarState *, const void *),
                      const void *context)
{
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (!IsWindow(target->main_window))
            return DRIVER_ERR_NOT_FOUND;
        StatusBarState state;
        if (ReadStatusBar(target, &state) == DRIVER_OK) {
            bool finished = done(target, &state, context);
            ReleaseStatusBar(&state);
            if (finished)
                return DRIVER_OK;
        }
        if (GetTickCount64() >= deadline)
            return DRIVER_ERR_TIMEOUT;
        Sleep(POLL_INTERVAL_MS);
    }
}

struct PhaseChoice {
    const wchar_t *const *phases;
    int count;
};

static bool ReadyWithPhase(DriverTarget *, const StatusBarState *state, const void *context)
{
    const PhaseChoice *choice = (const PhaseChoice *)context;
    return StatusReady(state, choice->phases, choice->count);
}

static bool JobEndedCheck(DriverTarget *target, const StatusBarState *state, const void *)
{
    return JobEnded(target, state);
}

int WaitForReady(DriverTarget *target, const wchar_t *const *phases, int phase_count,
                 DWORD timeout_ms)
{
    PhaseChoice choice = {phases, phase_count};
    return PollStatus(target, timeout_ms, ReadyWithPhase, &choice);
}

int WaitForJobEnd(DriverTarget *target, DWORD timeout_ms)
{
    return PollStatus(target, timeout_ms, JobEndedCheck, nullptr);
}

int ReadJobsEnded(const DriverTarget *target, LONG *count)
{
    LRESULT answer = 0;
    if (!SendToWindow(target->main_window, WM_APP_COUNT_JOBS_ENDED, 0, 0, &answer))
        return DRIVER_ERR_REMOTE;
    *count = (LONG)answer;
    return DRIVER_OK;
}

int WaitForJobsEnded(DriverTarget *target, LONG count, DWORD timeout_ms)
{
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (!IsWindow(target->main_window))
            return DRIVER_ERR_NOT_FOUND;
        LONG ended = 0;
        if (ReadJobsEnded(target, &ended) == DRIVER_OK && ended >= count)
            return DRIVER_OK;
        if (GetTickCount64() >= deadline)
            return DRIVER_ERR_TIMEOUT;
        Sleep(POLL_INTERVAL_MS);
    }
}

int PostMenuCommand(const DriverTarget *target, WORD command_id)
{
    return PostMessageW(target->main_window, WM_COMMAND, MAKEWPARAM(command_id, 0), 0)
               ? DRIVER_OK
               : DRIVER_ERR_NOT_FOUND;
}

int PostClose(const DriverTarget *target)
{
    return PostMessageW(target->main_window, WM_CLOSE, 0, 0) ? DRIVER_OK : DRIVER_ERR_NOT_FOUND;
}

int WaitForProcessExit(DWORD process_id, DWORD timeout_ms, DWORD *exit_code)
{
    HANDLE process =
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    if (!process)
        return DRIVER_ERR_NOT_FOUND;
    DWORD waited = WaitForSingleObject(process, timeout_ms);
    int result = DRIVER_ERR_TIMEOUT;
    if (waited == WAIT_OBJECT_0)
        result = GetExitCodeProcess(process, exit_code) ? DRIVER_OK : DRIVER_ERR_REMOTE;
    CloseHandle(process);
    return result;
}

char *ToUtf8(const wchar_t *text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return nullptr;
    char *utf8 = (char *)malloc(bytes);
    if (utf8)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, bytes, nullptr, nullptr);
    return utf8;
}
