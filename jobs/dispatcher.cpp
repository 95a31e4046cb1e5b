#include "worker.h"

void DispatchPendingJob()
{
    int32_t job = g_app.pending_job;
    if (job < JOB_SINGLE_FILE)
        return;
    StartJobTally(job);
    SetProgressPos(0);
    ClearResultList();
    ReleaseEntryTable();
    g_app.stopped_scan_total = 0;
    StartJobWorker(job);
}
