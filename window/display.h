// Display operations: how jobs report to the window. Each is synchronous from
// any thread (carried onto the user-interface thread by RunOnUiThread) and
// does nothing once the main window is gone.
#pragma once

#include <cstdint>

#include "window/ids.h"

void ClearResultList();
void AddResultRow(const wchar_t *path, const wchar_t *digest, const wchar_t *status);
void SetStatusText(int part, const wchar_t *text, bool popout);
void SetProgressRange(int32_t maximum);
void SetProgressPos(int32_t position);
void EnableJobCommands(bool enabled);
// A message box owned by the main window, caption "ERROR"; the caller waits
// until it is dismissed. Shows nothing while error boxes are off
// (SetErrorBoxesShown): an unattended run has nobody to dismiss one.
void ShowErrorMessage(const wchar_t *text);
// Posts the end of a job with its outcome to the main window, which hands it
// to the job-end handler (SetJobEndHandler) once the job's thread has let go.
void NotifyJobEnded(int32_t outcome);
