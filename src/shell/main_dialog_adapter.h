// The main window as the job protocol sees it: each open file gets a tab
// whose page is the file's list (CLogListCtrl), its columns the parser's
// leaves and its rows the file's row source.  It also answers for the
// active tab: the view state the menus and the toolbar are enabled from,
// the lists' notifications, the tab change, timer 100 and the refresh of
// the active file (with its reload after a rotation).
//
// Every file is reached through the list of its tab (CLogListCtrl::File),
// so that the tab, its list and its file always agree.
//
// Thread-safety: interface thread only.
#pragma once

#include "app/main_dialog_link.h"
#include "ui/command_state.h"
#include "work/file_view.h"
#include "work/window_plan.h"

#include <QPoint>

#include <functional>
#include <string>
#include <vector>

class CVarnothApp;
class CVarnothDlg;
class CLogListCtrl;
class CResultsPane;
struct CSearchInfo;
class file_view;

class main_dialog_adapter : public main_dialog_link {
public:
    main_dialog_adapter(CVarnothDlg& window, CVarnothApp& app);
    ~main_dialog_adapter() override;

    void AddFileTab(file_view& file) override;
    void UpdateView(int selection_kind, int64_t row) override;
    int ActiveTab() override;
    uint64_t ActiveFileId() override;
    void ViewJobDone(uint64_t file_id, bool rows_only, int selection_kind, int64_t row, bool columns_changed) override;
    void ActivateTab(int index) override;
    void SetListRedraw(bool on) override;
    void ShowRowSource() override;

    // The tab of path, once it opens, shows name (tab text and title),
    // follows its file (auto refresh on) and stays out of the recent files;
    // closed runs once that tab has been removed and its file closed.  For a
    // file the viewer made itself, such as the copy of standard input.
    void AddStream(std::u16string path, std::u16string name, std::function<void()> closed);
    // The name a tab of file shows.
    std::u16string TabName(const file_view& file) const;

    // Removes the active tab and closes its file; nothing without a tab.
    void CloseActiveTab();
    // Keeps only the active tab: the tabs before it go first, then those after.
    void CloseOtherTabs();

    // The list of the active tab, null when there is none.
    CLogListCtrl* ActiveList() const;
    // The file of the active tab, null when there is none.
    file_view* ActiveData() const;
    // The list of tab index, null when there is no such tab.
    CLogListCtrl* List(int index) const;
    // The list of the file view with that id, null when it has no tab.
    CLogListCtrl* ListOf(uint64_t file_id) const;
    // Rebuilds the columns of list (and of its results pane) from the
    // parser its file uses.
    void SetColumns(CLogListCtrl& list);

    // ---- whole-file results ---------------------------------------------------
    // The results pane of the active tab, null when there is none.
    CResultsPane* ActivePane() const;
    // Find all / filter whole file in the active tab: shows its results pane
    // and fills it while the walk runs; false when refused or without a tab.
    bool FindAll(const CSearchInfo& search);
    bool FilterWholeFile();
    // Moves list's window to result k of its file and selects its row
    // (with a filter on, the first shown row at or after it); false when
    // there is no such result or the move failed.
    bool ShowResult(CLogListCtrl& list, uint64_t k);
    // The same for line (from 0) of list's file (the overview strip's click,
    // go to line): with a filter on, the first shown row at or after it.
    bool ShowLine(CLogListCtrl& list, int64_t line);

    // What the menus, toolbar and status texts show for the active tab.
    active_view_state ViewState() const;
    // Title, toolbar and status texts from the active tab.
    void UpdateWindowTexts();

    // The window-move request of a list at its edges: a new window lines
    // earlier (negative) or later, run with the index thread paused.
    void MoveWindow(CLogListCtrl& list, int lines);
    // The refresh command: notices a rotated file and reloads it, else
    // indexes what was appended and moves the window as the settings say.
    void Refresh();
    // Opens the active file again from scratch in its tab: index, parser
    // choice and first window as when it was opened; its flags, filter and
    // rules stay.  False when the file cannot be opened now (its tab stays,
    // empty, and the next refresh tries again).
    bool ReloadActive();

    // One tick of timer 100: pauses the active file's index thread while
    // the pointer is over the file-scope bar, updates the counts; false once
    // the index thread has ended.
    bool IndexTimerTick();

private:
    bool RunResults(bool find, const CSearchInfo& search);
    // After a refresh (again false: walks on through the appended lines) or
    // a reload (again: from the start), when the file has results.
    void FollowResults(file_view& file, bool again);
    bool ShowLine(CLogListCtrl& list, int64_t line, const window_plan& plan);

    void OnActiveTabChanged();
    void ConnectList(CLogListCtrl& list);
    // Lets go of a pause timer 100 holds.
    void ReleaseTimerPause();
    void RemoveTab(int index);
    // Where file's window is, for the window plans.
    window_place Place(file_view& file) const;

    struct stream_tab {
        std::u16string path;
        std::u16string name;
        std::function<void()> closed;
    };
    const stream_tab* StreamOf(const std::u16string& path) const;

    CVarnothDlg& m_window;
    CVarnothApp& m_app;
    std::vector<stream_tab> m_streams;
    bool m_removing = false;                // a tab is being removed
    file_view* m_paused_by_timer = nullptr; // the file whose index thread timer 100 holds
    index_hold m_timer_hold;
};
