// The running instance's side of the single-instance hand-off: it listens
// on the wake socket, takes the handed-over paths, goes on taking every
// 100 ms while more arrive so that files started together open as one
// batch, brings the main window to the front and opens the batch, unless a
// modal dialog is open (then the batch is dropped).
//
// Thread-safety: interface thread only.
#pragma once

#include "app/instance_handoff.h"

#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

class QWidget;

class CInstanceChannel : public QObject {
public:
    using open_handler = std::function<void(const std::vector<std::u16string>& paths)>;

    CInstanceChannel(QWidget* window, open_handler open, QObject* parent = nullptr);
    ~CInstanceChannel() override;

    // Starts listening on the wake socket (replacing one that a gone
    // instance left behind); false when it cannot.
    bool Listen();
    // Takes what waits in the spool now (and every 100 ms while paths keep
    // arriving); also how the first instance picks up its own file.
    void TakeNow();

    // Batches opened and batches dropped because a modal dialog was open.
    int BatchesOpened() const { return m_opened; }
    int BatchesDropped() const { return m_dropped; }
    bool Collecting() const { return m_timer.isActive(); }

    static constexpr int kBatchIntervalMs = 100;

    // Called after a batch was opened with the files of it that name a line.
    using line_handler = std::function<void(const std::vector<handed_file>& files)>;
    void SetLineHandler(line_handler handler) { m_at_lines = std::move(handler); }

    // Test seam: called after every take of the spool with the number of
    // paths it yielded.
    void SetTakeObserver(std::function<void(std::size_t taken)> observer) { m_take_observer = std::move(observer); }

private:
    void OnNewConnection();
    void OnBatchTimer();
    void Deliver();
    void BringWindowToFront();
    // Takes the spool into the collected batch; the number of paths taken.
    std::size_t Take();

    QPointer<QWidget> m_window;
    open_handler m_open;
    std::function<void(std::size_t)> m_take_observer;
    line_handler m_at_lines;
    QLocalServer m_server;
    QTimer m_timer;
    std::vector<handed_file> m_collected;
    bool m_delivering = false;
    bool m_wake_pending = false;
    int m_opened = 0;
    int m_dropped = 0;
};
