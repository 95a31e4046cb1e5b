// Jobs (Windows): the display operations through which jobs report, the job
// dispatcher with the single-file job, the folder scan and check workers, and
// saving the checksum list.
#pragma once

#include <windows.h>

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
DWORD WINAPI FolderScanJob(LPVOID unused);
DWORD WINAPI CheckJob(LPVOID unused);

// ---- Save ------------------------------------------------------------------------
int SaveChecksumList();
// Writes the entry table as a checksum list file at `path`, replacing an
// existing file only once the new one is complete. FILE_OK or a file error.
int WriteChecksumList(const wchar_t *path);
