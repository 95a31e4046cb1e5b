// Tagged text lists: composing, recognising each encoding, and reading
// hostile lines without losing the good ones.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "checklist/checklist.h"
#include "tests/checklist/list_helpers.h"

namespace {

std::string ComposeTagged(const std::vector<Entry> &entries)
{
    std::string out(TaggedListBytes(entries.data(), int32_t(entries.size())), '\0');
    uint64_t written = ComposeTaggedList(entries.data(), int32_t(entries.size()), out.data());
    EXPECT_EQ(written, out.size());
    return out;
}

std::string Utf16LeBytes(const Text &text)
{
    std::string bytes;
    for (utf16 u : text) {
        bytes += char(uint16_t(u) & 0xFF);
        bytes += char(uint16_t(u) >> 8);
    }
    return bytes;
}

std::string Ascii(const Text &text)
{
    return std::string(text.begin(), text.end());
}

const char CRC_LINE[] = "CRC32C (a.txt) = 364b3fb7";
const char NUL_LINE[] = "CRC32C (h\0i) = 364b3fb7";

}  // namespace

TEST(TaggedCompose, Utf8LinesWithLineFeedsAndLeftOutEntries)
{
    std::vector<Entry> entries;
    // e-acute (2 bytes), a CJK ideograph (3 bytes), U+1F600 as a surrogate pair (4 bytes).
    entries.push_back(MakeEntry('C', T(u"364B3FB7"), T(u"C:\\d\\r\u00e9\u65e5\U0001F600.txt")));
    entries.push_back(MakeEntry('S', Text(), T(u"C:\\unreadable")));
    entries.push_back(MakeEntry('E', DigestOf('E', u'A'), Text(1, utf16(0xD800)) + T(u"x")));
    entries.push_back(MakeEntry('E', DigestOf('E', u'A'), T(u"x") + Text(1, utf16(0xDC00))));
    entries.push_back(MakeEntry('M', DigestOf('M', u'B'), T(u"two\nlines")));
    entries.push_back(MakeEntry('H', DigestOf('H', u'C'), T(u"C:\\p (1)) = q")));
    EXPECT_TRUE(EntryFitsTaggedList(&entries[0]));
    for (int i = 1; i <= 4; ++i)
        EXPECT_FALSE(EntryFitsTaggedList(&entries[size_t(i)])) << i;
    EXPECT_EQ(ComposeTagged(entries),
              "CRC32C (C:\\d\\r\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80.txt) = 364B3FB7\n"
              "SHA3-512 (C:\\p (1)) = q) = " +
                  Ascii(DigestOf('H', u'C')) + "\n");
    EXPECT_EQ(TaggedListBytes(entries.data(), 0), 0u);
    FreeEntries(entries);
}

TEST(TaggedParse, EveryKindRoundTripsThroughEachEncoding)
{
    std::vector<Entry> entries;
    entries.push_back(MakeEntry('C', DigestOf('C', u'0'), T(u"C:\\data\\a.txt")));
    entries.push_back(
        MakeEntry('E', DigestOf('E', u'A'), T(u"r\u00e9sum\u00e9\\\u65e5\u672c\U0001F600.txt")));
    entries.push_back(MakeEntry('S', DigestOf('S', u'B'), T(u"odd (name)) = x.bin")));
    entries.push_back(MakeEntry('M', DigestOf('M', u'C'), T(u"\\\\server\\share\\m")));
    entries.push_back(MakeEntry('H', DigestOf('H', u'D'), Text(300, utf16('z'))));
    const std::string lf = ComposeTagged(entries);
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    // The same lines as UTF-16 with CR LF, rebuilt from the entries.
    Text wide;
    for (const Entry &e : entries) {
        const char *name = FindKind(utf16(e.kind))->name;
        wide += Text(name, name + std::char_traits<char>::length(name)) + T(u" (") + Text(e.path) +
                T(u") = ") + Text(e.digest) + T(u"\r\n");
    }
    const std::string forms[] = {lf, crlf, "\xEF\xBB\xBF" + lf, "\xEF\xBB\xBF" + crlf,
                                 "\xFF\xFE" + Utf16LeBytes(wide)};
    for (const std::string &bytes : forms) {
        EXPECT_EQ(DetectListFormat(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()),
                  LIST_FORMAT_TAGGED);
        Parsed p;
        ParseFile(bytes, &p);
        ASSERT_EQ(p.result, CHECKLIST_OK);
        EXPECT_EQ(p.problems.count, 0);
        ASSERT_EQ(p.list.count, int32_t(entries.size())) << bytes.substr(0, 4);
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(p.list.entries[i].kind, entries[i].kind);
            EXPECT_EQ(DigestAt(p, int(i)), Text(entries[i].digest));
            EXPECT_EQ(PathOf(p, int(i)), Text(entries[i].path));
        }
    }
    // Tools differ in the case of the names and the hex; both are read.
    std::string lower = lf;
    for (char &c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    Parsed p;
    ParseFile(lower, &p);
    EXPECT_EQ(p.problems.count, 0);
    ASSERT_EQ(p.list.count, int32_t(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(p.list.entries[i].kind, entries[i].kind);
        EXPECT_EQ(DigestAt(p, int(i)), Text(entries[i].digest));
    }
    FreeEntries(entries);
}

TEST(TaggedParse, QcxListsAndEmptyFilesKeepTheirOldReading)
{
    const Text qcx = T(u"C\tE3069283\tC:\\a.txt\r\nS\t") + DigestOf('S', u'1') + T(u"\tb\r\n");
    const std::string forms[] = {"\xFF\xFE" + Utf16LeBytes(qcx), Utf16LeBytes(qcx),
                                 "\xFF\xFE" + Utf16LeBytes(T(u"\r\n") + qcx)};
    for (const std::string &bytes : forms) {
        EXPECT_EQ(DetectListFormat(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()),
                  LIST_FORMAT_QCX);
        Parsed p;
        ParseFile(bytes, &p);
        ASSERT_EQ(p.list.count, 2);
        EXPECT_EQ(PathOf(p, 0), T(u"C:\\a.txt"));
        EXPECT_EQ(DigestAt(p, 1), DigestOf('S', u'1'));
    }
    const std::string empty[] = {"", "\xFF\xFE", "\xEF\xBB\xBF", "\n\r\n",
                                 std::string("\xFF\xFE\n\0", 4)};
    for (const std::string &bytes : empty) {
        Parsed p;
        ParseFile(bytes, &p);
        EXPECT_EQ(p.result, CHECKLIST_OK);
        EXPECT_EQ(p.list.count, 0);
        EXPECT_EQ(p.problems.count, 0);
    }
}

TEST(TaggedParse, BadLinesBecomeProblemsAndTheRestIsKept)
{
    const std::string sha224 = Ascii(DigestOf('E', u'f'));
    struct Case {
        std::string line;
        int problem;
        Text text;
    };
    const Case cases[] = {
        {"CRC32C (a.txt) = 364b3f", LIST_LINE_DIGEST_LENGTH, T(u"a.txt")},
        {"SHA3-224 (b) = " + sha224 + "00", LIST_LINE_DIGEST_LENGTH, T(u"b")},
        {"WHIRLPOOL (c d) = d41d8cd98f00b204e9800998ecf8427e", LIST_LINE_UNKNOWN_ALGORITHM,
         T(u"c d")},
        {"SHA3-256 (e) = xyz", LIST_LINE_MALFORMED, T(u"SHA3-256 (e) = xyz")},
        {"CRC32C (f.txt) 364b3fb7", LIST_LINE_MALFORMED, T(u"CRC32C (f.txt) 364b3fb7")},
        {"CRC32C", LIST_LINE_MALFORMED, T(u"CRC32C")},
        {"(g) = 364b3fb7", LIST_LINE_MALFORMED, T(u"(g) = 364b3fb7")},
        {std::string(NUL_LINE, sizeof NUL_LINE - 1), LIST_LINE_INVALID_TEXT, T(u"h\uFFFDi")},
        {"CRC32C (\xC3(j\xED\xA0\x80) = 364b3fb7", LIST_LINE_INVALID_TEXT,
         T(u"\uFFFD(j\uFFFD\uFFFD\uFFFD")},
    };
    std::string file = std::string(CRC_LINE) + "\n# a comment\n; another\n\n";
    for (const Case &c : cases)
        file += c.line + "\n" + CRC_LINE + "\r\n";
    Parsed p;
    ParseFile(file, &p);
    ASSERT_EQ(p.result, CHECKLIST_OK);
    EXPECT_EQ(p.list.count, int32_t(std::size(cases)) + 1);
    ASSERT_EQ(p.problems.count, int32_t(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(p.problems.items[i].line, int32_t(5 + 2 * i)) << cases[i].line;
        EXPECT_EQ(p.problems.items[i].problem, cases[i].problem) << cases[i].line;
        EXPECT_EQ(ProblemText(p, int(i)), cases[i].text) << cases[i].line;
    }
    for (int32_t i = 0; i < p.list.count; ++i) {
        EXPECT_EQ(DigestAt(p, i), T(u"364B3FB7"));
        EXPECT_EQ(PathOf(p, i), T(u"a.txt"));
    }
}

TEST(TaggedParse, CutLinesAndOverlongPathsStayBounded)
{
    const std::string line = "SHA3-256 (dir/file.bin) = " + Ascii(DigestOf('S', u'9')) + "\n";
    for (size_t cut = 1; cut < line.size() - 1; ++cut) {
        Parsed p;
        ParseFile(line.substr(0, cut), &p);
        EXPECT_EQ(p.list.count, 0) << cut;
        EXPECT_EQ(p.problems.count, 1) << cut;
    }
    Parsed whole;
    ParseFile(line.substr(0, line.size() - 1), &whole);
    EXPECT_EQ(whole.list.count, 1);

    const std::string long_path(40000, 'p');
    Parsed p;
    ParseFile("CRC32C (" + long_path + ") = 00000000\nCRC32C (" + long_path + ") = 0\n", &p);
    ASSERT_EQ(p.list.count, 1);
    EXPECT_EQ(PathOf(p, 0).size(), size_t(CHECKLIST_MAX_PATH_UNITS));
    ASSERT_EQ(p.problems.count, 1);
    EXPECT_EQ(ProblemText(p, 0).size(), size_t(CHECKLIST_MAX_PATH_UNITS));
}

TEST(TaggedParse, PathAnchoringFollowsWindowsRules)
{
    struct Case {
        const char16_t *path;
        int kind;
    };
    const Case cases[] = {
        {u"C:\\x", LIST_PATH_ABSOLUTE},
        {u"z:/x", LIST_PATH_ABSOLUTE},
        {u"\\\\server\\share\\x", LIST_PATH_ABSOLUTE},
        {u"\\\\?\\C:\\x", LIST_PATH_ABSOLUTE},
        {u"//server/share", LIST_PATH_ABSOLUTE},
        {u"\\x", LIST_PATH_ROOTED},
        {u"/x", LIST_PATH_ROOTED},
        {u"C:x", LIST_PATH_DRIVE_RELATIVE},
        {u"C:", LIST_PATH_DRIVE_RELATIVE},
        {u"x", LIST_PATH_RELATIVE},
        {u".\\x", LIST_PATH_RELATIVE},
        {u"..\\x", LIST_PATH_RELATIVE},
        {u"1:\\x", LIST_PATH_RELATIVE},
        {u"", LIST_PATH_RELATIVE},
    };
    for (const Case &c : cases) {
        Text path = T(c.path);
        EXPECT_EQ(ClassifyListPath(path.c_str()), c.kind) << Ascii(path);
    }
}

TEST(TaggedParse, ListedPathsAreTakenFromTheListsFolderOrTheRootOfItsDrive)
{
    struct Case {
        const char16_t *list, *path, *meant;
        bool anchored;
    };
    const Case cases[] = {
        {u"C:\\lists\\a.txt", u"x\\f.bin", u"C:\\lists\\x\\f.bin", true},
        {u"C:/lists/a.txt", u"..\\f.bin", u"C:/lists/..\\f.bin", true},
        {u"a.txt", u"f.bin", u"f.bin", true},
        {u"C:\\lists\\a.txt", u"\\f.bin", u"C:\\f.bin", true},
        {u"\\\\server\\share\\lists\\a.txt", u"\\f.bin", u"\\\\server\\share\\f.bin", true},
        {u"\\\\?\\C:\\lists\\a.txt", u"/f.bin", u"\\\\?\\C:/f.bin", true},
        {u"\\\\?\\UNC\\server\\share\\l\\a.txt", u"\\f.bin", u"\\\\?\\UNC\\server\\share\\f.bin",
         true},
        {u"lists\\a.txt", u"\\f.bin", u"\\f.bin", true},
        {u"C:\\lists\\a.txt", u"D:\\f.bin", u"D:\\f.bin", true},
        {u"C:\\lists\\a.txt", u"D:f.bin", u"D:f.bin", false},
    };
    for (const Case &c : cases) {
        Text list = T(c.list);
        Text path = T(c.path);
        bool anchored = !c.anchored;
        utf16 *meant = AnchorListedPath(list.c_str(), &path[0], &anchored);
        ASSERT_NE(meant, nullptr);
        EXPECT_EQ(Text(meant), T(c.meant)) << Ascii(list) << " + " << Ascii(path);
        EXPECT_EQ(anchored, c.anchored) << Ascii(path);
        if (meant != path.c_str())
            std::free(meant);
    }
}
