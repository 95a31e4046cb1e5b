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

bool JobRunning()
{
    return std::atomic_ref<int32_t>(g_app.job_running).load(std::memory_order_acquire) != 0;
}

void SetJobRunning(bool running)
{
    std::atomic_ref<int32_t>(g_app.job_running).store(running ? 1 : 0, std::memory_order_release);
}

void ResetMenuMarks()
{
    g_app.marked_hash_choice = HASH_SHA3_256;
    g_app.hidden_files_marked = 1;
}
