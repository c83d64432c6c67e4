// The main window as the job protocol sees it, until the window holds its
// own lists: each open file gets a tab with a placeholder page that names
// the file and its line counts.
//
// Thread-safety: interface thread only.
#pragma once

#include "app/main_dialog_link.h"

class CVarnothApp;
class CVarnothDlg;
class QLabel;

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

private:
    // Writes the active page's texts from its file.
    void RefreshActivePage();

    CVarnothDlg& m_window;
    CVarnothApp& m_app;
};
