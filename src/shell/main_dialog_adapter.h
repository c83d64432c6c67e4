// The main window as the job protocol sees it: each open file gets a tab
// whose page is the file's list (CLogListCtrl), its columns the parser's
// leaves and its rows the file's row source.
//
// Thread-safety: interface thread only.
#pragma once

#include "app/main_dialog_link.h"

class CVarnothApp;
class CVarnothDlg;
class CLogListCtrl;
struct CWorkData;

class main_dialog_adapter : public main_dialog_link {
public:
    main_dialog_adapter(CVarnothDlg& window, CVarnothApp& app) : m_window(window), m_app(app) {}

    void AddFileTab(CWorkData& file) override;
    void UpdateView(int selection_kind, int64_t row) override;
    int ActiveTab() override;
    void ActivateTab(int index) override;
    void SetListRedraw(bool on) override;
    void ShowRowSource() override;

    // Removes the active tab and closes its file; nothing without a tab.
    void CloseActiveTab();

    // The list of the active tab, null when there is none.
    CLogListCtrl* ActiveList() const;
    // The list of tab index, null when there is no such tab.
    CLogListCtrl* List(int index) const;
    // Rebuilds the columns of list from the parser its file uses.
    void SetColumns(CLogListCtrl& list);

private:

    CVarnothDlg& m_window;
    CVarnothApp& m_app;
};
