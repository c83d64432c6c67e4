// Standard input as a log: a reader thread copies the stream, burst by
// burst, into a temporary file that the viewer opens and follows like any
// growing log.
//
//   stdin (pipe) --read--> reader thread --write--> <cache>/varnoth/stdin-<pid>-<n>.log
//                               |                         ^ indexed, refreshed
//                               +-- events: first data, ended, failed
//
// The file lives in the per-user cache folder ($XDG_CACHE_HOME/varnoth, else
// ~/.cache/varnoth).  Its owner holds an flock on it for as long as it runs,
// so a file whose lock is free belongs to a run that is gone (it crashed or
// was killed): RemoveOrphanSpools removes such files at the next start.
//
// Thread-safety: start, stop and remove belong to one thread (the interface
// thread); the counters may be read from any thread; the event handler runs
// on the reader thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// What a descriptor is, for the rule of when standard input is read.
enum class input_kind { closed, terminal, null_device, fifo, socket, regular_file, other };
input_kind ClassifyInput(int fd);

// How standard input is taken at start.
enum class stdin_use {
    none,    // not read
    named,   // "-" on the command line: its tab opens at once
    implied, // a pipe and no file named: its tab opens with the first bytes
};

// The rule.  "-" reads anything but a terminal (a background viewer would be
// stopped reading one), a closed descriptor or the null device.  Without "-"
// and without a file named, only a pipe or a socket is read, and only when
// the viewer was started from a terminal (standard output or error is one):
// launchers, test harnesses and CI give the viewer pipes it must not wait on.
stdin_use StandardInputUse(bool dash_named, bool files_named, input_kind input, bool started_from_terminal);

// The folder of the temporary files; empty when there is no home at all.
std::u16string StandardInputFolder();

// Removes the spool files of folder that no running viewer holds; returns
// how many went.  Creates nothing; a folder that is not ours is left alone.
int RemoveOrphanSpools(const std::u16string& folder);

class stdin_spool {
public:
    enum class event { first_data, ended, failed };
    using event_handler = std::function<void(event)>;

    stdin_spool() = default;
    ~stdin_spool(); // stops and removes the file
    stdin_spool(const stdin_spool&) = delete;
    stdin_spool& operator=(const stdin_spool&) = delete;

    // Creates the spool file in folder (made when missing, mode 0700) and
    // starts copying input into it; the spool owns input from now on and
    // closes it when the reader ends.  False, with error() set and input
    // closed, when the file or the thread cannot be made.
    bool start(const std::u16string& folder, int input, event_handler on_event = {});
    // Ends the reader (at once, also while the stream is silent) and closes
    // the input, so that the writer of a pipe sees it closed.  The file stays.
    void stop();
    // Stops and removes the file.
    void remove();

    const std::u16string& path() const { return m_path; }
    uint64_t bytes() const { return m_bytes.load(); }
    bool ended() const { return m_ended.load(); }
    bool failed() const { return m_error.load() != 0; }
    // The errno of the failure (0 without one) and whether it was a write
    // (of the file: a full disk) rather than a read (of the stream).
    int error() const { return m_error.load(); }
    bool write_failed() const { return m_write_failed.load(); }

private:
    void run();
    void fail(int error, bool writing);

    std::u16string m_path;
    int m_input = -1;
    int m_output = -1;
    int m_wake[2] = {-1, -1};
    event_handler m_on_event;
    std::thread m_thread;
    std::atomic<uint64_t> m_bytes{0};
    std::atomic<bool> m_ended{false};
    std::atomic<int> m_error{0};
    std::atomic<bool> m_write_failed{false};
};
