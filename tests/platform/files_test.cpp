#include "platform/files.h"
#include "platform/named_mutex.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace {

TEST(AtomicWrite, ReplacesTheFileWhole)
{
    temp_dir dir;
    dir.write("a.xml", "old");
    ASSERT_TRUE(WriteFileAtomically(dir.wide("a.xml"), "new content"));
    EXPECT_EQ(dir.read("a.xml"), "new content");
    EXPECT_EQ(ListFiles(dir.wide(), u"").size(), 1u); // no temporary left behind
}

TEST(AtomicWrite, FailedWriteKeepsThePreviousFileAndLeavesNoTemporary)
{
    temp_dir dir;
    dir.write("a.xml", "old");
    SetWriteFailureHook([](std::u16string_view) { return true; });
    EXPECT_FALSE(WriteFileAtomically(dir.wide("a.xml"), "new"));
    SetWriteFailureHook(nullptr);
    EXPECT_EQ(dir.read("a.xml"), "old");
    EXPECT_EQ(ListFiles(dir.wide(), u"").size(), 1u);
}

TEST(AtomicWrite, MissingFolderFails)
{
    temp_dir dir;
    EXPECT_FALSE(WriteFileAtomically(dir.wide("no/such/a.xml"), "x"));
    EXPECT_FALSE(WriteFileAtomically(u"", "x"));
}

TEST(Files, ListFilesFiltersBySuffixIgnoringCaseAndSkipsFolders)
{
    temp_dir dir;
    dir.write("a.xml", "");
    dir.write("B.XML", "");
    dir.write("c.txt", "");
    dir.write("sub.xml/inner", "");
    auto names = ListFiles(dir.wide(), u".xml");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"B.XML", u"a.xml"}));
    EXPECT_TRUE(ListFiles(dir.wide("missing"), u"").empty());
}

TEST(Files, CopyNeverOverwrites)
{
    temp_dir dir;
    dir.write("src", "shipped");
    dir.write("dst", "edited by the user");
    EXPECT_FALSE(CopyFileNoOverwrite(dir.wide("src"), dir.wide("dst")));
    EXPECT_EQ(dir.read("dst"), "edited by the user");
    EXPECT_TRUE(CopyFileNoOverwrite(dir.wide("src"), dir.wide("new")));
    EXPECT_EQ(dir.read("new"), "shipped");
}

TEST(Files, NonAsciiPathsRoundTrip)
{
    temp_dir dir;
    const std::u16string path = JoinPath(dir.wide(), u"Jörg 日志.log");
    ASSERT_TRUE(WriteFileAtomically(path, "x"));
    EXPECT_TRUE(IsReadableFile(path));
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, "x");
}

class NamedMutexTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("VARNOTH_RUNTIME_DIR", (m_dir.path() / "run").c_str(), 1); }
    void TearDown() override { unsetenv("VARNOTH_RUNTIME_DIR"); }
    temp_dir m_dir;
};

TEST_F(NamedMutexTest, SecondHolderIsRefusedUntilTheFirstReleases)
{
    named_mutex first(u"Varnoth");
    named_mutex second(u"Varnoth");
    ASSERT_TRUE(first.try_lock());
    EXPECT_FALSE(second.try_lock());
    first.unlock();
    EXPECT_TRUE(second.try_lock());
}

TEST_F(NamedMutexTest, RuntimeFolderIsPrivate)
{
    named_mutex m(u"Varnoth Clipboard");
    ASSERT_TRUE(m.try_lock());
    struct stat st;
    ASSERT_EQ(::stat((m_dir.path() / "run").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(NamedMutexTest, AnotherProcessIsRefusedAndAnEndedProcessLeavesNoStaleLock)
{
    named_mutex mine(u"Varnoth");
    ASSERT_TRUE(mine.try_lock());
    pid_t child = fork();
    if (child == 0) {
        named_mutex theirs(u"Varnoth");
        _exit(theirs.try_lock() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    mine.unlock();

    child = fork();
    if (child == 0) {
        named_mutex theirs(u"Varnoth");
        _exit(theirs.try_lock() ? 0 : 1); // ends while holding it
    }
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(mine.try_lock());
}

} // namespace
