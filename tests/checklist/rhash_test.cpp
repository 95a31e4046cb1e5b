// Tagged lists against rhash on the host: what we compose rhash verifies,
// and what rhash writes we read back to the digests it reports.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
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

class RhashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        int status = 0;
        RunShell("command -v rhash >/dev/null 2>&1", &status);
        if (status != 0)
            GTEST_SKIP() << "rhash is not on PATH; install it to test list interchange";
        char pattern[] = "/tmp/talvor_rhash_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_EQ(system(("mkdir -p '" + dir + "/sub dir'").c_str()), 0);
        for (const TestFile &f : FILES)
            std::ofstream(dir + "/" + f.name, std::ios::binary) << f.content;
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
};

}  // namespace

TEST_F(RhashTest, RhashVerifiesComposedLists)
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

TEST_F(RhashTest, ListsWrittenByRhashParseToItsDigests)
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
