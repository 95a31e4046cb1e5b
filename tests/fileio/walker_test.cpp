#include <windows.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/fileio.h"
#include "tests/support/scratch.h"

namespace {

std::vector<std::wstring> Paths(const sListDir &list)
{
    std::vector<std::wstring> paths;
    for (int32_t i = 0; i < list.count; ++i)
        paths.push_back(list.items[i].full_path);
    return paths;
}

std::vector<std::wstring> Walk(const std::wstring &folder, int *result = nullptr)
{
    sListDir list;
    ListDirInit(&list);
    int r = ListDirRecursive(folder.c_str(), &list);
    if (result)
        *result = r;
    std::vector<std::wstring> paths = Paths(list);
    ListDirFree(&list);
    return paths;
}

// Sub-folder names of one folder in the order the system enumerates them.
std::vector<std::wstring> EnumeratedFolders(const std::wstring &folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

// x.bin, s\y.bin, s\t\z.bin, u\w.bin, u\v\q.bin
class Tree : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = MakeScratchFolder();
        ASSERT_FALSE(dir.empty());
        for (const wchar_t *folder : {L"s", L"s\\t", L"u", L"u\\v"})
            ASSERT_TRUE(CreateDirectoryW(At(folder).c_str(), nullptr));
        ASSERT_TRUE(PutFile(At(L"x.bin"), 10));
        ASSERT_TRUE(PutFile(At(L"s\\y.bin"), 20));
        ASSERT_TRUE(PutFile(At(L"s\\t\\z.bin"), 30));
        ASSERT_TRUE(PutFile(At(L"u\\w.bin"), 40));
        ASSERT_TRUE(PutFile(At(L"u\\v\\q.bin"), 50));
        // Level one in enumeration order decides the order of y and w.
        std::vector<std::wstring> level_one = EnumeratedFolders(dir);
        ASSERT_EQ(level_one.size(), 2u);
        s_first = level_one[0] == L"s";
    }
    void TearDown() override
    {
        SetCurrentDirectoryW(saved_cwd);
        RemoveTree(dir);
    }
    std::wstring At(const wchar_t *name) const { return dir + L"\\" + name; }
    void EnterFolder(const std::wstring &folder)
    {
        GetCurrentDirectoryW(MAX_PATH, saved_cwd);
        ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    }
    // The expected walk of the tree, every path starting with `base`.
    std::vector<std::wstring> Expected(const std::wstring &base) const
    {
        std::wstring y = base + L"s\\y.bin", w = base + L"u\\w.bin";
        std::wstring z = base + L"s\\t\\z.bin", q = base + L"u\\v\\q.bin";
        if (s_first)
            return {base + L"x.bin", y, w, z, q};
        return {base + L"x.bin", w, y, q, z};
    }
    std::wstring dir;
    bool s_first = true;
    wchar_t saved_cwd[MAX_PATH] = L".";
};

TEST_F(Tree, FilesComeOutLevelByLevelWithTheirDetails)
{
    sListDir list;
    ListDirInit(&list);
    ASSERT_EQ(ListDirRecursive(dir.c_str(), &list), 0);
    EXPECT_EQ(Paths(list), Expected(dir + L"\\"));
    ASSERT_EQ(list.count, 5);
    EXPECT_EQ(list.capacity, 128);

    const sDirItem &x = list.items[0];
    EXPECT_STREQ(x.name, L"x.bin");
    EXPECT_EQ(x.name_length, 6);
    EXPECT_EQ(x.path_capacity, static_cast<int32_t>(dir.size() + 1 + 6));
    EXPECT_EQ(x.fsize, 10u);
    EXPECT_EQ(x.attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(At(L"x.bin").c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(x.last_write_time,
              (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                  data.ftLastWriteTime.dwLowDateTime);
    EXPECT_NE(x.creation_time, 0u);
    EXPECT_EQ(list.items[4].fsize, s_first ? 50u : 30u);

    EXPECT_EQ(ListDirFree(&list), 0);
    EXPECT_EQ(list.capacity, 0);
    ListDirInit(&list);
    EXPECT_EQ(ListDirFree(&list), -1);

    // The same walk through a trailing backslash.
    EXPECT_EQ(Walk(dir + L"\\"), Expected(dir + L"\\"));
}

TEST_F(Tree, RelativeDotAndDotDotTextsGivePathsThatOpenTheFiles)
{
    EnterFolder(dir);
    EXPECT_EQ(Walk(L"s"), (std::vector<std::wstring>{L"s\\y.bin", L"s\\t\\z.bin"}));
    EXPECT_EQ(Walk(L"s\\"), (std::vector<std::wstring>{L"s\\y.bin", L"s\\t\\z.bin"}));

    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    EXPECT_EQ(Walk(L"."), Expected(std::wstring(cwd) + L"\\"));

    // From s, `..` lists the tree's top folder and the paths must name it.
    ASSERT_TRUE(SetCurrentDirectoryW(L"s"));
    sListDir list;
    ListDirInit(&list);
    ASSERT_EQ(ListFiles(L"..", &list), 0);
    ASSERT_EQ(list.count, 1);
    uint64_t size = 0;
    EXPECT_EQ(QueryFileSize(list.items[0].full_path, &size), FILE_OK) << list.items[0].full_path;
    EXPECT_EQ(size, 10u);
    ListDirFree(&list);
    std::vector<std::wstring> up = Walk(L"..");
    ASSERT_EQ(up.size(), 5u);
    for (const std::wstring &path : up)
        EXPECT_EQ(QueryFileSize(path.c_str(), nullptr), FILE_OK) << path;
}

TEST_F(Tree, HiddenAndSystemFilesAreListedAndFoldersWithoutFilesGiveNothing)
{
    ASSERT_TRUE(SetFileAttributesW(At(L"x.bin").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(
        SetFileAttributesW(At(L"s\\y.bin").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW(At(L"u").c_str(), FILE_ATTRIBUTE_HIDDEN));
    std::vector<std::wstring> paths = Walk(dir);
    EXPECT_EQ(paths, Expected(dir + L"\\"));

    std::wstring empty = At(L"empty");
    ASSERT_TRUE(CreateDirectoryW(empty.c_str(), nullptr));
    int result = -5;
    EXPECT_TRUE(Walk(empty, &result).empty());
    EXPECT_EQ(result, 0);
    result = -5;
    EXPECT_TRUE(Walk(At(L"missing"), &result).empty());
    EXPECT_EQ(result, 0);
    result = -5;
    EXPECT_TRUE(Walk(At(L"x.bin"), &result).empty());
    EXPECT_EQ(result, 0);

    sListDir list;
    ListDirInit(&list);
    EXPECT_EQ(ListFiles(At(L"missing").c_str(), &list), -1);
    EXPECT_EQ(ListSubDirs(At(L"missing").c_str(), &list), -1);
    std::wstring too_long(32758, L'a');
    EXPECT_EQ(ListFiles(too_long.c_str(), &list), -1);
    EXPECT_EQ(ListDirRecursive(too_long.c_str(), &list), 0);
    EXPECT_EQ(list.count, 0);
}

// An exclusive handle keeps the enumeration out of a folder, as a denied or
// vanished folder would.
HANDLE LockFolder(const std::wstring &folder)
{
    return CreateFileW(folder.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

TEST_F(Tree, AFolderThatCannotBeEnumeratedIsReportedInPlaceOfItsContents)
{
    HANDLE lock = LockFolder(At(L"s"));
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    int result = -5;
    sListDir list;
    ListDirInit(&list);
    result = ListDirRecursive(dir.c_str(), &list);
    CloseHandle(lock);
    EXPECT_EQ(result, 0);
    std::vector<std::wstring> want =
        s_first
            ? std::vector<std::wstring>{At(L"x.bin"), At(L"s"), At(L"u\\w.bin"), At(L"u\\v\\q.bin")}
            : std::vector<std::wstring>{At(L"x.bin"), At(L"u\\w.bin"), At(L"s"),
                                        At(L"u\\v\\q.bin")};
    EXPECT_EQ(Paths(list), want);
    for (int32_t i = 0; i < list.count; ++i)
        EXPECT_EQ(IsUnlistedFolder(&list.items[i]),
                  std::wstring(list.items[i].full_path) == At(L"s"))
            << i;
    ListDirFree(&list);

    // The target itself unlistable: nothing at all, which the scan reports
    // as no files found.
    lock = LockFolder(dir);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> paths = Walk(dir, &result);
    CloseHandle(lock);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(paths.empty());
}

TEST_F(Tree, FoldersAreEnumeratedThroughTheirNormalisedLongPathForm)
{
    wchar_t pattern[1024];
    ASSERT_EQ(BuildSearchPattern((dir + L"\\s\\").c_str(), pattern, 1024), 0);
    EXPECT_EQ(std::wstring(pattern), L"\\\\?\\" + dir + L"\\s\\*");
    ASSERT_EQ(BuildSearchPattern(L"C:\\", pattern, 1024), 0);
    EXPECT_STREQ(pattern, L"\\\\?\\C:\\*");
    ASSERT_EQ(BuildSearchPattern(L"C:/data/./sub/..", pattern, 1024), 0);
    EXPECT_STREQ(pattern, L"\\\\?\\C:\\data\\*");
    // The pattern's two units must fit behind the long-path form.
    std::wstring folder = L"C:\\abc";
    EXPECT_EQ(BuildSearchPattern(folder.c_str(), pattern, 4 + 6 + 2 + 1), 0);
    EXPECT_EQ(BuildSearchPattern(folder.c_str(), pattern, 4 + 6 + 2), -1);

    // Typed forms list the same files, under the text as typed.
    std::wstring slashed = dir;
    for (wchar_t &unit : slashed)
        if (unit == L'\\')
            unit = L'/';
    EXPECT_EQ(Walk(slashed + L"/s/.."), Expected(slashed + L"/s/..\\"));
    EXPECT_EQ(Walk(dir + L"\\."), Expected(dir + L"\\.\\"));

    // A folder beyond the classic limit, and beyond the short path buffer,
    // is listed like any other.
    std::wstring deep = MakeDeepFolder(dir, SHORT_PATH_UNITS + 100);
    ASSERT_FALSE(deep.empty());
    ASSERT_TRUE(PutFile(L"\\\\?\\" + deep + L"\\deep.bin", 3));
    EXPECT_EQ(Walk(deep), (std::vector<std::wstring>{deep + L"\\deep.bin"}));
}

TEST_F(Tree, SubFoldersAndExtensionListsSelectWhatIsTaken)
{
    sListDir list;
    ListDirInit(&list);
    ASSERT_EQ(ListSubDirs(dir.c_str(), &list), 0);
    std::vector<std::wstring> listed = Paths(list);
    std::set<std::wstring> folders(listed.begin(), listed.end());
    EXPECT_EQ(folders, (std::set<std::wstring>{At(L"s"), At(L"u")}));
    EXPECT_NE(list.items[0].attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    ListDirFree(&list);

    for (const wchar_t *name : {L"a.TXT", L"b.txt", L"c.log", L"noext", L"d.tar.gz"})
        ASSERT_TRUE(PutFile(At(name), 1));
    wchar_t txt[] = L"txt", log[] = L"log", tar_gz[] = L"TAR.GZ";
    wchar_t *include[] = {txt, tar_gz};
    wchar_t *exclude[] = {log, txt};

    ListDirInit(&list);
    list.include_list = include;
    list.include_count = 2;
    ASSERT_EQ(ListFiles(dir.c_str(), &list), 0);
    std::vector<std::wstring> taken = Paths(list);
    EXPECT_EQ(std::set<std::wstring>(taken.begin(), taken.end()),
              (std::set<std::wstring>{At(L"a.TXT"), At(L"b.txt"), At(L"d.tar.gz")}));
    ListDirFree(&list);

    // An exclude match wins over an include match.
    ListDirInit(&list);
    list.include_list = include;
    list.include_count = 2;
    list.exclude_list = exclude;
    list.exclude_count = 2;
    ASSERT_EQ(ListFiles(dir.c_str(), &list), 0);
    EXPECT_EQ(Paths(list), std::vector<std::wstring>{At(L"d.tar.gz")});
    ListDirFree(&list);

    ListDirInit(&list);
    list.exclude_list = exclude;
    list.exclude_count = 1;
    ASSERT_EQ(ListFiles(dir.c_str(), &list), 0);
    taken = Paths(list);
    EXPECT_EQ(std::set<std::wstring>(taken.begin(), taken.end()),
              (std::set<std::wstring>{At(L"x.bin"), At(L"a.TXT"), At(L"b.txt"), At(L"noext"),
                                      At(L"d.tar.gz")}));
    ListDirFree(&list);

    const wchar_t *ext = L"untouched";
    EXPECT_EQ(GetExtension(L"archive.tar.gz", &ext), 1);
    EXPECT_STREQ(ext, L"tar.gz");
    EXPECT_EQ(GetExtension(L".profile", &ext), 1);
    EXPECT_STREQ(ext, L"profile");
    ext = L"untouched";
    EXPECT_EQ(GetExtension(L"noext", &ext), 0);
    EXPECT_STREQ(ext, L"untouched");
}

TEST(Walker, ManyFilesAndNonAsciiNamesAreAllListed)
{
    std::wstring dir = MakeScratchFolder();
    ASSERT_FALSE(dir.empty());
    std::wstring odd = dir + L"\\\u00e9\u4e2d\U0001F600";
    ASSERT_TRUE(CreateDirectoryW(odd.c_str(), nullptr));
    ASSERT_TRUE(PutFile(odd + L"\\\U0001F600.bin", 3));
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(PutFile(dir + L"\\f" + std::to_wstring(i), 0));

    sListDir list;
    ListDirInit(&list);
    ASSERT_EQ(ListDirRecursive(dir.c_str(), &list), 0);
    ASSERT_EQ(list.count, 301);
    EXPECT_EQ(list.capacity, 512);
    std::set<std::wstring> paths;
    for (int32_t i = 0; i < list.count; ++i)
        paths.insert(list.items[i].full_path);
    EXPECT_EQ(paths.size(), 301u);
    EXPECT_TRUE(paths.count(dir + L"\\f299"));
    EXPECT_EQ(list.items[300].full_path, odd + L"\\\U0001F600.bin");
    EXPECT_EQ(list.items[300].fsize, 3u);
    ListDirFree(&list);
    RemoveTree(dir);
}

TEST(Walker, TheDriveRootGetsNoDoubledBackslash)
{
    sListDir list;
    ListDirInit(&list);
    ASSERT_EQ(ListSubDirs(L"C:\\", &list), 0);
    ASSERT_GT(list.count, 0);
    for (int32_t i = 0; i < list.count; ++i) {
        std::wstring path = list.items[i].full_path;
        EXPECT_EQ(path, L"C:\\" + std::wstring(list.items[i].name));
    }
    ListDirFree(&list);
}

// s\back leads to the target and u\self to u: both are listed as folders but
// not walked; s\side leads to u, which is no ancestor of it, and is walked.
std::wstring LinkTree()
{
    const wchar_t *prepared = _wgetenv(L"TALVOR_LINK_TREE");
    if (prepared && *prepared)
        return prepared;
    std::wstring dir = MakeScratchFolder();
    CreateDirectoryW((dir + L"\\s").c_str(), nullptr);
    CreateDirectoryW((dir + L"\\u").c_str(), nullptr);
    PutFile(dir + L"\\x.bin", 1);
    PutFile(dir + L"\\s\\y.bin", 1);
    PutFile(dir + L"\\u\\w.bin", 1);
    const DWORD flags = SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    CreateSymbolicLinkW((dir + L"\\s\\back").c_str(), L"..", flags);
    CreateSymbolicLinkW((dir + L"\\u\\self").c_str(), L".", flags);
    CreateSymbolicLinkW((dir + L"\\s\\side").c_str(), L"..\\u", flags);
    return dir;
}

// A local drive loops only through links; a share's server may follow
// links it shows as plain folders, and an unknown drive is taken as one.
TEST(Walker, FoldersOnSharesAndUnknownDrivesMayLoopWithoutLinks)
{
    wchar_t system_folder[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system_folder, MAX_PATH), 0u);
    EXPECT_EQ(FolderMayLoopWithoutLinks(system_folder), 0);
    EXPECT_EQ(FolderMayLoopWithoutLinks(L"\\\\server\\share\\photos"), 1);
    EXPECT_EQ(FolderMayLoopWithoutLinks(L"\\\\?\\UNC\\server\\share\\photos"), 1);
    DWORD drives = GetLogicalDrives();
    wchar_t unused = L'Z';
    while (unused > L'D' && (drives & (1u << (unused - L'A'))))
        --unused;
    ASSERT_FALSE(drives & (1u << (unused - L'A')));
    EXPECT_EQ(FolderMayLoopWithoutLinks((std::wstring(1, unused) + L":\\photos").c_str()), 1);
}

TEST(Walker, FolderLinksBackToAnAncestorAreNotWalkedAgain)
{
    std::wstring dir = LinkTree();
    // Each link must exist for real: a call that reports success without
    // making one does not count.
    for (const wchar_t *link : {L"\\s\\back", L"\\u\\self", L"\\s\\side"}) {
        DWORD attributes = GetFileAttributesW((dir + link).c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << link;
        ASSERT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u) << link;
    }
    int result = -5;
    std::vector<std::wstring> paths = Walk(dir, &result);
    EXPECT_EQ(result, 0);
    std::set<std::wstring> found(paths.begin(), paths.end());
    EXPECT_EQ(paths.size(), 4u);
    EXPECT_EQ(found, (std::set<std::wstring>{dir + L"\\x.bin", dir + L"\\s\\y.bin",
                                             dir + L"\\u\\w.bin", dir + L"\\s\\side\\w.bin"}));
    EXPECT_EQ(paths[0], dir + L"\\x.bin");
    EXPECT_EQ(paths[3], dir + L"\\s\\side\\w.bin");

    // Walked from s, s\back leads above the walk: the folders below a link
    // are checked too, and s\back\s, the walk's own folder, is not walked.
    paths = Walk(dir + L"\\s", &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::set<std::wstring>(paths.begin(), paths.end()),
              (std::set<std::wstring>{dir + L"\\s\\y.bin", dir + L"\\s\\back\\x.bin",
                                      dir + L"\\s\\side\\w.bin", dir + L"\\s\\back\\u\\w.bin"}));
    EXPECT_EQ(paths.size(), 4u);

    // The link itself is still listed among the sub-folders.
    sListDir list;
    ListDirInit(&list);
    ASSERT_EQ(ListSubDirs((dir + L"\\s").c_str(), &list), 0);
    EXPECT_EQ(list.count, 2);
    ListDirFree(&list);
    if (!_wgetenv(L"TALVOR_LINK_TREE"))
        RemoveTree(dir);
}

}  // namespace
