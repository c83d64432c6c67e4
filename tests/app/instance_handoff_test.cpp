// The spool of handed-over paths: what goes in comes out in order, once;
// what is not a well-formed path never comes out and never stops a
// well-formed one; many writers at once lose nothing.
#include "app/instance_handoff.h"
#include "platform/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <thread>

namespace {

class HandOff : public ::testing::Test {
protected:
    void SetUp() override { setenv("VARNOTH_RUNTIME_DIR", (m_dir.path() / "run").c_str(), 1); }
    void TearDown() override { unsetenv("VARNOTH_RUNTIME_DIR"); }
    void WriteSpool(const std::string& bytes)
    {
        ASSERT_FALSE(HandOffSpoolPath().empty());
        m_dir.write("run/vrnt", bytes);
    }
    bool SpoolExists() const { return m_dir.exists("run/vrnt"); }
    temp_dir m_dir;
};

TEST_F(HandOff, PathsComeOutInOrderOnceAndTheSpoolIsGone)
{
    const std::vector<std::u16string> paths = {
        u"/var/log/syslog",
        u"/home/user/my logs/app.log",
        u"/data/with|bar.log",
        u"/data/percent%.log",
        u"/data/looks-escaped%7C.log",
        u"/data/%25%%7c|.log",
        u"/d\u00e4ta/\u65e5\u672c.log",
        u"/" + std::u16string(kHandOffPathLimitBytes - 1, u'x'),
    };
    for (const std::u16string& path : paths)
        ASSERT_TRUE(HandOffPath(path)) << ::testing::PrintToString(path.size());
    EXPECT_TRUE(SpoolExists());
    EXPECT_EQ(TakeHandedOffPaths(), paths);
    EXPECT_FALSE(SpoolExists());
    EXPECT_TRUE(TakeHandedOffPaths().empty());
}

TEST_F(HandOff, FilesWithLinesArriveInOneAppendAndKeepTheirLines)
{
    ASSERT_TRUE(HandOffPath(u"/before.log"));
    const std::vector<handed_file> files = {{u"/a.log", 12},
                                            {u"/b%L7.log", 0}, // looks like a line mark, is a name
                                            {u"/c|d.log%L", 3},
                                            {u"/e.log", 18446744073709551ull}};
    ASSERT_TRUE(HandOffFiles(files));
    // One path that may not be handed over refuses the whole batch.
    EXPECT_FALSE(HandOffFiles({{u"/fine.log", 1}, {u"relative.log", 1}}));
    std::vector<handed_file> expected = {{u"/before.log", 0}};
    expected.insert(expected.end(), files.begin(), files.end());
    EXPECT_EQ(TakeHandedOffFiles(), expected);

    // Line marks that we never write make the piece not well-formed.
    WriteSpool("/x.log%L|/y.log%L1a|/z.log%L99999999999999999999|/ok.log%L2");
    EXPECT_EQ(TakeHandedOffFiles(), (std::vector<handed_file>{{u"/ok.log", 2}}));
}

TEST_F(HandOff, PathsThatCannotBeHandedOverAreRefusedAndLeaveTheSpoolAlone)
{
    ASSERT_TRUE(HandOffPath(u"/first.log"));
    const std::vector<std::u16string> refused = {
        u"",
        u"relative/app.log",
        u"app.log",
        u"/" + std::u16string(kHandOffPathLimitBytes, u'x'),
        std::u16string(u"/nul\0inside", 11),
    };
    for (const std::u16string& path : refused)
        EXPECT_FALSE(HandOffPath(path)) << path.size();
    EXPECT_EQ(TakeHandedOffPaths(), (std::vector<std::u16string>{u"/first.log"}));
}

TEST_F(HandOff, GarbageInTheSpoolIsSkippedAndWellFormedPathsAroundItSurvive)
{
    std::string garbage = "/good/one.log|relative.log||%zz/bad|";
    garbage += std::string("\x00\x01\xff\xfe", 4);
    garbage += "|/good/two%7Cpipe.log|/bad%2/escape|\n|";
    garbage += std::string("/nul\0cut.log", 12);
    garbage += "|/good/three.log";
    WriteSpool(garbage);
    const std::vector<std::u16string> wanted = {u"/good/one.log", u"/good/two|pipe.log", u"/good/three.log"};
    EXPECT_EQ(TakeHandedOffPaths(), wanted);

    // An append onto garbage keeps what was well-formed and drops the rest.
    WriteSpool(garbage);
    ASSERT_TRUE(HandOffPath(u"/good/four.log"));
    std::vector<std::u16string> with_new = wanted;
    with_new.push_back(u"/good/four.log");
    EXPECT_EQ(TakeHandedOffPaths(), with_new);
}

TEST_F(HandOff, AHugeSpoolIsReadOnlyUpToItsLimitAndAnAppendStillWorks)
{
    std::string huge = "/good/first.log|";
    huge += std::string(3 * kSpoolLimitBytes, 'g');
    huge += "|/beyond/the/limit.log";
    WriteSpool(huge);
    ASSERT_TRUE(HandOffPath(u"/good/new.log"));
    EXPECT_EQ(TakeHandedOffPaths(), (std::vector<std::u16string>{u"/good/first.log", u"/good/new.log"}));

    // A piece cut by the limit is never taken for a path.
    std::string cut = "/good/a.log|/" + std::string(2 * kSpoolLimitBytes, 'c');
    WriteSpool(cut);
    EXPECT_EQ(TakeHandedOffPaths(), (std::vector<std::u16string>{u"/good/a.log"}));
}

TEST_F(HandOff, AFullSpoolRefusesTheNextPathAndKeepsTheQueuedOnes)
{
    std::vector<std::u16string> queued;
    const std::u16string long_name(kHandOffPathLimitBytes - 16, u'p');
    std::size_t size = 0;
    for (int i = 0;; ++i) {
        const std::string number = std::to_string(i);
        std::u16string path = u"/q" + std::u16string(number.begin(), number.end()) + u"/" + long_name;
        const std::size_t grown = size + (queued.empty() ? 0 : 1) + path.size();
        if (grown > kSpoolLimitBytes)
            break;
        size = grown;
        queued.push_back(std::move(path));
    }
    ASSERT_EQ(JoinSpool(queued).size(), size);
    WriteSpool(JoinSpool(queued));
    EXPECT_FALSE(HandOffPath(u"/" + long_name + u"/overflow"));
    EXPECT_EQ(TakeHandedOffPaths(), queued);
}

TEST_F(HandOff, ASpoolThatIsNotAPlainFileIsNeverFollowedOrWaitedOn)
{
    ASSERT_FALSE(HandOffSpoolPath().empty());
    m_dir.write("elsewhere.txt", "/secret/target.log");
    ASSERT_EQ(::symlink((m_dir.path() / "elsewhere.txt").c_str(), (m_dir.path() / "run" / "vrnt").c_str()), 0);
    EXPECT_FALSE(HandOffPath(u"/a.log"));
    EXPECT_TRUE(TakeHandedOffPaths().empty());
    EXPECT_EQ(m_dir.read("elsewhere.txt"), "/secret/target.log");
    ::unlink((m_dir.path() / "run" / "vrnt").c_str());

    ASSERT_EQ(::mkfifo((m_dir.path() / "run" / "vrnt").c_str(), 0600), 0);
    EXPECT_FALSE(HandOffPath(u"/a.log"));
    EXPECT_TRUE(TakeHandedOffPaths().empty());
}

TEST_F(HandOff, NoRuntimeFolder_NothingIsHandedOver)
{
    m_dir.write("not-a-folder", "x");
    setenv("VARNOTH_RUNTIME_DIR", (m_dir.path() / "not-a-folder").c_str(), 1);
    EXPECT_TRUE(HandOffSpoolPath().empty());
    EXPECT_FALSE(HandOffPath(u"/a.log"));
    EXPECT_TRUE(TakeHandedOffPaths().empty());
    EXPECT_FALSE(WakeRunningInstance());
}

TEST_F(HandOff, ManyWritersAndATakerAtOnce_EveryPathArrivesExactlyOnce)
{
    constexpr int kWriters = 4;
    constexpr int kEach = 40;
    std::vector<std::thread> writers;
    std::atomic<int> refused{0};
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([w, &refused] {
            for (int i = 0; i < kEach; ++i) {
                const std::string path = "/w" + std::to_string(w) + "/" + std::to_string(i) + ".log";
                if (!HandOffPath(std::u16string(path.begin(), path.end())))
                    ++refused;
            }
        });
    std::vector<std::u16string> taken;
    std::atomic<bool> writing{true};
    std::thread taker([&] {
        while (writing) {
            for (std::u16string& path : TakeHandedOffPaths())
                taken.push_back(std::move(path));
        }
    });
    for (std::thread& t : writers)
        t.join();
    writing = false;
    taker.join();
    for (std::u16string& path : TakeHandedOffPaths())
        taken.push_back(std::move(path));
    EXPECT_EQ(refused.load(), 0);
    ASSERT_EQ(taken.size(), std::size_t(kWriters * kEach));
    EXPECT_EQ(std::set<std::u16string>(taken.begin(), taken.end()).size(), taken.size());
    // Each writer's paths keep their order.
    for (int w = 0; w < kWriters; ++w) {
        int next = 0;
        const std::string prefix = "/w" + std::to_string(w) + "/";
        for (const std::u16string& path : taken) {
            const std::string narrow(path.begin(), path.end());
            if (narrow.rfind(prefix, 0) == 0) {
                EXPECT_EQ(narrow, prefix + std::to_string(next++) + ".log");
            }
        }
        EXPECT_EQ(next, kEach);
    }
}

TEST_F(HandOff, Wake_ReachesAListenerAndFailsQuietlyWithoutOne)
{
    const std::string path = NativePath(HandOffWakePath());
    ASSERT_FALSE(path.empty());
    EXPECT_FALSE(WakeRunningInstance()); // no socket at all

    const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(server, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(server, 4), 0);
    EXPECT_TRUE(WakeRunningInstance());
    const int client = ::accept(server, nullptr, nullptr);
    ASSERT_GE(client, 0);
    char byte = 0;
    EXPECT_EQ(::recv(client, &byte, 1, 0), 1);
    ::close(client);

    // A socket left behind by an instance that is gone.
    ::close(server);
    EXPECT_FALSE(WakeRunningInstance());
}

} // namespace
