// The main window: menus, toolbar, top panel, file tabs, status bar and the
// common-tasks panel.  Every menu item and toolbar button routes its command
// id through the window's command_router, where the application registers
// the handlers; the window itself only handles exit (32776) until the
// application replaces it.
//
// What the menus and the toolbar enable comes from the active tab, which the
// application describes through a view-state provider (see command_state.h);
// without one the window shows the no-file state.
//
// Thread-safety: interface thread only.
#pragma once

#include "ui/command_router.h"
#include "ui/command_state.h"
#include "ui/icon_library.h"

#include <QHash>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <functional>
#include <string>

class CVarnothApp;
class CCommonTaskDlg;
class CTopPanel;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QTabWidget;
class QToolBar;

class CVarnothDlg : public QMainWindow {
    Q_OBJECT
public:
    explicit CVarnothDlg(CVarnothApp& app, QWidget* parent = nullptr);
    ~CVarnothDlg() override;

    command_router& Router() { return router_; }

    // The state of the active tab; the default provider describes "no file".
    using view_state_provider = std::function<active_view_state()>;
    void SetViewStateProvider(view_state_provider provider);
    active_view_state ViewState() const;

    // The application title, followed by " - " and file_name when one is given.
    void UpdateTitle(const std::u16string& file_name = {});
    // Enables and checks the toolbar buttons from the view state.
    void UpdateToolbar();
    // The three status texts from the view state (empty without a file).
    void UpdateStatusTexts();
    // Applies the enabling rules to every main-menu item (run before each menu opens).
    void UpdateMenus();

    // Shows the window maximised or at the saved rectangle (centred when there is none).
    void ShowWithSavedPlacement();
    // Stores the maximised state and, when not maximised, the window rectangle in the settings.
    void StorePlacement();
    // Ends the window (the last step of the exit command).
    void EndDialog();

    // Shows the common-tasks panel while no tab exists, hides it otherwise.
    void UpdateCommonTasksVisibility();

    QTabWidget* TabControl() const { return tabs_; }
    CTopPanel* TopPanel() const { return top_panel_; }
    CCommonTaskDlg* CommonTasks() const { return common_tasks_; }
    QToolBar* ToolBar() const { return toolbar_; }
    QComboBox* EncodingBox() const { return encoding_box_; }
    QFrame* FileScopeBar() const { return file_scope_bar_; }
    QLabel* StatusPart(int index) const { return status_parts_.at(static_cast<std::size_t>(index)); }
    const icon_library& Icons() const { return icons_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    void CreateToolbar();
    void CreateStatusBar();
    void CreateCentralArea();
    QAction* AddMenuCommand(QMenu* menu, int id, std::u16string_view key, bool checkable = false);
    QMenu* AddSubmenu(QMenu* parent, std::u16string_view key);
    void RebuildRecentFiles();
    void FillColumnMenu(QMenu* menu, int first_id, const active_view_state& state);
    void PlaceCommonTasks();
    void UpdateMinimumSize();
    void OnRefreshTimer();

    CVarnothApp& app_;
    command_router router_;
    icon_library icons_;
    view_state_provider view_state_provider_;

    QHash<int, QAction*> menu_actions_;
    QHash<int, QAction*> toolbar_actions_;
    QMenu* file_menu_ = nullptr;
    QMenu* export_menu_ = nullptr;
    QAction* file_recent_separator_ = nullptr; // the separator after Export
    QMenu* copy_column_menu_ = nullptr;
    QMenu* include_menu_ = nullptr;
    QMenu* exclude_menu_ = nullptr;
    QMenu* toolbar_recent_menu_ = nullptr;
    QMenu* toolbar_copy_column_menu_ = nullptr;

    QToolBar* toolbar_ = nullptr;
    CTopPanel* top_panel_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    CCommonTaskDlg* common_tasks_ = nullptr;
    std::array<QLabel*, 3> status_parts_{};
    QComboBox* encoding_box_ = nullptr;
    QFrame* file_scope_bar_ = nullptr;

    QTimer refresh_timer_; // auto refresh, every second
    bool ending_ = false;
    bool placement_stored_ = false;
};
