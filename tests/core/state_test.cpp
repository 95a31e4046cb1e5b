#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "core/state.h"

namespace {

const utf16 kDirOption[] = {'-', 'd', 'i', 'r', '=', 'C', ':', '\\', 'd', 'a', 't', 'a', 0};

TEST(AppState, TargetPathSkipsThePrefix)
{
    ASSERT_EQ(SetTargetPath(kDirOption, 5), 0);
    const utf16 expected[] = {'C', ':', '\\', 'd', 'a', 't', 'a', 0};
    EXPECT_EQ(std::memcmp(g_app.target_path, expected, sizeof expected), 0);
    EXPECT_EQ(g_app.target_path, g_app.target_buffer + 5);

    // An empty path after the prefix is still a target (the job reports it).
    const utf16 bare[] = {'-', 'f', 'i', 'l', 'e', '=', 0};
    ASSERT_EQ(SetTargetPath(bare, 6), 0);
    EXPECT_EQ(g_app.target_path[0], 0);
}

TEST(AppState, ReleasingTheTableFreesEveryEntryAndNullsThePointer)
{
    g_app.entries = static_cast<Entry *>(std::calloc(3, sizeof(Entry)));
    for (int i = 0; i < 3; ++i) {
        g_app.entries[i].digest = static_cast<utf16 *>(std::calloc(9, sizeof(utf16)));
        g_app.entries[i].path = static_cast<utf16 *>(std::calloc(4, sizeof(utf16)));
    }
    g_app.entry_count = 3;
    ReleaseEntryTable();
    EXPECT_EQ(g_app.entries, nullptr);
    EXPECT_EQ(g_app.entry_count, 0);
    ReleaseEntryTable();  // a second release is harmless
}

}  // namespace

namespace {

// The job state as the user-interface thread and a worker move it: Stop
// only reaches a running job, and the end says whether Stop came first.
TEST(JobState, StopReachesOnlyARunningJobAndItsEndRemembersIt)
{
    MarkJobEnded(false);
    EXPECT_FALSE(JobRunning());
    EXPECT_FALSE(RequestJobStop());
    EXPECT_FALSE(JobStopRequested());
    EXPECT_FALSE(LastJobStopped());

    MarkJobRunning();
    EXPECT_TRUE(JobRunning());
    EXPECT_FALSE(JobStopRequested());
    EXPECT_TRUE(RequestJobStop());
    EXPECT_TRUE(RequestJobStop());  // a second Stop changes nothing more
    EXPECT_TRUE(JobRunning());
    EXPECT_TRUE(JobStopRequested());

    MarkJobEnded(true);
    EXPECT_FALSE(JobRunning());
    EXPECT_FALSE(JobStopRequested());
    EXPECT_TRUE(LastJobStopped());
    EXPECT_FALSE(RequestJobStop());
    EXPECT_TRUE(LastJobStopped());

    // The next job starts afresh.
    MarkJobRunning();
    EXPECT_FALSE(JobStopRequested());
    EXPECT_FALSE(LastJobStopped());
    MarkJobEnded(false);
    EXPECT_FALSE(LastJobStopped());
}

}  // namespace
