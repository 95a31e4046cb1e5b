// Display operations: how jobs report to the window. Each is synchronous from
// any thread (carried onto the user-interface thread by RunOnUiThread) and
// does nothing once the main window is gone.
#pragma once

#include <cstdint>

#include "core/core.h"
#include "window/ids.h"

// The result list reads its texts from the rows it is given (an owner-data
// list view): newest row on top, no text copied into the control.
struct DisplayRow {
    const wchar_t *path;
    const wchar_t *digest;
    const wchar_t *status;
};

// The "Status" column's text for a row status: "MISMATCH", "MISSING",
// "ERROR", "OK", "Created".
const wchar_t *RowStatusText(RowStatus status);

// The title bar: the program's title, then " - " and `detail` (a job's
// summary, its progress); the plain title for null or "".
void SetTitleDetail(const wchar_t *detail);

void ClearResultList();
// One row with texts of any lifetime: the display keeps its own copy.
void AddResultRow(const wchar_t *path, const wchar_t *digest, const wchar_t *status);
// `count` rows in one hand-over, the last on top. Only the records are
// copied: their texts (the job's entry table, static status texts) must stay
// unchanged until the next ClearResultList. False when the rows could not be
// kept for want of memory.
bool AddResultRows(const DisplayRow *rows, int32_t count);
void SetStatusText(int part, const wchar_t *text, bool popout);
void SetProgressRange(int32_t maximum);
void SetProgressPos(int32_t position);
// The taskbar button's progress: `done` of `total`, normal (green).
void SetTaskbarProgress(int32_t done, int32_t total);
// The end of a job on the taskbar button: cleared, or red (`alert`) until
// the window is activated; with `flash`, the button flashes until then when
// the window is not in the foreground.
void ShowTaskbarJobEnd(bool alert, bool flash);
// A message box owned by the main window, caption "ERROR"; the caller waits
// until it is dismissed. Shows nothing while error boxes are off
// (SetErrorBoxesShown): an unattended run has nobody to dismiss one.
void ShowErrorMessage(const wchar_t *text);
// Posts the end of a job with its outcome to the main window, which hands it
// to the job-end handler (SetJobEndHandler) once the job's thread has let go.
void NotifyJobEnded(int32_t outcome);
