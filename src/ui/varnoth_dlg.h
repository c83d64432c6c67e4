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
class CFileTabCtrl;
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

    CFileTabCtrl* TabControl() const { return m_tabs; }

    // --- popups ------------------------------------------------------------
    // The file-tab popup at a global point (close others only with two tabs).
    void ShowTabPopup(const QPoint& global_pos);
    // The list popup at a global point for the clicked cell: column -1 when
    // the click was on no cell.  The clicked column and cell are remembered
    // for the copy-this-column, include and exclude items.
    void ShowListPopup(const QPoint& global_pos, int column, const std::u16string& column_name,
                       const std::u16string& cell_text);
    // Applies the enabling rules and the clicked-cell texts to the list popup.
    void UpdateListPopup();
    QMenu* TabPopup() const { return m_tab_popup; }
    QMenu* ListPopup() const { return m_list_popup; }
    struct clicked_cell {
        int column = -1; // -1: no column was clicked
        std::u16string column_name;
        std::u16string text;
    };
    const clicked_cell& ClickedCell() const { return m_clicked; }

    // --- dropped files, notes, timer 100 -------------------------------------
    using drop_handler = std::function<void(const std::vector<std::u16string>& paths)>;
    // Receives the local paths of files dropped on the window.
    void SetDropHandler(drop_handler handler) { m_drop_handler = std::move(handler); }
    // A short note in the status bar that goes away by itself.
    void ShowStatusNote(const QString& text);
    // Timer 100: calls tick every 100 ms while it runs; tick returns false to stop it.
    void StartIndexTimer(std::function<bool()> tick);
    void StopIndexTimer();
    bool IndexTimerRunning() const { return m_index_timer.isActive(); }
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
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    void CreateToolbar();
    void CreateStatusBar();
    void CreateCentralArea();
    void CreatePopups();
    QAction* AddPopupCommand(QMenu* menu, QHash<int, QAction*>& actions, int id, std::u16string_view key,
                             bool checkable = false);
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
    CFileTabCtrl* m_tabs = nullptr;
    QMenu* m_tab_popup = nullptr;
    QMenu* m_list_popup = nullptr;
    QHash<int, QAction*> m_tab_popup_actions;
    QHash<int, QAction*> m_list_popup_actions;
    QMenu* m_popup_copy_column_menu = nullptr;
    QMenu* m_popup_include_menu = nullptr;
    QMenu* m_popup_exclude_menu = nullptr;
    clicked_cell m_clicked;
    drop_handler m_drop_handler;
    QTimer m_index_timer; // timer 100
    std::function<bool()> m_index_tick;
    CCommonTaskDlg* m_common_tasks = nullptr;
    CLVStatusBarCtrl* m_status_bar = nullptr;

    QTimer m_refresh_timer; // auto refresh, every second
    bool m_ending = false;
    bool m_placement_stored = false;
};
