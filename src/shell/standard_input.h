// Standard input in a tab: the stream is copied into a temporary file by
// stdin_spool, and the file opens as "(standard input)", followed while it
// grows.  Given with "-", the tab opens at once; a pipe taken without "-"
// opens its tab with its first bytes, and one that ends without any opens
// nothing.  Closing the tab ends the reading (the writer of the pipe sees it
// closed) and removes the file; so does the end of the viewer.
//
// Thread-safety: interface thread only (the spool's events are queued to it).
#pragma once

#include "app/stdin_spool.h"

#include <QObject>
#include <QTimer>

#include <string>

class CVarnothApp;
class main_dialog_adapter;

class CStandardInput : public QObject {
public:
    CStandardInput(main_dialog_adapter& tabs, CVarnothApp& app, QObject* parent = nullptr);
    ~CStandardInput() override;

    // Starts reading input (owned from now on) into a file of folder, as use
    // says.  False, after an error box, when the file cannot be made.
    bool Start(int input, stdin_use use, const std::u16string& folder);

    const stdin_spool& Spool() const { return m_spool; }
    // Whether the tab was asked for, and whether it was closed since.
    bool TabOpened() const { return m_opened; }
    bool TabClosed() const { return m_closed; }

    // How often a tab waiting for a running job or an open dialog tries again.
    static constexpr int kRetryIntervalMs = 200;

private:
    void OnEvent(stdin_spool::event what);
    // Opens the tab, or tries again a little later while a job runs or a
    // dialog is open.
    void OpenTab();
    void ReportFailure();

    main_dialog_adapter& m_tabs;
    CVarnothApp& m_app;
    stdin_spool m_spool;
    std::u16string m_path;
    stdin_use m_use = stdin_use::none;
    bool m_opened = false;
    bool m_closed = false;
    bool m_reported = false;
    QTimer m_retry;
};
