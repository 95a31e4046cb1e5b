#include "pipeline.h"

#include <windows.h>

#include <cstdlib>

#include "fileio/fileio.h"
#include "hash/file_digest.h"
#include "worker.h"

namespace {

constexpr int32_t RING_TASKS = 256;
constexpr int32_t MAX_DIGEST_THREADS = 64;
// Tasks in flight: two per hashing thread (beside those on its lanes) and a
// few more, enough that no thread waits while the worker takes results, few
// enough that an Options change reaches the files right after it.
constexpr int32_t TASKS_PER_THREAD = 2;
// With this few files left on a thread's lanes the wide kernel is slower
// than the single-stream path, so they go on alone.
constexpr int32_t TOO_FEW_FOR_LANES = 2;
constexpr int32_t TASKS_BEYOND_THREADS = 2;
// The worker's wait for the oldest task breaks off this often, so that rows
// queued behind a long file are shown.
constexpr DWORD WAIT_SLICE_MS = 50;

struct RingSlot {
    DigestTask task;
    bool done;
};

// Counters grow from 0 and never wrap (a listing has fewer than 2^31
// files): handed >= claimed >= taken, handed - taken <= RING_TASKS.
struct Pipeline {
    SRWLOCK lock;
    CONDITION_VARIABLE work_ready;  // a task was handed out, or closing
    CONDITION_VARIABLE task_done;   // the task the worker waits for is done
    int32_t handed;
    int32_t claimed;
    int32_t taken;
    int32_t lead;          // most tasks handed out and not yet taken
    int32_t idle_threads;  // hashing threads waiting with nothing to hash
    bool on_lanes;         // hashing threads run several SHA-3 files in lock step
    bool closing;
    file_digest_meter *meter;
    RingSlot ring[RING_TASKS];
};

// Set by ForceDigestThreads (tests and benchmarks, while no job runs); read
// by the worker as its pipeline starts.
int32_t g_forced_digest_threads;

RingSlot *SlotOf(Pipeline *pipeline, int32_t index)
{
    return &pipeline->ring[index % RING_TASKS];
}

void DigestTaskFile(DigestTask *task, file_digest_buffer *buffer)
{
    if (task->path)
        task->result =
            file_digest_text_with(task->kind, task->path, task->digest, buffer, &task->bytes_read);
}

// Claims the next task handed out; null once the pipeline closes with
// nothing left to claim. Called with the lock held.
RingSlot *ClaimTask(Pipeline *pipeline)
{
    ++pipeline->idle_threads;
    while (!pipeline->closing && pipeline->claimed == pipeline->handed)
        SleepConditionVariableSRW(&pipeline->work_ready, &pipeline->lock, INFINITE, 0);
    --pipeline->idle_threads;
    if (pipeline->claimed == pipeline->handed)
        return nullptr;
    return SlotOf(pipeline, pipeline->claimed++);
}

// Claims a task for a thread that has files on its lanes, unless it is
// left for a thread with nothing to hash; null if none. With the lock held.
RingSlot *ClaimSpareTask(Pipeline *pipeline)
{
    if (pipeline->handed - pipeline->claimed <= pipeline->idle_threads)
        return nullptr;
    return SlotOf(pipeline, pipeline->claimed++);
}

// With the lock held.
void MarkTaskDone(Pipeline *pipeline, RingSlot *slot)
{
    slot->done = true;
    if (slot == SlotOf(pipeline, pipeline->taken))
        WakeConditionVariable(&pipeline->task_done);
}

void HashOneByOne(Pipeline *pipeline, file_digest_buffer *buffer)
{
    AcquireSRWLockExclusive(&pipeline->lock);
    for (RingSlot *slot; (slot = ClaimTask(pipeline)) != nullptr;) {
        ReleaseSRWLockExclusive(&pipeline->lock);
        DigestTaskFile(&slot->task, buffer);
        AcquireSRWLockExclusive(&pipeline->lock);
        MarkTaskDone(pipeline, slot);
    }
    ReleaseSRWLockExclusive(&pipeline->lock);
}

// Claims tasks onto free lanes, waiting for one only when the lanes are
// empty. A file of a kind the lanes do not take (or one that does not open)
// is done at once.
void FillLanes(Pipeline *pipeline, file_lanes *lanes, file_digest_buffer *buffer)
{
    AcquireSRWLockExclusive(&pipeline->lock);
    while (!file_lanes_full(lanes)) {
        RingSlot *slot =
            file_lanes_busy(lanes) == 0 ? ClaimTask(pipeline) : ClaimSpareTask(pipeline);
        if (!slot)
            break;
        ReleaseSRWLockExclusive(&pipeline->lock);
        DigestTask *task = &slot->task;
        bool fits = file_lanes_fit(task->kind);
        bool on_lanes = task->path && fits &&
                        file_lanes_start(lanes, task->kind, task->path, task->digest, &task->result,
                                         &task->bytes_read, slot);
        if (!fits)
            DigestTaskFile(task, buffer);
        AcquireSRWLockExclusive(&pipeline->lock);
        if (!on_lanes)
            MarkTaskDone(pipeline, slot);
    }
    ReleaseSRWLockExclusive(&pipeline->lock);
}

void HashOnLanes(Pipeline *pipeline, file_lanes *lanes, file_digest_buffer *buffer)
{
    void *ended[SHA3_MAX_LANES];
    for (;;) {
        FillLanes(pipeline, lanes, buffer);
        if (file_lanes_busy(lanes) == 0)
            return;
        if (file_lanes_on_kernel(lanes) <= TOO_FEW_FOR_LANES)
            file_lanes_go_alone(lanes);
        int32_t count = file_lanes_step(lanes, ended);
        if (count == 0)
            continue;
        AcquireSRWLockExclusive(&pipeline->lock);
        for (int32_t i = 0; i < count; ++i)
            MarkTaskDone(pipeline, static_cast<RingSlot *>(ended[i]));
        ReleaseSRWLockExclusive(&pipeline->lock);
    }
}

DWORD WINAPI HashingThread(LPVOID parameter)
{
    Pipeline *pipeline = static_cast<Pipeline *>(parameter);
    file_digest_buffer buffer = {};
    WatchDigestBuffer(&buffer, pipeline->meter);
    file_lanes *lanes =
        pipeline->on_lanes ? create_file_lanes(buffer.meter, buffer.abandon) : nullptr;
    if (lanes)
        HashOnLanes(pipeline, lanes, &buffer);
    else
        HashOneByOne(pipeline, &buffer);
    release_file_lanes(lanes);
    release_file_digest_buffer(&buffer);
    return 0;
}

int32_t UsableCores()
{
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0)
        return 1;
    int32_t cores = 0;
    for (; process; process &= process - 1)
        ++cores;
    return cores;
}

int32_t StartHashingThreads(Pipeline *pipeline, int32_t wanted, HANDLE *threads)
{
    int32_t started = 0;
    for (int32_t i = 0; i < wanted; ++i) {
        HANDLE thread = CreateThread(nullptr, 0, HashingThread, pipeline, 0, nullptr);
        if (!thread)
            break;
        SetThreadPriority(thread, THREAD_PRIORITY_IDLE);
        threads[started++] = thread;
    }
    return started;
}

void StopHashingThreads(Pipeline *pipeline, HANDLE *threads, int32_t count)
{
    AcquireSRWLockExclusive(&pipeline->lock);
    pipeline->closing = true;
    ReleaseSRWLockExclusive(&pipeline->lock);
    WakeAllConditionVariable(&pipeline->work_ready);
    for (int32_t i = 0; i < count; ++i) {
        WaitForSingleObject(threads[i], INFINITE);
        CloseHandle(threads[i]);
    }
}

// Hands out tasks until the ring is full, the listing is through, the job
// stops it or Stop was chosen. Each task is filled before the threads can
// see it.
bool HandOutTasks(Pipeline *pipeline, int32_t count, HandOutTask hand_out, void *job)
{
    while (pipeline->handed < count && pipeline->handed - pipeline->taken < pipeline->lead) {
        if (JobStopRequested())
            return false;
        RingSlot *slot = SlotOf(pipeline, pipeline->handed);
        slot->done = false;
        slot->task.path = nullptr;
        slot->task.digest = slot->task.text;
        slot->task.text[0] = 0;
        slot->task.result = FILE_DIGEST_UNREADABLE;
        slot->task.bytes_read = 0;
        if (!hand_out(job, pipeline->handed, &slot->task))
            return false;
        AcquireSRWLockExclusive(&pipeline->lock);
        ++pipeline->handed;
        ReleaseSRWLockExclusive(&pipeline->lock);
        WakeConditionVariable(&pipeline->work_ready);
    }
    return true;
}

// Waits until the oldest task not yet taken is done, calling `waiting`
// every slice it is not. Without hashing threads the worker digests it
// itself.
RingSlot *WaitForOldest(Pipeline *pipeline, int32_t threads, file_digest_buffer *own_buffer,
                        WhileWaiting waiting, void *job)
{
    RingSlot *slot = SlotOf(pipeline, pipeline->taken);
    if (threads == 0) {
        DigestTaskFile(&slot->task, own_buffer);
        return slot;
    }
    AcquireSRWLockExclusive(&pipeline->lock);
    while (!slot->done) {
        if (SleepConditionVariableSRW(&pipeline->task_done, &pipeline->lock, WAIT_SLICE_MS, 0) ||
            slot->done)
            continue;
        ReleaseSRWLockExclusive(&pipeline->lock);
        waiting(job);
        AcquireSRWLockExclusive(&pipeline->lock);
    }
    ReleaseSRWLockExclusive(&pipeline->lock);
    return slot;
}

}  // namespace

int32_t ChooseDigestThreads(int32_t cores, int seek_penalty, int32_t forced)
{
    if (forced > 0)
        return forced < MAX_DIGEST_THREADS ? forced : MAX_DIGEST_THREADS;
    if (seek_penalty == 1 || cores < 1)
        return 1;
    return cores < MAX_DIGEST_THREADS ? cores : MAX_DIGEST_THREADS;
}

void ForceDigestThreads(int32_t count)
{
    g_forced_digest_threads = count;
}

void WatchDigestBuffer(file_digest_buffer *buffer, file_digest_meter *meter)
{
    buffer->meter = meter;
    buffer->abandon = JobStopRequested;
}

int32_t RunDigestPipeline(const utf16 *target, int32_t count, HandOutTask hand_out, TakeDigest take,
                          WhileWaiting waiting, void *job, file_digest_meter *meter)
{
    Pipeline *pipeline = static_cast<Pipeline *>(std::calloc(1, sizeof(Pipeline)));
    if (!pipeline)
        return DIGEST_PIPELINE_NO_MEMORY;
    pipeline->meter = meter;
    InitializeSRWLock(&pipeline->lock);
    InitializeConditionVariable(&pipeline->work_ready);
    InitializeConditionVariable(&pipeline->task_done);
    // The drive is asked only when the count is not forced.
    int32_t forced = g_forced_digest_threads;
    int seek_penalty = forced > 0 ? -1 : QuerySeekPenalty(target);
    HANDLE threads[MAX_DIGEST_THREADS];
    int32_t wanted = ChooseDigestThreads(UsableCores(), seek_penalty, forced);
    // A drive with a seek penalty reads one file at a time, in order.
    pipeline->on_lanes = seek_penalty != 1;
    int32_t lanes = pipeline->on_lanes ? sha3_lanes_width() : 0;
    int32_t started = StartHashingThreads(pipeline, wanted, threads);
    pipeline->lead = started > 0 ? (TASKS_PER_THREAD + lanes) * started + TASKS_BEYOND_THREADS : 1;
    if (pipeline->lead > RING_TASKS)
        pipeline->lead = RING_TASKS;

    file_digest_buffer own_buffer = {};
    WatchDigestBuffer(&own_buffer, meter);
    bool handing = true;
    for (;;) {
        if (handing)
            handing = HandOutTasks(pipeline, count, hand_out, job);
        if (pipeline->taken == pipeline->handed)
            break;
        RingSlot *slot = WaitForOldest(pipeline, started, &own_buffer, waiting, job);
        if (!take(job, pipeline->taken, &slot->task))
            handing = false;
        AcquireSRWLockExclusive(&pipeline->lock);
        ++pipeline->taken;
        ReleaseSRWLockExclusive(&pipeline->lock);
    }
    StopHashingThreads(pipeline, threads, started);
    release_file_digest_buffer(&own_buffer);
    int32_t taken = pipeline->taken;
    std::free(pipeline);
    return taken;
}
