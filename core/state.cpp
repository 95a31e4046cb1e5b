#include "core/state.h"

#include <atomic>
#include <cstdlib>

AppState g_app;

int SetTargetPath(const utf16 *text, int32_t skip)
{
    utf16 *buffer = static_cast<utf16 *>(std::calloc(TARGET_PATH_UNITS, sizeof(utf16)));
    if (!buffer)
        return -1;
    int32_t n = 0;
    while (n < TARGET_PATH_UNITS - 1 && text[n] != 0) {
        buffer[n] = text[n];
        ++n;
    }
    std::free(g_app.target_buffer);
    g_app.target_buffer = buffer;
    g_app.target_path = buffer + (skip < n ? skip : n);
    return 0;
}

void ReleaseEntryTable()
{
    if (g_app.entries) {
        for (int32_t i = 0; i < g_app.entry_count; ++i) {
            std::free(g_app.entries[i].path);
            g_app.entries[i].path = nullptr;
            std::free(g_app.entries[i].digest);
            g_app.entries[i].digest = nullptr;
        }
        std::free(g_app.entries);
        g_app.entries = nullptr;
    }
    g_app.entry_count = 0;
}

int32_t LoadHashChoice()
{
    return std::atomic_ref<int32_t>(g_app.hash_choice).load(std::memory_order_relaxed);
}

void StoreHashChoice(int32_t choice)
{
    std::atomic_ref<int32_t>(g_app.hash_choice).store(choice, std::memory_order_relaxed);
}

namespace {

std::atomic_ref<int32_t> JobStateRef()
{
    return std::atomic_ref<int32_t>(g_app.job_state);
}

}  // namespace

void MarkJobRunning()
{
    JobStateRef().store(JOB_RUNNING);
}

bool RequestJobStop()
{
    int32_t running = JOB_RUNNING;
    return JobStateRef().compare_exchange_strong(running, JOB_STOPPING) || running == JOB_STOPPING;
}

bool JobRunning()
{
    int32_t state = JobStateRef().load();
    return state == JOB_RUNNING || state == JOB_STOPPING;
}

bool JobStopRequested()
{
    return JobStateRef().load(std::memory_order_relaxed) == JOB_STOPPING;
}

void MarkJobEnded(bool stopped)
{
    JobStateRef().store(stopped ? JOB_STOPPED : JOB_IDLE);
}

bool LastJobStopped()
{
    return JobStateRef().load() == JOB_STOPPED;
}

void ResetMenuMarks()
{
    g_app.marked_hash_choice = HASH_SHA3_256;
    g_app.hidden_files_marked = 1;
}
