// GNU, SFV and sidecar lists: what a list's name and its digests' lengths
// say about the algorithm, reading each format as its tools write it, and
// composing whole lists, refused when the format cannot hold the entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checklist/checklist.h"
#include "tests/checklist/list_helpers.h"

namespace {

KindMask Kinds(const char *letters)
{
    KindMask mask = 0;
    for (const char *l = letters; *l; ++l)
        mask |= KindBit(FindKind(utf16(*l)));
    return mask;
}

std::string Ascii(const Text &text)
{
    return std::string(text.begin(), text.end());
}

std::string Lower(const Text &text)
{
    std::string s = Ascii(text);
    for (char &c : s)
        c = c >= 'A' && c <= 'F' ? char(c - 'A' + 'a') : c;
    return s;
}

int FormatOf(const std::string &bytes)
{
    return DetectListFormat(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

}  // namespace

TEST(ListNames, AlgorithmAndFormatFollowTheNameInAnyCase)
{
    // A name that gives the algorithm asks for a GNU list.
    const std::pair<const char16_t *, char> named[] = {
        {u"C:\\iso\\SHA256SUMS", 'U'},
        {u"sha256sum.txt", 'U'},
        {u"d/app.zip.SHA256", 'U'},
        {u"a.sha256sums", 'U'},
        {u"MD5SUMS", 'D'},
        {u"old.Md5", 'D'},
        {u"x.sha1", 'A'},
        {u"SHA512SUMS", 'W'},
        {u"B3SUMS", 'B'},
        {u"x.blake3", 'B'},
        {u"x.xxh128", 'Y'},
        {u"x.xxh3", 'X'},
        {u"x.crc32c", 'C'},
        {u"SHA3-512SUMS", 'H'},
    };
    for (auto [path, kind] : named) {
        Text name = T(path);
        ASSERT_NE(KindOfListName(name.c_str()), nullptr) << Ascii(name);
        EXPECT_EQ(KindOfListName(name.c_str())->letter, kind) << Ascii(name);
        EXPECT_EQ(ListFormatOfName(name.c_str()), LIST_FORMAT_GNU) << Ascii(name);
    }
    const std::pair<const char16_t *, int> others[] = {
        {u"C:\\a.b\\Music.SFV", LIST_FORMAT_SFV},   {u"C:\\a.b\\l.qcx", LIST_FORMAT_QCX},
        {u"C:\\a.b\\list", LIST_FORMAT_QCX},        {u"list.", LIST_FORMAT_QCX},
        {u"C:\\sha256\\l.txt", LIST_FORMAT_TAGGED}, {u"SHA256SUMS.asc", LIST_FORMAT_TAGGED},
        {u"x.sha256.txt", LIST_FORMAT_TAGGED},
    };
    for (auto [path, format] : others)
        EXPECT_EQ(ListFormatOfName(T(path).c_str()), format) << Ascii(T(path));
}

TEST(ListCandidates, LengthsGiveCandidatesAndTheFirstMatchSettlesThem)
{
    // A neutral name: each line judged by its own length.
    const std::string list = Lower(DigestOf('U', u'A')) + "  a\n" + Lower(DigestOf('D', u'B')) +
                             "  b\n" + Lower(DigestOf('A', u'C')) + "  c\n" +
                             Lower(DigestOf('U', u'D')) + " *d\n";
    Parsed p;
    ParseNamedFile(list, T(u"C:\\d\\list.txt"), &p);
    EXPECT_EQ(p.list.format, LIST_FORMAT_GNU);
    ASSERT_EQ(p.list.count, 4);
    const char *expected[] = {"UBS", "DY", "A", "UBS"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(CandidatesAt(p, i), Kinds(expected[i])) << i;
    EXPECT_EQ(p.list.entries[1].kind, 'D');
    EXPECT_EQ(SettleListKind(&p.list, FindKind(u'B')), 2);
    EXPECT_EQ(p.list.entries[3].kind, 'B');
    EXPECT_EQ(CandidatesAt(p, 3), Kinds("B"));
    EXPECT_EQ(CandidatesAt(p, 1), Kinds("DY"));
    EXPECT_EQ(LikeliestKind(Kinds("RC"))->letter, 'R');

    // The name settles every line of its length and refuses the others.
    Parsed named;
    ParseNamedFile(list, T(u"C:\\d\\SHA256SUMS"), &named);
    EXPECT_EQ(named.list.candidates, nullptr);
    ASSERT_EQ(named.list.count, 2);
    EXPECT_EQ(PathOf(named, 1), T(u"d"));
    ASSERT_EQ(named.problems.count, 2);
    EXPECT_EQ(named.problems.items[0].problem, LIST_LINE_DIGEST_LENGTH);
    EXPECT_EQ(ProblemText(named, 0), T(u"b"));
}

TEST(GnuParse, EscapedNamesLineEndsMarksAndBadLines)
{
    const std::string hex = Lower(DigestOf('A', u'E'));
    struct Case {
        std::string line;
        const char16_t *path;  // null: a problem
        int problem;
    };
    // A heading above the lines does not make the list another format.
    const Case cases[] = {
        {"Checksums of release 1.2:", nullptr, LIST_LINE_MALFORMED},
        {hex + "  plain name.txt", u"plain name.txt", 0},
        {hex + " *bin/ary", u"bin/ary", 0},
        {hex + " one space", u"one space", 0},
        {"\\" + hex + "  back\\\\slash\\nline\\rcr", u"back\\slash\nline\rcr", 0},
        {hex + "  C:\\not\\escaped", u"C:\\not\\escaped", 0},
        {"\\" + hex + "  bad\\tescape", nullptr, LIST_LINE_MALFORMED},
        {"\\" + hex + "  cut\\", nullptr, LIST_LINE_MALFORMED},
        {hex + "x  f", nullptr, LIST_LINE_MALFORMED},
        {hex + "0  odd length", u"odd length", LIST_LINE_DIGEST_LENGTH},
        {hex + "  bad \xC3(", u"bad \uFFFD(", LIST_LINE_INVALID_TEXT},
    };
    std::string file = "\xEF\xBB\xBF# a comment\r\n";
    for (const Case &c : cases)
        file += c.line + "\r\n";
    EXPECT_EQ(FormatOf(file), LIST_FORMAT_GNU);
    Parsed p;
    ParseFile(file, &p);
    ASSERT_EQ(p.result, CHECKLIST_OK);
    int entry = 0, problem = 0;
    for (const Case &c : cases) {
        if (c.problem == 0) {
            ASSERT_LT(entry, p.list.count);
            EXPECT_EQ(PathOf(p, entry), T(c.path)) << c.line;
            EXPECT_EQ(DigestAt(p, entry), DigestOf('A', u'E'));
            EXPECT_EQ(p.list.entries[entry++].kind, 'A');
            continue;
        }
        ASSERT_LT(problem, p.problems.count);
        EXPECT_EQ(p.problems.items[problem].problem, c.problem) << c.line;
        Text shown = c.path ? T(c.path) : ProblemText(p, problem);
        EXPECT_EQ(ProblemText(p, problem++), shown) << c.line;
    }
    EXPECT_EQ(entry, p.list.count);
    EXPECT_EQ(problem, p.problems.count);
}

TEST(GnuParse, ASidecarNamesTheFileItsNameContinues)
{
    const std::string hex = Lower(DigestOf('U', u'7'));
    struct Case {
        const char16_t *list;
        std::string bytes;
        const char16_t *path;  // null: no file to check, a problem
        const char *kinds;
    };
    const Case cases[] = {
        {u"C:\\dl\\file.iso.sha256", hex + "\n", u"file.iso", "U"},
        {u"C:\\dl\\file.iso.sha256", hex + "  other.iso", u"other.iso", "U"},
        {u"C:\\dl\\file.iso.hash", hex, u"file.iso", "UBS"},
        {u"C:\\dl\\SHA256SUMS", hex, nullptr, ""},
        {u"C:\\dl\\.sha256", hex, nullptr, ""},
    };
    for (const Case &c : cases) {
        Parsed p;
        ParseNamedFile(c.bytes, T(c.list), &p);
        EXPECT_EQ(p.problems.count, c.path ? 0 : 1) << Ascii(T(c.list));
        ASSERT_EQ(p.list.count, c.path ? 1 : 0) << Ascii(T(c.list));
        if (c.path) {
            EXPECT_EQ(PathOf(p, 0), T(c.path));
            EXPECT_EQ(CandidatesAt(p, 0), Kinds(c.kinds));
        }
    }
    const uint8_t *head = reinterpret_cast<const uint8_t *>(hex.data());
    EXPECT_TRUE(LooksLikeNamedChecksumList(head, hex.size(), true, T(u"a.iso.sha256").c_str()));
    EXPECT_FALSE(LooksLikeChecksumList(head, hex.size(), true));
}

TEST(SfvParse, CommentsSpacedNamesAndLengths)
{
    const std::string sfv = "; Generated by a tool\n;\n;   3  08:27.21 2026-12-08 a.txt\n"
                            "a.txt 352441C2\r\n"
                            "sub dir/b (1).txt 352441c2\n"
                            "short.txt 352441\n"
                            "no-digest\n";
    EXPECT_EQ(FormatOf(sfv), LIST_FORMAT_SFV);
    Parsed p;
    ParseFile(sfv, &p);
    EXPECT_EQ(p.list.format, LIST_FORMAT_SFV);
    ASSERT_EQ(p.list.count, 2);
    EXPECT_EQ(PathOf(p, 1), T(u"sub dir/b (1).txt"));
    EXPECT_EQ(DigestAt(p, 1), T(u"352441C2"));
    EXPECT_EQ(p.list.entries[1].kind, 'R');
    EXPECT_EQ(p.list.candidates, nullptr);
    ASSERT_EQ(p.problems.count, 2);
    EXPECT_EQ(p.problems.items[0].problem, LIST_LINE_DIGEST_LENGTH);
    EXPECT_EQ(ProblemText(p, 0), T(u"short.txt"));
    EXPECT_EQ(p.problems.items[1].problem, LIST_LINE_MALFORMED);

    // A line both formats could read is SFV when the name says so.
    const std::string both = "deadbeef  12345678\n";
    Parsed gnu, named;
    ParseFile(both, &gnu);
    ParseNamedFile(both, T(u"C:\\m\\album.sfv"), &named);
    EXPECT_EQ(PathOf(gnu, 0), T(u"12345678"));
    ASSERT_EQ(named.list.count, 1);
    EXPECT_EQ(PathOf(named, 0), T(u"deadbeef"));
    EXPECT_EQ(DigestAt(named, 0), T(u"12345678"));
}

TEST(ListCompose, EachFormatIsWrittenAsItsToolsWriteIt)
{
    std::vector<Entry> entries;
    entries.push_back(MakeEntry('U', DigestOf('U', u'A'), T(u"C:\\Lists\\a.txt")));
    entries.push_back(MakeEntry('U', DigestOf('U', u'B'), T(u"c:/lists\\sub\\b \u00e9.txt")));
    entries.push_back(MakeEntry('U', DigestOf('U', u'C'), T(u"C:\\other\\c.txt")));
    entries.push_back(MakeEntry('U', Text(), T(u"C:\\Lists\\unreadable")));
    const Text list = T(u"C:\\lists\\SHA256SUMS");
    Composed gnu = ComposeFile(LIST_FORMAT_GNU, list, entries);
    ASSERT_EQ(gnu.result, CHECKLIST_OK);
    EXPECT_EQ(gnu.left_out, 0);
    EXPECT_EQ(gnu.bytes, Lower(DigestOf('U', u'A')) + "  a.txt\n" + Lower(DigestOf('U', u'B')) +
                             "  sub/b \xC3\xA9.txt\n\\" + Lower(DigestOf('U', u'C')) +
                             "  C:\\\\other\\\\c.txt\n");
    Parsed back;
    ParseNamedFile(gnu.bytes, list, &back);
    ASSERT_EQ(back.list.count, 3);
    EXPECT_EQ(PathOf(back, 2), T(u"C:\\other\\c.txt"));
    EXPECT_EQ(DigestAt(back, 2), DigestOf('U', u'C'));
    FreeEntries(entries);

    entries.push_back(MakeEntry('R', T(u"352441C2"), T(u"D:\\m\\cd 1\\01.flac")));
    entries.push_back(MakeEntry('R', T(u"0000ABCD"), T(u"D:\\m\\two\nlines")));
    Composed sfv = ComposeFile(LIST_FORMAT_SFV, T(u"D:\\m\\album.sfv"), entries);
    ASSERT_EQ(sfv.result, CHECKLIST_OK);
    EXPECT_EQ(sfv.bytes, "cd 1/01.flac 352441C2\n");
    EXPECT_EQ(sfv.left_out, 1);

    // .qcx and the tagged list stay what their own composers write.
    entries.push_back(MakeEntry('S', DigestOf('S', u'1'), T(u"D:\\m\\x")));
    Composed qcx = ComposeFile(LIST_FORMAT_QCX, T(u"D:\\m\\l.qcx"), entries);
    Text body(ComposedListUnits(entries.data(), 3), utf16(0));
    ComposeChecksumList(entries.data(), 3, body.data());
    std::string wide = "\xFF\xFE";
    for (utf16 u : body)
        wide += std::string{char(uint16_t(u) & 0xFF), char(uint16_t(u) >> 8)};
    EXPECT_EQ(qcx.bytes, wide);
    Composed tagged = ComposeFile(LIST_FORMAT_TAGGED, T(u"D:\\m\\l.txt"), entries);
    std::string lines(TaggedListBytes(entries.data(), 3), '\0');
    ComposeTaggedList(entries.data(), 3, lines.data());
    EXPECT_EQ(tagged.bytes, lines);
    EXPECT_EQ(tagged.left_out, 1);
    EXPECT_EQ(ComposeFile(LIST_FORMAT_QCX, T(u"l.qcx"), {}).bytes, "\xFF\xFE");
    FreeEntries(entries);
}

TEST(ListCompose, MixedOrUnholdableKindsAreRefusedBeforeAnythingIsWritten)
{
    std::vector<Entry> sha3 = {MakeEntry('S', DigestOf('S', u'1'), T(u"C:\\d\\a"))};
    std::vector<Entry> mixed = {MakeEntry('U', DigestOf('U', u'1'), T(u"C:\\d\\a")),
                                MakeEntry('B', DigestOf('B', u'2'), T(u"C:\\d\\b"))};
    std::vector<Entry> md5 = {MakeEntry('D', DigestOf('D', u'3'), T(u"C:\\d\\c"))};
    struct Case {
        int format;
        const char16_t *name;
        const std::vector<Entry> *entries;
        int result;
    };
    const Case cases[] = {
        {LIST_FORMAT_GNU, u"C:\\d\\x.sha256", &sha3, CHECKLIST_ERR_KIND_NOT_HELD},
        {LIST_FORMAT_GNU, u"C:\\d\\SHA256SUMS", &mixed, CHECKLIST_ERR_MIXED_KINDS},
        {LIST_FORMAT_GNU, u"C:\\d\\x.b3", &md5, CHECKLIST_ERR_KIND_NOT_HELD},
        {LIST_FORMAT_SFV, u"C:\\d\\x.sfv", &md5, CHECKLIST_ERR_KIND_NOT_HELD},
        {LIST_FORMAT_SFV, u"C:\\d\\x.sfv", &mixed, CHECKLIST_ERR_MIXED_KINDS},
        {LIST_FORMAT_GNU, u"C:\\d\\x.sha3-256", &sha3, CHECKLIST_OK},
        {LIST_FORMAT_GNU, u"C:\\d\\x.md5", &md5, CHECKLIST_OK},
        {LIST_FORMAT_TAGGED, u"C:\\d\\x.txt", &mixed, CHECKLIST_OK},
        {LIST_FORMAT_QCX, u"C:\\d\\x.qcx", &mixed, CHECKLIST_OK},
    };
    for (const Case &c : cases) {
        Composed composed = ComposeFile(c.format, T(c.name), *c.entries);
        EXPECT_EQ(composed.result, c.result) << Ascii(T(c.name));
        EXPECT_EQ(composed.bytes.empty(), c.result != CHECKLIST_OK) << Ascii(T(c.name));
    }
    FreeEntries(sha3);
    FreeEntries(mixed);
    FreeEntries(md5);
}
