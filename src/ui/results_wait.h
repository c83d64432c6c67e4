// The wait of a whole-file results job: instead of a modal progress dialog
// after a blind first wait, an event loop from the job's start, so that the
// results pane fills and the window repaints while the walk runs.  Input
// reaches only the results pane (its Cancel, its scroll bars, a click on a
// row); Escape anywhere, and closing the window, cancel the walk.  Every
// other key, click and drop is dropped until the job's done ends the wait,
// so nothing else starts meanwhile.  What the walk found stays (the job's
// cancel semantics).
//
// Thread-safety: interface thread only.
#pragma once

#include "app/progress_dialog.h"

#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QWidget>

class native_signal;

class CResultsWait : public QObject, public progress_dialog {
    Q_OBJECT
public:
    // inputs: the widget that keeps its input (the pane; null: none);
    // cancel: the work thread's cancel event.
    CResultsWait(QWidget* inputs, native_signal* cancel);
    ~CResultsWait() override;

    // progress_dialog
    int Exec() override;
    void Update(progress_record* record) override;
    void End(int result) override;

    // Whether the wait lets event reach watched.
    bool Passes(QObject* watched, QEvent* event) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Cancel();

    QPointer<QWidget> m_inputs;
    native_signal* m_cancel;
    QEventLoop m_loop;
    bool m_running = false;
    bool m_ended = false;
    int m_result = 0;
};
