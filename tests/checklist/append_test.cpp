// Lines added to an existing list: written the way its own lines are, so
// that the grown file parses to the old entries followed by the new ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checklist/checklist.h"
#include "tests/checklist/list_helpers.h"

namespace {

struct Grown {
    ListStyle style = {};
    std::string bytes;  // the old bytes, then the added lines
};

// Adds `added` after the old bytes in the style read.
void AddTo(Grown *grown, std::vector<Entry> &added)
{
    for (Entry &entry : added)
        UseListSeparator(&grown->style, entry.path);
    std::string extra(AddedLinesBytes(&grown->style, added.data(), int32_t(added.size())), '\0');
    uint64_t written = ComposeAddedLines(&grown->style, added.data(), int32_t(added.size()),
                                         reinterpret_cast<uint8_t *>(extra.data()));
    EXPECT_EQ(written, extra.size());
    grown->bytes += extra;
}

// Reads the style of `old` and adds `added` after it.
Grown Grow(const std::string &old, std::vector<Entry> &added, int empty_format = LIST_FORMAT_QCX)
{
    Grown grown;
    Parsed parsed;
    ParseFile(old, &parsed);
    ReadListStyle(reinterpret_cast<const uint8_t *>(old.data()), old.size(), &parsed.list,
                  empty_format, &grown.style);
    grown.bytes = old;
    AddTo(&grown, added);
    return grown;
}

// The same for the list file at `list_path`, whose name may give its format
// and algorithm.
Grown GrowNamed(const std::string &old, const Text &list_path, std::vector<Entry> &added)
{
    Grown grown;
    Parsed parsed;
    ParseNamedFile(old, list_path, &parsed);
    ReadNamedListStyle(reinterpret_cast<const uint8_t *>(old.data()), old.size(), &parsed.list,
                       list_path.c_str(), &grown.style);
    grown.bytes = old;
    AddTo(&grown, added);
    return grown;
}

std::string Wide(const std::string &ascii)
{
    std::string bytes;
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

}  // namespace

TEST(ListAppend, Utf8TaggedListsKeepTheirLineEndsSeparatorsAndOpenLastLine)
{
    const std::string crc = "CRC32C (sub/a.txt) = 364b3fb7";
    std::vector<Entry> added = {MakeEntry('C', T(u"AABBCCDD"), T(u"sub\\new \u00e9.txt"))};

    Grown lf = Grow(crc + "\n", added);
    EXPECT_EQ(lf.style.format, LIST_FORMAT_TAGGED);
    EXPECT_TRUE(lf.style.relative);
    EXPECT_EQ(lf.bytes, crc + "\nCRC32C (sub/new \xC3\xA9.txt) = AABBCCDD\n");

    // CR LF lines and a last line without its end: the end comes first.
    Grown crlf = Grow("\xEF\xBB\xBF" + crc + "\r\n" + crc, added);
    EXPECT_EQ(crlf.bytes, "\xEF\xBB\xBF" + crc + "\r\n" + crc +
                              "\r\nCRC32C (sub/new \xC3\xA9.txt) = AABBCCDD\r\n");
    Parsed reread;
    ParseFile(crlf.bytes, &reread);
    ASSERT_EQ(reread.list.count, 3);
    EXPECT_EQ(PathOf(reread, 2), T(u"sub/new \u00e9.txt"));
    EXPECT_EQ(reread.problems.count, 0);

    // Full paths stay full; unreadable entries and paths UTF-8 cannot hold
    // are left out, and nothing left means nothing to write.
    std::vector<Entry> unfit = {MakeEntry('S', Text(), T(u"C:\\x")),
                                MakeEntry('C', T(u"AABBCCDD"), Text(1, utf16(0xD800)))};
    Grown absolute = Grow("CRC32C (C:\\d\\a.txt) = 364b3fb7", unfit);
    EXPECT_FALSE(absolute.style.relative);
    EXPECT_EQ(absolute.bytes, "CRC32C (C:\\d\\a.txt) = 364b3fb7");
    FreeEntries(added);
    FreeEntries(unfit);
}

TEST(ListAppend, WideListsGrowInUtf16AndAnEmptyQcxGetsItsMark)
{
    std::vector<Entry> added = {MakeEntry('S', DigestOf('S', u'A'), T(u"C:\\d\\n.txt"))};
    const std::string qcx_line = Wide("C\t364B3FB7\tC:\\d\\a.txt\r\n");
    Grown qcx = Grow("\xFF\xFE" + qcx_line, added);
    EXPECT_EQ(qcx.style.format, LIST_FORMAT_QCX);
    EXPECT_FALSE(qcx.style.relative);
    const Text digest_text = DigestOf('S', u'A');
    std::string digest(digest_text.begin(), digest_text.end());
    EXPECT_EQ(qcx.bytes, "\xFF\xFE" + qcx_line + Wide("S\t" + digest + "\tC:\\d\\n.txt\r\n"));

    Grown empty = Grow("", added, LIST_FORMAT_QCX);
    EXPECT_EQ(empty.bytes, "\xFF\xFE" + Wide("S\t" + digest + "\tC:\\d\\n.txt\r\n"));
    Grown empty_tagged = Grow("", added, LIST_FORMAT_TAGGED);
    EXPECT_EQ(empty_tagged.bytes, "SHA3-256 (C:\\d\\n.txt) = " + digest + "\n");

    Grown tagged = Grow("\xFF\xFE" + Wide("CRC32C (a.txt) = 364B3FB7"), added);
    EXPECT_EQ(tagged.style.format, LIST_FORMAT_TAGGED);
    EXPECT_EQ(tagged.bytes,
              "\xFF\xFE" +
                  Wide("CRC32C (a.txt) = 364B3FB7\nSHA3-256 (C:\\d\\n.txt) = " + digest + "\n"));

    // A UTF-16 text cut inside a unit would read every added unit one byte off.
    Grown odd = Grow("\xFF\xFE" + qcx_line + "x", added);
    EXPECT_FALSE(odd.style.appendable);
    FreeEntries(added);
}

TEST(ListAppend, GnuAndSfvListsGrowInTheirOwnFormWithTheirOneAlgorithm)
{
    const Text a = DigestOf('U', u'A');
    const std::string old = std::string(a.begin(), a.end()) + "  a.txt\r\n";
    std::vector<Entry> added = {MakeEntry('U', DigestOf('U', u'B'), T(u"sub\\n\\e\u00e9.txt")),
                                MakeEntry('B', DigestOf('B', u'C'), T(u"blake3.txt")),
                                MakeEntry('U', DigestOf('U', u'D'), T(u"two\nlines"))};
    Grown named = GrowNamed(old, T(u"C:\\iso\\SHA256SUMS"), added);
    EXPECT_EQ(named.style.format, LIST_FORMAT_GNU);
    EXPECT_EQ(named.style.kind, 'U');
    EXPECT_TRUE(named.style.relative);
    EXPECT_EQ(named.bytes, old + std::string(64, 'b') + "  sub/n/e\xC3\xA9.txt\r\n\\" +
                               std::string(64, 'd') + "  two\\nlines\r\n");

    // Unnamed, 64 hex digits may be three kinds: nothing is added until the
    // list's kind is settled.
    Grown unsettled = GrowNamed(old, T(u"C:\\iso\\list.txt"), added);
    EXPECT_EQ(unsettled.style.kind, 0);
    EXPECT_EQ(unsettled.bytes, old);
    unsettled.style.kind = 'B';
    unsettled.bytes = old;
    AddTo(&unsettled, added);
    EXPECT_EQ(unsettled.bytes, old + std::string(64, 'c') + "  blake3.txt\r\n");

    std::vector<Entry> crc = {MakeEntry('R', T(u"352441C2"), T(u"cd\\02.flac")),
                              MakeEntry('C', T(u"364B3FB7"), T(u"crc32c.flac"))};
    Grown sfv = GrowNamed("; made by a tool\ncd\\01.flac 00000000", T(u"D:\\m\\a.sfv"), crc);
    EXPECT_EQ(sfv.style.kind, 'R');
    EXPECT_EQ(sfv.bytes, "; made by a tool\ncd\\01.flac 00000000\ncd\\02.flac 352441C2\n");
    FreeEntries(added);
    FreeEntries(crc);
}
