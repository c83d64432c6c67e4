#include "main_window_test.h"

#include "platform/message_box.h"
#include "ui/accelerators.h"
#include "ui/command_ids.h"
#include "ui/common_task_dlg.h"
#include "ui/file_tab_ctrl.h"
#include "ui/message_presenter.h"
#include "ui/top_panel.h"
#include "ui/ui_text.h"
#include "ui/varnoth_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QStatusBar>
#include <QStyleOptionToolButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace {

// One entry of the expected menu layout: a command with its key, a separator
// (id 0, no key), a submenu (id -1 with its key) or the recent-file block.
struct item {
    int id;
    const char16_t* key;
};
constexpr int kSeparator = 0;
constexpr int kSubmenu = -1;

struct menu_layout {
    const char16_t* key;
    std::vector<item> items;
};

const std::vector<menu_layout> kMainMenu = {
    {u"IDS_MENU_MAIN_FILE",
     {{32773, u"IDS_MENU_MAIN_FILE_OPEN"},
      {32774, u"IDS_MENU_MAIN_FILE_CLOSE"},
      {32786, u"IDS_MENU_MAIN_FILE_CLOSE_OTHER"},
      {32775, u"IDS_MENU_MAIN_FILE_CLOSE_ALL"},
      {kSubmenu, u"IDS_MENU_MAIN_FILE_EXPORT"},
      {kSeparator, nullptr},
      {32776, u"IDS_MENU_MAIN_FILE_EXIT"}}},
    {u"IDS_MENU_MAIN_EDIT",
     {{32777, u"IDS_MENU_MAIN_EDIT_COPY"},
      {kSubmenu, u"IDS_MENU_MAIN_EDIT_COPY_COLUMN"},
      {kSeparator, nullptr},
      {32787, u"IDS_MENU_MAIN_EDIT_SELECT_ALL"},
      {32788, u"IDS_MENU_MAIN_EDIT_INVERT_SELECTION"},
      {kSeparator, nullptr},
      {32779, u"IDS_MENU_MAIN_EDIT_FIND"},
      {32780, u"IDS_MENU_MAIN_EDIT_FIND_FILE"},
      {32781, u"IDS_MENU_MAIN_EDIT_FIND_NEXT"},
      {32782, u"IDS_MENU_MAIN_EDIT_FIND_PREV"},
      {kSeparator, nullptr},
      {32789, u"IDS_MENU_MAIN_EDIT_COPY_FILE_PATH"},
      {32790, u"IDS_MENU_MAIN_EDIT_COPY_FILE_NAME"},
      {32791, u"IDS_MENU_MAIN_EDIT_COPY_DIR_PATH"},
      {32792, u"IDS_MENU_MAIN_EDIT_BROWSE_DIR"},
      {kSeparator, nullptr},
      {32783, u"IDS_MENU_MAIN_EDIT_OPTIONS"}}},
    {u"IDS_MENU_MAIN_VIEW",
     {{32793, u"IDS_MENU_MAIN_VIEW_REFRESH"},
      {32794, u"IDS_MENU_MAIN_VIEW_AUTOREFRESH"},
      {kSeparator, nullptr},
      {32795, u"IDS_MENU_MAIN_VIEW_SCROLL_UP"},
      {32796, u"IDS_MENU_MAIN_VIEW_SCROLL_DOWN"},
      {32840, u"IDS_MENU_MAIN_VIEW_FIRST_LINE"},
      {32841, u"IDS_MENU_MAIN_VIEW_LAST_LINE"},
      {32842, u"IDS_MENU_MAIN_VIEW_GOTO_LINE"},
      {32843, u"IDS_MENU_MAIN_VIEW_LINE_NUMBERS"},
      {kSeparator, nullptr},
      {32797, u"IDS_MENU_MAIN_VIEW_HIGHLIGHT_SETTING"},
      {32798, u"IDS_MENU_MAIN_VIEW_HIGHLIGHT_ENABLE"},
      {kSeparator, nullptr},
      {32799, u"IDS_MENU_MAIN_VIEW_FILTER_SETTING"},
      {32800, u"IDS_MENU_MAIN_VIEW_FILTER_ENABLE"},
      {32872, u"IDS_MENU_MAIN_VIEW_FILTER_WHOLE_FILE"},
      {kSubmenu, u"IDS_MENU_MAIN_EDIT_INCLUDE"},
      {kSubmenu, u"IDS_MENU_MAIN_EDIT_EXCLUDE"},
      {32808, u"IDS_MENU_MAIN_VIEW_FILTER_REMOVE_ALL"}}},
    {u"IDS_MENU_MAIN_HELP",
     {{32784, u"IDS_MENU_MAIN_HELP_HELP"},
      {32802, u"IDS_MENU_MAIN_HELP_ONLINE_HELP"},
      {kSeparator, nullptr},
      {32803, u"IDS_MENU_MAIN_HELP_FEEDBACK"},
      {32804, u"IDS_MENU_MAIN_HELP_CHECK_UPDATE"},
      {kSeparator, nullptr},
      {32785, u"IDS_MENU_MAIN_HELP_ABOUT"}}},
};

const std::vector<item> kExportMenu = {
    {32810, u"IDS_MENU_MAIN_FILE_EXPORT_SELECTED"},
    {32811, u"IDS_MENU_MAIN_FILE_EXPORT_VISIBLE"},
    {32812, u"IDS_MENU_MAIN_FILE_EXPORT_FILE"},
    {32813, u"IDS_MENU_MAIN_FILE_EXPORT_FILE_FILTER"},
    {32814, u"IDS_MENU_MAIN_FILE_EXPORT_RESULTS"},
};

const std::vector<int> kToolbarOrder = {32773, 32774, 32775, 32809, 32795, 32796, 32793, 32794, 32779, 32780,
                                        32782, 32781, 32777, 32778, 32797, 32798, 32799, 32800, 32872, 32783, 32784};

// Each button's tooltip key and the keys shown after its text.
struct tooltip {
    int id;
    const char16_t* key;
    const char* keys;
};
const std::vector<tooltip> kTooltips = {
    {32773, u"IDS_MENU_TOOLTIP_MAIN_FILE_OPEN", "Ctrl+O"},
    {32774, u"IDS_MENU_TOOLTIP_MAIN_FILE_CLOSE", nullptr},
    {32775, u"IDS_MENU_TOOLTIP_MAIN_FILE_CLOSEALL", nullptr},
    {32809, u"IDS_MENU_TOOLTIP_MAIN_FILE_EXPORT", nullptr},
    {32779, u"IDS_MENU_TOOLTIP_MAIN_EDIT_FIND", "Ctrl+F"},
    {32780, u"IDS_MENU_TOOLTIP_MAIN_EDIT_FIND_FILE", "Ctrl+Shift+F"},
    {32782, u"IDS_MENU_TOOLTIP_MAIN_EDIT_FIND_PREV", "Shift+F3"},
    {32781, u"IDS_MENU_TOOLTIP_MAIN_EDIT_FIND_NEXT", "F3"},
    {32777, u"IDS_MENU_TOOLTIP_MAIN_EDIT_COPY", "Ctrl+C"},
    {32778, u"IDS_MENU_TOOLTIP_MAIN_EDIT_COPY_COLUMN", nullptr},
    {32783, u"IDS_MENU_TOOLTIP_MAIN_EDIT_OPTIONS", nullptr},
    {32793, u"IDS_MENU_TOOLTIP_MAIN_VIEW_REFRESH", "F5"},
    {32794, u"IDS_MENU_TOOLTIP_MAIN_VIEW_AUTOREFRESH", "Ctrl+F5"},
    {32795, u"IDS_MENU_TOOLTIP_MAIN_VIEW_SCROLL_UP", "Ctrl+PgUp"},
    {32796, u"IDS_MENU_TOOLTIP_MAIN_VIEW_SCROLL_DOWN", "Ctrl+PgDown"},
    {32797, u"IDS_MENU_TOOLTIP_MAIN_VIEW_HIGHLIGHT_SETTING", nullptr},
    {32798, u"IDS_MENU_TOOLTIP_MAIN_VIEW_HIGHLIGHT_ENABLE", "F6"},
    {32799, u"IDS_MENU_TOOLTIP_MAIN_VIEW_FILTER_SETTING", nullptr},
    {32800, u"IDS_MENU_TOOLTIP_MAIN_VIEW_FILTER_ENABLE", "F7"},
    {32872, u"IDS_MENU_TOOLTIP_MAIN_VIEW_FILTER_WHOLE_FILE", nullptr},
    {32784, u"IDS_MENU_TOOLTIP_MAIN_HELP_HELP", "F1"},
};

// Every command with keys, as the user reads them.
const std::vector<std::pair<int, QKeySequence>> kShortcuts = {
    {32773, QKeySequence(QStringLiteral("Ctrl+O"))},       {32776, QKeySequence(QStringLiteral("Alt+F4"))},
    {32787, QKeySequence(QStringLiteral("Ctrl+A"))},       {32788, QKeySequence(QStringLiteral("Ctrl+Shift+I"))},
    {32777, QKeySequence(QStringLiteral("Ctrl+C"))},       {32779, QKeySequence(QStringLiteral("Ctrl+F"))},
    {32780, QKeySequence(QStringLiteral("Ctrl+Shift+F"))}, {32781, QKeySequence(QStringLiteral("F3"))},
    {32782, QKeySequence(QStringLiteral("Shift+F3"))},     {32793, QKeySequence(QStringLiteral("F5"))},
    {32794, QKeySequence(QStringLiteral("Ctrl+F5"))},      {32795, QKeySequence(QStringLiteral("Ctrl+PgUp"))},
    {32796, QKeySequence(QStringLiteral("Ctrl+PgDown"))},  {32798, QKeySequence(QStringLiteral("F6"))},
    {32800, QKeySequence(QStringLiteral("F7"))},           {32784, QKeySequence(QStringLiteral("F1"))},
    {32802, QKeySequence(QStringLiteral("Ctrl+F1"))},      {32840, QKeySequence(QStringLiteral("Ctrl+Home"))},
    {32841, QKeySequence(QStringLiteral("Ctrl+End"))},     {32842, QKeySequence(QStringLiteral("Ctrl+G"))},
};

QString Describe(const QAction* action)
{
    return action->objectName() + QStringLiteral(" '") + action->text() + QLatin1Char('\'');
}

// Checks menu against the expected items: texts from the dictionary (never
// empty), ids as object names, separators where expected.
void CheckMenu(const QMenu* menu, const std::vector<item>& expected)
{
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), static_cast<qsizetype>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const QAction* action = actions[static_cast<qsizetype>(i)];
        const item& e = expected[i];
        if (e.id == kSeparator) {
            QVERIFY2(action->isSeparator(), qPrintable(Describe(action)));
            continue;
        }
        const QString text = Text(e.key);
        QVERIFY2(!text.isEmpty(), qPrintable(ToQString(e.key)));
        QCOMPARE(action->text(), text);
        if (e.id == kSubmenu) {
            QVERIFY(action->menu() != nullptr);
            QCOMPARE(action->menu()->objectName(), ToQString(e.key));
        } else {
            QCOMPARE(action->objectName(), IdObjectName(e.id));
        }
    }
}

QMenu* TopMenu(CVarnothDlg& dlg, int index)
{
    const QList<QAction*> top = dlg.menuBar()->actions();
    return index < top.size() ? top[index]->menu() : nullptr;
}

// The main-menu item of a command (toolbar actions carry the same name).
QAction* MenuAction(CVarnothDlg& dlg, int id)
{
    return dlg.menuBar()->findChild<QAction*>(IdObjectName(id), Qt::FindChildrenRecursively);
}

QMenu* Submenu(QMenu* menu, const char16_t* key)
{
    return menu->findChild<QMenu*>(ToQString(key));
}

// The enabled state of every non-separator item, as "id_n" or the submenu key.
QSet<QString> EnabledItems(QMenu* menu)
{
    QSet<QString> enabled;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || !action->isEnabled())
            continue;
        enabled.insert(action->menu() ? action->menu()->objectName() : action->objectName());
    }
    return enabled;
}

void OpenAndCloseMenu(QMenu* menu)
{
    emit menu->aboutToShow();
}

QToolButton* ToolButton(CVarnothDlg& dlg, int id)
{
    return dlg.ToolBar()->findChild<QToolButton*>(IdObjectName(id));
}

// The number of distinct colours in image (sampled), a rough measure of content.
int DistinctColours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    }
    return static_cast<int>(colours.size());
}

active_view_state FileWithSelection()
{
    active_view_state s;
    s.tab_count = 1;
    s.has_file = true;
    s.has_selection = true;
    s.window_first = 100;
    s.window_last = 199;
    s.indexed_lines = 1000;
    s.row_count = 100;
    s.selected_count = 3;
    s.auto_refresh = true;
    s.column_names = {u"Time", u"Level", u"R&D"};
    return s;
}

} // namespace

void main_window_test::initTestCase()
{
    m_env = std::make_unique<ui_test_environment>();
    QVERIFY2(m_env->Ready(), qPrintable(m_env->Error()));
    QVERIFY(!m_env->App().Title().empty());
}

void main_window_test::init()
{
    m_env->App().settings.main_wnd_maximized = false;
    m_env->App().settings.main_wnd_rect = window_rect{};
    m_env->App().recent_files.clear();
    m_routed.clear();
    m_dlg = std::make_unique<CVarnothDlg>(m_env->App());
    command_router& router = m_dlg->Router();
    auto record = [this](int id) { m_routed.push_back(id); };
    for (int id = 32773; id <= ids::kViewLineNumbers; ++id) {
        if (id != ids::kFileExit)
            router.add(id, record);
    }
    router.add(ids::kTopPanelManage, record);
    router.add(ids::kViewFilterWholeFile, record);
    router.add_range(ids::kRecentFileFirst, ids::kExcludeColumnLast, record);
}

void main_window_test::cleanup()
{
    m_dlg.reset();
}

void main_window_test::Window_ShowsThePanelUntilATabIsAdded()
{
    m_env->App().settings.main_wnd_rect = window_rect{40, 30, 40 + 1100, 30 + 720};
    m_dlg->ShowWithSavedPlacement();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));

    const QImage image = m_dlg->grab().toImage();
    QVERIFY(image.width() >= 600 && image.height() >= 250);
    // Menus, toolbar icons, panel and status bar: far more than a blank window's few colours.
    QVERIFY2(DistinctColours(image) > 40, qPrintable(QString::number(DistinctColours(image))));

    // The panel sits over the empty tab area, the toolbar above it.
    QVERIFY(m_dlg->CommonTasks()->isVisible());
    QVERIFY(m_dlg->ToolBar()->isVisible());
    QVERIFY(m_dlg->TopPanel()->isVisible());
    QVERIFY(m_dlg->TabControl()->geometry().contains(m_dlg->CommonTasks()->geometry()));

    // With a file: the panel gives way to the tab, the toolbar and status bar fill in.
    const active_view_state state = FileWithSelection();
    m_dlg->SetViewStateProvider([state] { return state; });
    auto* page = new QLabel(QStringLiteral("2026-12-09 05:20:28 INFO started"));
    page->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_dlg->TabControl()->addTab(page, QStringLiteral("server.log"));
    m_dlg->UpdateTitle(u"server.log");
    QVERIFY(!m_dlg->CommonTasks()->isVisible());
    QVERIFY(m_dlg->grab().toImage() != image);
}

void main_window_test::Window_TitleAndIcon()
{
    const QString title = ToQString(m_env->App().Title());
    QCOMPARE(m_dlg->windowTitle(), title);
    m_dlg->UpdateTitle(u"access.log");
    QCOMPARE(m_dlg->windowTitle(), title + QStringLiteral(" - access.log"));
    m_dlg->UpdateTitle();
    QCOMPARE(m_dlg->windowTitle(), title);
    if (!m_dlg->Icons().Path(ids::kIconApplication).isEmpty())
        QVERIFY(!m_dlg->windowIcon().isNull());
}

void main_window_test::Menus_TitlesAndEveryItemUseTheirDictionaryTexts()
{
    const QList<QAction*> top = m_dlg->menuBar()->actions();
    QCOMPARE(top.size(), static_cast<qsizetype>(kMainMenu.size()));
    for (std::size_t i = 0; i < kMainMenu.size(); ++i) {
        QMenu* menu = top[static_cast<qsizetype>(i)]->menu();
        QVERIFY(menu);
        QVERIFY(!Text(kMainMenu[i].key).isEmpty());
        QCOMPARE(top[static_cast<qsizetype>(i)]->text(), Text(kMainMenu[i].key));
        OpenAndCloseMenu(menu);
        CheckMenu(menu, kMainMenu[i].items);
    }
    CheckMenu(Submenu(TopMenu(*m_dlg, 0), u"IDS_MENU_MAIN_FILE_EXPORT"), kExportMenu);

    // The accelerators are shown beside their items, and only from the key
    // table: no item text carries a shortcut of its own after a tab.
    for (const auto& [id, keys] : kShortcuts) {
        QAction* action = MenuAction(*m_dlg, id);
        QVERIFY2(action, qPrintable(QString::number(id)));
        QCOMPARE(action->shortcut(), keys);
        QCOMPARE(AcceleratorKeys(id), keys);
    }
    for (QAction* action : m_dlg->menuBar()->findChildren<QAction*>()) {
        QVERIFY2(!action->text().contains(QLatin1Char('\t')), qPrintable(Describe(action)));
        const int id = IdFromObjectName(action->objectName());
        const bool has_keys =
            std::any_of(kShortcuts.begin(), kShortcuts.end(), [id](const auto& k) { return k.first == id; });
        if (id && !has_keys)
            QVERIFY2(action->shortcut().isEmpty(), qPrintable(Describe(action)));
    }
    // A dictionary that still writes the shortcut after a tab shows the text only.
    QCOMPARE(WithoutShortcutHint(QStringLiteral("&Open...\tCtrl+O")), QStringLiteral("&Open..."));
    QCOMPARE(WithoutShortcutHint(QStringLiteral("&Open...")), QStringLiteral("&Open..."));
}

void main_window_test::Menus_NoFile_EditOffersOnlyOptions()
{
    QMenu* file = TopMenu(*m_dlg, 0);
    QMenu* edit = TopMenu(*m_dlg, 1);
    QMenu* view = TopMenu(*m_dlg, 2);
    QMenu* help = TopMenu(*m_dlg, 3);
    for (QMenu* menu : {file, edit, view, help})
        OpenAndCloseMenu(menu);
    QCOMPARE(EnabledItems(edit), QSet<QString>{IdObjectName(32783)});
    QCOMPARE(EnabledItems(file), (QSet<QString>{IdObjectName(32773), IdObjectName(32776)}));
    QCOMPARE(EnabledItems(view), QSet<QString>{});
    QCOMPARE(EnabledItems(help).size(), 5);
}

void main_window_test::Menus_WithAnActiveFile_FillTheColumnSubmenus()
{
    const active_view_state state = FileWithSelection();
    m_dlg->SetViewStateProvider([state] { return state; });
    QMenu* edit = TopMenu(*m_dlg, 1);
    QMenu* view = TopMenu(*m_dlg, 2);
    OpenAndCloseMenu(edit);
    OpenAndCloseMenu(view);

    QVERIFY(EnabledItems(edit).contains(IdObjectName(32777)));
    QVERIFY(EnabledItems(edit).contains(QStringLiteral("IDS_MENU_MAIN_EDIT_COPY_COLUMN")));
    QVERIFY(MenuAction(*m_dlg, 32794)->isChecked());
    QVERIFY(EnabledItems(view).contains(IdObjectName(32795)));
    QVERIFY(EnabledItems(view).contains(IdObjectName(32796)));
    QVERIFY(!EnabledItems(view).contains(IdObjectName(32808))); // no conditions

    struct row {
        const char16_t* submenu;
        QMenu* parent;
        int first;
    };
    const row rows[] = {{u"IDS_MENU_MAIN_EDIT_COPY_COLUMN", edit, 33100},
                        {u"IDS_MENU_MAIN_EDIT_INCLUDE", view, 33200},
                        {u"IDS_MENU_MAIN_EDIT_EXCLUDE", view, 33300}};
    for (const row& r : rows) {
        QMenu* sub = Submenu(r.parent, r.submenu);
        QVERIFY(sub);
        const QList<QAction*> actions = sub->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions[0]->text(), QStringLiteral("Time"));
        QCOMPARE(actions[2]->text(), QStringLiteral("R&&D")); // shown literally
        QCOMPARE(actions[2]->objectName(), IdObjectName(r.first + 2));
        m_routed.clear();
        actions[1]->trigger();
        QCOMPARE(m_routed, std::vector<int>{r.first + 1});
    }

    // A list without columns leaves a lone separator.
    active_view_state no_columns = state;
    no_columns.column_names.clear();
    m_dlg->SetViewStateProvider([no_columns] { return no_columns; });
    OpenAndCloseMenu(edit);
    const QList<QAction*> lone = Submenu(edit, u"IDS_MENU_MAIN_EDIT_COPY_COLUMN")->actions();
    QCOMPARE(lone.size(), 1);
    QVERIFY(lone[0]->isSeparator());
}

void main_window_test::Menus_RecentFiles_AreListedBeforeExitAndRouted()
{
    QMenu* file = TopMenu(*m_dlg, 0);
    m_env->App().recent_files = {u"/var/log/new.log", u"/home/me/R&D notes.txt"};
    OpenAndCloseMenu(file);
    QList<QAction*> actions = file->actions();
    const qsizetype n = actions.size();
    QCOMPARE(n, 10); // open, close, close others, close all, export, sep, 2 recent, sep, exit
    QVERIFY(actions[5]->isSeparator());
    QCOMPARE(actions[6]->text(), QStringLiteral("/var/log/new.log"));
    QCOMPARE(actions[6]->objectName(), IdObjectName(33000));
    QCOMPARE(actions[7]->text(), QStringLiteral("/home/me/R&&D notes.txt"));
    QVERIFY(actions[8]->isSeparator());
    QCOMPARE(actions[9]->objectName(), IdObjectName(32776));
    QVERIFY(actions[7]->isEnabled());
    actions[7]->trigger();
    QCOMPARE(m_routed, std::vector<int>{33001});

    // Reopening rebuilds rather than appends; an emptied list leaves only Exit.
    OpenAndCloseMenu(file);
    QCOMPARE(file->actions().size(), 10);
    m_env->App().recent_files.clear();
    OpenAndCloseMenu(file);
    CheckMenu(file, kMainMenu[0].items);
}

void main_window_test::Menus_ItemsRouteTheirCommandIds()
{
    for (const menu_layout& layout : kMainMenu) {
        for (const item& e : layout.items) {
            if (e.id <= 0 || e.id == ids::kFileExit)
                continue;
            QAction* action = MenuAction(*m_dlg, e.id);
            QVERIFY(action);
            m_routed.clear();
            action->setEnabled(true);
            action->trigger();
            QCOMPARE(m_routed, std::vector<int>{e.id});
        }
    }
}

void main_window_test::Toolbar_NoFile_OnlyOpenOptionsHelpEnabled()
{
    const QList<QToolButton*> buttons = m_dlg->ToolBar()->findChildren<QToolButton*>();
    QList<int> ids_in_order;
    for (QToolButton* button : buttons) {
        if (const int id = IdFromObjectName(button->objectName()))
            ids_in_order.push_back(id);
    }
    QCOMPARE(ids_in_order.size(), static_cast<qsizetype>(kToolbarOrder.size()));

    // Left to right, in toolbar order.
    std::vector<std::pair<int, int>> by_x;
    for (int id : kToolbarOrder) {
        QToolButton* button = ToolButton(*m_dlg, id);
        QVERIFY2(button, qPrintable(QString::number(id)));
        by_x.push_back({button->x(), id});
    }
    m_dlg->setGeometry(20, 20, 1200, 700); // wide enough for every button
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    by_x.clear();
    for (int id : kToolbarOrder)
        by_x.push_back({ToolButton(*m_dlg, id)->x(), id});
    std::sort(by_x.begin(), by_x.end());
    for (std::size_t i = 0; i < by_x.size(); ++i)
        QCOMPARE(by_x[i].second, kToolbarOrder[i]);

    for (int id : kToolbarOrder) {
        QToolButton* button = ToolButton(*m_dlg, id);
        const bool expected = id == 32773 || id == 32783 || id == 32784;
        QVERIFY2(button->isEnabled() == expected, qPrintable(QString::number(id)));
        QVERIFY(!button->isChecked());
    }
    for (const auto& [id, key, keys] : kTooltips) {
        QVERIFY(!Text(key).isEmpty());
        const QString expected =
            keys ? Text(key) + QStringLiteral(" (") + QLatin1String(keys) + QLatin1Char(')') : Text(key);
        QCOMPARE(ToolButton(*m_dlg, id)->toolTip(), expected);
    }
    for (int id : {32794, 32798, 32800})
        QVERIFY(ToolButton(*m_dlg, id)->isCheckable());
    QCOMPARE(ToolButton(*m_dlg, 32809)->popupMode(), QToolButton::InstantPopup);
    QCOMPARE(ToolButton(*m_dlg, 32778)->popupMode(), QToolButton::InstantPopup);
    QCOMPARE(ToolButton(*m_dlg, 32773)->popupMode(), QToolButton::MenuButtonPopup);

    // Enabled buttons route their command when clicked.
    for (int id : {32773, 32783, 32784}) {
        m_routed.clear();
        QTest::mouseClick(ToolButton(*m_dlg, id), Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(m_routed, std::vector<int>{id});
    }
}

void main_window_test::Toolbar_WithAnActiveFile_FollowsTheProvider()
{
    active_view_state state = FileWithSelection();
    state.filter_enabled = true;
    state.has_filter_conditions = true; // filter whole file needs a condition
    m_dlg->SetViewStateProvider([&state] { return state; });
    m_dlg->UpdateToolbar();
    for (int id : kToolbarOrder)
        QVERIFY2(ToolButton(*m_dlg, id)->isEnabled(), qPrintable(QString::number(id)));
    QVERIFY(ToolButton(*m_dlg, 32794)->isChecked());
    QVERIFY(!ToolButton(*m_dlg, 32798)->isChecked());
    QVERIFY(ToolButton(*m_dlg, 32800)->isChecked());

    // A check button shows the file's flag after its command ran, not its own toggle.
    m_dlg->Router().add(32798, [&](int) { state.highlight_enabled = true; });
    ToolButton(*m_dlg, 32798)->click();
    QVERIFY(ToolButton(*m_dlg, 32798)->isChecked());
    m_dlg->Router().add(32798, [&](int) {}); // a handler that changes nothing
    ToolButton(*m_dlg, 32798)->click();
    QVERIFY(ToolButton(*m_dlg, 32798)->isChecked());

    // The export drop-down offers the five export commands.
    QMenu* exports = ToolButton(*m_dlg, 32809)->menu();
    QVERIFY(exports);
    QCOMPARE(exports->actions().size(), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(exports->actions()[i]->text(), Text(kExportMenu[static_cast<std::size_t>(i)].key));
        m_routed.clear();
        exports->actions()[i]->trigger();
        QCOMPARE(m_routed, std::vector<int>{32810 + i});
    }
    // The copy-column drop-down lists the columns.
    QMenu* columns = ToolButton(*m_dlg, 32778)->menu();
    emit columns->aboutToShow();
    QCOMPARE(columns->actions().size(), 3);
    QCOMPARE(columns->actions()[1]->objectName(), IdObjectName(33101));

    // Back to no file: nothing stays checked, also when the provider still
    // reports the flags of the file that was closed.
    state.highlight_enabled = true;
    m_dlg->UpdateToolbar();
    QVERIFY(ToolButton(*m_dlg, 32798)->isChecked());
    for (const bool stale : {false, true}) {
        state = active_view_state{};
        state.auto_refresh = state.highlight_enabled = state.filter_enabled = stale;
        m_dlg->UpdateToolbar();
        for (int id : {32794, 32798, 32800}) {
            QVERIFY2(!ToolButton(*m_dlg, id)->isChecked(), qPrintable(QString::number(id)));
            QVERIFY2(!ToolButton(*m_dlg, id)->isEnabled(), qPrintable(QString::number(id)));
        }
    }
}

void main_window_test::Toolbar_OpenArrowWithoutRecentFiles_RunsOpen()
{
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    QToolButton* open = ToolButton(*m_dlg, 32773);
    QStyleOptionToolButton option;
    option.initFrom(open);
    option.subControls = QStyle::SC_ToolButton | QStyle::SC_ToolButtonMenu;
    option.features = QStyleOptionToolButton::MenuButtonPopup | QStyleOptionToolButton::HasMenu;
    const QRect arrow = open->style()->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButtonMenu, open);
    QVERIFY(arrow.isValid());
    QTest::mouseClick(open, Qt::LeftButton, {}, arrow.center());
    QCOMPARE(m_routed, std::vector<int>{32773});

    // With recent files the arrow's menu lists them.
    m_env->App().recent_files = {u"/tmp/a.log"};
    QMenu* menu = open->menu();
    emit menu->aboutToShow();
    QCOMPARE(menu->actions().size(), 1);
    m_routed.clear();
    menu->actions()[0]->trigger();
    QCOMPARE(m_routed, std::vector<int>{33000});
}

void main_window_test::StatusBar_PartsEncodingBoxAndScopeBar()
{
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    for (int i = 0; i < 3; ++i)
        QVERIFY(m_dlg->StatusPart(i)->text().isEmpty());
    QComboBox* encoding = m_dlg->statusBar()->findChild<QComboBox*>(IdObjectName(ids::kEncodingBox));
    QVERIFY(encoding);
    QVERIFY(!encoding->isEnabled());
    QVERIFY(m_dlg->statusBar()->findChild<QWidget*>(IdObjectName(ids::kFileScopeBar)));
    // Left to right: the three texts, the encoding box, the scope bar taking the rest.
    QVERIFY(m_dlg->StatusPart(0)->x() < m_dlg->StatusPart(1)->x());
    QVERIFY(m_dlg->StatusPart(2)->x() < encoding->x());
    QVERIFY(encoding->x() < m_dlg->FileScopeBar()->x());
    QVERIFY(m_dlg->FileScopeBar()->width() > m_dlg->StatusPart(0)->width());

    const active_view_state state = FileWithSelection();
    m_dlg->SetViewStateProvider([state] { return state; });
    m_dlg->UpdateStatusTexts();
    QCOMPARE(m_dlg->StatusPart(0)->text(), Text(u"IDS_STATUSBAR_TEXT_TOTAL") + QStringLiteral(": 1000"));
    QCOMPARE(m_dlg->StatusPart(1)->text(), Text(u"IDS_STATUSBAR_TEXT_FILTERED") + QStringLiteral(": 100"));
    QCOMPARE(m_dlg->StatusPart(2)->text(), Text(u"IDS_STATUSBAR_TEXT_SELECTED") + QStringLiteral(": 3"));
}

void main_window_test::CommonTasks_ShownWithoutTabs_ButtonsRouteCommands()
{
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    CCommonTaskDlg* tasks = m_dlg->CommonTasks();
    QCOMPARE(tasks->objectName(), IdObjectName(ids::kCommonTasks));
    QVERIFY(tasks->isVisible());

    struct row {
        int button;
        const char16_t* key;
        int command;
    };
    const row rows[] = {{1082, u"IDS_COMMONTASKDLG_BUTTON_OPENFILE", 32773},
                        {1084, u"IDS_COMMONTASKDLG_BUTTON_CHANGEOPTIONS", 32783},
                        {1085, u"IDS_COMMONTASKDLG_BUTTON_MANAGEPARSERS", 105},
                        {1086, u"IDS_COMMONTASKDLG_BUTTON_HELP", 32784},
                        {1083, nullptr, 32773}}; // no recent files: the arrow opens
    for (const row& r : rows) {
        QToolButton* button = tasks->Button(r.button);
        QVERIFY2(button, qPrintable(QString::number(r.button)));
        if (r.key) {
            QVERIFY(!Text(r.key).isEmpty());
            QCOMPARE(button->text(), Text(r.key));
        }
        m_routed.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(m_routed, std::vector<int>{r.command});
    }

    // With recent files the arrow shows them, most recent first, and routes 33000 + index.
    m_env->App().recent_files = {u"/logs/b.log", u"/logs/a.log"};
    m_routed.clear();
    QTest::mouseClick(tasks->Button(1083), Qt::LeftButton);
    QMenu* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(popup);
    QCOMPARE(popup->actions().size(), 2);
    QCOMPARE(popup->actions()[0]->text(), QStringLiteral("/logs/b.log"));
    popup->actions()[1]->trigger();
    popup->close();
    QCOMPARE(m_routed, std::vector<int>{33001});

    // A tab hides the panel and enables the file-bound top-panel controls; closing the last shows it again.
    auto* page = new QLabel(QStringLiteral("page"));
    m_dlg->TabControl()->addTab(page, QStringLiteral("a.log"));
    QVERIFY(!tasks->isVisible());
    QVERIFY(m_dlg->TopPanel()->QuickFilterBox()->isEnabled());
    delete page;
    QCOMPARE(m_dlg->TabControl()->count(), 0);
    QVERIFY(tasks->isVisible());
    QVERIFY(!m_dlg->TopPanel()->QuickFilterBox()->isEnabled());

    // The top panel's manage button routes the same command as the panel's button.
    m_routed.clear();
    QTest::mouseClick(m_dlg->TopPanel()->ManageButton(), Qt::LeftButton);
    QCOMPARE(m_routed, std::vector<int>{105});
}

void main_window_test::CommonTasks_StaysBelowTheTabAreaTop()
{
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    const QRect areas[] = {QRect(0, 50, 1000, 800), QRect(0, 50, 300, 100), QRect(10, 0, 200, 40)};
    CCommonTaskDlg* tasks = m_dlg->CommonTasks();
    for (const QRect& area : areas) {
        tasks->PlaceOver(area);
        QVERIFY(tasks->y() >= area.top() + 20);
        QCOMPARE(tasks->x(), area.left() + (area.width() - tasks->width()) / 2);
        if (area.height() - tasks->height() >= 60)
            QCOMPARE(tasks->y(), area.top() + (area.height() - tasks->height()) / 3);
    }
    // The window cannot be made smaller than three panels wide (within the screen).
    QVERIFY(m_dlg->minimumWidth() >= std::min(3 * tasks->width(), m_dlg->screen()->availableGeometry().width()));
}

void main_window_test::Accelerators_RouteCommandIds()
{
    CAcceleratorFilter filter(m_dlg->Router(), m_dlg.get());
    qApp->installEventFilter(&filter);
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    m_dlg->activateWindow();
    m_dlg->TabControl()->setFocus();

    struct row {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int command;
    };
    const row rows[] = {
        {Qt::Key_F5, Qt::NoModifier, 32793},     {Qt::Key_O, Qt::ControlModifier, 32773},
        {Qt::Key_C, Qt::ControlModifier, 32777}, {Qt::Key_A, Qt::ControlModifier, 32787},
        {Qt::Key_F3, Qt::ShiftModifier, 32782},  {Qt::Key_PageDown, Qt::ControlModifier, 32796},
        {Qt::Key_F1, Qt::NoModifier, 32784},     {Qt::Key_F1, Qt::ControlModifier, 32802},
        {Qt::Key_F7, Qt::NoModifier, 32800},
    };
    for (const row& r : rows) {
        m_routed.clear();
        QTest::keyClick(m_dlg->TabControl(), r.key, r.modifiers);
        QCOMPARE(m_routed, std::vector<int>{r.command});
    }
    // A key without a command reaches the widget untouched.
    m_routed.clear();
    QTest::keyClick(m_dlg->TabControl(), Qt::Key_F2);
    QVERIFY(m_routed.empty());

    // Keys typed into the window take the whole way (shortcut override, then
    // key press): each runs its command exactly once, never also as a shortcut.
    QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
    for (const row& r : rows) {
        m_routed.clear();
        QTest::keyClick(m_dlg->windowHandle(), r.key, r.modifiers);
        QCOMPARE(m_routed, std::vector<int>{r.command});
    }
    qApp->removeEventFilter(&filter);
}

void main_window_test::Accelerators_CopyAndSelectAllStayInEditFields()
{
    CAcceleratorFilter filter(m_dlg->Router(), m_dlg.get());
    qApp->installEventFilter(&filter);
    auto* edit = new QLineEdit(QStringLiteral("quick filter text"), m_dlg->TopPanel());
    auto* combo = new QComboBox(m_dlg->TopPanel());
    combo->setEditable(true);
    combo->setEditText(QStringLiteral("combo text"));
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    m_dlg->activateWindow();

    edit->setFocus();
    edit->deselect();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(m_routed.empty());
    QCOMPARE(edit->selectedText(), QStringLiteral("quick filter text")); // the field selected all

    QTest::keyClick(combo, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(combo->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QVERIFY(m_routed.empty());

    // Other accelerators still work inside an edit field.
    QTest::keyClick(edit, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_routed, std::vector<int>{32779});

    // Ctrl+C on the window itself copies rows.
    m_routed.clear();
    m_dlg->TabControl()->setFocus();
    QTest::keyClick(m_dlg->TabControl(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(m_routed, std::vector<int>{32777});
    qApp->removeEventFilter(&filter);
}

void main_window_test::Accelerators_NotTranslatedWhileAModalDialogRuns()
{
    CAcceleratorFilter filter(m_dlg->Router(), m_dlg.get());
    qApp->installEventFilter(&filter);
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));

    QDialog dialog(m_dlg.get());
    std::vector<int> seen_in_dialog;
    QTimer::singleShot(0, &dialog, [&] {
        QTest::keyClick(&dialog, Qt::Key_F5);
        seen_in_dialog = m_routed;
        QTest::keyClick(&dialog, Qt::Key_F1); // help still works
        dialog.accept();
    });
    dialog.exec();
    QVERIFY(seen_in_dialog.empty());
    QCOMPARE(m_routed, std::vector<int>{32784});
    qApp->removeEventFilter(&filter);
}

void main_window_test::MessagePresenter_QtBoxAnswersAndCanBeReplaced()
{
    InstallQtMessagePresenter();
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));

    struct row {
        unsigned flags;
        QMessageBox::StandardButton press;
        QMessageBox::Icon icon;
        int result;
    };
    const row rows[] = {
        {MB_YESNO | MB_ICONQUESTION, QMessageBox::No, QMessageBox::Question, IDNO},
        {MB_YESNO | MB_ICONQUESTION, QMessageBox::Yes, QMessageBox::Question, IDYES},
        {MB_OK | MB_ICONERROR, QMessageBox::Ok, QMessageBox::Critical, IDOK},
        {MB_OK | MB_ICONWARNING, QMessageBox::Ok, QMessageBox::Warning, IDOK},
        {MB_OK | MB_ICONINFORMATION, QMessageBox::Ok, QMessageBox::Information, IDOK},
    };
    for (const row& r : rows) {
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, m_dlg.get(), [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            icon = box->icon();
            box->button(r.press)->click();
        });
        QCOMPARE(ShowMessage(u"Something happened", r.flags), r.result);
        QCOMPARE(title, ToQString(m_env->App().Title()));
        QCOMPARE(icon, r.icon);
    }

    // A test presenter replaces the Qt one and records what would have been shown.
    std::vector<std::pair<std::u16string, unsigned>> shown;
    MessagePresenter previous = SetMessagePresenter([&](const std::u16string& text, unsigned flags) {
        shown.push_back({text, flags});
        return IDYES;
    });
    QVERIFY(static_cast<bool>(previous));
    QCOMPARE(ShowMessage(u"Delete?", MB_YESNO | MB_ICONQUESTION), IDYES);
    QCOMPARE(shown.size(), std::size_t{1});
    QVERIFY(shown[0].first == u"Delete?");
    QCOMPARE(shown[0].second, static_cast<unsigned>(MB_YESNO | MB_ICONQUESTION));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    SetMessagePresenter(MessagePresenter());
}

void main_window_test::Close_StoresPlacementInTheSettings()
{
    app_settings& settings = m_env->App().settings;
    settings.main_wnd_maximized = false;
    settings.main_wnd_rect = window_rect{100, 80, 100 + 900, 80 + 640};
    m_dlg->ShowWithSavedPlacement();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    QCOMPARE(m_dlg->geometry(), QRect(100, 80, 900, 640));

    m_dlg->setGeometry(120, 90, 840, 600);
    QTRY_COMPARE(m_dlg->geometry(), QRect(120, 90, 840, 600));
    settings.main_wnd_maximized = true; // must be overwritten
    QVERIFY(m_dlg->close());
    QVERIFY(!m_dlg->isVisible());
    QVERIFY(!settings.main_wnd_maximized);
    QCOMPARE(settings.main_wnd_rect.left, 120);
    QCOMPARE(settings.main_wnd_rect.top, 90);
    QCOMPARE(settings.main_wnd_rect.right, 120 + 840);
    QCOMPARE(settings.main_wnd_rect.bottom, 90 + 600);
}

void main_window_test::Close_MaximisedKeepsTheSavedRectangle()
{
    app_settings& settings = m_env->App().settings;
    settings.main_wnd_maximized = true;
    settings.main_wnd_rect = window_rect{50, 60, 50 + 700, 60 + 500};
    m_dlg->ShowWithSavedPlacement();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    QVERIFY(m_dlg->isMaximized());
    settings.main_wnd_maximized = false;
    QVERIFY(m_dlg->close());
    QVERIFY(settings.main_wnd_maximized);
    QCOMPARE(settings.main_wnd_rect.left, 50);
    QCOMPARE(settings.main_wnd_rect.right, 750);

    // A saved rectangle on no screen is not used: the window is centred instead.
    auto other = std::make_unique<CVarnothDlg>(m_env->App());
    settings.main_wnd_maximized = false;
    settings.main_wnd_rect = window_rect{-30000, -30000, -29000, -29300};
    other->ShowWithSavedPlacement();
    QVERIFY(QTest::qWaitForWindowExposed(other.get()));
    QVERIFY(other->screen()->availableGeometry().intersects(other->geometry()));
}

void main_window_test::RefreshTimer_RefreshesAFileWithAutoRefresh()
{
    // The timer runs every second for the window's life; its slot is driven
    // here rather than waited for.
    QVERIFY(m_dlg->RefreshTimer().isActive());
    QCOMPARE(m_dlg->RefreshTimer().interval(), 1000);

    active_view_state state = FileWithSelection(); // auto refresh on
    m_dlg->SetViewStateProvider([&state] { return state; });
    m_dlg->OnRefreshTimer();
    QCOMPARE(m_routed, std::vector<int>{32793});

    m_routed.clear();
    state.auto_refresh = false;
    m_dlg->OnRefreshTimer();
    QVERIFY(m_routed.empty());

    state = active_view_state{};
    state.auto_refresh = true; // stale flag, no file
    m_dlg->OnRefreshTimer();
    QVERIFY(m_routed.empty());

    // Never inside a modal dialog.
    state = FileWithSelection();
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    QDialog dialog(m_dlg.get());
    QTimer::singleShot(0, &dialog, [&] {
        m_dlg->OnRefreshTimer();
        dialog.accept();
    });
    dialog.exec();
    QVERIFY(m_routed.empty());

    // Closing stops it.
    QVERIFY(m_dlg->close());
    QVERIFY(!m_dlg->RefreshTimer().isActive());
}

void main_window_test::ExitCommand_EndsTheWindow()
{
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    m_env->App().settings.main_wnd_maximized = true;
    QVERIFY(m_dlg->Router().route(ids::kFileExit));
    QVERIFY(!m_dlg->isVisible());
    QVERIFY(!m_env->App().settings.main_wnd_maximized); // stored on the way out
}

void main_window_test::CloseBox_RunsTheExitCommandOnce()
{
    int exits = 0;
    m_dlg->Router().add(ids::kFileExit, [&](int) {
        ++exits;
        m_dlg->EndDialog();
    });
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    QVERIFY(m_dlg->close()); // the close box
    QCOMPARE(exits, 1);
    QVERIFY(!m_dlg->isVisible());

    // The exit command from the menu ends the window the same way.
    auto other = std::make_unique<CVarnothDlg>(m_env->App());
    int other_exits = 0;
    other->Router().add(ids::kFileExit, [&](int) {
        ++other_exits;
        other->EndDialog();
    });
    other->show();
    QVERIFY(QTest::qWaitForWindowExposed(other.get()));
    MenuAction(*other, ids::kFileExit)->trigger();
    QCOMPARE(other_exits, 1);
    QVERIFY(!other->isVisible());
}
