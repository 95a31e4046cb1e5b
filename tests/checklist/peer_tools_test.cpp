// Lists against the peer tools on the host (coreutils, rhash, b3sum,
// xxhsum): what we compose they verify, and what they write we read back to
// the digests they report.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "checklist/checklist.h"
#include "tests/checklist/list_helpers.h"

namespace {

// Host names beside the same names as list paths, parentheses, " = " and
// characters beyond ASCII and the BMP included.
struct TestFile {
    const char *name;
    const char16_t *path;
    const char *content;
};
const TestFile FILES[] = {
    {"a.txt", u"a.txt", "abc"},
    {"sub dir/r\xC3\xA9sum\xC3\xA9 (1).bin", u"sub dir/r\u00e9sum\u00e9 (1).bin", "second file"},
    {"x) = y.txt", u"x) = y.txt", ""},
    {"\xE6\x97\xA5\xF0\x9F\x98\x80", u"\u65e5\U0001F600", "the last one\n"},
};
// A name GNU tools escape: a backslash and a line feed (a Windows name holds
// neither, but lists made elsewhere do).
const TestFile ESCAPED = {"back\\slash\nline", u"back\\slash\nline", "escaped"};
// The one a list made on Windows escapes: a backslash separates folders there.
const TestFile LINE_FEED = {"line\nfeed", u"line\nfeed", "line feed"};

std::string RunShell(const std::string &command, int *status)
{
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        *status = -1;
        return out;
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    *status = pclose(pipe);
    return out;
}

// The kinds whose names rhash spells as the tagged list does.
bool RhashSpellsKind(const KindInfo &kind)
{
    return kind.engine == ENGINE_CRC32C || kind.engine == ENGINE_SHA3;
}

int32_t RhashSpelledKinds()
{
    int32_t n = 0;
    for (const KindInfo &kind : g_kinds)
        n += RhashSpellsKind(kind);
    return n;
}

std::string LowerName(const KindInfo &kind)
{
    std::string name = kind.name;
    for (char &c : name)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

bool ToolIsInstalled(const char *tool)
{
    int status = 0;
    RunShell(std::string("command -v ") + tool + " >/dev/null 2>&1", &status);
    return status == 0;
}

// The tool that reports a kind's digest of standard input, lower-case hex
// first or last on its line.
std::string DigestCommand(const KindInfo &kind)
{
    switch (kind.engine) {
    case ENGINE_BLAKE3:
        return "b3sum --no-names";
    case ENGINE_XXH3:
        return kind.bits == 64 ? "xxhsum -H3 | sed 's/.* //'" : "xxhsum -H2 | cut -d' ' -f1";
    case ENGINE_SHA2:
        return "rhash --printf '%{sha-" + std::to_string(kind.bits) + "}' -";
    default:
        return "rhash --printf '%{" + LowerName(kind) + "}' -";
    }
}

class PeerToolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *tool : {"rhash", "sha256sum", "b3sum", "xxhsum"})
            if (!ToolIsInstalled(tool))
                GTEST_SKIP() << tool << " is not on PATH; install it to test list interchange";
        char pattern[] = "/tmp/talvor_rhash_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_EQ(system(("mkdir -p '" + dir + "/sub dir'").c_str()), 0);
        for (const TestFile &f : FILES)
            std::ofstream(dir + "/" + f.name, std::ios::binary) << f.content;
        for (const TestFile *f : {&ESCAPED, &LINE_FEED})
            std::ofstream(dir + "/" + f->name, std::ios::binary) << f->content;
    }
    void TearDown() override
    {
        if (!dir.empty())
            EXPECT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0);
    }

    // The digest rhash reports for a file, upper case, through its own
    // format string rather than a list.
    Text DigestByRhash(const KindInfo &kind, const std::string &name)
    {
        int status = 0;
        std::string out = RunShell("cd '" + dir + "' && rhash --printf '%{" + LowerName(kind) +
                                       "}' '" + name + "'",
                                   &status);
        EXPECT_EQ(status, 0) << name;
        Text digest;
        for (char c : out)
            digest.push_back(utf16(std::toupper(static_cast<unsigned char>(c))));
        return digest;
    }

    // Any kind's digest, upper case, from the tool that knows it.
    Text DigestByTool(const KindInfo &kind, const std::string &name)
    {
        Text &known = digests[{kind.letter, name}];
        if (known.empty())
            known = AskToolForDigest(kind, name);
        return known;
    }
    Text AskToolForDigest(const KindInfo &kind, const std::string &name)
    {
        int status = 0;
        std::string out = RunShell(
            "cd '" + dir + "' && { " + DigestCommand(kind) + "; } < '" + name + "'", &status);
        EXPECT_EQ(status, 0) << name;
        Text digest;
        for (char c : out)
            if (std::isxdigit(static_cast<unsigned char>(c)))
                digest.push_back(utf16(std::toupper(static_cast<unsigned char>(c))));
        return digest;
    }

    // The names of the test files, quoted for the shell; `escaped` adds the
    // one GNU tools escape.
    static std::string QuotedNames(bool escaped)
    {
        std::string names;
        for (const TestFile &f : FILES)
            names += " '" + std::string(f.name) + "'";
        if (escaped)
            names += " '" + std::string(ESCAPED.name) + "'";
        return names;
    }

    // The host name of a path parsed from a list.
    static std::string HostName(const Text &path)
    {
        for (const TestFile &f : FILES)
            if (path == T(f.path))
                return f.name;
        return path == T(ESCAPED.path) ? ESCAPED.name : std::string();
    }

    // Runs `command` in the test folder: its exit status, its output kept.
    int RunInFolder(const std::string &command)
    {
        int status = 0;
        last_output = RunShell("cd '" + dir + "' && " + command + " 2>&1", &status);
        return status;
    }

    int CheckWithRhash(const std::string &list_bytes)
    {
        std::ofstream(dir + "/list.txt", std::ios::binary) << list_bytes;
        int status = 0;
        std::string out = RunShell("cd '" + dir + "' && rhash -c list.txt 2>&1", &status);
        last_output = out;
        return status;
    }

    std::string dir;
    std::string last_output;
    // Digests asked for already, by kind letter and name, while the files stay as they are.
    std::map<std::pair<char, std::string>, Text> digests;
};

}  // namespace

TEST_F(PeerToolsTest, RhashVerifiesComposedLists)
{
    // Every file under every kind, the first one also by its absolute path.
    std::vector<Entry> entries;
    for (const KindInfo &kind : g_kinds) {
        if (!RhashSpellsKind(kind))
            continue;
        for (const TestFile &f : FILES)
            entries.push_back(MakeEntry(kind.letter, DigestByRhash(kind, f.name), T(f.path)));
        Text absolute = Text(dir.begin(), dir.end()) + T(u"/a.txt");
        entries.push_back(MakeEntry(kind.letter, DigestByRhash(kind, "a.txt"), absolute));
    }
    std::string list(TaggedListBytes(entries.data(), int32_t(entries.size())), '\0');
    ComposeTaggedList(entries.data(), int32_t(entries.size()), list.data());
    FreeEntries(entries);
    EXPECT_EQ(CheckWithRhash(list), 0) << last_output;

    // A changed file must make the same list fail.
    std::ofstream(dir + "/a.txt", std::ios::binary) << "abd";
    EXPECT_NE(CheckWithRhash(list), 0) << last_output;
}

TEST_F(PeerToolsTest, ListsWrittenByRhashParseToItsDigests)
{
    std::string names;
    for (const TestFile &f : FILES)
        names += " '" + std::string(f.name) + "'";
    names += " '" + dir + "/a.txt'";
    int status = 0;
    std::string list = RunShell(
        "cd '" + dir + "' && rhash --bsd --sha3-224 --sha3-256 --sha3-384 --sha3-512 --crc32c" +
            names,
        &status);
    ASSERT_EQ(status, 0);
    Parsed p;
    ParseFile(list, &p);
    ASSERT_EQ(p.result, CHECKLIST_OK);
    EXPECT_EQ(p.problems.count, 0);
    ASSERT_EQ(p.list.count, int32_t((std::size(FILES) + 1) * RhashSpelledKinds())) << list;
    for (int32_t i = 0; i < p.list.count; ++i) {
        const Entry &e = p.list.entries[i];
        std::string name;
        for (const TestFile &f : FILES)
            if (PathOf(p, i) == T(f.path))
                name = f.name;
        if (name.empty())
            name = dir + "/a.txt";
        EXPECT_EQ(DigestAt(p, i), DigestByRhash(*FindKind(utf16(e.kind)), name)) << name;
    }
    EXPECT_EQ(PathOf(p, p.list.count - 1), Text(dir.begin(), dir.end()) + T(u"/a.txt"));
}

TEST_F(PeerToolsTest, ListsTheToolsWriteParseToTheirDigests)
{
    struct Case {
        const char *command;
        bool escapes;      // the tool escapes names GNU's way
        const char *list;  // the list's name
        int format;
        char kind;     // the kind of the tool's digests; 0: each line's tag
        bool settled;  // the entries come settled to it
    };
    const Case cases[] = {
        {"sha256sum", true, "SHA256SUMS", LIST_FORMAT_GNU, 'U', true},
        {"sha256sum", true, "checksums.txt", LIST_FORMAT_GNU, 'U', false},
        {"md5sum -b", true, "files.md5", LIST_FORMAT_GNU, 'D', true},
        {"sha1sum", true, "x.sha1", LIST_FORMAT_GNU, 'A', true},
        {"sha512sum", true, "SHA512SUMS", LIST_FORMAT_GNU, 'W', true},
        {"b3sum", true, "B3SUMS", LIST_FORMAT_GNU, 'B', true},
        {"b3sum", true, "hashes", LIST_FORMAT_GNU, 'B', false},
        {"xxhsum -H2", false, "copy.xxh128", LIST_FORMAT_GNU, 'Y', true},
        {"xxhsum -H2", false, "copy.txt", LIST_FORMAT_GNU, 'Y', false},
        {"xxhsum -H3", false, "copy.txt", LIST_FORMAT_TAGGED, 'X', true},
        {"xxhsum --tag -H2", false, "copy.txt", LIST_FORMAT_TAGGED, 'Y', true},
        {"cksum --tag -a sha256", true, "list.txt", LIST_FORMAT_TAGGED, 'U', true},
        {"cksum --untagged -a md5", true, "list.txt", LIST_FORMAT_GNU, 'D', false},
        {"rhash --sfv", false, "album.sfv", LIST_FORMAT_SFV, 'R', true},
        {"rhash --sfv", false, "album.txt", LIST_FORMAT_SFV, 'R', true},
        {"rhash --bsd --crc32 --md5 --sha1 --sha224 --sha256 --sha384 --sha512", false, "list.txt",
         LIST_FORMAT_TAGGED, 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command);
        // Progress some tools draw on stderr stays out of the list.
        ASSERT_EQ(RunInFolder("{ " + std::string(c.command) + QuotedNames(c.escapes) +
                              " > list.out 2>/dev/null; }"),
                  0)
            << last_output;
        std::ifstream in(dir + "/list.out", std::ios::binary);
        std::string list((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Parsed p;
        ParseNamedFile(list, T(u"/lists/") + Text(c.list, c.list + std::strlen(c.list)), &p);
        ASSERT_EQ(p.result, CHECKLIST_OK);
        EXPECT_EQ(p.problems.count, 0) << list;
        EXPECT_EQ(p.list.format, c.format);
        ASSERT_GT(p.list.count, 0);
        ASSERT_EQ(p.list.count % int32_t(std::size(FILES) + c.escapes), 0) << list;
        for (int32_t i = 0; i < p.list.count; ++i) {
            std::string name = HostName(PathOf(p, i));
            ASSERT_FALSE(name.empty()) << list;
            const KindInfo *kind = FindKind(utf16(c.kind ? c.kind : p.list.entries[i].kind));
            KindMask candidates =
                c.settled ? KindBit(kind) : KindsOfDigestDigits(size_t(kind->digest_digits));
            EXPECT_EQ(CandidatesAt(p, i), candidates) << name;
            EXPECT_EQ(DigestAt(p, i), DigestByTool(*kind, name)) << name;
        }
    }
}

TEST_F(PeerToolsTest, ASidecarChecksTheFileItsNameContinues)
{
    const std::string hex = "cut -c1-64";
    ASSERT_EQ(RunInFolder("sha256sum a.txt | " + hex + " > a.txt.sha256"), 0) << last_output;
    std::ifstream in(dir + "/a.txt.sha256", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Parsed p;
    ParseNamedFile(bytes, Text(dir.begin(), dir.end()) + T(u"/a.txt.sha256"), &p);
    ASSERT_EQ(p.list.count, 1);
    EXPECT_EQ(PathOf(p, 0), T(u"a.txt"));
    EXPECT_EQ(DigestAt(p, 0), DigestByTool(*FindKind(u'U'), "a.txt"));
}

TEST_F(PeerToolsTest, TheToolsVerifyTheListsWeCompose)
{
    struct Case {
        int format;
        const char *list;
        char kind;
        const char *check;
        bool escapes;
    };
    const Case cases[] = {
        {LIST_FORMAT_GNU, "SHA256SUMS", 'U', "sha256sum -c", true},
        {LIST_FORMAT_GNU, "files.md5", 'D', "md5sum -c", true},
        {LIST_FORMAT_GNU, "x.sha1", 'A', "sha1sum -c", true},
        {LIST_FORMAT_GNU, "SHA512SUMS", 'W', "sha512sum -c", true},
        {LIST_FORMAT_GNU, "B3SUMS", 'B', "b3sum -c", true},
        {LIST_FORMAT_GNU, "copy.xxh128", 'Y', "xxhsum -c", false},
        {LIST_FORMAT_SFV, "album.sfv", 'R', "rhash -c", false},
    };
    const Text folder = Text(dir.begin(), dir.end()) + T(u"/");
    for (const Case &c : cases) {
        const KindInfo *kind = FindKind(utf16(c.kind));
        std::vector<Entry> entries;
        for (const TestFile &f : FILES)
            entries.push_back(MakeEntry(c.kind, DigestByTool(*kind, f.name), folder + T(f.path)));
        if (c.escapes)
            entries.push_back(
                MakeEntry(c.kind, DigestByTool(*kind, LINE_FEED.name), folder + T(LINE_FEED.path)));
        Composed list =
            ComposeFile(c.format, folder + Text(c.list, c.list + std::strlen(c.list)), entries);
        FreeEntries(entries);
        ASSERT_EQ(list.result, CHECKLIST_OK) << c.list;
        EXPECT_EQ(list.left_out, 0);
        std::ofstream(dir + "/" + c.list, std::ios::binary) << list.bytes;
    }
    auto verify_all = [&](bool pass, const char *state) {
        for (const Case &c : cases) {
            int status = RunInFolder(std::string(c.check) + " " + c.list);
            EXPECT_EQ(status == 0, pass) << c.list << ", " << state << ":\n" << last_output;
        }
    };
    verify_all(true, "as written");
    std::ofstream(dir + "/a.txt", std::ios::binary) << "abd";
    verify_all(false, "a file changed");
    std::ofstream(dir + "/a.txt", std::ios::binary) << "abc";
    ASSERT_EQ(std::rename((dir + "/x) = y.txt").c_str(), (dir + "/gone").c_str()), 0);
    verify_all(false, "a file missing");
}
