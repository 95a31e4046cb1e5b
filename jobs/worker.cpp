#include "worker.h"

#include <cwchar>

JobThreads g_job_threads;

namespace {

// A job that ran this long has likely lost the user's attention: its end
// flashes the taskbar button when the window is in the background.
constexpr uint64_t FLASH_AFTER_MS = 10000;

// A job's worker: its entry and where its thread is recorded.
struct JobWorker {
    LPTHREAD_START_ROUTINE entry;
    HANDLE *handle;
    DWORD *id;
};

JobWorker WorkerOf(int32_t job)
{
    JobThreads *threads = &g_job_threads;
    switch (job) {
    case JOB_CHECK:
        return {CheckJob, &threads->check_thread, &threads->check_thread_id};
    case JOB_UPDATE:
        // An update reads its list like a check: it takes the check's thread.
        return {UpdateJob, &threads->check_thread, &threads->check_thread_id};
    case JOB_SINGLE_FILE:
        return {SingleFileJob, &threads->single_thread, &threads->single_thread_id};
    default:
        return {FolderScanJob, &threads->scan_thread, &threads->scan_thread_id};
    }
}

}  // namespace

void StartJobTally(int32_t job)
{
    g_app.tally = JobTally{};
    g_app.tally.job = job;
    g_app.tally.started_ms = GetTickCount64();
    SetTitleDetail(nullptr);
}

void AddTalliedRow(const wchar_t *path, const wchar_t *digest, RowStatus status)
{
    ++g_app.tally.rows[status];
    AddResultRow(path, digest, RowStatusText(status));
}

// The summary replaces the plain title until the next job starts.
void EndJobTally(int32_t outcome)
{
    JobTally *tally = &g_app.tally;
    tally->elapsed_ms = GetTickCount64() - tally->started_ms;
    tally->outcome = outcome;
    tally->ended = true;
    wchar_t summary[JOB_SUMMARY_UNITS];
    ComposeJobSummary(tally, summary, JOB_SUMMARY_UNITS);
    SetTitleDetail(summary);
}

void BeginJob(const wchar_t *phase)
{
    SetStatusText(STATUS_ACTIVITY, L"Work", true);
    SetStatusText(STATUS_PHASE, phase, true);
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
    // A stopped job did not do all it set out to do: never "OK". A Stop
    // chosen from here on comes too late to change anything.
    g_app.tally.stopped = JobStopRequested();
    if (g_app.tally.stopped) {
        phase = L"Stopped";
        if (outcome == JOB_OUTCOME_OK)
            outcome = JOB_OUTCOME_BAD;
    }
    EndJobTally(outcome);
    ShowTaskbarJobEnd(outcome != JOB_OUTCOME_OK, g_app.tally.elapsed_ms >= FLASH_AFTER_MS);
    SetStatusText(STATUS_PHASE, phase, true);
    SetStatusText(STATUS_ACTIVITY, L"Ready", true);
    MarkJobEnded(g_app.tally.stopped);
    NotifyJobEnded(outcome);
}

const wchar_t *JobPhaseText(int32_t outcome)
{
    return outcome == JOB_OUTCOME_OK ? L"OK" : L"BAD";
}

void EndJobWithOutcome(int32_t outcome)
{
    if (outcome == JOB_OUTCOME_NO_MEMORY)
        EndJobOutOfMemory();
    else
        EndJob(JobPhaseText(outcome), outcome);
}

void ShowOutOfMemoryMessage()
{
    ShowErrorMessage(L"ERROR: Not enough free memory!");
}

void EndJobOutOfMemory()
{
    ShowOutOfMemoryMessage();
    EndJob(JobPhaseText(JOB_OUTCOME_FAILED), JOB_OUTCOME_FAILED);
}

void StartJobWorker(int32_t job)
{
    JobWorker worker = WorkerOf(job);
    HANDLE *handle = worker.handle;
    MarkJobRunning();
    *handle = CreateThread(nullptr, 0, worker.entry, nullptr, 0, worker.id);
    g_app.pending_job = JOB_NONE;
    if (!*handle) {
        // The phase may still show the previous job's "OK" above an empty list.
        EndJob(JobPhaseText(JOB_OUTCOME_FAILED), JOB_OUTCOME_FAILED);
        ShowErrorMessage(L"ERROR: Could not start the job!");
        return;
    }
    SetThreadPriority(*handle, THREAD_PRIORITY_IDLE);
    // Nothing ever waits on a worker; holding its handle would only leak one
    // per job. The id stays for whoever wants to recognise the thread.
    CloseHandle(*handle);
    *handle = nullptr;
}
