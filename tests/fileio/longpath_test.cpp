#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "fileio/fileio.h"
#include "tests/support/scratch_fixture.h"

namespace {

class Scratch : public ScratchFolderTest {};

// What BuildLongPath makes of `path`; "<failed>" when it refuses.
std::wstring BuiltLongPath(const std::wstring &path)
{
    wchar_t out[1024];
    if (BuildLongPath(path.c_str(), out, 1024) != 0)
        return L"<failed>";
    return out;
}

TEST(LongPathForm, NormalisesDrivePathsBeforePrefixingThemAndFitsTheBuffer)
{
    const std::wstring want = L"\\\\?\\C:\\data\\a.bin";
    for (const wchar_t *typed :
         {L"C:\\data\\a.bin", L"C:/data/a.bin", L"C:\\data\\.\\a.bin", L"C:\\x\\..\\data\\a.bin",
          L"C:\\data\\sub\\..\\a.bin", L"C:\\data/./a.bin"})
        EXPECT_EQ(BuiltLongPath(typed), want) << typed;
    EXPECT_EQ(BuiltLongPath(L"C:\\data\\."), L"\\\\?\\C:\\data");
    EXPECT_EQ(BuiltLongPath(L"C:\\data\\sub\\.."), L"\\\\?\\C:\\data");
    // Shares take their long form too; a long-path form is literal.
    EXPECT_EQ(BuiltLongPath(L"\\\\server\\share\\x\\..\\a.bin"),
              L"\\\\?\\UNC\\server\\share\\a.bin");
    EXPECT_EQ(BuiltLongPath(L"//server/share/.."), L"\\\\?\\UNC\\server\\share");
    EXPECT_EQ(BuiltLongPath(L"\\\\?\\C:\\x\\..\\a.bin"), L"\\\\?\\C:\\x\\..\\a.bin");
    EXPECT_EQ(BuiltLongPath(L""), L"<failed>");
    EXPECT_EQ(BuiltLongPath(L"C:\\data\\"), L"\\\\?\\C:\\data\\");
    EXPECT_EQ(BuiltLongPath(L"C:\\..\\data"), L"\\\\?\\C:\\data");

    // Only slashes, `.` and `..` are resolved: a name keeps the dots and
    // blanks it ends in (GetFullPathNameW would strip them and name the
    // namesake), also `...` and a name of blanks.
    for (const wchar_t *exact :
         {L"C:\\x.\\f.txt", L"C:\\data\\a.", L"C:\\data\\b ", L"C:\\x. .\\...", L"C:\\ \\f"})
        EXPECT_EQ(BuiltLongPath(exact), L"\\\\?\\" + std::wstring(exact)) << exact;
    EXPECT_EQ(BuiltLongPath(L"C:/x./y/../f. "), L"\\\\?\\C:\\x.\\f. ");
    EXPECT_EQ(BuiltLongPath(L"\\\\server\\share.\\a."), L"\\\\?\\UNC\\server\\share.\\a.");

    // 4 prefix units + the full path + NUL must fit; one unit more does not.
    wchar_t out[12];
    EXPECT_EQ(BuildLongPath(L"C:\\abcde", out, 12), -1);
    EXPECT_EQ(BuildLongPath(L"C:\\abcd", out, 12), 0);
    EXPECT_STREQ(out, L"\\\\?\\C:\\abcd");
}

TEST_F(Scratch, RelativeRootedAndDriveRelativePathsResolveAgainstTheCurrentFolder)
{
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str()));
    std::wstring drive = dir.substr(0, 2);
    std::wstring relative = BuiltLongPath(L"sub\\..\\a.bin");
    std::wstring drive_relative = BuiltLongPath(drive + L"a.bin");
    std::wstring rooted = BuiltLongPath(L"\\data\\a.bin");
    std::wstring dotted = BuiltLongPath(L"x.\\.\\f. ");
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(relative, L"\\\\?\\" + dir + L"\\a.bin");
    EXPECT_EQ(dotted, L"\\\\?\\" + dir + L"\\x.\\f. ");
    EXPECT_EQ(drive_relative, L"\\\\?\\" + dir + L"\\a.bin");
    EXPECT_EQ(rooted, L"\\\\?\\" + drive + L"\\data\\a.bin");

    // Every operation opens what the typed path names.
    ASSERT_TRUE(PutFile(At(L"a.bin"), 10));
    std::wstring typed = dir + L"\\x\\..\\.\\a.bin";
    for (wchar_t &unit : typed)
        if (unit == L'\\')
            unit = L'/';
    uint64_t size = 0;
    EXPECT_EQ(QueryFileSize(typed.c_str(), &size), FILE_OK);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(WriteFileAt("xy", typed.c_str(), 0, 2), FILE_OK);
    EXPECT_EQ(GetBytes(At(L"a.bin")).substr(0, 2), "xy");
}

// Names compare as the system's ordinal comparison without case compares
// them: every unit against its neighbour and its lower and upper case, and
// names of different lengths.
TEST(FileNames, CompareAsTheSystemsOrdinalComparisonIgnoringCase)
{
    auto sign = [](int value) { return value < 0 ? -1 : value > 0 ? 1 : 0; };
    for (uint32_t unit = 1; unit < 0x10000; ++unit) {
        wchar_t a[2] = {wchar_t(unit), 0};
        wchar_t others[3][2] = {{wchar_t(unit + 1), 0}, {a[0], 0}, {a[0], 0}};
        CharLowerBuffW(others[1], 1);
        CharUpperBuffW(others[2], 1);
        for (const auto &b : others)
            ASSERT_EQ(sign(CompareFileNames(a, 1, b, 1)),
                      CompareStringOrdinal(a, 1, b, 1, TRUE) - CSTR_EQUAL)
                << std::hex << unit << " " << unsigned(b[0]);
    }
    EXPECT_EQ(sign(CompareFileNames(L"abc", -1, L"ABCD", -1)), -1);
    EXPECT_EQ(sign(CompareFileNames(L"\\\\?\\C:\\Dir\\F", -1, L"\\\\?\\c:\\dir\\f", -1)), 0);
    EXPECT_EQ(sign(CompareFileNames(L"ab", 2, L"abz", 2)), 0);
}

TEST(DevicePath, DevicesAreToldApartFromFilesAndShares)
{
    for (const wchar_t *device :
         {L"\\\\.\\COM1", L"\\\\.\\PhysicalDrive0",
          L"\\\\?\\GLOBALROOT\\Device\\Harddisk0\\Partition0", L"//./COM1",
          L"\\\\?\\Volume{01234567-89ab-cdef-0123-456789abcdef}", L"C:\\data\\CON",
          L"C:\\data\\nul.txt", L"C:/data/Aux", L"C:\\data\\prn ", L"C:\\data\\COM9",
          L"C:\\data\\lpt1.log", L"C:\\data\\COM\u00b9", L"C:NUL", L"con",
          L"\\\\server\\share\\LPT2", L"C:\\data\\CONOUT$"})
        EXPECT_TRUE(IsDevicePath(device)) << device;
    for (const wchar_t *file :
         {L"C:\\data\\a.bin", L"\\\\server\\share\\a.bin", L"\\\\?\\C:\\data\\a.bin",
          L"\\\\?\\UNC\\server\\share\\a.bin", L"\\\\.\\C:\\data\\a.bin", L"C:\\data\\CONFIG.SYS",
          L"C:\\data\\COM10", L"C:\\data\\console", L"C:\\CON\\a.bin", L"sub\\NULL.txt",
          L"C:\\data\\lpt.txt"})
        EXPECT_FALSE(IsDevicePath(file)) << file;
}

TEST_F(Scratch, ReadFileAtReadsRangesAndLeavesOutputsAloneOnFailure)
{
    std::wstring path = At(L"ten.bin");
    ASSERT_TRUE(PutFile(path, 10));
    uint8_t buf[16];
    std::memset(buf, 0xEE, sizeof buf);

    uint32_t length = 4;
    ASSERT_EQ(ReadFileAt(buf, path.c_str(), 3, &length), FILE_OK);
    EXPECT_EQ(length, 4u);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(buf[i], PatternByte(3 + i));
    EXPECT_EQ(buf[4], 0xEE);

    length = 16;
    ASSERT_EQ(ReadFileAt(buf, path.c_str(), 8, &length), FILE_OK);
    EXPECT_EQ(length, 2u);

    length = 16;
    ASSERT_EQ(ReadFileAt(buf, path.c_str(), 10, &length), FILE_OK);
    EXPECT_EQ(length, 0u);
    length = 16;
    ASSERT_EQ(ReadFileAt(buf, path.c_str(), 1000, &length), FILE_OK);
    EXPECT_EQ(length, 0u);

    std::memset(buf, 0xEE, sizeof buf);
    length = 5;
    EXPECT_EQ(ReadFileAt(buf, At(L"missing.bin").c_str(), 0, &length), FILE_ERR_NOT_FOUND);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(buf[0], 0xEE);
    // A folder is not a file to read.
    EXPECT_EQ(ReadFileAt(buf, dir.c_str(), 0, &length), FILE_ERR_OPEN);
    EXPECT_EQ(length, 5u);
}

TEST_F(Scratch, AnOpenFileServesReadsAtAnyOffsetAndStaysShared)
{
    std::wstring path = At(L"ten.bin");
    ASSERT_TRUE(PutFile(path, 10));
    sOpenFile file = {&file, 77};
    EXPECT_EQ(OpenFileForReading(At(L"missing.bin").c_str(), &file), FILE_ERR_NOT_FOUND);
    EXPECT_EQ(OpenFileForReading(At(L"gone\\missing.bin").c_str(), &file), FILE_ERR_NOT_FOUND);
    EXPECT_EQ(OpenFileForReading(dir.c_str(), &file), FILE_ERR_OPEN);
    EXPECT_EQ(file.handle, &file);
    EXPECT_EQ(file.position, 77u);
    ASSERT_EQ(OpenFileForReading(path.c_str(), &file), FILE_OK);

    // Forwards, back, then on from where the last read ended.
    uint8_t buf[16];
    std::memset(buf, 0xEE, sizeof buf);
    uint32_t length = 4;
    ASSERT_EQ(ReadOpenFileAt(&file, buf, 6, &length), FILE_OK);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(buf[0], PatternByte(6));
    EXPECT_EQ(buf[3], PatternByte(9));
    EXPECT_EQ(buf[4], 0xEE);
    length = 3;
    ASSERT_EQ(ReadOpenFileAt(&file, buf, 1, &length), FILE_OK);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(buf[0], PatternByte(1));
    length = 2;
    ASSERT_EQ(ReadOpenFileAt(&file, buf, 4, &length), FILE_OK);
    EXPECT_EQ(buf[0], PatternByte(4));
    EXPECT_EQ(buf[1], PatternByte(5));
    length = 16;
    ASSERT_EQ(ReadOpenFileAt(&file, buf, 8, &length), FILE_OK);
    EXPECT_EQ(length, 2u);
    length = 16;
    ASSERT_EQ(ReadOpenFileAt(&file, buf, 10, &length), FILE_OK);
    EXPECT_EQ(length, 0u);
    length = 16;
    ASSERT_EQ(ReadOpenFileAt(&file, buf, 1000, &length), FILE_OK);
    EXPECT_EQ(length, 0u);

    // Others may write and grow the file meanwhile; the reads see it.
    ASSERT_EQ(WriteFileAt("ABCDEF", path.c_str(), 8, 6), FILE_OK);
    length = 16;
    ASSERT_EQ(ReadOpenFileAt(&file, buf, 7, &length), FILE_OK);
    EXPECT_EQ(length, 7u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf) + 1, 6), "ABCDEF");

    // A handle that cannot read fails the read and keeps the length. After a
    // failure the position is not trusted: with a readable handle (standing
    // at 0) back in place, a read at the same offset must seek.
    ASSERT_TRUE(SwapFileHandle(&file.handle, path, GENERIC_WRITE));
    length = 5;
    EXPECT_EQ(ReadOpenFileAt(&file, buf, 10, &length), FILE_ERR_IO);
    EXPECT_EQ(length, 5u);
    ASSERT_TRUE(SwapFileHandle(&file.handle, path, GENERIC_READ));
    length = 16;
    ASSERT_EQ(ReadOpenFileAt(&file, buf, 10, &length), FILE_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), length), "CDEF");
    CloseOpenFile(&file);
}

TEST_F(Scratch, ReadFileWholeHonoursTheLimitExactly)
{
    std::wstring empty = At(L"empty.bin"), hundred = At(L"hundred.bin");
    ASSERT_TRUE(PutFile(empty, 0));
    ASSERT_TRUE(PutFile(hundred, 100));

    uint32_t limit = 50;
    void *data = ReadFileWhole(empty.c_str(), &limit);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(limit, 0u);
    std::free(data);

    limit = 100;
    data = ReadFileWhole(hundred.c_str(), &limit);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(limit, 100u);
    for (uint32_t i = 0; i < 100; ++i)
        ASSERT_EQ(static_cast<uint8_t *>(data)[i], PatternByte(i)) << i;
    std::free(data);

    limit = 99;
    EXPECT_EQ(ReadFileWhole(hundred.c_str(), &limit), nullptr);
    EXPECT_EQ(limit, 99u);
    limit = 0;
    EXPECT_EQ(ReadFileWhole(hundred.c_str(), &limit), nullptr);

    // Larger than one 64 KiB block, so the count takes several reads.
    std::wstring big = At(L"big.bin");
    ASSERT_TRUE(PutFile(big, 200000));
    limit = 200000;
    data = ReadFileWhole(big.c_str(), &limit);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(limit, 200000u);
    EXPECT_EQ(static_cast<uint8_t *>(data)[199999], PatternByte(199999));
    std::free(data);

    limit = 77;
    EXPECT_EQ(ReadFileWhole(At(L"missing.bin").c_str(), &limit), nullptr);
    EXPECT_EQ(limit, 77u);
}

TEST_F(Scratch, WriteFileAtCreatesOneFolderLevelAndNeverTruncates)
{
    std::wstring ten = At(L"ten.bin");
    ASSERT_TRUE(PutFile(ten, 10));
    ASSERT_EQ(WriteFileAt("AB", ten.c_str(), 0, 2), FILE_OK);
    std::string bytes = GetBytes(ten);
    ASSERT_EQ(bytes.size(), 10u);
    EXPECT_EQ(bytes.substr(0, 2), "AB");
    EXPECT_EQ(static_cast<uint8_t>(bytes[2]), PatternByte(2));

    // Past the end: the gap reads as zeros.
    ASSERT_EQ(WriteFileAt("Z", ten.c_str(), 12, 1), FILE_OK);
    bytes = GetBytes(ten);
    ASSERT_EQ(bytes.size(), 13u);
    EXPECT_EQ(bytes[10], '\0');
    EXPECT_EQ(bytes[12], 'Z');

    // Length 0 leaves an existing file as it is and creates a missing one.
    ASSERT_EQ(WriteFileAt("", ten.c_str(), 0, 0), FILE_OK);
    EXPECT_EQ(GetBytes(ten), bytes);
    std::wstring fresh = At(L"fresh.bin");
    ASSERT_EQ(WriteFileAt("", fresh.c_str(), 0, 0), FILE_OK);
    EXPECT_EQ(GetBytes(fresh), "");

    std::wstring one_level = At(L"new\\a.bin");
    ASSERT_EQ(WriteFileAt("xyz", one_level.c_str(), 0, 3), FILE_OK);
    EXPECT_EQ(GetBytes(one_level), "xyz");

    std::wstring two_levels = At(L"p\\q\\a.bin");
    EXPECT_EQ(WriteFileAt("xyz", two_levels.c_str(), 0, 3), FILE_ERR_CREATE);
    EXPECT_FALSE(Exists(At(L"p")));

    // A folder in the file's place can be neither opened nor created.
    EXPECT_EQ(WriteFileAt("xyz", At(L"new").c_str(), 0, 3), FILE_ERR_CREATE);
}

TEST_F(Scratch, QueryFileSizeGivesSizesAndLeavesTheOutputAloneOnFailure)
{
    std::wstring empty = At(L"empty.bin"), seven = At(L"seven.bin");
    ASSERT_TRUE(PutFile(empty, 0));
    ASSERT_TRUE(PutFile(seven, 7));

    uint64_t size = 99;
    ASSERT_EQ(QueryFileSize(empty.c_str(), &size), FILE_OK);
    EXPECT_EQ(size, 0u);
    ASSERT_EQ(QueryFileSize(seven.c_str(), &size), FILE_OK);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(QueryFileSize(seven.c_str(), nullptr), FILE_OK);

    size = 99;
    EXPECT_EQ(QueryFileSize(At(L"missing.bin").c_str(), &size), FILE_ERR_NOT_FOUND);
    EXPECT_EQ(size, 99u);
    EXPECT_EQ(QueryFileSize(At(L"missing.bin").c_str(), nullptr), FILE_ERR_NOT_FOUND);
}

TEST_F(Scratch, NonAsciiNamesRoundTripThroughEveryOperation)
{
    std::wstring path = At(L"\u00e9\u4e2d\U0001F600.bin");
    ASSERT_EQ(WriteFileAt("hello", path.c_str(), 0, 5), FILE_OK);
    EXPECT_EQ(GetBytes(path), "hello");

    uint64_t size = 0;
    ASSERT_EQ(QueryFileSize(path.c_str(), &size), FILE_OK);
    EXPECT_EQ(size, 5u);

    char buf[8] = {};
    uint32_t length = 3;
    ASSERT_EQ(ReadFileAt(buf, path.c_str(), 2, &length), FILE_OK);
    EXPECT_EQ(std::string(buf, length), "llo");

    uint32_t limit = 5;
    void *data = ReadFileWhole(path.c_str(), &limit);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(static_cast<char *>(data), limit), "hello");
    std::free(data);
}

TEST_F(Scratch, DrivePathsBeyondTheClassicLimitWork)
{
    std::wstring path = MakeDeepFolder(dir, 400);
    ASSERT_FALSE(path.empty());
    path += L"\\deep.bin";
    ASSERT_GT(path.size(), 260u);

    ASSERT_EQ(WriteFileAt("0123456789", path.c_str(), 0, 10), FILE_OK);
    uint64_t size = 0;
    ASSERT_EQ(QueryFileSize(path.c_str(), &size), FILE_OK);
    EXPECT_EQ(size, 10u);
    char buf[4] = {};
    uint32_t length = 4;
    ASSERT_EQ(ReadFileAt(buf, path.c_str(), 6, &length), FILE_OK);
    EXPECT_EQ(std::string(buf, length), "6789");
    uint32_t limit = 10;
    void *data = ReadFileWhole(path.c_str(), &limit);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(static_cast<char *>(data), limit), "0123456789");
    std::free(data);

    // One missing level below the deep folder is made by the write.
    std::wstring below = path.substr(0, path.size() - 9) + L"\\more\\x.bin";
    ASSERT_EQ(WriteFileAt("x", below.c_str(), 0, 1), FILE_OK);
    EXPECT_EQ(GetBytes(below), "x");
}

TEST(TooLongPath, GivesTheOpenFailureOfEachOperation)
{
    // 32754 units: one more than fits behind the prefix.
    std::wstring path = L"C:\\" + std::wstring(32754 - 3, L'a');
    ASSERT_EQ(path.size(), 32754u);
    char buf[4] = {'k', 'e', 'e', 'p'};
    uint32_t length = 4;
    EXPECT_EQ(ReadFileAt(buf, path.c_str(), 0, &length), FILE_ERR_OPEN);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(buf[0], 'k');
    uint32_t limit = 10;
    EXPECT_EQ(ReadFileWhole(path.c_str(), &limit), nullptr);
    EXPECT_EQ(limit, 10u);
    EXPECT_EQ(WriteFileAt("x", path.c_str(), 0, 1), FILE_ERR_CREATE);
    uint64_t size = 5;
    EXPECT_EQ(QueryFileSize(path.c_str(), &size), FILE_ERR_OPEN);
    EXPECT_EQ(size, 5u);
    sOpenFile file = {&file, 77};
    EXPECT_EQ(OpenFileForReading(path.c_str(), &file), FILE_ERR_OPEN);
    EXPECT_EQ(file.handle, &file);

    // Without a drive there is no prefix, and far longer texts still only fail.
    std::wstring relative(40000, L'r');
    EXPECT_EQ(QueryFileSize(relative.c_str(), &size), FILE_ERR_OPEN);
    EXPECT_EQ(WriteFileAt("x", relative.c_str(), 0, 1), FILE_ERR_CREATE);
}

TEST_F(Scratch, FilesOfFourGibibytesOrMoreAreNeverReadWhole)
{
    std::wstring path = At(L"huge.bin");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 0x100000000LL + 10;
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);

    uint64_t size = 0;
    ASSERT_EQ(QueryFileSize(path.c_str(), &size), FILE_OK);
    EXPECT_EQ(size, 0x100000000ULL + 10);

    // Cut to 32 bits this size is 10, which the largest limit would admit.
    uint32_t limit = 0xFFFFFFFFu;
    EXPECT_EQ(ReadFileWhole(path.c_str(), &limit), nullptr);
    EXPECT_EQ(limit, 0xFFFFFFFFu);

    char tail[16] = {};
    uint32_t length = 16;
    ASSERT_EQ(ReadFileAt(tail, path.c_str(), 0x100000000ULL + 8, &length), FILE_OK);
    EXPECT_EQ(length, 2u);
    sOpenFile huge;
    ASSERT_EQ(OpenFileForReading(path.c_str(), &huge), FILE_OK);
    length = 16;
    ASSERT_EQ(ReadOpenFileAt(&huge, tail, 0x100000000ULL + 4, &length), FILE_OK);
    EXPECT_EQ(length, 6u);
    length = 16;
    ASSERT_EQ(ReadOpenFileAt(&huge, tail, 0x100000000ULL + 10, &length), FILE_OK);
    EXPECT_EQ(length, 0u);
    CloseOpenFile(&huge);
}

// A grown file takes the old one's place only while that still holds the
// bytes it grew from and no writer has it open; else the old one stays as it
// is, and so does the folder.
TEST_F(Scratch, AGrownFileReplacesOnlyTheBytesItGrewFrom)
{
    std::wstring list = At(L"list.txt");
    const std::string grown = "abc\ndef\n";
    auto replace = [&] { return ReplaceGrownFile(list.c_str(), grown.data(), grown.size(), 4); };
    for (const char *now : {"abX\n", "abc\nd", "abc", ""}) {
        ASSERT_TRUE(PutBytes(list, std::string(now)));
        EXPECT_EQ(replace(), FILE_ERR_CHANGED) << now;
        EXPECT_EQ(GetBytes(list), now);
    }
    ASSERT_TRUE(PutBytes(list, std::string("abc\n")));
    HANDLE writer = CreateFileW(list.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(replace(), FILE_ERR_CHANGED);
    CloseHandle(writer);
    EXPECT_EQ(GetBytes(list), "abc\n");
    WIN32_FIND_DATAW found;
    EXPECT_EQ(FindFirstFileW(At(L"*.saving").c_str(), &found), INVALID_HANDLE_VALUE);

    EXPECT_EQ(replace(), FILE_OK);
    EXPECT_EQ(GetBytes(list), grown);
    ASSERT_TRUE(DeleteFileW(list.c_str()));
    EXPECT_EQ(replace(), FILE_ERR_CHANGED);
    EXPECT_FALSE(Exists(list));
}

}  // namespace
