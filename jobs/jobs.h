// Jobs (Windows): the display operations through which jobs report, the job
// dispatcher with the single-file job, the folder scan and check workers, and
// saving the checksum list.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include "app/state.h"
#include "jobs/checklist.h"

enum StatusPart : int {
    STATUS_ENGINE = 0,
    STATUS_COUNT = 1,
    STATUS_PHASE = 2,
    STATUS_ACTIVITY = 3,
};

// ---- Display operations: synchronous from any thread ------------------------
void ClearResultList();
void AddResultRow(const wchar_t *path, const wchar_t *digest, const wchar_t *status);
void SetStatusText(int part, const wchar_t *text, bool popout);
void SetProgressRange(int32_t maximum);
void SetProgressPos(int32_t position);
void EnableJobCommands(bool enabled);
void ShowErrorMessage(const wchar_t *text);

// ---- Dispatcher ---------------------------------------------------------------
// Called by the message loop after every message.
void DispatchPendingJob();

// ---- Workers --------------------------------------------------------------------
// Greys the job commands and starts the folder scan (JOB_FOLDER_SCAN) or the
// check (JOB_CHECK) on an idle-priority thread; pending job back to 0.
void StartJobWorker(int32_t job);
// Ends a job in a state the user can see is over: `phase` in the phase
// part, "Ready" in the activity part, the job commands enabled again.
void EndJob(const wchar_t *phase);
// "Work " and the share of items done (index / total, single precision,
// truncated) in the activity part.
void ShowWorkPercentage(int32_t index, int32_t total);
DWORD WINAPI FolderScanJob(LPVOID unused);
DWORD WINAPI CheckJob(LPVOID unused);

// ---- Save ------------------------------------------------------------------------
// Units of the file-name buffer of the checksum-list dialogs.
constexpr DWORD CHECKLIST_DIALOG_NAME_UNITS = 260;
// The settings both checksum-list dialogs (Check's open, Save's save as)
// share: no owner, the .qcx and all-files filters, default extension "qcx",
// `name` (CHECKLIST_DIALOG_NAME_UNITS units, zeroed) as the name buffer.
// The caller adds its own flags.
void FillChecklistDialog(OPENFILENAMEW *dialog, wchar_t *name);
// Shows a filled dialog through GetOpenFileNameW or GetSaveFileNameW and
// leaves the process's current folder as it was. True when a name was chosen.
bool ShowChecklistDialog(OPENFILENAMEW *dialog, BOOL(WINAPI *show)(OPENFILENAMEW *));
// The Save command: asks for a name, then SaveChecksumListTo. Always 0.
int SaveChecksumList();
// Saves under `path` with "Saving"/"Ready" in the activity part and an error
// box when the list could not be written. FILE_OK or a file error.
int SaveChecksumListTo(const wchar_t *path);
// Writes the entry table as a checksum list file at `path`, replacing an
// existing file only once the new one is complete. FILE_OK or a file error.
int WriteChecksumList(const wchar_t *path);
