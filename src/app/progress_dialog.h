// The progress dialog as the application object sees it: RunJobAndWait
// creates one through an injected factory when a job outlasts its first
// half-second, runs it modally and lets the work thread's messages update
// and end it.  The GUI supplies the real dialog; without one, and in engine
// tests, a headless dialog dispatches the queue itself.
#pragma once

#include <functional>
#include <memory>

class CVarnothApp;
class native_signal;
class progress_record;

// Thread-safety: interface thread only.
class progress_dialog {
public:
    virtual ~progress_dialog() = default;
    // Runs modally until End; returns End's result.  The loop inside must go
    // on dispatching the interface thread's messages.
    virtual int Exec() = 0;
    // Shows the record (read under its lock); null shows empty texts.
    virtual void Update(progress_record* record) = 0;
    // Ends Exec with result.
    virtual void End(int result) = 0;
};

// Makes the dialog for a job over file_count files; cancel is the work
// thread's cancel event, which only a cancellable dialog sets.
using progress_dialog_factory =
    std::function<std::unique_ptr<progress_dialog>(int file_count, bool cancellable, native_signal& cancel)>;

// A dialog without a window: Exec takes the interface thread's messages one
// at a time and hands each to the application until End is called.
class headless_progress_dialog : public progress_dialog {
public:
    // limit_ms bounds Exec (negative: no limit); Exec then returns -1.
    headless_progress_dialog(CVarnothApp& app, int limit_ms = -1) : m_app(app), m_limit_ms(limit_ms) {}
    int Exec() override;
    void Update(progress_record* record) override;
    void End(int result) override;
    bool Ended() const { return m_ended; }

private:
    CVarnothApp& m_app;
    int m_limit_ms;
    bool m_ended = false;
    int m_result = 0;
};
