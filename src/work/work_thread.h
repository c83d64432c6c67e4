// The work thread: one for the whole run, serving jobs one at a time in
// posting order (see work_messages.h for the protocol).
#pragma once

#include "logfile/primitives.h"
#include "platform/message_queue.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

class work_host;

// Thread-safety: PostJob, the events and Quit may be used from any thread;
// Start and Wait belong to the thread that owns the object (the interface
// thread).  A job never lets an exception out: whatever happens, it ends
// with WM_WORK_DONE and the idle event.
class CWorkThread {
public:
    explicit CWorkThread(work_host& host);
    // Ends a running thread (quit, then wait) and frees the records of jobs
    // that were never served.
    ~CWorkThread();
    CWorkThread(const CWorkThread&) = delete;
    CWorkThread& operator=(const CWorkThread&) = delete;

    // Starts the thread; false when it runs already or cannot be started.
    bool Start();
    bool IsRunning() const { return m_thread.joinable(); }

    // Resets the idle event and posts a job message (WM_JOB_*); returns its
    // serial, which the job's WM_WORK_DONE carries as wparam; 0 for an id
    // that is not a job.
    uint64_t PostJob(unsigned id, uintptr_t wparam, intptr_t lparam);
    // The serial of the job posted last (0 before the first).
    uint64_t LastJobSerial() const { return m_posted.load(); }

    // Posts the quit message: the thread ends once it reaches it.
    void Quit();
    // Waits until the thread has ended (0), or the time ran out (1); a
    // negative time waits without limit.  Joins the thread when it ended.
    int Wait(int milliseconds);

    // Manual reset, created signalled; reset when a job is posted, set when
    // a job has ended (after its last message) and no other job is waiting.
    native_signal& IdleEvent() { return m_idle; }
    // Manual reset, created non-signalled; set by the progress dialog's
    // Cancel, tested and reset by cancellable jobs.
    native_signal& CancelEvent() { return m_cancel; }

    message_queue& Queue() { return m_queue; }

private:
    void Run();
    // Frees the heap records of the job messages still queued.
    void DropQueuedJobs();
    // The serial of the job about to run.
    uint64_t NextServed();
    // Sets the idle event when every posted job has been served.
    void JobEnded();

    work_host& m_host;
    message_queue m_queue;
    native_signal m_idle;
    native_signal m_cancel;
    native_signal m_ended;
    std::thread m_thread;
    std::mutex m_post_mutex;
    std::atomic<uint64_t> m_posted{0}; // written under m_post_mutex
    uint64_t m_served = 0;             // under m_post_mutex
};
