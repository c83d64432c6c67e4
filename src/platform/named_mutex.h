// Named mutexes shared between processes of the same user, as lock files in
// the per-user runtime folder.  The lock is an advisory whole-file lock; the
// system releases it when the process ends, so a crashed instance never
// leaves a stale lock behind.
#pragma once

#include <string>

class named_mutex {
public:
    explicit named_mutex(std::u16string name);
    ~named_mutex();
    named_mutex(const named_mutex&) = delete;
    named_mutex& operator=(const named_mutex&) = delete;

    // Takes the mutex without waiting.  False when another process (or another
    // named_mutex object) holds it, or when the lock file cannot be made.
    bool try_lock();
    // Waits for the mutex without time-out.  False when the lock file cannot be made.
    bool lock();
    void unlock();
    bool owned() const { return m_fd >= 0; }

private:
    bool open_file();

    std::u16string m_name;
    int m_fd = -1;
};

// Scoped holder: waits for the named mutex on construction, releases it on
// destruction.
class CAutoNamedMutex {
public:
    explicit CAutoNamedMutex(const std::u16string& name) : m_mutex(name) { m_locked = m_mutex.lock(); }
    bool locked() const { return m_locked; }

private:
    named_mutex m_mutex;
    bool m_locked = false;
};
