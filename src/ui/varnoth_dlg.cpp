#include "ui/varnoth_dlg.h"

#include "app/varnoth_app.h"
#include "ui/accelerators.h"
#include "ui/command_ids.h"
#include "ui/common_task_dlg.h"
#include "ui/file_tab_ctrl.h"
#include "ui/menu_items.h"
#include "ui/status_bar_ctrl.h"
#include "ui/top_panel.h"
#include "ui/ui_text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStyleOptionToolButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kRefreshTimerPeriodMs = 1000;
constexpr int kIndexTimerPeriodMs = 100;
constexpr int kStatusNoteMs = 8000;
constexpr int kToolbarIconSize = 32;
constexpr int kToolbarButtonSize = 36;
constexpr QSize kDefaultWindowSize(1100, 720);
constexpr QSize kMinimumSizeWithoutPanel(600, 250);

// The most column commands a column submenu offers (33100 + index and so on).
constexpr int kColumnCommandCount = 100;

struct menu_command {
    int id;
    const char16_t* key;
};

// The Export submenu, also the export button's drop-down.
const menu_command kExportCommands[] = {
    {ids::kFileExportSelected, u"IDS_MENU_MAIN_FILE_EXPORT_SELECTED"},
    {ids::kFileExportVisible, u"IDS_MENU_MAIN_FILE_EXPORT_VISIBLE"},
    {ids::kFileExportFile, u"IDS_MENU_MAIN_FILE_EXPORT_FILE"},
    {ids::kFileExportFileFilter, u"IDS_MENU_MAIN_FILE_EXPORT_FILE_FILTER"},
    {ids::kFileExportResults, u"IDS_MENU_MAIN_FILE_EXPORT_RESULTS"},
};

// The toolbar, left to right; command 0 is a separator.
enum class button_kind { plain, check, open_drop_down, whole_drop_down };
struct toolbar_button {
    int command;
    button_kind kind;
    int icon;
    int icon_checked;
    const char16_t* tooltip_key;
};
const toolbar_button kToolbarButtons[] = {
    {ids::kFileOpen, button_kind::open_drop_down, ids::kIconOpen, 0, u"IDS_MENU_TOOLTIP_MAIN_FILE_OPEN"},
    {ids::kFileClose, button_kind::plain, ids::kIconClose, 0, u"IDS_MENU_TOOLTIP_MAIN_FILE_CLOSE"},
    {ids::kFileCloseAll, button_kind::plain, ids::kIconCloseAll, 0, u"IDS_MENU_TOOLTIP_MAIN_FILE_CLOSEALL"},
    {ids::kFileExport, button_kind::whole_drop_down, ids::kIconExport, 0, u"IDS_MENU_TOOLTIP_MAIN_FILE_EXPORT"},
    {0, button_kind::plain, 0, 0, nullptr},
    {ids::kViewScrollUp, button_kind::plain, ids::kIconScrollUp, 0, u"IDS_MENU_TOOLTIP_MAIN_VIEW_SCROLL_UP"},
    {ids::kViewScrollDown, button_kind::plain, ids::kIconScrollDown, 0, u"IDS_MENU_TOOLTIP_MAIN_VIEW_SCROLL_DOWN"},
    {ids::kViewRefresh, button_kind::plain, ids::kIconRefresh, 0, u"IDS_MENU_TOOLTIP_MAIN_VIEW_REFRESH"},
    {ids::kViewAutoRefresh, button_kind::check, ids::kIconAutoRefresh, ids::kIconAutoRefreshOn,
     u"IDS_MENU_TOOLTIP_MAIN_VIEW_AUTOREFRESH"},
    {0, button_kind::plain, 0, 0, nullptr},
    {ids::kEditFind, button_kind::plain, ids::kIconFind, 0, u"IDS_MENU_TOOLTIP_MAIN_EDIT_FIND"},
    {ids::kEditFindInFile, button_kind::plain, ids::kIconFindInFile, 0, u"IDS_MENU_TOOLTIP_MAIN_EDIT_FIND_FILE"},
    {ids::kEditFindPrevious, button_kind::plain, ids::kIconFindPrevious, 0, u"IDS_MENU_TOOLTIP_MAIN_EDIT_FIND_PREV"},
    {ids::kEditFindNext, button_kind::plain, ids::kIconFindNext, 0, u"IDS_MENU_TOOLTIP_MAIN_EDIT_FIND_NEXT"},
    {ids::kEditCopy, button_kind::plain, ids::kIconCopy, 0, u"IDS_MENU_TOOLTIP_MAIN_EDIT_COPY"},
    {ids::kEditCopyColumn, button_kind::whole_drop_down, ids::kIconCopyColumn, 0,
     u"IDS_MENU_TOOLTIP_MAIN_EDIT_COPY_COLUMN"},
    {0, button_kind::plain, 0, 0, nullptr},
    {ids::kViewHighlightSetting, button_kind::plain, ids::kIconHighlightSetting, 0,
     u"IDS_MENU_TOOLTIP_MAIN_VIEW_HIGHLIGHT_SETTING"},
    {ids::kViewHighlightEnable, button_kind::check, ids::kIconHighlight, ids::kIconHighlightOn,
     u"IDS_MENU_TOOLTIP_MAIN_VIEW_HIGHLIGHT_ENABLE"},
    {ids::kViewFilterSetting, button_kind::plain, ids::kIconFilterSetting, 0,
     u"IDS_MENU_TOOLTIP_MAIN_VIEW_FILTER_SETTING"},
    {ids::kViewFilterEnable, button_kind::check, ids::kIconFilter, ids::kIconFilterOn,
     u"IDS_MENU_TOOLTIP_MAIN_VIEW_FILTER_ENABLE"},
    {ids::kViewFilterWholeFile, button_kind::plain, ids::kIconFilterWholeFile, 0,
     u"IDS_MENU_TOOLTIP_MAIN_VIEW_FILTER_WHOLE_FILE"},
    {0, button_kind::plain, 0, 0, nullptr},
    {ids::kEditOptions, button_kind::plain, ids::kIconOptions, 0, u"IDS_MENU_TOOLTIP_MAIN_EDIT_OPTIONS"},
    {ids::kHelpHelp, button_kind::plain, ids::kIconHelp, 0, u"IDS_MENU_TOOLTIP_MAIN_HELP_HELP"},
};

// A tool button whose arrow runs a fallback command while its menu would be empty.
class drop_down_button : public QToolButton {
public:
    drop_down_button(std::function<bool()> has_items, std::function<void()> fallback, QWidget* parent)
        : QToolButton(parent), m_has_items(std::move(has_items)), m_fallback(std::move(fallback))
    {}

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && isEnabled() && popupMode() == QToolButton::MenuButtonPopup
            && !m_has_items()) {
            QStyleOptionToolButton option;
            initStyleOption(&option);
            const QRect arrow =
                style()->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButtonMenu, this);
            if (arrow.contains(event->position().toPoint())) {
                event->accept();
                m_fallback();
                return;
            }
        }
        QToolButton::mousePressEvent(event);
    }

private:
    std::function<bool()> m_has_items;
    std::function<void()> m_fallback;
};

QRect ToQRect(const window_rect& r)
{
    return QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top));
}

window_rect FromQRect(const QRect& r)
{
    return window_rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

bool OnSomeScreen(const QRect& rect)
{
    const auto screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        if (screen->availableGeometry().intersects(rect))
            return true;
    }
    return false;
}

} // namespace

CVarnothDlg::CVarnothDlg(CVarnothApp& app, QWidget* parent)
    : QMainWindow(parent), m_app(app), m_icons(ToQString(app.InstallationDirectory()) + QStringLiteral("/icons"))
{
    setObjectName(QStringLiteral("main_window"));
    setWindowIcon(m_icons.Icon(ids::kIconApplication));

    m_router.add(ids::kFileExit, [this](int) { EndDialog(); });

    CreateMenus();
    CreateToolbar();
    CreateCentralArea();
    CreateStatusBar();
    CreatePopups();
    setAcceptDrops(true);

    UpdateTitle();
    UpdateToolbar();
    UpdateStatusTexts();
    UpdateCommonTasksVisibility();
    UpdateMinimumSize();

    connect(&m_refresh_timer, &QTimer::timeout, this, &CVarnothDlg::OnRefreshTimer);
    m_refresh_timer.start(kRefreshTimerPeriodMs);
    m_index_timer.setInterval(kIndexTimerPeriodMs);
    connect(&m_index_timer, &QTimer::timeout, this, [this] {
        if (!m_index_tick || !m_index_tick())
            StopIndexTimer();
    });
}

CVarnothDlg::~CVarnothDlg()
{
    // Destroyed without being closed: still keep where the window was.
    if (!m_placement_stored && isVisible())
        StorePlacement();
}

void CVarnothDlg::SetViewStateProvider(view_state_provider provider)
{
    m_view_state_provider = std::move(provider);
}

active_view_state CVarnothDlg::ViewState() const
{
    return m_view_state_provider ? m_view_state_provider() : active_view_state{};
}

// --- menus -------------------------------------------------------------------

QAction* CVarnothDlg::AddMenuCommand(QMenu* menu, int id, std::u16string_view key, bool checkable)
{
    QAction* action = menu->addAction(WithoutShortcutHint(Text(key)));
    action->setObjectName(IdObjectName(id));
    action->setCheckable(checkable);
    if (const QKeySequence keys = AcceleratorKeys(id); !keys.isEmpty()) {
        // Shown in the menu; the keys themselves are translated by the
        // application's accelerator filter, so the shortcut only acts while
        // this menu is open.
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
    }
    connect(action, &QAction::triggered, this, [this, id] { m_router.route(id); });
    m_menu_actions.insert(id, action);
    return action;
}

QMenu* CVarnothDlg::AddSubmenu(QMenu* parent, std::u16string_view key)
{
    QMenu* menu = parent->addMenu(Text(key));
    menu->setObjectName(ToQString(key));
    return menu;
}

void CVarnothDlg::CreateMenus()
{
    auto top_menu = [this](std::u16string_view key) {
        QMenu* menu = menuBar()->addMenu(Text(key));
        menu->setObjectName(ToQString(key));
        connect(menu, &QMenu::aboutToShow, this, &CVarnothDlg::UpdateMenus);
        return menu;
    };

    m_file_menu = top_menu(u"IDS_MENU_MAIN_FILE");
    AddMenuCommand(m_file_menu, ids::kFileOpen, u"IDS_MENU_MAIN_FILE_OPEN");
    AddMenuCommand(m_file_menu, ids::kFileClose, u"IDS_MENU_MAIN_FILE_CLOSE");
    AddMenuCommand(m_file_menu, ids::kFileCloseOthers, u"IDS_MENU_MAIN_FILE_CLOSE_OTHER");
    AddMenuCommand(m_file_menu, ids::kFileCloseAll, u"IDS_MENU_MAIN_FILE_CLOSE_ALL");
    m_export_menu = AddSubmenu(m_file_menu, u"IDS_MENU_MAIN_FILE_EXPORT");
    for (const menu_command& c : kExportCommands)
        AddMenuCommand(m_export_menu, c.id, c.key);
    m_file_recent_separator = m_file_menu->addSeparator();
    AddMenuCommand(m_file_menu, ids::kFileExit, u"IDS_MENU_MAIN_FILE_EXIT");

    QMenu* edit = top_menu(u"IDS_MENU_MAIN_EDIT");
    AddMenuCommand(edit, ids::kEditCopy, u"IDS_MENU_MAIN_EDIT_COPY");
    m_copy_column_menu = AddSubmenu(edit, u"IDS_MENU_MAIN_EDIT_COPY_COLUMN");
    edit->addSeparator();
    AddMenuCommand(edit, ids::kEditSelectAll, u"IDS_MENU_MAIN_EDIT_SELECT_ALL");
    AddMenuCommand(edit, ids::kEditInvertSelection, u"IDS_MENU_MAIN_EDIT_INVERT_SELECTION");
    edit->addSeparator();
    AddMenuCommand(edit, ids::kEditFind, u"IDS_MENU_MAIN_EDIT_FIND");
    AddMenuCommand(edit, ids::kEditFindInFile, u"IDS_MENU_MAIN_EDIT_FIND_FILE");
    AddMenuCommand(edit, ids::kEditFindNext, u"IDS_MENU_MAIN_EDIT_FIND_NEXT");
    AddMenuCommand(edit, ids::kEditFindPrevious, u"IDS_MENU_MAIN_EDIT_FIND_PREV");
    edit->addSeparator();
    AddMenuCommand(edit, ids::kEditCopyFilePath, u"IDS_MENU_MAIN_EDIT_COPY_FILE_PATH");
    AddMenuCommand(edit, ids::kEditCopyFileName, u"IDS_MENU_MAIN_EDIT_COPY_FILE_NAME");
    AddMenuCommand(edit, ids::kEditCopyDirPath, u"IDS_MENU_MAIN_EDIT_COPY_DIR_PATH");
    AddMenuCommand(edit, ids::kEditBrowseDir, u"IDS_MENU_MAIN_EDIT_BROWSE_DIR");
    edit->addSeparator();
    AddMenuCommand(edit, ids::kEditOptions, u"IDS_MENU_MAIN_EDIT_OPTIONS");

    QMenu* view = top_menu(u"IDS_MENU_MAIN_VIEW");
    AddMenuCommand(view, ids::kViewRefresh, u"IDS_MENU_MAIN_VIEW_REFRESH");
    AddMenuCommand(view, ids::kViewAutoRefresh, u"IDS_MENU_MAIN_VIEW_AUTOREFRESH", true);
    view->addSeparator();
    AddMenuCommand(view, ids::kViewScrollUp, u"IDS_MENU_MAIN_VIEW_SCROLL_UP");
    AddMenuCommand(view, ids::kViewScrollDown, u"IDS_MENU_MAIN_VIEW_SCROLL_DOWN");
    AddMenuCommand(view, ids::kViewFirstLine, u"IDS_MENU_MAIN_VIEW_FIRST_LINE");
    AddMenuCommand(view, ids::kViewLastLine, u"IDS_MENU_MAIN_VIEW_LAST_LINE");
    AddMenuCommand(view, ids::kViewGoToLine, u"IDS_MENU_MAIN_VIEW_GOTO_LINE");
    AddMenuCommand(view, ids::kViewLineNumbers, u"IDS_MENU_MAIN_VIEW_LINE_NUMBERS", true);
    view->addSeparator();
    AddMenuCommand(view, ids::kViewHighlightSetting, u"IDS_MENU_MAIN_VIEW_HIGHLIGHT_SETTING");
    AddMenuCommand(view, ids::kViewHighlightEnable, u"IDS_MENU_MAIN_VIEW_HIGHLIGHT_ENABLE", true);
    view->addSeparator();
    AddMenuCommand(view, ids::kViewFilterSetting, u"IDS_MENU_MAIN_VIEW_FILTER_SETTING");
    AddMenuCommand(view, ids::kViewFilterEnable, u"IDS_MENU_MAIN_VIEW_FILTER_ENABLE", true);
    AddMenuCommand(view, ids::kViewFilterWholeFile, u"IDS_MENU_MAIN_VIEW_FILTER_WHOLE_FILE");
    m_include_menu = AddSubmenu(view, u"IDS_MENU_MAIN_EDIT_INCLUDE");
    m_exclude_menu = AddSubmenu(view, u"IDS_MENU_MAIN_EDIT_EXCLUDE");
    AddMenuCommand(view, ids::kViewFilterRemoveAll, u"IDS_MENU_MAIN_VIEW_FILTER_REMOVE_ALL");

    QMenu* help = top_menu(u"IDS_MENU_MAIN_HELP");
    AddMenuCommand(help, ids::kHelpHelp, u"IDS_MENU_MAIN_HELP_HELP");
    AddMenuCommand(help, ids::kHelpOnlineHelp, u"IDS_MENU_MAIN_HELP_ONLINE_HELP");
    help->addSeparator();
    AddMenuCommand(help, ids::kHelpFeedback, u"IDS_MENU_MAIN_HELP_FEEDBACK");
    AddMenuCommand(help, ids::kHelpCheckUpdate, u"IDS_MENU_MAIN_HELP_CHECK_UPDATE");
    help->addSeparator();
    AddMenuCommand(help, ids::kHelpAbout, u"IDS_MENU_MAIN_HELP_ABOUT");

    UpdateMenus();
}

void CVarnothDlg::RebuildRecentFiles()
{
    // Everything after the separator that follows Export is rebuilt: the
    // recent paths (when there are any) and a separator, then Exit.
    QAction* exit = m_menu_actions.value(ids::kFileExit);
    const QList<QAction*> actions = m_file_menu->actions();
    const qsizetype first = actions.indexOf(m_file_recent_separator) + 1;
    for (qsizetype i = first; i < actions.size(); ++i) {
        m_file_menu->removeAction(actions[i]);
        if (actions[i] != exit)
            delete actions[i];
    }
    const int count = AppendListCommands(*m_file_menu, m_app.recent_files, ids::kRecentFileFirst,
                                         ids::kRecentFileLast - ids::kRecentFileFirst + 1, m_router);
    if (count > 0)
        m_file_menu->addSeparator();
    m_file_menu->addAction(exit);
}

void CVarnothDlg::FillColumnMenu(QMenu* menu, int first_id, const active_view_state& state)
{
    menu->clear();
    if (state.column_names.empty()) {
        menu->addSeparator();
        return;
    }
    AppendListCommands(*menu, state.column_names, first_id, kColumnCommandCount, m_router);
}

void CVarnothDlg::UpdateMenus()
{
    const active_view_state state = ViewState();
    for (auto it = m_menu_actions.cbegin(); it != m_menu_actions.cend(); ++it) {
        const command_state s = MenuCommandState(it.key(), state);
        it.value()->setEnabled(s.enabled);
        if (it.value()->isCheckable())
            it.value()->setChecked(s.checked);
    }
    RebuildRecentFiles();
    m_export_menu->menuAction()->setEnabled(ExportSubmenuEnabled(state));

    const bool copy_columns = CopyColumnSubmenuEnabled(state);
    m_copy_column_menu->menuAction()->setEnabled(copy_columns);
    if (copy_columns)
        FillColumnMenu(m_copy_column_menu, ids::kCopyColumnFirst, state);

    const bool include_exclude = IncludeExcludeSubmenusEnabled(state);
    m_include_menu->menuAction()->setEnabled(include_exclude);
    m_exclude_menu->menuAction()->setEnabled(include_exclude);
    if (include_exclude) {
        FillColumnMenu(m_include_menu, ids::kIncludeColumnFirst, state);
        FillColumnMenu(m_exclude_menu, ids::kExcludeColumnFirst, state);
    }
}

// --- toolbar -----------------------------------------------------------------

void CVarnothDlg::CreateToolbar()
{
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(IdObjectName(ids::kToolbar));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->toggleViewAction()->setVisible(false);
    m_toolbar->setIconSize(QSize(kToolbarIconSize, kToolbarIconSize));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolbar->setContentsMargins(4, 0, 4, 0);
    addToolBar(Qt::TopToolBarArea, m_toolbar);

    m_toolbar_recent_menu = new QMenu(this);
    connect(m_toolbar_recent_menu, &QMenu::aboutToShow, this,
            [this] { FillRecentFilesMenu(*m_toolbar_recent_menu, m_app.recent_files, m_router); });

    auto* export_menu = new QMenu(this);
    for (const menu_command& c : kExportCommands) {
        QAction* action = export_menu->addAction(WithoutShortcutHint(Text(c.key)));
        action->setObjectName(IdObjectName(c.id));
        connect(action, &QAction::triggered, this, [this, id = c.id] { m_router.route(id); });
    }

    m_toolbar_copy_column_menu = new QMenu(this);
    connect(m_toolbar_copy_column_menu, &QMenu::aboutToShow, this,
            [this] { FillColumnMenu(m_toolbar_copy_column_menu, ids::kCopyColumnFirst, ViewState()); });

    for (const toolbar_button& b : kToolbarButtons) {
        if (b.command == 0) {
            m_toolbar->addSeparator();
            continue;
        }
        const int id = b.command;
        auto* action = new QAction(this);
        action->setObjectName(IdObjectName(id));
        action->setToolTip(TooltipWithKeys(Text(b.tooltip_key), id));
        action->setIcon(b.kind == button_kind::check ? m_icons.CheckIcon(b.icon, b.icon_checked)
                                                     : m_icons.Icon(b.icon));
        if (action->icon().isNull())
            action->setText(action->toolTip()); // without its icon the button shows its tooltip
        action->setCheckable(b.kind == button_kind::check);
        m_toolbar_actions.insert(id, action);

        QToolButton* button = nullptr;
        if (b.kind == button_kind::open_drop_down) {
            button = new drop_down_button([this] { return !m_app.recent_files.empty(); },
                                          [this] { m_router.route(ids::kFileOpen); }, m_toolbar);
            button->setDefaultAction(action);
            button->setMenu(m_toolbar_recent_menu);
            button->setPopupMode(QToolButton::MenuButtonPopup);
            button->setIconSize(m_toolbar->iconSize());
            button->setAutoRaise(true);
            m_toolbar->addWidget(button);
        } else {
            m_toolbar->addAction(action);
            button = qobject_cast<QToolButton*>(m_toolbar->widgetForAction(action));
        }
        if (!button)
            continue;
        button->setObjectName(IdObjectName(id));
        button->setMinimumSize(kToolbarButtonSize, kToolbarButtonSize);
        if (b.kind == button_kind::whole_drop_down) {
            button->setMenu(id == ids::kFileExport ? export_menu : m_toolbar_copy_column_menu);
            button->setPopupMode(QToolButton::InstantPopup);
        } else if (b.kind == button_kind::check) {
            // The button shows the file's flag: re-read it after the command ran.
            connect(action, &QAction::triggered, this, [this, id] {
                m_router.route(id);
                UpdateToolbar();
            });
        } else {
            connect(action, &QAction::triggered, this, [this, id] { m_router.route(id); });
        }
    }
}

void CVarnothDlg::UpdateToolbar()
{
    const active_view_state state = ViewState();
    m_toolbar->setUpdatesEnabled(false);
    for (auto it = m_toolbar_actions.cbegin(); it != m_toolbar_actions.cend(); ++it) {
        const command_state s = ToolbarCommandState(it.key(), state);
        it.value()->setEnabled(s.enabled);
        if (it.value()->isCheckable())
            it.value()->setChecked(s.checked);
    }
    m_toolbar->setUpdatesEnabled(true);
}

// --- central area and status bar ------------------------------------------------

void CVarnothDlg::CreateCentralArea()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_top_panel = new CTopPanel(m_router, central);
    layout->addWidget(m_top_panel);

    m_tabs = new CFileTabCtrl(m_router, central);
    layout->addWidget(m_tabs, 1);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        UpdateCommonTasksVisibility();
        UpdateToolbar();
        UpdateStatusTexts();
    });
    connect(m_tabs, &CFileTabCtrl::TabContextMenuRequested, this, &CVarnothDlg::ShowTabPopup);
    m_tabs->installEventFilter(this);

    m_common_tasks = new CCommonTaskDlg(
        m_router, m_icons, [this] { return m_app.recent_files; }, central);
    setCentralWidget(central);
}

void CVarnothDlg::CreateStatusBar()
{
    // Five parts: the three counts, the encoding chooser and the file-scope bar.
    m_status_bar = new CLVStatusBarCtrl(this);
    setStatusBar(m_status_bar);
}

QComboBox* CVarnothDlg::EncodingBox() const
{
    return m_status_bar->EncodingBox();
}

CFileScopeCtrl* CVarnothDlg::FileScopeBar() const
{
    return m_status_bar->FileScopeBar();
}

QLabel* CVarnothDlg::StatusPart(int index) const
{
    return m_status_bar->TextPart(index);
}

void CVarnothDlg::UpdateStatusTexts()
{
    m_status_bar->SetStatusTexts(StatusTexts(ViewState()));
}

void CVarnothDlg::UpdateTitle(const std::u16string& file_name)
{
    setWindowTitle(ToQString(WindowTitle(m_app.Title(), file_name)));
}

// --- common-tasks panel and layout -------------------------------------------------

void CVarnothDlg::UpdateCommonTasksVisibility()
{
    const bool no_tab = m_tabs->count() == 0;
    m_common_tasks->setVisible(no_tab);
    m_top_panel->SetFileOpen(!no_tab);
    if (no_tab) {
        PlaceCommonTasks();
        m_common_tasks->raise();
    }
}

void CVarnothDlg::PlaceCommonTasks()
{
    if (isMinimized())
        return;
    m_common_tasks->PlaceOver(m_tabs->geometry());
}

void CVarnothDlg::UpdateMinimumSize()
{
    QSize minimum(m_common_tasks->width() * 3, m_common_tasks->height() * 22 / 10);
    minimum = minimum.expandedTo(kMinimumSizeWithoutPanel);
    // Never ask for more than the screen can show.
    if (const QScreen* s = screen())
        minimum = minimum.boundedTo(s->availableGeometry().size());
    setMinimumSize(minimum);
}

void CVarnothDlg::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    PlaceCommonTasks();
}

bool CVarnothDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tabs && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        PlaceCommonTasks();
    return QMainWindow::eventFilter(watched, event);
}

// --- popups --------------------------------------------------------------------

QAction* CVarnothDlg::AddPopupCommand(QMenu* menu, QHash<int, QAction*>& actions, int id, std::u16string_view key,
                                      bool checkable)
{
    QAction* action = menu->addAction(WithoutShortcutHint(Text(key)));
    action->setObjectName(IdObjectName(id));
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, id] { m_router.route(id); });
    actions.insert(id, action);
    return action;
}

void CVarnothDlg::CreatePopups()
{
    m_tab_popup = new QMenu(this);
    m_tab_popup->setObjectName(QStringLiteral("tab_popup"));
    AddPopupCommand(m_tab_popup, m_tab_popup_actions, ids::kFileClose, u"IDS_MENU_MAIN_FILE_CLOSE");
    AddPopupCommand(m_tab_popup, m_tab_popup_actions, ids::kFileCloseOthers, u"IDS_MENU_MAIN_FILE_CLOSE_OTHER");
    AddPopupCommand(m_tab_popup, m_tab_popup_actions, ids::kFileCloseAll, u"IDS_MENU_MAIN_FILE_CLOSE_ALL");
    m_tab_popup->addSeparator();
    AddPopupCommand(m_tab_popup, m_tab_popup_actions, ids::kEditCopyFilePath, u"IDS_MENU_MAIN_EDIT_COPY_FILE_PATH");
    AddPopupCommand(m_tab_popup, m_tab_popup_actions, ids::kEditCopyFileName, u"IDS_MENU_MAIN_EDIT_COPY_FILE_NAME");
    AddPopupCommand(m_tab_popup, m_tab_popup_actions, ids::kEditCopyDirPath, u"IDS_MENU_MAIN_EDIT_COPY_DIR_PATH");
    AddPopupCommand(m_tab_popup, m_tab_popup_actions, ids::kEditBrowseDir, u"IDS_MENU_MAIN_EDIT_BROWSE_DIR");

    QHash<int, QAction*>& items = m_list_popup_actions;
    m_list_popup = new QMenu(this);
    m_list_popup->setObjectName(QStringLiteral("list_popup"));
    AddPopupCommand(m_list_popup, items, ids::kEditCopy, u"IDS_MENU_MAIN_EDIT_COPY");
    AddPopupCommand(m_list_popup, items, ids::kEditCopyClickedColumn, u"IDS_WORD_COPY");
    m_popup_copy_column_menu = AddSubmenu(m_list_popup, u"IDS_MENU_MAIN_EDIT_COPY_COLUMN");
    m_list_popup->addSeparator();
    AddPopupCommand(m_list_popup, items, ids::kEditSelectAll, u"IDS_MENU_MAIN_EDIT_SELECT_ALL");
    AddPopupCommand(m_list_popup, items, ids::kEditInvertSelection, u"IDS_MENU_MAIN_EDIT_INVERT_SELECTION");
    m_list_popup->addSeparator();
    AddPopupCommand(m_list_popup, items, ids::kEditIncludeCell, u"IDS_MENU_MAIN_EDIT_INCLUDE");
    AddPopupCommand(m_list_popup, items, ids::kEditExcludeCell, u"IDS_MENU_MAIN_EDIT_EXCLUDE");
    m_popup_include_menu = AddSubmenu(m_list_popup, u"IDS_MENU_MAIN_EDIT_INCLUDE");
    m_popup_exclude_menu = AddSubmenu(m_list_popup, u"IDS_MENU_MAIN_EDIT_EXCLUDE");
    AddPopupCommand(m_list_popup, items, ids::kViewFilterRemoveAll, u"IDS_MENU_MAIN_VIEW_FILTER_REMOVE_ALL");
    m_list_popup->addSeparator();
    AddPopupCommand(m_list_popup, items, ids::kViewHighlightEnable, u"IDS_MENU_MAIN_VIEW_HIGHLIGHT_ENABLE", true);
    AddPopupCommand(m_list_popup, items, ids::kViewFilterEnable, u"IDS_MENU_MAIN_VIEW_FILTER_ENABLE", true);
    m_list_popup->addSeparator();
    AddPopupCommand(m_list_popup, items, ids::kEditNewParserFromLine, u"IDS_MENU_POPUP_NEW_PARSER_FROM_LINE");
    m_list_popup->addSeparator();
    AddPopupCommand(m_list_popup, items, ids::kViewScrollUp, u"IDS_MENU_MAIN_VIEW_SCROLL_UP");
    AddPopupCommand(m_list_popup, items, ids::kViewScrollDown, u"IDS_MENU_MAIN_VIEW_SCROLL_DOWN");
}

void CVarnothDlg::ShowTabPopup(const QPoint& global_pos)
{
    const active_view_state state = ViewState();
    for (auto it = m_tab_popup_actions.cbegin(); it != m_tab_popup_actions.cend(); ++it)
        it.value()->setEnabled(MenuCommandState(it.key(), state).enabled);
    m_tab_popup->popup(global_pos);
}

void CVarnothDlg::ShowListPopup(const QPoint& global_pos, int column, const std::u16string& column_name,
                                const std::u16string& cell_text)
{
    m_clicked =
        clicked_cell{column, column < 0 ? std::u16string() : column_name, column < 0 ? std::u16string() : cell_text};
    UpdateListPopup();
    m_list_popup->popup(global_pos);
}

void CVarnothDlg::UpdateListPopup()
{
    const active_view_state state = ViewState();
    for (auto it = m_list_popup_actions.cbegin(); it != m_list_popup_actions.cend(); ++it) {
        const command_state s = ListPopupCommandState(it.key(), state);
        it.value()->setEnabled(s.enabled);
        if (it.value()->isCheckable())
            it.value()->setChecked(s.checked);
    }
    // The clicked cell's items name their column and value; without a
    // clicked cell there is nothing for them to act on.
    const bool cell = m_clicked.column >= 0;
    QAction* copy_column = m_list_popup_actions.value(ids::kEditCopyClickedColumn);
    copy_column->setText(
        Literal(ToQString(QuotedItemText(FromQString(Text(u"IDS_WORD_COPY")), m_clicked.column_name))));
    const std::u16string shown = ShortenedCellText(m_clicked.text);
    const auto label = [](std::u16string_view key) { return FromQString(WithoutShortcutHint(Text(key)).remove(u'&')); };
    m_list_popup_actions.value(ids::kEditIncludeCell)
        ->setText(Literal(ToQString(QuotedItemText(label(u"IDS_MENU_MAIN_EDIT_INCLUDE"), shown))));
    m_list_popup_actions.value(ids::kEditExcludeCell)
        ->setText(Literal(ToQString(QuotedItemText(label(u"IDS_MENU_MAIN_EDIT_EXCLUDE"), shown))));
    for (int id : {ids::kEditCopyClickedColumn, ids::kEditIncludeCell, ids::kEditExcludeCell}) {
        QAction* action = m_list_popup_actions.value(id);
        action->setEnabled(action->isEnabled() && cell);
    }

    const bool selection = state.has_file && state.has_selection;
    m_popup_copy_column_menu->menuAction()->setEnabled(selection);
    m_popup_include_menu->menuAction()->setEnabled(selection);
    m_popup_exclude_menu->menuAction()->setEnabled(selection);
    if (selection) {
        FillColumnMenu(m_popup_copy_column_menu, ids::kCopyColumnFirst, state);
        FillColumnMenu(m_popup_include_menu, ids::kIncludeColumnFirst, state);
        FillColumnMenu(m_popup_exclude_menu, ids::kExcludeColumnFirst, state);
    }
}

// --- dropped files, notes, timer 100 ----------------------------------------------

namespace {

std::vector<std::u16string> DroppedPaths(const QMimeData* data)
{
    std::vector<std::u16string> paths;
    if (!data || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths.push_back(FromQString(url.toLocalFile()));
    }
    return paths;
}

} // namespace

void CVarnothDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedPaths(event->mimeData()).empty())
        event->acceptProposedAction();
}

void CVarnothDlg::dragMoveEvent(QDragMoveEvent* event)
{
    if (!DroppedPaths(event->mimeData()).empty())
        event->acceptProposedAction();
}

void CVarnothDlg::dropEvent(QDropEvent* event)
{
    const std::vector<std::u16string> paths = DroppedPaths(event->mimeData());
    if (paths.empty())
        return;
    event->acceptProposedAction();
    if (m_drop_handler)
        m_drop_handler(paths);
}

void CVarnothDlg::ShowStatusNote(const QString& text)
{
    m_status_bar->ShowNote(text, kStatusNoteMs);
}

void CVarnothDlg::StartIndexTimer(std::function<bool()> tick)
{
    m_index_tick = std::move(tick);
    m_index_timer.start();
}

void CVarnothDlg::StopIndexTimer()
{
    m_index_timer.stop();
}

// --- placement, timers and ending -------------------------------------------------

void CVarnothDlg::ShowWithSavedPlacement()
{
    const app_settings& settings = m_app.settings;
    const QRect saved = ToQRect(settings.main_wnd_rect);
    const bool usable = !settings.main_wnd_rect.empty() && OnSomeScreen(saved);
    if (usable) {
        setGeometry(saved);
    } else {
        // No saved rectangle (or one on a screen that is gone): centre.
        const QRect available = screen() ? screen()->availableGeometry() : QRect(0, 0, 1280, 800);
        QSize size = kDefaultWindowSize.boundedTo(available.size() * 9 / 10).expandedTo(minimumSize());
        QRect frame(QPoint(), size);
        frame.moveCenter(available.center());
        setGeometry(frame);
    }
    if (settings.main_wnd_maximized)
        showMaximized(); // the normal geometry above is what un-maximising returns to
    else
        show();
}

void CVarnothDlg::StorePlacement()
{
    app_settings& settings = m_app.settings;
    const Qt::WindowStates state = windowState();
    settings.main_wnd_maximized = state.testFlag(Qt::WindowMaximized) || state.testFlag(Qt::WindowFullScreen);
    if (!settings.main_wnd_maximized) {
        // A minimised window keeps the rectangle it had before.
        const QRect rect = state.testFlag(Qt::WindowMinimized) ? normalGeometry() : geometry();
        if (rect.isValid())
            settings.main_wnd_rect = FromQRect(rect);
    }
    m_placement_stored = true;
}

void CVarnothDlg::EndDialog()
{
    m_ending = true;
    close();
}

void CVarnothDlg::closeEvent(QCloseEvent* event)
{
    if (!m_ending) {
        // The close box: stop auto refresh and run the exit command, whose
        // handler ends the window (its close() is a no-op while we close).
        m_ending = true;
        m_refresh_timer.stop();
        m_router.route(ids::kFileExit);
    }
    m_refresh_timer.stop();
    m_index_timer.stop();
    StorePlacement();
    event->accept();
}

void CVarnothDlg::OnRefreshTimer()
{
    // Never start a refresh inside another job's wait or a dialog.
    if (QApplication::activeModalWidget())
        return;
    const active_view_state state = ViewState();
    if (state.has_file && state.auto_refresh)
        m_router.route(ids::kViewRefresh);
}
