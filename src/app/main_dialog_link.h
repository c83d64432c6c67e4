// What the application object asks of the main window when the work
// thread's results arrive and when jobs start.  The main window implements
// it; tests implement it to watch the protocol.
#pragma once

#include <cstdint>

class file_view;

// Thread-safety: interface thread only.
class main_dialog_link {
public:
    virtual ~main_dialog_link() = default;

    // WM_WORK_FILE_READY: add a tab (with its list) for file and make it the
    // active tab.
    virtual void AddFileTab(file_view& file) = 0;
    // WM_WORK_VIEW_UPDATE: the active list takes its row count from the row
    // source and applies the selection kind (SELECT_*) with row.
    virtual void UpdateView(int selection_kind, int64_t row) = 0;
    // The index of the active tab, -1 when there is none.
    virtual int ActiveTab() = 0;
    // The id of the active tab's file view, 0 when there is none.
    virtual uint64_t ActiveFileId() = 0;
    virtual void ActivateTab(int index) = 0;
    // Turns the active list's redrawing off before a job changes its rows,
    // and on again when they are in place.
    virtual void SetListRedraw(bool on) = 0;
    // The quick filter was cleared: the active list's row count from the row
    // source (no scrolling), repainted at once, toolbar and status texts
    // refreshed.
    virtual void ShowRowSource() = 0;
    // After a view job of the file with that id: its list takes its rows
    // (only its row count when rows_only, else with the selection kind and
    // row as UpdateView); its columns are rebuilt when columns_changed.
    // Lists do it for the active tab's file only.
    virtual void ViewJobDone(uint64_t file_id, bool rows_only, int selection_kind, int64_t row, bool columns_changed)
    {
        (void)file_id;
        (void)columns_changed;
        if (rows_only)
            ShowRowSource();
        else
            UpdateView(selection_kind, row);
    }
};
