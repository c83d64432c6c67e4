// Files named with a line on the command line (FILE:N, --line N): once a
// file's tab exists and its index is complete, its window is loaded around
// line N (1 is the file's first line; past the end, the last line) and that
// row is selected.  The index must be complete first, because a file opened
// tail first numbers its lines from its head only then.
//
// Thread-safety: interface thread only.
#pragma once

#include "app/instance_handoff.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <string>
#include <vector>

class main_dialog_adapter;

class CLineOpener : public QObject {
public:
    explicit CLineOpener(main_dialog_adapter& tabs, QObject* parent = nullptr);

    // Takes the files of a batch that was just opened; a file whose tab does
    // not come (it could not be opened) is dropped after a while.
    void Add(const std::vector<handed_file>& files);
    // Requests still waiting for their file's index.
    std::size_t Pending() const { return m_pending.size(); }

    static constexpr int kCheckIntervalMs = 100;

private:
    struct request {
        std::u16string path;
        uint64_t file_id; // 0 until its tab is found
        uint64_t line;
        int waits; // checks without a tab, or with the move refused because a job ran
    };
    static constexpr int kMaxWaits = 100;
    void Check();

    main_dialog_adapter& m_tabs;
    std::vector<request> m_pending;
    QTimer m_timer;
};
