#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "app/app.h"
#include "window/window.h"
#include "tests/support/gui_harness.h"

namespace {

struct Request {
    int32_t job;
    int32_t hash;
    std::wstring target;
};

// Reads a command line into a cleared state and reports what it requested.
Request Read(const wchar_t *command_line)
{
    g_app.pending_job = 0;
    g_app.hash_choice = 0;
    SetTargetPath(L"(none)", 0);
    EXPECT_EQ(ApplyCommandLine(command_line), 1) << command_line;
    return Request{g_app.pending_job, g_app.hash_choice, g_app.target_path};
}

void ExpectRequest(const wchar_t *command_line, int32_t job, int32_t hash, const wchar_t *target)
{
    Request got = Read(command_line);
    EXPECT_EQ(got.job, job) << command_line;
    EXPECT_EQ(got.hash, hash) << command_line;
    EXPECT_EQ(got.target, target) << command_line;
}

TEST(CommandLine, PathOptionsSetTheTargetAndTheJob)
{
    ExpectRequest(L"talvor.exe", 0, 0, L"(none)");
    ExpectRequest(L"talvor.exe -file=C:\\data\\a.txt", JOB_SINGLE_FILE, 0, L"C:\\data\\a.txt");
    ExpectRequest(L"talvor.exe -dir=C:\\data", JOB_FOLDER_SCAN, 0, L"C:\\data");
    ExpectRequest(L"talvor.exe -chk=C:\\data\\list.qcx", JOB_CHECK, 0, L"C:\\data\\list.qcx");
    ExpectRequest(L"talvor.exe -file=", JOB_SINGLE_FILE, 0, L"");
    ExpectRequest(L"talvor.exe -update=C:\\d\\l.txt", JOB_UPDATE, 0, L"C:\\d\\l.txt");

    // -new is a setting of its own, exact and case-sensitive like the others.
    g_app.list_new_files = 0;
    ExpectRequest(L"t.exe -NEW -new1 -Update=X", 0, 0, L"(none)");
    EXPECT_EQ(g_app.list_new_files, 0);
    ExpectRequest(L"t.exe -new -chk=B", JOB_CHECK, 0, L"B");
    EXPECT_EQ(g_app.list_new_files, 1);
    g_app.list_new_files = 0;

    // The path is the text right after the prefix inside the stored buffer.
    Read(L"talvor.exe -file=x.bin");
    EXPECT_EQ(g_app.target_path, g_app.target_buffer + 6);
    EXPECT_EQ(std::wstring(g_app.target_buffer), L"-file=x.bin");
    Read(L"talvor.exe -chk=x.qcx");
    EXPECT_EQ(g_app.target_path, g_app.target_buffer + 5);

    // Quotes are the platform's business: they are gone before the test.
    ExpectRequest(L"talvor.exe \"-file=C:\\my files\\a b.txt\"", JOB_SINGLE_FILE, 0,
                  L"C:\\my files\\a b.txt");
    ExpectRequest(L"talvor.exe -dir=\"C:\\my files\"", JOB_FOLDER_SCAN, 0, L"C:\\my files");
}

TEST(CommandLine, LaterArgumentsWinEachKindIndependently)
{
    ExpectRequest(L"t.exe -dir=A -chk=B", JOB_CHECK, 0, L"B");
    ExpectRequest(L"t.exe -chk=B -dir=A", JOB_FOLDER_SCAN, 0, L"A");
    ExpectRequest(L"t.exe -file=F -dir=A -file=G", JOB_SINGLE_FILE, 0, L"G");
    ExpectRequest(L"t.exe -sha512 -crc", 0, HASH_CRC32C, L"(none)");
    ExpectRequest(L"t.exe -crc -sha512", 0, HASH_SHA3_512, L"(none)");
    ExpectRequest(L"t.exe -sha224", 0, HASH_SHA3_224, L"(none)");
    ExpectRequest(L"t.exe -sha256", 0, HASH_SHA3_256, L"(none)");
    ExpectRequest(L"t.exe -sha384", 0, HASH_SHA3_384, L"(none)");
    // A switch before or after the path option requests the same job.
    ExpectRequest(L"t.exe -sha384 -file=F", JOB_SINGLE_FILE, HASH_SHA3_384, L"F");
    ExpectRequest(L"t.exe -file=F -sha384", JOB_SINGLE_FILE, HASH_SHA3_384, L"F");
    ExpectRequest(L"t.exe -crc -dir=A -sha224 -chk=B -sha256", JOB_CHECK, HASH_SHA3_256, L"B");
    // The program's own path is an argument like the others.
    ExpectRequest(L"-crc -file=F", JOB_SINGLE_FILE, HASH_CRC32C, L"F");
    // The algorithms lists carry besides CRC-32C and SHA-3 never take the
    // old switches' meaning, nor the old ones theirs.
    const struct {
        const wchar_t *command_line;
        int32_t choice;
    } switches[] = {
        {L"t.exe -crc32", HASH_CRC32},
        {L"t.exe -md5", HASH_MD5},
        {L"t.exe -sha1", HASH_SHA1},
        {L"t.exe -sha2-224", HASH_SHA2_224},
        {L"t.exe -sha2-256", HASH_SHA2_256},
        {L"t.exe -sha2-384", HASH_SHA2_384},
        {L"t.exe -sha2-512", HASH_SHA2_512},
        {L"t.exe -blake3", HASH_BLAKE3},
        {L"t.exe -xxh3", HASH_XXH3_64},
        {L"t.exe -xxh128", HASH_XXH3_128},
        {L"t.exe -crc32 -crc", HASH_CRC32C},
        {L"t.exe -sha2-256 -sha256", HASH_SHA3_256},
        {L"t.exe -sha256 -sha2-256", HASH_SHA2_256},
    };
    for (const auto &given : switches)
        ExpectRequest(given.command_line, 0, given.choice, L"(none)");
}

TEST(CommandLine, AnythingNotExactlyAKnownFormChangesNothing)
{
    const wchar_t *const ignored[] = {
        L"t.exe -SHA256",     L"t.exe -sha2560",    L"t.exe -sha256x",    L"t.exe -crc32c",
        L"t.exe -CRC32",      L"t.exe -sha2",       L"t.exe -sha2-256x",  L"t.exe -BLAKE3",
        L"t.exe -xxh64",      L"t.exe -sha-256",    L"t.exe -Md5",        L"t.exe -sha3-256",
        L"t.exe -CRC",        L"t.exe -File=C:\\a", L"t.exe -FILE=C:\\a", L"t.exe -file C:\\a",
        L"t.exe -mp",         L"t.exe -mp=8",       L"t.exe -mp=-file=x", L"t.exe file=C:\\a",
        L"t.exe --dir=C:\\a", L"t.exe /crc",        L"t.exe -sha",        L"t.exe -dir",
    };
    for (const wchar_t *command_line : ignored)
        ExpectRequest(command_line, 0, 0, L"(none)");
    // Ignored arguments do not disturb the ones around them.
    ExpectRequest(L"t.exe -crc -mp=3 -SHA512 -file=F -chk", JOB_SINGLE_FILE, HASH_CRC32C, L"F");
}

TEST(CommandLine, StartUpReadsItAndLeavesTheMenuMarksAlone)
{
    ASSERT_EQ(gui::Start(L"talvor.exe -sha512", SW_HIDE), 1);
    EXPECT_EQ(g_app.hash_choice, HASH_SHA3_512);
    EXPECT_EQ(g_app.pending_job, 0);
    EXPECT_NE(gui::MenuState(ID_OPTIONS_SHA3_256) & MF_CHECKED, 0u);
    EXPECT_EQ(gui::MenuState(ID_OPTIONS_SHA3_512) & MF_CHECKED, 0u);
    gui::PumpFor(100);
    EXPECT_EQ(gui::RowCount(), 0);
    EXPECT_EQ(gui::StatusText(3), L"Ready");
    EXPECT_EQ(gui::StatusText(2), L"");
    EXPECT_EQ(gui::Close(), 0);

    // A requested job waits for the first fetched message.
    ASSERT_EQ(gui::Start(L"talvor.exe -file=Z:\\no\\such\\file.bin", SW_HIDE), 1);
    EXPECT_EQ(g_app.pending_job, JOB_SINGLE_FILE);
    EXPECT_EQ(gui::RowCount(), 0);
    EXPECT_TRUE(gui::PumpUntilJobEnded());
    EXPECT_EQ(gui::RowCount(), 1);
    EXPECT_EQ(gui::Close(), 0);
}

}  // namespace

// -save= and -exit follow the same rules: exact, case-sensitive, the last
// one wins; a name without extension gets .qcx as in the save dialog.
TEST(CommandLine, SaveAndExitSwitchesFollowTheSameRules)
{
    Read(L"t.exe -dir=A -save=C:\\out\\first.txt -save=C:\\out.d\\list -exit");
    ASSERT_NE(g_unattended.save_path, nullptr);
    EXPECT_EQ(std::wstring(g_unattended.save_path), L"C:\\out.d\\list.qcx");
    EXPECT_TRUE(g_unattended.exit_when_done);

    const wchar_t *kept[] = {L"t.exe -save=l.TXT", L"t.exe -save=l.qcx",
                             L"t.exe \"-save=C:\\a b\\l.\""};
    const wchar_t *expected[] = {L"l.TXT", L"l.qcx", L"C:\\a b\\l."};
    for (int i = 0; i < 3; ++i) {
        Read(kept[i]);
        ASSERT_NE(g_unattended.save_path, nullptr) << kept[i];
        EXPECT_EQ(std::wstring(g_unattended.save_path), expected[i]);
        EXPECT_FALSE(g_unattended.exit_when_done);
    }

    // Each command line starts afresh; other spellings are unknown switches.
    for (const wchar_t *ignored :
         {L"t.exe -EXIT -Save=x.qcx", L"t.exe -exit2 -save x.qcx", L"t.exe /exit"}) {
        Read(ignored);
        EXPECT_EQ(g_unattended.save_path, nullptr) << ignored;
        EXPECT_FALSE(g_unattended.exit_when_done) << ignored;
    }
}
