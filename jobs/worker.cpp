#include "jobs/jobs.h"

#include <cwchar>

JobThreads g_job_threads;

void BeginJob(const wchar_t *phase)
{
    SetStatusText(STATUS_ACTIVITY, L"Work", true);
    SetStatusText(STATUS_PHASE, phase, true);
}

void ReportItemProgress(int32_t index, int32_t total)
{
    if (index % 5 != 3)
        return;
    SetProgressPos(index);
    ShowWorkPercentage(index, total);
}

void ShowWorkPercentage(int32_t index, int32_t total)
{
    float share = float(index) / float(total);
    int percent = int(share * 100.0f);
    wchar_t text[24];
    std::swprintf(text, 24, L"Work %d%%", percent);
    SetStatusText(STATUS_ACTIVITY, text, false);
}

void EndJob(const wchar_t *phase, int32_t outcome)
{
    SetStatusText(STATUS_PHASE, phase, true);
    SetStatusText(STATUS_ACTIVITY, L"Ready", true);
    EnableJobCommands(true);
    NotifyJobEnded(outcome);
}

void EndJobWithOutcome(int32_t outcome)
{
    if (outcome == JOB_OUTCOME_NO_MEMORY)
        EndJobOutOfMemory();
    else
        EndJob(outcome == JOB_OUTCOME_OK ? L"OK" : L"BAD", outcome);
}

void ShowOutOfMemoryMessage()
{
    ShowErrorMessage(L"ERROR: Not enough free memory!");
}

void EndJobOutOfMemory()
{
    ShowOutOfMemoryMessage();
    EndJob(L"BAD", JOB_OUTCOME_FAILED);
}

void StartJobWorker(int32_t job)
{
    LPTHREAD_START_ROUTINE entry = job == JOB_CHECK ? CheckJob : FolderScanJob;
    HANDLE *handle = job == JOB_CHECK ? &g_job_threads.check_thread : &g_job_threads.scan_thread;
    DWORD *id = job == JOB_CHECK ? &g_job_threads.check_thread_id : &g_job_threads.scan_thread_id;

    EnableJobCommands(false);
    *handle = CreateThread(nullptr, 0, entry, nullptr, 0, id);
    g_app.pending_job = JOB_NONE;
    if (!*handle) {
        // The phase may still show the previous job's "OK" above an empty list.
        EndJob(L"BAD", JOB_OUTCOME_FAILED);
        ShowErrorMessage(L"ERROR: Could not start the job!");
        return;
    }
    SetThreadPriority(*handle, THREAD_PRIORITY_IDLE);
    // Nothing ever waits on a worker; holding its handle would only leak one
    // per job. The id stays for whoever wants to recognise the thread.
    CloseHandle(*handle);
    *handle = nullptr;
}
