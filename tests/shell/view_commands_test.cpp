// The main window's commands in the whole viewer under the offscreen
// platform, driven by command id, keys, the popups and drops: what is
// enabled without a file, closing tabs, the clicked cell's include texts,
// refresh and tail, dropping files, help topics, inverting a selection and
// the window moves at the list's edges.
#include "glossant/dictionary_text.h"
#include "shell/file_commands.h"
#include "shell/panel_commands.h"
#include "ui/command_ids.h"
#include "ui/command_state.h"
#include "ui/common_task_dlg.h"
#include "ui/document_opener.h"
#include "ui/go_to_line_dlg.h"
#include "ui/ui_text.h"
#include "viewer_fixture.h"
#include "work/export_rows.h"

#include <QAbstractButton>
#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <filesystem>

class ViewCommandsTest : public QObject {
    Q_OBJECT

public slots:
    // The desktop's "open" for file URLs while a test runs.
    void OpenUrl(const QUrl& url) { m_opened.push_back(url); }

private:
    std::unique_ptr<viewer_fixture> m_viewer;
    std::vector<QUrl> m_opened;

    viewer_fixture& V() { return *m_viewer; }

    QMenu* TopMenu(int index) const
    {
        const QList<QAction*> top = m_viewer->window->menuBar()->actions();
        return index < top.size() ? top[index]->menu() : nullptr;
    }

    // The enabled items of a menu after its before-opening rules ran.
    static QSet<QString> EnabledItems(QMenu* menu)
    {
        emit menu->aboutToShow();
        QSet<QString> enabled;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->isEnabled())
                enabled.insert(action->menu() ? action->menu()->objectName() : action->objectName());
        }
        return enabled;
    }

    QSet<int> EnabledToolbarCommands() const
    {
        QSet<int> enabled;
        const auto buttons = m_viewer->window->ToolBar()->findChildren<QToolButton*>();
        for (const QToolButton* button : buttons) {
            const int id = IdFromObjectName(button->objectName());
            if (id > 0 && button->isEnabled())
                enabled.insert(id);
        }
        return enabled;
    }

    // Right-clicks the cell of the active list and returns the list popup.
    QMenu* RightClick(CLogListCtrl* list, int row, int column)
    {
        const QRect cell = list->visualRect(list->model()->index(row, column));
        QContextMenuEvent event(QContextMenuEvent::Mouse, cell.center(), list->viewport()->mapToGlobal(cell.center()));
        QCoreApplication::sendEvent(list->viewport(), &event);
        return m_viewer->window->ListPopup();
    }

    static QString PopupText(QMenu* menu, int id)
    {
        const QAction* action = menu->findChild<QAction*>(IdObjectName(id));
        return action ? action->text() : QString();
    }

private slots:
    void init()
    {
        m_opened.clear();
        m_viewer = std::make_unique<viewer_fixture>(300);
        QVERIFY(m_viewer->Ready());
    }
    void cleanup()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        m_viewer.reset();
    }

    void noFile_OnlyOpenOptionsAndHelpAreEnabledAndCommandsDoNothing()
    {
        QCOMPARE(V().Tabs()->count(), 0);
        QCOMPARE(EnabledToolbarCommands(), (QSet<int>{ids::kFileOpen, ids::kEditOptions, ids::kHelpHelp}));
        QCOMPARE(EnabledItems(TopMenu(1)), (QSet<QString>{IdObjectName(ids::kEditOptions)}));
        const QSet<QString> view = EnabledItems(TopMenu(2));
        QVERIFY2(view.isEmpty(), qPrintable(QStringList(view.values()).join(',')));
        QVERIFY(V().window->CommonTasks()->isVisible());
        // Every command that needs a file does nothing without one.
        for (int id :
             {ids::kFileClose, ids::kFileCloseOthers, ids::kFileCloseAll, ids::kEditSelectAll,
              ids::kEditInvertSelection, ids::kViewRefresh, ids::kViewAutoRefresh, ids::kViewScrollUp,
              ids::kViewScrollDown, ids::kViewHighlightEnable, ids::kViewFilterEnable, ids::kViewFilterRemoveAll,
              ids::kEditIncludeCell, ids::kEditExcludeCell, ids::kIncludeColumnFirst, ids::kExcludeColumnFirst + 3})
            V().Route(id);
        V().window->OnRefreshTimer();
        QCOMPARE(V().Tabs()->count(), 0);
        QVERIFY(V().boxes.empty());
        QCOMPARE(V().StatusPart0(), QString());
    }

    void closeOthers_KeepsTheMiddleTabAndCloseAllLeavesThePanel()
    {
        for (const char* name : {"a.log", "b.log", "c.log"})
            QVERIFY(V().Open(V().Write(name, viewer_fixture::NumberedLines(0, 5, std::string(name) + " "))));
        QCOMPARE(V().Tabs()->count(), 3);
        V().Tabs()->setCurrentIndex(1);
        V().window->ShowTabPopup(QPoint(10, 10));
        QVERIFY(V().window->TabPopup()->findChild<QAction*>(IdObjectName(ids::kFileCloseOthers))->isEnabled());
        V().window->TabPopup()->hide();

        V().Route(ids::kFileCloseOthers);
        QCOMPARE(V().Tabs()->count(), 1);
        QCOMPARE(V().app->OpenFileList().lock()->size(), std::size_t(1));
        QCOMPARE(V().ActiveFile()->name(), std::u16string(u"b.log"));
        QCOMPARE(V().ActiveList()->CellText(0, 0), std::u16string(u"b.log 0"));
        QCOMPARE(V().window->windowTitle(), QStringLiteral("Varnoth - b.log"));
        V().window->ShowTabPopup(QPoint(10, 10));
        QVERIFY(!V().window->TabPopup()->findChild<QAction*>(IdObjectName(ids::kFileCloseOthers))->isEnabled());
        V().window->TabPopup()->hide();

        QVERIFY(V().Open(V().Write("d.log", "d\n")));
        V().Route(ids::kFileCloseAll);
        QCOMPARE(V().Tabs()->count(), 0);
        QCOMPARE(V().app->OpenFileList().lock()->size(), std::size_t(0));
        QVERIFY(V().window->CommonTasks()->isVisible());
        QCOMPARE(V().window->windowTitle(), QStringLiteral("Varnoth"));
        QCOMPARE(EnabledToolbarCommands(), (QSet<int>{ids::kFileOpen, ids::kEditOptions, ids::kHelpHelp}));
    }

    void tabs_MiddleClickCloseButtonAndPopupActOnTheirOwnTab()
    {
        for (const char* name : {"a.log", "b.log", "c.log"})
            QVERIFY(V().Open(V().Write(name, std::string(name) + "\n")));
        QTabBar* bar = V().Tabs()->tabBar();
        // Only the active tab shows its close button.
        for (int i = 0; i < 3; ++i) {
            QWidget* button = bar->tabButton(i, QTabBar::RightSide);
            QVERIFY(button);
            QCOMPARE(button->isVisible(), i == 2);
        }
        // A right click activates the tab under it and opens the tab popup.
        const QPoint first = bar->tabRect(0).center();
        QContextMenuEvent menu(QContextMenuEvent::Mouse, first, bar->mapToGlobal(first));
        QCoreApplication::sendEvent(bar, &menu);
        QCOMPARE(V().Tabs()->currentIndex(), 0);
        QVERIFY(V().window->TabPopup()->isVisible());
        V().window->TabPopup()->hide();
        // A middle click closes the tab under it, not the active one.
        V().Tabs()->setCurrentIndex(2);
        QTest::mouseClick(bar, Qt::MiddleButton, Qt::NoModifier, bar->tabRect(1).center());
        viewer_fixture::Settle();
        QCOMPARE(V().Tabs()->count(), 2);
        QCOMPARE(V().ListOf(0)->CellText(0, 0), std::u16string(u"a.log"));
        QCOMPARE(V().ListOf(1)->CellText(0, 0), std::u16string(u"c.log"));
        QCOMPARE(V().app->OpenFileList().lock()->size(), std::size_t(2));
        // The close button closes the active tab.
        V().Tabs()->setCurrentIndex(0);
        auto* close = qobject_cast<QAbstractButton*>(bar->tabButton(0, QTabBar::RightSide));
        QVERIFY(close && close->isVisible());
        close->click();
        QCOMPARE(V().Tabs()->count(), 1);
        QCOMPARE(V().ActiveFile()->name(), std::u16string(u"c.log"));
    }

    void listPopup_ShortensCellTextsOf70AndIncludesTheWholeText()
    {
        const std::string a69(69, 'a');
        const std::string b70 = std::string(33, 'b') + "MIDDLE" + std::string(31, 'c');
        QCOMPARE(b70.size(), std::size_t(70));
        const std::string huge = std::string(65534, 'x') + "Z";
        CLogListCtrl* list = V().Open(V().Write("long.log", a69 + "\n" + b70 + "\n" + huge + "\n"));
        QVERIFY(list);
        QCOMPARE(list->RowCount(), 3);
        // A whole line of 65535 characters shows its first 65534.
        QCOMPARE(list->CellText(2, 0), std::u16string(65534, u'x'));

        const QString include = Text(u"IDS_MENU_MAIN_EDIT_INCLUDE").remove(u'&');
        list->SelectRow(0);
        QMenu* popup = RightClick(list, 0, 0);
        QVERIFY(popup->isVisible());
        QCOMPARE(PopupText(popup, ids::kEditIncludeCell), include + QStringLiteral(" '") + QString(69, u'a') + u'\'');
        popup->hide();

        list->SelectRow(1);
        popup = RightClick(list, 1, 0);
        // The first 33 characters, "...", the last 33.
        const QString shortened = QString(33, u'b') + QStringLiteral("...LE") + QString(31, u'c');
        QCOMPARE(PopupText(popup, ids::kEditIncludeCell), include + QStringLiteral(" '") + shortened + u'\'');
        QVERIFY(PopupText(popup, ids::kEditExcludeCell).contains(QString(33, u'b') + QStringLiteral("...")));
        QVERIFY(popup->findChild<QAction*>(IdObjectName(ids::kEditIncludeCell))->isEnabled());
        popup->hide();

        // The condition takes the whole cell, not the shortened one.
        V().Route(ids::kEditIncludeCell);
        file_view* file = V().ActiveFile();
        QCOMPARE(file->filter_groups().ConditionCount(), 1);
        QVERIFY(file->filter_enabled());
        QCOMPARE(list->RowCount(), 1);
        QCOMPARE(list->CellText(0, 0), std::u16string(b70.begin(), b70.end()));
        V().Route(ids::kViewFilterRemoveAll);
        QCOMPARE(file->filter_groups().ConditionCount(), 0);
        QVERIFY(!file->filter_enabled());
        QCOMPARE(list->RowCount(), 3);

        // Exclude by the selected rows' values of column 0.
        list->SelectRow(0);
        V().Route(ids::kExcludeColumnFirst);
        QCOMPARE(list->RowCount(), 2);
        QCOMPARE(list->CellText(0, 0), std::u16string(b70.begin(), b70.end()));
    }

    void refresh_ThatChangesNothingKeepsWindowAndSelection()
    {
        CLogListCtrl* list = V().Open(V().Write("same.log", viewer_fixture::NumberedLines(0, 100)));
        QVERIFY(list);
        list->SelectRow(5);
        const viewer_fixture::window_shape before = V().Shape();
        QCOMPARE(before, (viewer_fixture::window_shape{0, 99, 100}));
        V().Route(ids::kViewRefresh);
        V().Append("same.log", "half a line"); // no line end: no new line yet
        V().Route(ids::kViewRefresh);
        QCOMPARE(V().Shape(), before);
        QCOMPARE(list->SelectedRows(), std::vector<int>{5});
        QCOMPARE(list->SelectionMark(), 5);
        QCOMPARE(V().Note(), QString());
    }

    void refresh_TailAfterGrowthBeyondTheMaximumShowsTheLastLinesWithTheLastRowFocused()
    {
        CLogListCtrl* list = V().Open(V().Write("grow.log", viewer_fixture::NumberedLines(0, 100)));
        QVERIFY(list);
        list->SelectRow(10);
        V().Append("grow.log", viewer_fixture::NumberedLines(100, 500));
        V().Route(ids::kViewRefresh);
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{300, 599, 600}));
        QCOMPARE(list->RowCount(), 300);
        QCOMPARE(list->SelectionMark(), 299);
        QCOMPARE(list->SelectedCount(), int64_t(0));
        QCOMPARE(list->CellText(299, 0), std::u16string(u"line 599"));
        const QRect last = list->visualRect(list->model()->index(299, 0));
        QVERIFY(list->viewport()->rect().intersects(last));
        QVERIFY(V().StatusPart0().endsWith(QStringLiteral(": 600")));

        // Without tail on refresh the window keeps its first line and fills up.
        V().app->settings.tail_on_refresh = false;
        V().Route(ids::kViewScrollUp);
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{0, 299, 600}));
        list->SelectRow(3);
        V().Append("grow.log", viewer_fixture::NumberedLines(600, 10));
        V().Route(ids::kViewRefresh);
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{0, 299, 610}));
        QCOMPARE(list->SelectedRows(), std::vector<int>{3});
    }

    void drop_OpenFileActivatesItsTabAndANewOneOpens()
    {
        const std::u16string a = V().Write("a.log", "a\n");
        const std::u16string b = V().Write("b.log", "b\n");
        QVERIFY(V().Open(a));
        QVERIFY(V().Open(b));
        QCOMPARE(V().Tabs()->currentIndex(), 1);
        auto drop = [&](const std::vector<std::u16string>& paths) {
            QMimeData data;
            QList<QUrl> urls;
            for (const std::u16string& p : paths)
                urls.push_back(QUrl::fromLocalFile(ToQString(p)));
            data.setUrls(urls);
            // Drops reach only a window that accepted the drag entering it.
            QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(V().window, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent event(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(V().window, &event);
            viewer_fixture::Settle();
        };
        drop({a});
        QCOMPARE(V().Tabs()->count(), 2);
        QCOMPARE(V().Tabs()->currentIndex(), 0);
        QCOMPARE(V().ActiveFile()->name(), std::u16string(u"a.log"));
        drop({b, V().Write("c.log", "c\n")});
        QVERIFY(V().WaitForTabs(3));
        QCOMPARE(V().ActiveFile()->name(), std::u16string(u"c.log"));
        // Names that differ only in letter case are different files here.
        drop({V().Write("A.log", "capital a\n")});
        QVERIFY(V().WaitForTabs(4));
        QCOMPARE(V().ActiveList()->CellText(0, 0), std::u16string(u"capital a"));
        QVERIFY(V().boxes.empty());
    }

    void help_F1OpensTheTopicOfTheActiveDialogAndAMissingPageIsReported()
    {
        namespace fs = std::filesystem;
        fs::copy(fs::path(VARNOTH_BIN_DIR) / "help", V().Root() / "install" / "help");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "OpenUrl");
        CLogListCtrl* list = V().Open(V().Write("h.log", "h\n"));
        QVERIFY(list);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F1);
        QCOMPARE(m_opened.size(), std::size_t(1));
        QVERIFY2(m_opened.back().toLocalFile().endsWith(QStringLiteral("/help/index.html")),
                 qPrintable(m_opened.back().toString()));
        QVERIFY(QFile::exists(m_opened.back().toLocalFile()));

        // The options dialog (modal).
        bool dialog_seen = false;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            dialog_seen = dialog != nullptr;
            if (!dialog)
                return;
            QTest::keyClick(dialog, Qt::Key_F1);
            if (auto* d = qobject_cast<QDialog*>(dialog))
                d->reject();
        });
        V().Route(ids::kEditOptions);
        QVERIFY(dialog_seen);
        QCOMPARE(m_opened.size(), std::size_t(2));
        QVERIFY2(m_opened.back().toLocalFile().endsWith(QStringLiteral("/help/options.html")),
                 qPrintable(m_opened.back().toString()));

        // The find dialog (modeless) while it is the active window.
        V().Route(ids::kEditFind);
        QWidget* find = QApplication::activeWindow();
        QTRY_VERIFY_WITH_TIMEOUT((find = QApplication::activeWindow()) != nullptr && find != V().window, kTestWaitMs);
        QTest::keyClick(find, Qt::Key_F1);
        QCOMPARE(m_opened.size(), std::size_t(3));
        QVERIFY2(m_opened.back().toLocalFile().endsWith(QStringLiteral("/help/search.html")),
                 qPrintable(m_opened.back().toString()));
        find->hide();

        // No program for the page (no web browser): said so, with the path.
        const document_opener desktop = SetDocumentOpener([](const QUrl&) { return false; });
        V().Route(ids::kHelpHelp);
        SetDocumentOpener(desktop);
        QCOMPARE(V().boxes.size(), std::size_t(1));
        QCOMPARE(V().boxes[0].flags & MB_ICONMASK, unsigned(MB_ICONERROR));
        const std::u16string page = (V().Root() / "install" / "help" / "index.html").u16string();
        QCOMPARE(V().boxes[0].text, DictionaryText(u"IDS_MSG_NO_PROGRAM_FOR_PAGE") + u"\n" + page);
        QVERIFY(V().boxes[0].text.find(DictionaryText(u"IDS_MSG_UNKNOWN_ERROR")) == std::u16string::npos);
        V().boxes.clear();

        // No page: the system's text for the error, error icon.
        fs::remove_all(V().Root() / "install" / "help");
        V().Route(ids::kHelpHelp);
        QCOMPARE(m_opened.size(), std::size_t(3));
        QCOMPARE(V().boxes.size(), std::size_t(1));
        QCOMPARE(V().boxes[0].flags & MB_ICONMASK, unsigned(MB_ICONERROR));
        QVERIFY(ToQString(V().boxes[0].text).contains(QStringLiteral("index.html")));
        QVERIFY(ToQString(V().boxes[0].text).contains(QStringLiteral("No such file"), Qt::CaseInsensitive));
    }

    void invert_ThreeOfTenSelectsTheOtherSevenWithOneCountUpdate()
    {
        CLogListCtrl* list = V().Open(V().Write("ten.log", viewer_fixture::NumberedLines(0, 10)));
        QVERIFY(list);
        QItemSelection picked;
        for (int row : {1, 4, 7})
            picked.select(list->model()->index(row, 0), list->model()->index(row, 0));
        list->selectionModel()->select(picked, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QVERIFY(V().StatusPart2().endsWith(QStringLiteral(": 3")));
        QSignalSpy updates(list, &CLogListCtrl::SelectionChanged);
        V().Route(ids::kEditInvertSelection);
        QCOMPARE(updates.count(), 1);
        QCOMPARE(list->SelectedRows(), (std::vector<int>{0, 2, 3, 5, 6, 8, 9}));
        QVERIFY2(V().StatusPart2().endsWith(QStringLiteral(": 7")), qPrintable(V().StatusPart2()));
        QVERIFY(EnabledToolbarCommands().contains(ids::kEditCopy));

        V().Route(ids::kEditSelectAll);
        QCOMPARE(list->SelectedCount(), int64_t(10));
        updates.clear();
        V().Route(ids::kEditInvertSelection);
        QCOMPARE(updates.count(), 1);
        QCOMPARE(list->SelectedCount(), int64_t(0));
        QVERIFY(!EnabledToolbarCommands().contains(ids::kEditCopy));
    }

    void keys_AtTheWindowEdgesMoveTheWindowExceptUpAtLineZero()
    {
        CLogListCtrl* list = V().Open(V().Write("edges.log", viewer_fixture::NumberedLines(0, 1000)));
        QVERIFY(list);
        list->setFocus();
        list->SelectRow(0);
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{0, 299, 1000}));
        QVERIFY(!EnabledToolbarCommands().contains(ids::kViewScrollUp));
        QVERIFY(EnabledToolbarCommands().contains(ids::kViewScrollDown));

        QSignalSpy moves(list, &CLogListCtrl::WindowMoveRequested);
        QTest::keyClick(list, Qt::Key_Up);
        viewer_fixture::Settle();
        QCOMPARE(moves.count(), 1);
        QCOMPARE(moves.at(0).at(0).toInt(), -1);
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{0, 299, 1000}));
        QCOMPARE(list->SelectedRows(), std::vector<int>{0});
        QCOMPARE(list->SelectionMark(), 0);

        // Down on the last row moves the window one line on.
        list->SelectRow(299);
        QTest::keyClick(list, Qt::Key_Down);
        viewer_fixture::Settle();
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{1, 300, 1000}));
        QCOMPARE(list->CellText(list->SelectionMark(), 0), std::u16string(u"line 300"));
        QVERIFY(EnabledToolbarCommands().contains(ids::kViewScrollUp));
        // Up on the first row now goes back one line, its first row selected.
        list->SelectRow(0);
        QTest::keyClick(list, Qt::Key_Up);
        viewer_fixture::Settle();
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{0, 299, 1000}));
        QCOMPARE(list->SelectionMark(), 0);

        // Page Down on the last row moves on by a page less one row, up to
        // the file's end and never beyond it.
        const int page = list->RowsPerPage();
        list->SelectRow(list->RowCount() - 1);
        QTest::keyClick(list, Qt::Key_PageDown);
        viewer_fixture::Settle();
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{page - 1, page + 298, 1000}));
        for (int i = 0; i < 1000 && V().Shape().last < 999; ++i) {
            list->SelectRow(list->RowCount() - 1);
            QTest::keyClick(list, Qt::Key_PageDown);
            viewer_fixture::Settle();
        }
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{700, 999, 1000}));
        QVERIFY(!EnabledToolbarCommands().contains(ids::kViewScrollDown));
        // The scroll commands move by whole windows.
        V().Route(ids::kViewScrollUp);
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{400, 699, 1000}));
        V().Route(ids::kViewScrollDown);
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{700, 999, 1000}));
    }
    // The open dialog starts in the last folder a file was opened from, else
    // in the user's home; the export dialog in the last export's folder,
    // else the documents folder, with the source's name and type.  Both are
    // remembered in the settings.
    void dialogs_StartInTheLastFolderElseHomeAndDocuments()
    {
        namespace fs = std::filesystem;
        std::vector<QString> open_folders;
        QStringList to_choose = {ToQString(V().Write("first.log", "one\n"))};
        const open_dialog desktop_open = SetOpenDialog([&](QWidget*, const QString& folder) {
            open_folders.push_back(folder);
            return to_choose;
        });
        V().Route(ids::kFileOpen);
        QVERIFY(V().WaitForTabs(1));
        fs::create_directories(V().Root() / "other");
        to_choose = {};
        V().Route(ids::kFileOpen);
        V().app->settings.open_folder = u"/no/such/folder";
        V().Route(ids::kFileOpen);
        SetOpenDialog(nullptr);
        QCOMPARE(open_folders.size(), std::size_t(3));
        QCOMPARE(open_folders[0], QDir::homePath());
        QCOMPARE(open_folders[1], ToQString((V().Root() / "files").u16string()));
        QCOMPARE(open_folders[2], QDir::homePath());
        (void)desktop_open;

        std::vector<std::pair<std::u16string, std::u16string>> asked; // folder, name
        const fs::path exported = V().Root() / "other" / "out.csv";
        panel_command_seams seams;
        seams.choose_export_path = [&](QWidget*, const std::u16string& folder, const std::u16string& name) {
            asked.emplace_back(folder, name);
            return exported.u16string();
        };
        const panel_command_seams old = SetPanelCommandSeams(seams);
        V().Route(ids::kFileExportVisible);
        V().Route(ids::kFileExportVisible);
        SetPanelCommandSeams(old);
        QCOMPARE(asked.size(), std::size_t(2));
        QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!QFileInfo(documents).isDir())
            documents = QDir::homePath();
        QCOMPARE(ToQString(asked[0].first), documents);
        QCOMPARE(asked[0].second, ExportInitialName(u"first.log"));
        QCOMPARE(asked[1].first, (V().Root() / "other").u16string());
        QCOMPARE(V().app->settings.export_folder, (V().Root() / "other").u16string());
        QVERIFY(fs::exists(exported));
    }

    // Ctrl+Home on a file opened tail-first and still being indexed towards
    // its start waits for the index (the test holds it until the job's
    // dialog turns the event loop), then shows the file's line 1 selected;
    // Ctrl+End its last line.  The line-number column and the status bar
    // show the file's line numbers; go to line refuses what is no line.
    void navigation_FileEndsGoToLineAndLineNumbersShowTheFilesLines()
    {
        V().app->settings.load_tail_first = true;
        const int total = 400000;
        const std::u16string path = V().Write("nav.log", viewer_fixture::NumberedLines(0, total, "row "));
        bool held = false;
        index_hold test_hold;
        const QMetaObject::Connection hold = QObject::connect(V().Tabs(), &QTabWidget::currentChanged, [&](int tab) {
            CLogListCtrl* shown = V().ListOf(tab);
            file_view* data = shown ? shown->File() : nullptr;
            if (!held && data && FileOf(*data).indexer().is_running()) {
                test_hold = FileOf(*data).indexer().hold();
                held = true;
            }
        });
        V().app->OpenFiles({path});
        QElapsedTimer waited;
        waited.start();
        while (V().Tabs()->count() == 0 && waited.elapsed() < kTestWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QObject::disconnect(hold);
        CLogListCtrl* list = V().ActiveList();
        QVERIFY(list);
        file_view* file = V().ActiveFile();
        // The hold stops the thread at its next pass; on a fast machine the
        // thread may have reached the end before that.
        if (!held || file->counts().line_count >= uint64_t(total))
            QSKIP("the file was indexed before its tab came up");
        QCOMPARE(list->SelectedRows(), std::vector<int>{list->RowCount() - 1});
        QLabel* line_part = V().window->StatusBar()->LinePart();
        QVERIFY(line_part->isHidden()); // the file's numbers are not known yet

        V().app->SetProgressDelayMs(0);
        QTimer::singleShot(0, [&test_hold] { test_hold.release(); });
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Home, Qt::ControlModifier);
        viewer_fixture::Settle();
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{0, 299, uint64_t(total)}));
        QCOMPARE(list->SelectedRows(), std::vector<int>{0});
        QCOMPARE(list->SelectionMark(), 0);
        QCOMPARE(list->CellText(0, 0), std::u16string(u"row 0"));
        QCOMPARE(line_part->text(), QStringLiteral("Line: 1"));
        QVERIFY(V().boxes.empty());

        QTest::keyClick(list, Qt::Key_End, Qt::ControlModifier);
        viewer_fixture::Settle();
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{total - 300, total - 1, uint64_t(total)}));
        QCOMPARE(list->SelectedRows(), std::vector<int>{299});
        QCOMPARE(line_part->text(), QStringLiteral("Line: %1").arg(total));

        // The line-number column, remembered in the settings.
        QVERIFY(!list->LineNumbersVisible());
        V().Route(ids::kViewLineNumbers);
        QVERIFY(list->LineNumbersVisible());
        QVERIFY(V().app->settings.show_line_numbers);
        QCOMPARE(list->model()->headerData(0, Qt::Vertical).toLongLong(), qlonglong(total - 299));
        QCOMPARE(list->model()->headerData(299, Qt::Vertical).toLongLong(), qlonglong(total));

        // Go to line: text that is no number and a line beyond the file are
        // refused with a message, the dialog stays; a line in another window
        // is loaded and selected.
        std::vector<QString> typed = {QStringLiteral("abc"), QStringLiteral("0"),
                                      QStringLiteral("99999999999999999999"), QStringLiteral(" 12,345 ")};
        int refused = -1;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CGoToLineDlg*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            QCOMPARE(dialog->Edit()->text(), QString::number(total));
            for (const QString& text : typed) {
                dialog->Edit()->setText(text);
                QTest::keyClick(dialog->Edit(), Qt::Key_Return);
            }
            refused = dialog->isVisible() ? -2 : static_cast<int>(V().boxes.size());
        });
        QTest::keyClick(list, Qt::Key_G, Qt::ControlModifier);
        viewer_fixture::Settle();
        QCOMPARE(refused, 3);
        for (const viewer_fixture::box& b : V().boxes)
            QCOMPARE(b.flags & MB_ICONMASK, unsigned(MB_ICONWARNING));
        QVERIFY(ToQString(V().boxes[1].text).contains(QLocale().toString(total)));
        const viewer_fixture::window_shape at = V().Shape();
        QVERIFY(at.first <= 12344 && at.last >= 12344);
        QCOMPARE(list->SelectedRows().size(), std::size_t(1));
        QCOMPARE(list->CellText(list->SelectionMark(), 0), std::u16string(u"row 12344"));
        QCOMPARE(line_part->text(), QStringLiteral("Line: 12345"));
        QCOMPARE(list->model()->headerData(list->SelectionMark(), Qt::Vertical).toLongLong(), qlonglong(12345));

        V().Route(ids::kViewLineNumbers);
        QVERIFY(!list->LineNumbersVisible());
        QVERIFY(!V().app->settings.show_line_numbers);
    }

    // The documentation's picture: the bundled application log with line
    // numbers, a row selected and the go-to-line dialog over it.
    // VARNOTH_GOTO_SCREENSHOT names the PNG.
    void pictureOfLineNumbersAndGoToLine()
    {
        const QByteArray out = qgetenv("VARNOTH_GOTO_SCREENSHOT");
        if (out.isEmpty())
            QSKIP("only for the documentation's picture");
        m_viewer.reset();
        viewer_fixture::options how;
        how.max_lines = 100000;
        how.installed_folders = {"parser", "icons"};
        m_viewer = std::make_unique<viewer_fixture>(how);
        QVERIFY(m_viewer->Ready());
        V().app->settings.show_line_numbers = true;
        const std::filesystem::path sample = V().FilePath("app.log");
        std::filesystem::copy_file(std::filesystem::path(VARNOTH_BIN_DIR) / "samples" / "sample.log", sample);
        CLogListCtrl* list = V().Open(sample.u16string());
        QVERIFY(list);
        V().window->setGeometry(0, 0, 1100, 620);
        V().window->show();
        QVERIFY(QTest::qWaitForWindowExposed(V().window, 5000));
        list->SelectRow(1203);
        V().window->UpdateStatusTexts();
        QImage picture;
        QTimer::singleShot(300, [&] {
            auto* dialog = qobject_cast<CGoToLineDlg*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            dialog->Edit()->setText(QStringLiteral("2500"));
            dialog->adjustSize();
            picture = V().window->grab().toImage();
            QPainter painter(&picture);
            const QPoint at((picture.width() - dialog->width()) / 2, (picture.height() - dialog->height()) / 2);
            painter.drawPixmap(at, dialog->grab());
            painter.setPen(QColor(90, 90, 90));
            painter.drawRect(QRect(at, dialog->size()).adjusted(-1, -1, 0, 0));
            dialog->reject();
        });
        V().Route(ids::kViewGoToLine);
        QVERIFY(!picture.isNull());
        QVERIFY(picture.save(QString::fromLocal8Bit(out)));
    }

    // Timer 100: while the pointer rests on the file-scope bar the index
    // thread of the active file stays paused (so the bar holds still under
    // it), and once the pointer leaves, the tick resumes it.  The test pauses
    // the thread itself as the tab comes up; only the tick that saw the
    // pointer over the bar can take that pause over and release it.
    void indexTimer_HoldsTheIndexPausedWhileThePointerRestsOnTheScopeBar()
    {
        V().app->settings.load_tail_first = true;
        std::string text;
        const std::string filler(48, 'x');
        for (int i = 0; i < 1000000; ++i)
            text += filler + " " + std::to_string(i) + "\n";
        const std::u16string path = V().Write("big.log", text);
        V().window->show();
        QVERIFY(QTest::qWaitForWindowExposed(V().window));

        index_control* indexer = nullptr;
        index_hold test_hold; // keeps the file unindexed until the pointer is over the bar
        const QMetaObject::Connection seen = QObject::connect(V().Tabs(), &QTabWidget::currentChanged, [&](int tab) {
            CLogListCtrl* list = V().ListOf(tab);
            file_view* file = list ? list->File() : nullptr;
            if (!indexer && file && FileOf(*file).indexer().is_running()) {
                test_hold = FileOf(*file).indexer().hold();
                indexer = &FileOf(*file).indexer();
            }
        });
        V().app->OpenFiles({path});
        QElapsedTimer waited;
        waited.start();
        while (V().Tabs()->count() == 0 && waited.elapsed() < kTestWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QObject::disconnect(seen);
        QCOMPARE(V().Tabs()->count(), 1);
        if (!indexer)
            QSKIP("the file was indexed before its tab came up");

        const QWidget* bar = V().window->FileScopeBar();
        QVERIFY(bar && bar->isVisible());
        QCursor::setPos(bar->mapToGlobal(bar->rect().center()));
        QTest::qWait(350); // three ticks
        QVERIFY(indexer->is_running());
        QCOMPARE(indexer->holds(), 2);
        // The test lets go of its own hold: the pointer's hold keeps the thread waiting.
        test_hold.release();
        QVERIFY(!indexer->runs_unpaused());
        QTest::qWait(250);
        QVERIFY(indexer->is_running());
        QVERIFY(!indexer->runs_unpaused());

        CLogListCtrl* list = V().ActiveList();
        QCursor::setPos(list->viewport()->mapToGlobal(list->viewport()->rect().center()));
        waited.restart();
        while (indexer->is_running() && waited.elapsed() < kTestWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QVERIFY2(!indexer->is_running(), "the tick never resumed the index thread it held");
        QCOMPARE(FileOf(*V().ActiveFile()).read_window_numbers().line_count, uint64_t{1000000});
    }
};

QTEST_MAIN(ViewCommandsTest)
#include "view_commands_test.moc"
