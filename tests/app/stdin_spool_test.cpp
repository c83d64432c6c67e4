// Standard input's copy: when the stream is read (by table, and with real
// descriptors of every kind), the copy burst by burst against the bytes
// written, an end that needs no data, the failures, and the removal of the
// copies a gone run left behind.
#include "app/stdin_spool.h"

#include "platform/files.h"
#include "platform/strings.h"
#include "support/bounded_wait.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string Contents(const std::u16string& path)
{
    std::ifstream in(NativePath(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Waits (bounded) until condition holds; false when it never did.
template <typename Condition> bool WaitFor(Condition condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTestWaitMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool WriteAll(int fd, const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool IsOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

// A pid that belonged to a process which has ended.
pid_t GonePid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

struct event_log {
    std::atomic<int> first_data{0};
    std::atomic<int> ended{0};
    std::atomic<int> failed{0};
    stdin_spool::event_handler handler()
    {
        return [this](stdin_spool::event what) {
            switch (what) {
            case stdin_spool::event::first_data: ++first_data; break;
            case stdin_spool::event::ended: ++ended; break;
            case stdin_spool::event::failed: ++failed; break;
            }
        };
    }
};

class StdinSpool : public ::testing::Test {
protected:
    void SetUp() override { ::signal(SIGPIPE, SIG_IGN); }
    std::u16string Folder() const { return (fs::path(m_dir.path()) / "cache" / "varnoth").u16string(); }
    temp_dir m_dir;
};

} // namespace

TEST(StandardInputRule, ReadsWhatTheUserPiped)
{
    using k = input_kind;
    using u = stdin_use;
    struct row {
        bool dash;
        bool files;
        input_kind input;
        bool terminal;
        stdin_use expected;
    } const rows[] = {
        // "-" reads what can bring lines, also beside files and without a terminal.
        {true, false, k::fifo, false, u::named},
        {true, true, k::socket, false, u::named},
        {true, false, k::regular_file, true, u::named},
        {true, false, k::other, false, u::named},
        // ... but never a terminal (a background viewer would be stopped),
        // the null device or a closed descriptor.
        {true, false, k::terminal, true, u::none},
        {true, false, k::null_device, true, u::none},
        {true, true, k::closed, true, u::none},
        // Without "-": only a pipe or socket, without files, from a terminal.
        {false, false, k::fifo, true, u::implied},
        {false, false, k::socket, true, u::implied},
        {false, false, k::fifo, false, u::none}, // a launcher's or a test harness's pipe
        {false, true, k::fifo, true, u::none},
        {false, false, k::regular_file, true, u::none},
        {false, false, k::null_device, true, u::none},
        {false, false, k::terminal, true, u::none},
        {false, false, k::closed, true, u::none},
        {false, false, k::other, true, u::none},
    };
    for (const row& r : rows)
        EXPECT_EQ(StandardInputUse(r.dash, r.files, r.input, r.terminal), r.expected)
            << r.dash << r.files << static_cast<int>(r.input) << r.terminal;
}

TEST(StandardInputRule, ClassifiesRealDescriptors)
{
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    const int null_device = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(null_device, 0);
    temp_dir dir;
    const std::string file = (fs::path(dir.path()) / "f.log").string();
    std::ofstream(file) << "x\n";
    const int regular = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(regular, 0);
    const int zero = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(zero, 0);
    int closed = ::dup(regular);
    ::close(closed);

    EXPECT_EQ(ClassifyInput(pipe_ends[0]), input_kind::fifo);
    EXPECT_EQ(ClassifyInput(sockets[0]), input_kind::socket);
    EXPECT_EQ(ClassifyInput(null_device), input_kind::null_device);
    EXPECT_EQ(ClassifyInput(regular), input_kind::regular_file);
    EXPECT_EQ(ClassifyInput(zero), input_kind::other);
    EXPECT_EQ(ClassifyInput(closed), input_kind::closed);
    EXPECT_EQ(ClassifyInput(-1), input_kind::closed);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) {
        const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal, 0);
        EXPECT_EQ(ClassifyInput(terminal), input_kind::terminal);
        ::close(terminal);
    }
    if (master >= 0)
        ::close(master);
    for (int fd : {pipe_ends[0], pipe_ends[1], sockets[0], sockets[1], null_device, regular, zero})
        ::close(fd);
}

TEST_F(StdinSpool, CopiesEveryBurstAsWritten)
{
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    event_log events;
    stdin_spool spool;
    ASSERT_TRUE(spool.start(Folder(), ends[0], events.handler()));
    const std::string name = fs::path(NativePath(spool.path())).filename().string();
    EXPECT_EQ(name.rfind("stdin-" + std::to_string(::getpid()) + "-", 0), 0u) << name;
    EXPECT_EQ(fs::status(NativePath(Folder())).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(Contents(spool.path()), "");
    EXPECT_EQ(events.first_data, 0);

    // Bursts of every line end, lines split across bursts, and bursts larger
    // than one read.
    std::mt19937 random(27);
    const char* const pieces[] = {"a\n", "b\r\n", "c\r", "", "\n", "long ", "\xc3\xa9", "\r", "\n\n", "tail"};
    std::string written;
    for (int burst = 0; burst < 40; ++burst) {
        std::string bytes;
        const int count = burst == 7 ? 40000 : static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i)
            bytes += pieces[random() % std::size(pieces)];
        if (bytes.empty())
            continue;
        ASSERT_TRUE(WriteAll(ends[1], bytes));
        written += bytes;
        ASSERT_TRUE(WaitFor([&] { return spool.bytes() == written.size(); })) << burst;
        ASSERT_EQ(Contents(spool.path()), written) << burst;
    }
    // Each flag is set before its event goes out: wait for both.
    ASSERT_TRUE(WaitFor([&] { return events.first_data.load() != 0; }));
    EXPECT_EQ(events.first_data, 1);
    EXPECT_EQ(events.ended, 0);
    ::close(ends[1]);
    ASSERT_TRUE(WaitFor([&] { return spool.ended() && events.ended.load() != 0; }));
    EXPECT_EQ(events.ended, 1);
    EXPECT_FALSE(spool.failed());
    EXPECT_EQ(Contents(spool.path()), written);

    const std::u16string path = spool.path();
    spool.remove();
    EXPECT_FALSE(fs::exists(NativePath(path)));
    EXPECT_EQ(events.failed, 0);
}

TEST_F(StdinSpool, AnEmptyStreamEndsWithoutData)
{
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    ::close(ends[1]);
    event_log events;
    stdin_spool spool;
    ASSERT_TRUE(spool.start(Folder(), ends[0], events.handler()));
    ASSERT_TRUE(WaitFor([&] { return spool.ended() && events.ended.load() != 0; }));
    EXPECT_EQ(events.ended, 1);
    EXPECT_EQ(events.first_data, 0);
    EXPECT_EQ(spool.bytes(), 0u);
}

TEST_F(StdinSpool, StopEndsASilentStreamAndClosesItForTheWriter)
{
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    stdin_spool spool;
    ASSERT_TRUE(spool.start(Folder(), ends[0]));
    ASSERT_TRUE(WriteAll(ends[1], "one\n"));
    ASSERT_TRUE(WaitFor([&] { return spool.bytes() == 4; }));
    WithinTestWait([&] { spool.stop(); });
    EXPECT_FALSE(IsOpen(ends[0]));
    // The read end is gone: the writer is told so.
    errno = 0;
    EXPECT_EQ(::write(ends[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    EXPECT_TRUE(fs::exists(NativePath(spool.path()))); // stop keeps the file
    EXPECT_EQ(Contents(spool.path()), "one\n");
    const std::u16string path = spool.path();
    // The destructor ends a silent reader too, and removes its file.
    auto other = std::make_unique<stdin_spool>();
    int other_ends[2];
    ASSERT_EQ(::pipe2(other_ends, O_CLOEXEC), 0);
    ASSERT_TRUE(other->start(Folder(), other_ends[0]));
    const std::u16string other_path = other->path();
    EXPECT_NE(other_path, path);
    WithinTestWait([&] { other.reset(); });
    EXPECT_FALSE(fs::exists(NativePath(other_path)));
    ::close(other_ends[1]);
    ::close(ends[1]);
}

TEST_F(StdinSpool, AFolderThatCannotBeMadeIsReportedAndTheInputClosed)
{
    std::ofstream(fs::path(m_dir.path()) / "cache") << "a file where the folder would be";
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    stdin_spool spool;
    EXPECT_FALSE(spool.start(Folder(), ends[0]));
    EXPECT_TRUE(spool.failed());
    EXPECT_NE(spool.error(), 0);
    EXPECT_FALSE(IsOpen(ends[0]));
    EXPECT_TRUE(spool.path().empty());
    ::close(ends[1]);

    stdin_spool nowhere;
    int more[2];
    ASSERT_EQ(::pipe2(more, O_CLOEXEC), 0);
    EXPECT_FALSE(nowhere.start(u"", more[0]));
    EXPECT_FALSE(IsOpen(more[0]));
    ::close(more[1]);
}

TEST_F(StdinSpool, AFileThatCannotGrowStopsTheCopyWithAWriteError)
{
    // The file-size limit stands in for a full disk.
    struct rlimit before;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    event_log events;
    stdin_spool spool;
    ASSERT_TRUE(spool.start(Folder(), ends[0], events.handler()));
    struct rlimit small = before;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ASSERT_TRUE(WriteAll(ends[1], std::string(300, 'x')));
    // The error is set before the event goes out: wait for both.
    const bool failed = WaitFor([&] { return spool.failed() && events.failed.load() != 0; });
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::signal(SIGXFSZ, previous);
    ASSERT_TRUE(failed);
    EXPECT_TRUE(spool.write_failed());
    EXPECT_EQ(spool.error(), EFBIG);
    EXPECT_EQ(events.failed, 1);
    EXPECT_LE(spool.bytes(), 100u);
    ::close(ends[1]);
}

TEST_F(StdinSpool, OrphansOfGoneRunsAreRemovedAndLiveCopiesKept)
{
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    stdin_spool live;
    ASSERT_TRUE(live.start(Folder(), ends[0]));
    const fs::path folder = NativePath(Folder());
    const std::string gone = std::to_string(GonePid());
    const std::string me = std::to_string(::getpid());
    const auto make = [&](const std::string& name) {
        std::ofstream(folder / name) << "lines\n";
        return folder / name;
    };
    const fs::path crashed = make("stdin-" + gone + "-1.log");
    const fs::path reused_pid = make("stdin-" + me + "-999.log"); // our pid, nobody's lock
    const fs::path half_made = make("stdin-" + gone + "-2.part");
    const fs::path being_made = make("stdin-" + me + "-998.part"); // its maker runs
    const fs::path held = make("stdin-" + gone + "-3.log");
    const int holder = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const fs::path other_names[] = {make("notes.log"), make("stdin-x-1.log"), make("stdin--1.log"),
                                    make("stdin-1-.log"), make("stdin-" + gone + "-1.log.bak")};

    EXPECT_EQ(RemoveOrphanSpools(Folder()), 3);
    EXPECT_FALSE(fs::exists(crashed));
    EXPECT_FALSE(fs::exists(reused_pid));
    EXPECT_FALSE(fs::exists(half_made));
    EXPECT_TRUE(fs::exists(being_made));
    EXPECT_TRUE(fs::exists(held));
    EXPECT_TRUE(fs::exists(NativePath(live.path())));
    for (const fs::path& name : other_names)
        EXPECT_TRUE(fs::exists(name)) << name;
    ::close(holder);
    EXPECT_EQ(RemoveOrphanSpools(Folder()), 1);
    EXPECT_FALSE(fs::exists(held));

    // A missing folder is not made; a folder of others' is left alone.
    EXPECT_EQ(RemoveOrphanSpools((fs::path(m_dir.path()) / "none").u16string()), 0);
    EXPECT_FALSE(fs::exists(fs::path(m_dir.path()) / "none"));
    ::close(ends[1]);
}

TEST(StandardInputFolder, FollowsTheCacheHome)
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const std::string kept_cache = cache ? cache : "";
    const char* home = std::getenv("HOME");
    const std::string kept_home = home ? home : "";
    ::setenv("XDG_CACHE_HOME", "/c/cache", 1);
    EXPECT_EQ(StandardInputFolder(), u"/c/cache/varnoth");
    ::setenv("XDG_CACHE_HOME", "relative", 1); // not absolute: ignored
    ::setenv("HOME", "/h/me", 1);
    EXPECT_EQ(StandardInputFolder(), u"/h/me/.cache/varnoth");
    ::unsetenv("XDG_CACHE_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(StandardInputFolder(), u"");
    if (cache)
        ::setenv("XDG_CACHE_HOME", kept_cache.c_str(), 1);
    if (home)
        ::setenv("HOME", kept_home.c_str(), 1);
}
