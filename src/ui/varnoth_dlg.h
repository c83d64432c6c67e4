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
#include "ui/file_scope_ctrl.h"
#include "ui/icon_library.h"

#include <QHash>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <functional>
#include <string>

class CVarnothApp;
class CCommonTaskDlg;
class CLVStatusBarCtrl;
class CTopPanel;
class QComboBox;
class QLabel;
class QMenu;
class QTabWidget;
class QToolBar;

class CVarnothDlg : public QMainWindow {
    Q_OBJECT
public:
    explicit CVarnothDlg(CVarnothApp& app, QWidget* parent = nullptr);
    ~CVarnothDlg() override;

    command_router& Router() { return m_router; }

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

    // What the auto-refresh timer does every second: refreshes the active
    // file when its auto refresh is on, unless a modal dialog runs.
    void OnRefreshTimer();
    const QTimer& RefreshTimer() const { return m_refresh_timer; }

    QTabWidget* TabControl() const { return m_tabs; }
    CTopPanel* TopPanel() const { return m_top_panel; }
    CCommonTaskDlg* CommonTasks() const { return m_common_tasks; }
    QToolBar* ToolBar() const { return m_toolbar; }
    CLVStatusBarCtrl* StatusBar() const { return m_status_bar; }
    QComboBox* EncodingBox() const;
    CFileScopeCtrl* FileScopeBar() const;
    QLabel* StatusPart(int index) const;
    const icon_library& Icons() const { return m_icons; }

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

    CVarnothApp& m_app;
    command_router m_router;
    icon_library m_icons;
    view_state_provider m_view_state_provider;

    QHash<int, QAction*> m_menu_actions;
    QHash<int, QAction*> m_toolbar_actions;
    QMenu* m_file_menu = nullptr;
    QMenu* m_export_menu = nullptr;
    QAction* m_file_recent_separator = nullptr; // the separator after Export
    QMenu* m_copy_column_menu = nullptr;
    QMenu* m_include_menu = nullptr;
    QMenu* m_exclude_menu = nullptr;
    QMenu* m_toolbar_recent_menu = nullptr;
    QMenu* m_toolbar_copy_column_menu = nullptr;

    QToolBar* m_toolbar = nullptr;
    CTopPanel* m_top_panel = nullptr;
    QTabWidget* m_tabs = nullptr;
    CCommonTaskDlg* m_common_tasks = nullptr;
    CLVStatusBarCtrl* m_status_bar = nullptr;

    QTimer m_refresh_timer; // auto refresh, every second
    bool m_ending = false;
    bool m_placement_stored = false;
};
