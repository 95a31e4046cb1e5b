// Every heap allocation of the file helpers and the walker is made to fail in
// turn (the link step wraps malloc, calloc, realloc and free): each failure
// must give the operation's failure result, touch no output and leak nothing.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "fileio/fileio.h"
#include "tests/support/scratch_fixture.h"

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void *__real_realloc(void *block, size_t size);
void __real_free(void *block);
}

namespace {

int g_fail_at = -1;  // index of the allocation to refuse while armed
int g_calls;
long g_live;

bool Refuse()
{
    if (g_fail_at < 0)
        return false;
    return g_calls++ == g_fail_at;
}

void Arm(int fail_at)
{
    g_calls = 0;
    g_fail_at = fail_at;
}

// True when the armed run reached the allocation it was to refuse.
bool Disarm()
{
    bool refused = g_calls > g_fail_at;
    g_fail_at = -1;
    return refused;
}

}  // namespace

extern "C" {
void *__wrap_malloc(size_t size)
{
    if (Refuse())
        return nullptr;
    void *block = __real_malloc(size);
    g_live += block != nullptr;
    return block;
}

void *__wrap_calloc(size_t count, size_t size)
{
    if (Refuse())
        return nullptr;
    void *block = __real_calloc(count, size);
    g_live += block != nullptr;
    return block;
}

void *__wrap_realloc(void *block, size_t size)
{
    if (Refuse())
        return nullptr;
    void *moved = __real_realloc(block, size);
    g_live += moved != nullptr && block == nullptr;
    return moved;
}

void __wrap_free(void *block)
{
    g_live -= block != nullptr;
    __real_free(block);
}
}

namespace {

constexpr int MOST_ALLOCATIONS = 2000;

class Refused : public ScratchFolderTest {};

// Calls `attempt(n)` for n = 0, 1, 2... until it gets through; the attempt
// arms the refusal of allocation n around the call under test, checks the
// outcome and returns whether the refusal happened. Returns the number of
// refusals.
template <typename Attempt>
int RefuseEachAllocation(Attempt attempt)
{
    for (int n = 0; n < MOST_ALLOCATIONS; ++n) {
        long live = g_live;
        bool refused = attempt(n);
        EXPECT_EQ(g_live, live) << "allocation " << n;
        if (!refused)
            return n;
    }
    ADD_FAILURE() << "never got through";
    return MOST_ALLOCATIONS;
}

TEST_F(Refused, FileHelpersFailCleanlyAtEveryAllocation)
{
    // A short path is formed in place; one beyond the short buffer takes a
    // path buffer from the heap, which may be refused like any other block.
    std::wstring deep = MakeDeepFolder(dir, SHORT_PATH_UNITS + 100);
    ASSERT_FALSE(deep.empty());
    std::wstring fresh = At(L"sub\\fresh.bin");
    struct Case {
        std::wstring ten, empty;
        int path_buffers;
    };
    for (const Case &c : {Case{At(L"ten.bin"), At(L"empty.bin"), 0},
                          Case{deep + L"\\ten.bin", deep + L"\\empty.bin", 1}}) {
        ASSERT_TRUE(PutFile(LongForm(c.ten), 10));
        ASSERT_TRUE(PutFile(LongForm(c.empty), 0));

        int refusals = RefuseEachAllocation([&](int n) {
            char buf[4] = {'k', 'e', 'e', 'p'};
            uint32_t length = 4;
            Arm(n);
            int result = ReadFileAt(buf, c.ten.c_str(), 0, &length);
            bool refused = Disarm();
            if (refused) {
                EXPECT_EQ(result, FILE_ERR_IO) << n;
                EXPECT_EQ(length, 4u);
                EXPECT_EQ(buf[0], 'k');
            } else {
                EXPECT_EQ(result, FILE_OK);
            }
            return refused;
        });
        EXPECT_EQ(refusals, c.path_buffers);

        refusals = RefuseEachAllocation([&](int n) {
            sOpenFile file = {&file, 77};
            Arm(n);
            int result = OpenFileForReading(c.ten.c_str(), &file);
            bool refused = Disarm();
            if (refused) {
                EXPECT_EQ(result, FILE_ERR_IO) << n;
                EXPECT_EQ(file.handle, &file);
                EXPECT_EQ(file.position, 77u);
            } else {
                EXPECT_EQ(result, FILE_OK);
                CloseOpenFile(&file);
            }
            return refused;
        });
        EXPECT_EQ(refusals, c.path_buffers);

        for (const std::wstring &path : {c.ten, c.empty}) {
            refusals = RefuseEachAllocation([&](int n) {
                uint32_t limit = 100;
                Arm(n);
                void *data = ReadFileWhole(path.c_str(), &limit);
                bool refused = Disarm();
                if (refused) {
                    EXPECT_EQ(data, nullptr) << n;
                    EXPECT_EQ(limit, 100u);
                } else {
                    EXPECT_NE(data, nullptr);
                }
                std::free(data);
                return refused;
            });
            // The file's buffer, and the scratch block where the handle tells no size.
            EXPECT_EQ(refusals, c.path_buffers + 1 + (path == c.ten ? 0 : 1));

            refusals = RefuseEachAllocation([&](int n) {
                uint64_t size = 77;
                Arm(n);
                int result = QueryFileSize(path.c_str(), &size);
                bool refused = Disarm();
                if (refused) {
                    EXPECT_EQ(result, FILE_ERR_IO) << n;
                    EXPECT_EQ(size, 77u);
                } else {
                    EXPECT_EQ(result, FILE_OK);
                }
                return refused;
            });
            // The scratch block is taken only when the handle tells no size.
            EXPECT_EQ(refusals, c.path_buffers + (path == c.ten ? 0 : 1));
        }
    }

    int refusals = RefuseEachAllocation([&](int n) {
        Arm(n);
        int result = WriteFileAt("abc", fresh.c_str(), 0, 3);
        bool refused = Disarm();
        if (refused) {
            EXPECT_EQ(result, FILE_ERR_IO) << n;
            EXPECT_FALSE(Exists(At(L"sub"))) << n;
        } else {
            EXPECT_EQ(result, FILE_OK);
        }
        return refused;
    });
    EXPECT_EQ(refusals, 2);
    EXPECT_EQ(GetBytes(fresh), "abc");
}

TEST_F(Refused, WalkerGivesTwoAndLeaksNothingAtEveryAllocation)
{
    for (const wchar_t *folder : {L"a", L"a\\b", L"c"})
        ASSERT_TRUE(CreateDirectoryW(At(folder).c_str(), nullptr));
    for (int i = 0; i < 140; ++i)
        ASSERT_TRUE(PutFile(dir + L"\\f" + std::to_wstring(i), 0));
    for (const wchar_t *name : {L"a\\1", L"a\\b\\2", L"c\\3"})
        ASSERT_TRUE(PutFile(At(name), 0));

    int refusals = RefuseEachAllocation([&](int n) {
        sListDir list;
        ListDirInit(&list);
        Arm(n);
        int result = ListDirRecursive(dir.c_str(), &list);
        bool refused = Disarm();
        // Whatever was listed before the failure stays whole.
        for (int32_t i = 0; i < list.count; ++i)
            EXPECT_EQ(std::wcsncmp(list.items[i].full_path, dir.c_str(), dir.size()), 0) << n;
        EXPECT_EQ(result, refused ? 2 : 0) << n;
        EXPECT_TRUE(refused || list.count == 143) << list.count;
        ListDirFree(&list);
        return refused;
    });
    // One text per file at least, so every one of them has been refused once.
    EXPECT_GT(refusals, 143);

    // A first item refused after the array grew for it: the array goes too.
    long before = g_live;
    sListDir grown;
    ListDirInit(&grown);
    grown.items = static_cast<sDirItem *>(std::malloc(8 * sizeof(sDirItem)));
    grown.capacity = 8;
    EXPECT_EQ(ListDirFree(&grown), -1);
    EXPECT_EQ(g_live, before);

    // `.` needs a buffer for the working folder; without it nothing is listed.
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str()));
    for (int n = 0; n < 2; ++n) {
        long live = g_live;
        sListDir list;
        ListDirInit(&list);
        Arm(n);
        int result = ListFiles(L".", &list);
        ASSERT_TRUE(Disarm());
        EXPECT_EQ(result, 2);
        EXPECT_EQ(list.count, 0);
        EXPECT_EQ(g_live, live);
    }
    SetCurrentDirectoryW(cwd);
}

}  // namespace
