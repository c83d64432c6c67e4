#include "shell/open_at_line.h"

#include "shell/main_dialog_adapter.h"
#include "ui/log_list_ctrl.h"
#include "work/file_view.h"
#include "work/window_plan.h"

#include <algorithm>

CLineOpener::CLineOpener(main_dialog_adapter& tabs, QObject* parent) : QObject(parent), m_tabs(tabs)
{
    m_timer.setInterval(kCheckIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &CLineOpener::Check);
}

void CLineOpener::Add(const std::vector<handed_file>& files)
{
    for (const handed_file& wanted : files)
        if (wanted.line > 0)
            m_pending.push_back({wanted.path, 0, wanted.line, 0});
    Check();
}

void CLineOpener::Check()
{
    // The selection is set in the active tab only: each file's tab is made
    // active for its move, and the tab that was active is again afterwards.
    const int active = m_tabs.ActiveTab();
    std::vector<request> waiting;
    for (request& r : m_pending) {
        if (r.file_id == 0) {
            // The tab of a file opened just now comes with the messages of its open.
            for (int tab = 0; CLogListCtrl* list = m_tabs.List(tab); ++tab)
                if (file_view* file = list->File(); file && file->path() == r.path)
                    r.file_id = file->id();
            if (r.file_id == 0) {
                if (++r.waits < kMaxWaits)
                    waiting.push_back(r);
                continue; // it could not be opened
            }
        }
        CLogListCtrl* list = m_tabs.ListOf(r.file_id);
        file_view* file = list ? list->File() : nullptr;
        if (!file)
            continue; // its tab was closed
        if (file->indexing()) {
            waiting.push_back(r);
            continue;
        }
        const window_place place = file->place();
        if (place.line_count == 0)
            continue;
        const int64_t last = static_cast<int64_t>(place.line_count) - 1;
        const int64_t line = std::min<int64_t>(static_cast<int64_t>(r.line) - 1, last);
        window_plan plan = PlanHolding(place, line);
        // A window that holds the line already is parsed again for the selection.
        plan.move = true;
        for (int tab = 0; CLogListCtrl* shown = m_tabs.List(tab); ++tab)
            if (shown == list)
                m_tabs.ActivateTab(tab);
        if (!file->move_window(plan) && r.waits < kMaxWaits) {
            waiting.push_back(r); // a job runs: next time
            ++waiting.back().waits;
        }
    }
    if (m_tabs.ActiveTab() != active && m_tabs.List(active))
        m_tabs.ActivateTab(active);
    m_pending = std::move(waiting);
    if (m_pending.empty())
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();
}
