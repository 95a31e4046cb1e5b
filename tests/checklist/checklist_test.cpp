// The checksum list text: composing it from entries and parsing it back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "checklist/checklist.h"
#include "tests/checklist/list_helpers.h"

namespace {

Text Compose(const std::vector<Entry> &entries)
{
    Text out(ComposedListUnits(entries.data(), int32_t(entries.size())), utf16(0));
    uint64_t written = ComposeChecksumList(entries.data(), int32_t(entries.size()), out.data());
    EXPECT_EQ(written, out.size());
    return out;
}

std::vector<uint8_t> LittleEndianBytes(const Text &text)
{
    std::vector<uint8_t> bytes;
    for (utf16 u : text) {
        bytes.push_back(uint8_t(uint16_t(u) & 0xFF));
        bytes.push_back(uint8_t(uint16_t(u) >> 8));
    }
    return bytes;
}

void Parse(const Text &text, Parsed *parsed)
{
    parsed->result = ParseChecksumList(text.data(), text.size(), &parsed->list);
}

}  // namespace

TEST(ChecklistCompose, ByteExactLinesAndSkippedEntries)
{
    std::vector<Entry> entries;
    entries.push_back(MakeEntry('C', T(u"E3069283"), T(u"C:\\data\\a.txt")));
    std::vector<uint8_t> bytes = LittleEndianBytes(Compose(entries));
    const uint8_t head[] = {0x43, 0, 0x09, 0, 0x45, 0, 0x33, 0, 0x30, 0, 0x36, 0, 0x39, 0,
                            0x32, 0, 0x38, 0, 0x33, 0, 0x09, 0, 0x43, 0, 0x3A, 0, 0x5C, 0};
    ASSERT_EQ(bytes.size(), 2u * (1 + 1 + 8 + 1 + 13 + 2));
    EXPECT_TRUE(std::equal(std::begin(head), std::end(head), bytes.begin()));
    EXPECT_EQ(bytes[bytes.size() - 4], 0x0D);
    EXPECT_EQ(bytes[bytes.size() - 2], 0x0A);
    FreeEntries(entries);

    // One H entry with a 10-unit path: 288 bytes with the byte order mark.
    entries.push_back(MakeEntry('H', DigestOf('H', u'A'), T(u"C:\\x\\y.bin")));
    EXPECT_EQ(2 + 2 * ComposedListUnits(entries.data(), 1), 288u);

    // Unreadable files (empty digest) and missing digests stay out of the list.
    entries.push_back(MakeEntry('S', Text(), T(u"C:\\unreadable")));
    entries.push_back(Entry{'S', nullptr, nullptr});
    EXPECT_FALSE(EntryIsListed(&entries[1]));
    EXPECT_FALSE(EntryIsListed(&entries[2]));
    EXPECT_EQ(ComposedListUnits(entries.data(), 3), ComposedListUnits(entries.data(), 1));
    EXPECT_EQ(Compose(entries).size(), 1 + 1 + 128 + 1 + 10 + 2u);
    EXPECT_EQ(ComposedListUnits(entries.data(), 0), 0u);
    FreeEntries(entries);
}

TEST(ChecklistParse, RecordsByPosition)
{
    const Text c = T(u"C\tE3069283\tC:\\data\\a.txt\r\n");
    const Text bom(1, utf16(0xFEFF));
    {
        Parsed with, without;
        Parse(bom + c + c, &with);
        Parse(c + c, &without);
        ASSERT_EQ(with.result, CHECKLIST_OK);
        ASSERT_EQ(with.list.count, 2);
        ASSERT_EQ(without.list.count, 2);
        EXPECT_EQ(with.list.entries[1].kind, 'C');
        EXPECT_EQ(DigestAt(with, 1), T(u"E3069283"));
        EXPECT_EQ(PathOf(with, 1), T(u"C:\\data\\a.txt"));
        EXPECT_EQ(PathOf(without, 0), PathOf(with, 0));
    }
    {
        // Only the byte order mark, or nothing at all.
        Parsed only_bom, empty;
        Parse(bom, &only_bom);
        Parse(Text(), &empty);
        EXPECT_EQ(only_bom.list.count, 0);
        EXPECT_EQ(empty.list.count, 0);
        EXPECT_EQ(empty.list.capacity, CHECKLIST_INITIAL_CAPACITY);
    }
    {
        // Line feeds only: the path runs on to the next carriage return.
        Parsed lf;
        Parse(T(u"C\t00000000\ta\nC\t11111111\tb\r\n"), &lf);
        ASSERT_EQ(lf.list.count, 1);
        EXPECT_EQ(PathOf(lf, 0), T(u"a\nC\t11111111\tb"));
    }
    {
        // Lower-case letters start nothing; lower-case digests are kept as they are.
        Parsed lower;
        Parse(T(u"c\t00000000\tx\r\nC\te3069283\tC:\\a\r\n"), &lower);
        ASSERT_EQ(lower.list.count, 1);
        EXPECT_EQ(DigestAt(lower, 0), T(u"e3069283"));
    }
    {
        // Mixed kinds, a stray kind letter in free text, a path without CR at the end.
        Parsed mixed;
        Text text = T(u"S\t") + DigestOf('S', u'1') + T(u"\tone\r\n") + T(u"junk M\t") +
                    DigestOf('M', u'2') + T(u"\ttwo\r\nE\t") + DigestOf('E', u'3') + T(u"\tthree");
        Parse(text, &mixed);
        ASSERT_EQ(mixed.list.count, 3);
        EXPECT_EQ(mixed.list.entries[0].kind, 'S');
        EXPECT_EQ(mixed.list.entries[1].kind, 'M');
        EXPECT_EQ(DigestAt(mixed, 1), DigestOf('M', u'2'));
        EXPECT_EQ(mixed.list.entries[2].kind, 'E');
        EXPECT_EQ(PathOf(mixed, 2), T(u"three"));
    }
}

TEST(ChecklistParse, NeverReadsPastTheTextAndCutsLongPaths)
{
    {
        // A digest field cut off by the end is no entry.
        Parsed cut;
        Text text = T(u"C\t00000000\ta\r\nH\t") + DigestOf('H', u'F').substr(0, 127);
        Parse(text, &cut);
        EXPECT_EQ(cut.list.count, 1);
        Parsed bare;
        Parse(T(u"S"), &bare);
        EXPECT_EQ(bare.list.count, 0);
    }
    {
        // A complete digest field at the very end makes an entry with no path.
        Parsed tail;
        Parse(T(u"C\t12345678"), &tail);
        ASSERT_EQ(tail.list.count, 1);
        EXPECT_EQ(DigestAt(tail, 0), T(u"12345678"));
        EXPECT_EQ(PathOf(tail, 0), Text());
    }
    {
        Parsed longpath;
        Text path(40000, utf16('p'));
        Parse(T(u"C\t00000000\t") + path + T(u"\r\nC\t11111111\tnext\r\n"), &longpath);
        ASSERT_EQ(longpath.list.count, 2);
        EXPECT_EQ(PathOf(longpath, 0).size(), size_t(CHECKLIST_MAX_PATH_UNITS));
        // The scan resumes behind the whole field, not behind the cut.
        EXPECT_EQ(PathOf(longpath, 1), T(u"next"));
    }
}

TEST(ChecklistParse, TableGrowsByDoublingWithMargin)
{
    const Text line = T(u"C\t00000000\tf\r\n");
    struct Case {
        int lines;
        int capacity;
    };
    const Case cases[] = {{1279, 2048}, {1280, 4096}, {3327, 4096}, {3328, 8192}};
    for (const Case &c : cases) {
        Text text;
        for (int i = 0; i < c.lines; ++i)
            text += line;
        Parsed p;
        Parse(text, &p);
        EXPECT_EQ(p.list.count, c.lines);
        EXPECT_EQ(p.list.capacity, c.capacity) << c.lines << " lines";
    }
}

TEST(ChecklistRoundTrip, ComposedListParsesBack)
{
    std::vector<Entry> entries;
    entries.push_back(MakeEntry('C', DigestOf('C', u'0'), T(u"C:\\data\\a.txt")));
    entries.push_back(
        MakeEntry('E', DigestOf('E', u'A'), T(u"r\u00e9sum\u00e9\\\u65e5\u672c.txt")));
    entries.push_back(MakeEntry('S', DigestOf('S', u'B'), Text()));
    entries.push_back(MakeEntry('M', DigestOf('M', u'C'), T(u"SMEHC with\nline feed")));
    entries.push_back(MakeEntry('H', DigestOf('H', u'D'), Text(300, utf16('z'))));
    Parsed p;
    Parse(Text(1, utf16(0xFEFF)) + Compose(entries), &p);
    ASSERT_EQ(p.list.count, int32_t(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(p.list.entries[i].kind, entries[i].kind);
        EXPECT_EQ(DigestAt(p, int(i)), Text(entries[i].digest));
        EXPECT_EQ(PathOf(p, int(i)), Text(entries[i].path));
    }
    FreeEntries(entries);
}
