// The modal progress dialog of a job that outlasts its first half-second:
// the step and the file worked on, a position bar (moving while the
// position is unknown), the file counter with a files bar when several
// files are opened, and Cancel for jobs that can be cancelled.  It only
// reads the progress record; its one effect on the job is the cancel event.
//
// Thread-safety: interface thread only.
#pragma once

#include "app/progress_dialog.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class native_signal;

class CProgressDlg : public QDialog, public progress_dialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 136,
        IDC_ACTION = 1000,   // left-aligned: the step
        IDC_OBJECT = 1001,   // right-aligned: the file name
        IDC_POSITION = 1002, // position within the step
        IDC_COUNTER = 1003,  // "%d / %d"
        IDC_FILES = 1004,    // files done
        IDC_CANCEL = 2,
    };

    // cancel is the work thread's cancel event; only a cancellable dialog sets it.
    CProgressDlg(int file_count, bool cancellable, native_signal* cancel, QWidget* parent = nullptr);
    ~CProgressDlg() override;

    // progress_dialog
    int Exec() override { return exec(); }
    void Update(progress_record* record) override;
    void End(int result) override { done(result); }

    QLabel* ActionText() const { return m_action; }
    QLabel* ObjectText() const { return m_object; }
    QLabel* CounterText() const { return m_counter; }
    QProgressBar* PositionBar() const { return m_position; }
    QProgressBar* FilesBar() const { return m_files; }
    QPushButton* CancelButton() const { return m_cancel_button; }
    // True while the position bar shows the moving (unknown position) style.
    bool IsMarquee() const;

public slots:
    // Escape and the close box come here: the same as Cancel; the dialog
    // never closes on its own.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Sets the cancel event and disables the button, once; nothing when the
    // button is hidden or disabled already.
    void OnCancel();

    int m_file_count;
    bool m_cancellable;
    native_signal* m_cancel_event;
    QLabel* m_action = nullptr;
    QLabel* m_object = nullptr;
    QProgressBar* m_position = nullptr;
    QLabel* m_counter = nullptr;
    QProgressBar* m_files = nullptr;
    QPushButton* m_cancel_button = nullptr;
};
