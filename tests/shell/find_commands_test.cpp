// The search as a user meets it, in the whole viewer under the offscreen
// platform: real files opened by the real work thread, the find dialog shown
// by its keys and commands, the expression typed into it, find next and
// previous by Enter, F3 and Shift+F3, find in file through the file's
// windows with its progress dialog, the colouring of search hits, and the
// options command.  The rows expected are worked out here from the lines
// written, not by the viewer's own match code.
#include "app/varnoth_app.h"
#include "dialogs/color_picker.h"
#include "dialogs/find_dlg.h"
#include "filter/filter_store.h"
#include "filter/log_filter_groups.h"
#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "regex/text_match.h"
#include "shell/app_shell.h"
#include "shell/find_commands.h"
#include "support/bounded_wait.h"
#include "ui/color_ref.h"
#include "ui/command_ids.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_list_ctrl.h"
#include "ui/log_page.h"
#include "ui/log_list_model.h"
#include "ui/overview_strip.h"
#include "ui/progress_dlg.h"
#include "ui/results_pane.h"
#include "ui/top_panel.h"
#include "ui/ui_text.h"
#include "ui/varnoth_dlg.h"
#include "viewer_fixture.h"
#include "work/file_view_engine.h"
#include "work/window_plan.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

class FindCommandsTest : public QObject {
    Q_OBJECT

private:
    using box = viewer_fixture::box;

    std::unique_ptr<viewer_fixture> m_viewer;
    CVarnothApp* m_app = nullptr;
    CVarnothDlg* m_window = nullptr;

    fs::path Root() const { return m_viewer->Root(); }

    std::u16string Write(const std::string& name, const std::vector<std::string>& lines)
    {
        const fs::path path = Root() / "files" / name;
        std::ofstream out(path, std::ios::binary);
        for (const std::string& line : lines)
            out << line << '\n';
        return path.u16string();
    }

    // Opens path through the application and waits for its tab; with
    // indexed, also for its index thread to finish.
    CLogListCtrl* Open(const std::u16string& path, bool indexed = true)
    {
        const int before = m_window->TabControl()->count();
        m_app->OpenFiles({path});
        QElapsedTimer waited;
        waited.start();
        while (m_window->TabControl()->count() == before && waited.elapsed() < kTestWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (m_window->TabControl()->count() == before)
            return nullptr;
        file_view* file = m_app->ActiveFile();
        if (file && indexed)
            FileOf(*file).indexer().wait_stopped(kTestWaitMs);
        return LogListOfPage(m_window->TabControl()->currentWidget());
    }

    // Lets the view update of the job just run reach the active list: until
    // then the list neither shows nor searches its rows.
    void Settle()
    {
        QCoreApplication::processEvents();
        CLogListCtrl* list = LogListOfPage(m_window->TabControl()->currentWidget());
        QElapsedTimer waited;
        waited.start();
        while (list && list->Model().Suspended() && waited.elapsed() < kTestWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    bool UseParser(const QString& name)
    {
        QComboBox* chooser = m_window->TopPanel()->ParserChooser();
        const int index = chooser->findText(name);
        if (index <= 0)
            return false;
        emit chooser->activated(index);
        Settle();
        return true;
    }

    CFindDlg* Dialog() const { return FindDialog(*m_window); }
    template <typename T> T* Control(int id) const { return Dialog()->findChild<T*>(IdObjectName(id)); }
    QLineEdit* Expression() const { return Control<QComboBox>(CFindDlg::kExpressionBox)->lineEdit(); }

    // Find all of text from the find dialog (Ctrl+F, then Alt+Enter in its
    // expression box), the dialog hidden again; the tab's results pane.
    CResultsPane* FindAllFromTheDialog(CLogListCtrl* list, const QString& text)
    {
        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
        Expression()->selectAll();
        QTest::keyClicks(Expression(), text);
        QTest::keyClick(Expression(), Qt::Key_Return, Qt::AltModifier);
        Settle();
        Dialog()->hide();
        return ResultsPaneOfPage(m_window->TabControl()->currentWidget());
    }
    QCheckBox* Check(int id) const { return Control<QCheckBox>(id); }

    // Types expression over the box's text and presses Enter in it.
    void TypeAndEnter(const QString& expression)
    {
        Expression()->selectAll();
        QTest::keyClicks(Expression(), expression);
        QTest::keyClick(Expression(), Qt::Key_Return);
    }

    int NotFoundBoxes() const
    {
        const std::u16string text = DictionaryText(u"IDS_MSG_NOT_FOUND");
        return static_cast<int>(std::count_if(m_viewer->boxes.begin(), m_viewer->boxes.end(), [&](const box& b) {
            return b.text == text && (b.flags & MB_ICONMASK) == MB_ICONINFORMATION;
        }));
    }

    // The cells of row joined by one blank: the line as written for the
    // parsers here, whatever columns it was cut into.
    static std::u16string RowText(const CLogListCtrl* list, int row)
    {
        std::u16string text;
        for (int c = 0; c < list->ColumnCount(); ++c) {
            const std::u16string cell = list->CellText(row, c);
            if (!cell.empty() && !text.empty())
                text.push_back(u' ');
            text += cell;
        }
        return text;
    }

    static int Selected(const CLogListCtrl* list)
    {
        const std::vector<int> rows = list->SelectedRows();
        return rows.size() == 1 ? rows.front() : -2;
    }

    // prefix, number and suffix as one line (appended: GCC 12 misreads the
    // literal-plus-string form).
    static std::string Line(const std::string& prefix, long number, const std::string& suffix = {})
    {
        std::string line = prefix;
        line += std::to_string(number);
        line += suffix;
        return line;
    }

    static std::string Lower(std::string text)
    {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }

    // The rows whose line satisfies keep, in order.
    static std::vector<int> Rows(const std::vector<std::string>& lines,
                                 const std::function<bool(const std::string&)>& keep)
    {
        std::vector<int> rows;
        for (int i = 0; i < static_cast<int>(lines.size()); ++i)
            if (keep(lines[static_cast<std::size_t>(i)]))
                rows.push_back(i);
        return rows;
    }

    static tagPARSER_ITEM Parser(const std::u16string& name, const std::vector<std::u16string>& columns)
    {
        tagPARSER_ITEM item;
        item.name = name;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            log_pattern column(columns[i]);
            if (i + 1 < columns.size())
                column.end.push_back(u' ');
            item.parser.push_back(column);
        }
        return item;
    }

private slots:
    void init()
    {
        viewer_fixture::options how;
        how.tail_on_refresh = false;
        if (QByteArray(QTest::currentTestFunction()) == "pictureOfHighlightedHits")
            how.installed_folders = {"parser", "icons"};
        how.before_window = [](CVarnothApp& app) {
            app.Parsers().push_back(Parser(u"pair", {u"Word", u"Rest"}));
            app.Parsers().push_back(Parser(u"three", {u"First", u"Second", u"Third"}));
        };
        m_viewer = std::make_unique<viewer_fixture>(how);
        QVERIFY(m_viewer->Ready());
        m_app = m_viewer->app.get();
        m_window = m_viewer->window;
        QVERIFY(Dialog());
    }
    void cleanup()
    {
        m_viewer.reset();
        m_app = nullptr;
        m_window = nullptr;
    }

    // Find all from the dialog fills the tab's results pane with every
    // matching line of the whole file (far more lines than a window holds);
    // Enter on the 500th result loads the window that holds it with its row
    // selected, F3 and Shift+F3 in the pane step through the results.
    void findAllFillsThePaneAndEnterOnTheFiveHundredthResultShowsIt()
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 6000; ++i)
            lines.push_back(i % 7 == 3 || i % 11 == 0 ? Line("x ERROR at ", i) : Line("x info at ", i));
        lines[5999] = "x error in the last line";
        const std::vector<int> hits =
            Rows(lines, [](const std::string& line) { return Lower(line).find("error") != std::string::npos; });
        QVERIFY(hits.size() > 600);
        CLogListCtrl* list = Open(Write("all.log", lines));
        QVERIFY(list);
        QCOMPARE(list->RowCount(), 300);
        auto* page = qobject_cast<CLogPage*>(m_window->TabControl()->currentWidget());
        QVERIFY(page);
        CResultsPane* pane = page->Pane();
        QVERIFY(!page->PaneShown());

        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(Dialog()->isVisible());
        Expression()->selectAll();
        QTest::keyClicks(Expression(), QStringLiteral("ERROR"));
        QTest::keyClick(Expression(), Qt::Key_Return, Qt::AltModifier);
        Settle();
        QVERIFY(page->PaneShown());
        QVERIFY(m_viewer->boxes.empty());
        // Only a find next runs on Enter; Alt+Enter walked the file once.
        const file_view* file = m_app->ActiveFile();
        std::vector<uint64_t> expected(hits.begin(), hits.end());
        QCOMPARE(file->results().copy(), expected);
        QCOMPARE(pane->Model().rowCount(), static_cast<int>(hits.size()));
        QCOMPARE(pane->Model().data(pane->Model().index(499, 0), Qt::DisplayRole).toString(),
                 QString::number(hits[499] + 1));
        QCOMPARE(pane->CountText(), ToQString(ResultsCountText(hits.size(), m_app->ActiveFile()->counts().file_size, 100)));

        // The button runs the same walk again.
        QTest::mouseClick(Control<QPushButton>(CFindDlg::kFindAllButton), Qt::LeftButton);
        Settle();
        QCOMPARE(file->results().copy(), expected);

        const auto shows = [&](int k) {
            const int64_t line = hits[static_cast<std::size_t>(k)];
            const viewer_fixture::window_shape shape = m_viewer->Shape();
            return shape.first <= line && line <= shape.last && list->SelectedRows().size() == 1
                   && list->CurrentLineNumber() == line + 1 && pane->CurrentResult() == k;
        };
        pane->List()->setFocus();
        pane->List()->setCurrentIndex(pane->Model().index(499, 0));
        QTest::keyClick(pane->List(), Qt::Key_Return);
        Settle();
        QVERIFY(hits[499] > 300); // outside the first window
        QVERIFY(shows(499));
        QTest::keyClick(pane->List(), Qt::Key_F3);
        Settle();
        QVERIFY(shows(500));
        QTest::keyClick(pane->List(), Qt::Key_F3, Qt::ShiftModifier);
        QTest::keyClick(pane->List(), Qt::Key_F3, Qt::ShiftModifier);
        Settle();
        QVERIFY(shows(498));
        // The last result is the last line: the last window, its last row.
        pane->List()->setCurrentIndex(pane->Model().index(static_cast<int>(hits.size()) - 1, 0));
        QTest::keyClick(pane->List(), Qt::Key_Return);
        Settle();
        QVERIFY(shows(static_cast<int>(hits.size()) - 1));
        QCOMPARE(m_viewer->Shape().last, 5999);
        // The pane's cells are the line's columns, read through the index:
        // the same cells as the main list's row of that line.
        const int last_result = static_cast<int>(hits.size()) - 1;
        const int row = list->SelectedRows().front();
        QCOMPARE(pane->Model().columnCount(), list->ColumnCount() + 1);
        for (int c = 0; c < list->ColumnCount(); ++c)
            QCOMPARE(pane->Model().data(pane->Model().index(last_result, c + 1), Qt::DisplayRole).toString(),
                     ToQString(list->CellText(row, c)));
        QVERIFY(RowText(list, row).find(u"error") != std::u16string::npos);

        // The overview strip beside the list marks the rows that hold
        // results; a click moves the window to the clicked row's line.
        COverviewStrip* strip = page->Strip();
        QVERIFY(strip->isVisible());
        strip->resize(COverviewStrip::kWidth, 120);
        strip->Sync();
        QCOMPARE(strip->Map().TotalLines(), uint64_t{6000});
        QCOMPARE(strip->Map().MarkedRows(file->results()), strip->Map().MarkedRows(expected));
        for (int y : {0, 37, 119}) {
            const int64_t line = strip->Map().RowToLine(y);
            QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(4, y));
            Settle();
            const viewer_fixture::window_shape shape = m_viewer->Shape();
            QVERIFY(shape.first <= line && line <= shape.last);
            QCOMPARE(list->CurrentLineNumber(), line + 1);
        }
        QVERIFY(m_viewer->boxes.empty());
    }

    // The pane paints a result's cells as the main list paints the same
    // line: each cell in the colour of the file's highlight rule that
    // matches it (rules on one column or on every column), the line number
    // column in the normal colours.
    void resultsPaneRowsTakeTheColoursOfTheListsHighlightRules()
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 40; ++i)
            lines.push_back(i % 3 == 0   ? Line("ERROR at ", i, " timeout")
                            : i % 3 == 1 ? Line("WARN at ", i)
                                         : Line("info ", i));
        CLogListCtrl* list = Open(Write("colours.log", lines));
        QVERIFY(list);
        QVERIFY(list->ColumnCount() >= 2);
        file_view* file = m_app->ActiveFile();
        CHighlight rules(3);
        rules[0].expression = u"WARN";
        rules[0].column = list->ColumnName(0);
        rules[0].back_color = 0x0080FFFF;
        rules[1].expression = u"timeout";
        rules[1].back_color = 0x00FFC080;
        rules[2].expression = u"ERROR";
        rules[2].column = list->ColumnName(0);
        rules[2].back_color = 0x008080FF;
        file->set_highlight_rules(rules);
        file->set_highlight_enabled(true);
        CResultsPane* pane = FindAllFromTheDialog(list, QStringLiteral("at"));
        auto* page = qobject_cast<CLogPage*>(m_window->TabControl()->currentWidget());
        QVERIFY(page && page->PaneShown() && page->Pane() == pane);
        QCOMPARE(pane->Model().rowCount(), 27);
        m_window->resize(900, 900);
        page->setSizes({400, 400});
        QCoreApplication::processEvents();
        list->ClearSelectedRows();
        list->ClearSelectionMark();
        pane->List()->clearSelection();
        pane->List()->setCurrentIndex({});
        list->setFocus();
        const QImage shown = list->viewport()->grab().toImage();
        const QImage results = pane->List()->viewport()->grab().toImage();
        const auto colour = [](const QImage& image, const QRect& cell) {
            return image.pixelColor(QPoint(cell.right() - 2, cell.center().y()) * image.devicePixelRatio());
        };
        const QColor base = list->palette().color(QPalette::Base);
        int coloured = 0;
        for (int k = 0; k < 8; ++k) {
            const int line = static_cast<int>(pane->Model().LineOfRow(k));
            QVERIFY(line >= 0 && line < list->RowCount());
            QVERIFY(results.rect().contains(pane->List()->visualRect(pane->Model().index(k, 2))));
            QVERIFY(shown.rect().contains(list->visualRect(list->Model().index(line, 1))));
            QCOMPARE(colour(results, pane->List()->visualRect(pane->Model().index(k, 0))), base);
            for (int c = 0; c < 2; ++c) {
                const QColor expected = colour(shown, list->visualRect(list->Model().index(line, c)));
                QCOMPARE(colour(results, pane->List()->visualRect(pane->Model().index(k, c + 1))), expected);
                coloured += expected != base;
            }
        }
        QVERIFY(coloured >= 8);
        QVERIFY(m_viewer->boxes.empty());
    }

    // With a filter on, Enter on a result whose line the filter hides moves
    // the window to that line and selects the first shown line after it, as
    // go to line does; nothing is said.
    void enterOnAResultTheFilterHidesSelectsTheNextShownLine()
    {
        m_app->settings.max_loading_lines = 300;
        std::vector<std::string> lines;
        for (int i = 0; i < 3000; ++i)
            lines.push_back(i % 10 == 3 ? Line("drop ERROR ", i) : Line("keep ok ", i));
        CLogListCtrl* list = Open(Write("hidden.log", lines));
        QVERIFY(list);
        file_view* file = m_app->ActiveFile();
        log_filter_groups groups;
        groups.AddCondition(MakeIncludeCondition(list->ColumnName(0), u"keep"));
        QVERIFY(file->set_filter_groups(groups, true));
        Settle();
        QCOMPARE(RowText(list, 3), std::u16string(u"keep ok 4"));
        CResultsPane* pane = FindAllFromTheDialog(list, QStringLiteral("ERROR"));
        QVERIFY(pane && pane->Model().rowCount() == 300);
        for (int k : {150, 0, 299}) {
            const int64_t line = pane->Model().LineOfRow(k);
            QCOMPARE(line, int64_t(k) * 10 + 3);
            pane->List()->setFocus();
            pane->List()->setCurrentIndex(pane->Model().index(k, 0));
            QTest::keyClick(pane->List(), Qt::Key_Return);
            Settle();
            const viewer_fixture::window_shape shape = m_viewer->Shape();
            QVERIFY(shape.first <= line && line <= shape.last);
            QCOMPARE(list->SelectedRows().size(), size_t(1));
            // The last result is the file's last drop line: the next kept line follows it.
            QCOMPARE(list->CurrentLineNumber(), line + 2);
        }
        QVERIFY(m_viewer->boxes.empty());
    }

    // Ctrl+C with the focus in the pane copies its selected results as the
    // list's copy gives the same lines selected in the list.
    void ctrlCInThePaneCopiesTheSelectedResultsAsTheListCopiesThem()
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 60; ++i)
            lines.push_back(i % 4 == 1 ? Line("ERROR at ", i, " x") : Line("info ", i));
        CLogListCtrl* list = Open(Write("copy.log", lines));
        QVERIFY(list);
        CResultsPane* pane = FindAllFromTheDialog(list, QStringLiteral("ERROR"));
        QVERIFY(pane && pane->Model().rowCount() == 15);
        for (const std::vector<int>& picked : {std::vector<int>{3}, std::vector<int>{0, 2, 7, 14}}) {
            list->ClearSelectedRows();
            for (int k : picked)
                list->selectionModel()->select(list->Model().index(static_cast<int>(pane->Model().LineOfRow(k)), 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
            QCOMPARE(list->SelectedRows().size(), picked.size());
            list->setFocus();
            QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
            const QString from_list = QGuiApplication::clipboard()->text();
            QVERIFY(from_list.contains(QStringLiteral("ERROR")));
            QGuiApplication::clipboard()->clear();
            list->ClearSelectedRows();
            pane->List()->setFocus();
            pane->List()->clearSelection();
            for (int k : picked)
                pane->List()->selectionModel()->select(pane->Model().index(k, 0),
                                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
            QTest::keyClick(pane->List(), Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(QGuiApplication::clipboard()->text(), from_list);
        }
        QVERIFY(m_viewer->boxes.empty());
    }

    // Find all while the index thread is held part way: the walk waits at
    // the indexed end, and meanwhile the pane already shows every result
    // found so far with the running count, the list keeps painting its rows,
    // no progress dialog stands in front, and the pane's Cancel stops the
    // walk with what it found, in order.  Walked on later, the results are
    // those of the whole file.
    void findAllShowsItsResultsWhileItRunsAndThePanesCancelStopsIt()
    {
        m_app->settings.max_loading_lines = 1000;
        const int total = 30000;
        std::vector<std::string> lines;
        lines.reserve(total);
        for (int i = 0; i < total; ++i)
            lines.push_back(Line("row ", i, i % 97 == 5 ? " needle" : ""));
        CLogListCtrl* list = Open(Write("held.log", lines));
        QVERIFY(list);
        file_view* file = m_app->ActiveFile();
        // A hold taken while no index thread runs holds the next one at its
        // start: the file opened again is indexed as far as its first window.
        index_hold test_hold = FileOf(*file).indexer().hold();
        QVERIFY(file->reload());
        Settle();
        const uint64_t indexed = FileOf(*file).line_count();
        QVERIFY(indexed > 5 && indexed < uint64_t(total));
        QVERIFY(FileOf(*file).indexer().is_running());
        std::vector<uint64_t> found;
        for (uint64_t i = 5; i < indexed; i += 97)
            found.push_back(i);
        auto* page = qobject_cast<CLogPage*>(m_window->TabControl()->currentWidget());
        QVERIFY(page);
        CResultsPane* pane = page->Pane();

        // Should the wait serve nothing, the walk is cancelled from here so
        // that the test fails instead of hanging.
        struct watchdog {
            std::atomic<bool> done{false};
            std::thread thread;
            ~watchdog()
            {
                done = true;
                if (thread.joinable())
                    thread.join();
            }
        } guard;
        native_signal& cancel = m_app->WorkThread().CancelEvent();
        guard.thread = std::thread([&guard, &cancel] {
            for (int waited = 0; waited < kTestWaitMs && !guard.done; waited += 10)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!guard.done)
                cancel.set();
        });
        bool seen = false, painting = false, no_dialog = false, cancel_enabled = false;
        QString running_text;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (!m_app->JobRunning() || pane->Model().rowCount() < static_cast<int>(found.size()))
                return;
            seen = true;
            painting = !list->Model().Suspended() && list->RowCount() > 0;
            no_dialog = QApplication::activeModalWidget() == nullptr;
            running_text = pane->CountText();
            auto* button = pane->findChild<QPushButton*>(QStringLiteral("results_cancel"));
            cancel_enabled = button && button->isEnabled() && button->isVisible();
            if (button)
                QTest::mouseClick(button, Qt::LeftButton);
            poll.stop();
        });
        poll.start(10);
        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
        Expression()->selectAll();
        QTest::keyClicks(Expression(), QStringLiteral("needle"));
        QTest::keyClick(Expression(), Qt::Key_Return, Qt::AltModifier);
        poll.stop();
        guard.done = true;
        Settle();
        QVERIFY(seen);
        QVERIFY(painting);
        QVERIFY(no_dialog);
        QVERIFY(cancel_enabled);
        QVERIFY(running_text.startsWith(QString::number(found.size()) + QStringLiteral(" ")));
        QCOMPARE(file->results().copy(), found);
        QCOMPARE(file->last_results_ending(), results_ending::cancelled);
        QVERIFY(!pane->findChild<QPushButton*>(QStringLiteral("results_cancel"))->isEnabled());
        QVERIFY(m_viewer->boxes.empty());

        test_hold.release();
        QCOMPARE(FileOf(*file).indexer().wait_stopped(kTestWaitMs), 0);
        QVERIFY(file->update_results());
        std::vector<uint64_t> all;
        for (uint64_t i = 5; i < uint64_t(total); i += 97)
            all.push_back(i);
        QCOMPARE(file->results().copy(), all);
    }

    // The count text: thousands grouped, the size in one unit with a tenth.
    void resultsCountTextGroupsDigitsAndScalesTheSize()
    {
        struct row {
            uint64_t count;
            int64_t bytes;
            int percent;
            const char16_t* text;
        };
        const row rows[] = {
            {0, 0, 0, u"0 matches in 0 B, 0 %"},
            {12345, 3328599654LL, 41, u"12,345 matches in 3.1 GB, 41 %"},
            {999, 1023, 100, u"999 matches in 1,023 B, 100 %"},
            {1000, 1024, 150, u"1,000 matches in 1.0 KB, 100 %"},
            {1234567, 1048575, -3, u"1,234,567 matches in 1.0 MB, 0 %"},
            {18446744073709551615ULL, -5, 7, u"18,446,744,073,709,551,615 matches in 0 B, 7 %"},
            {7, 5LL * 1024 * 1024 * 1024 * 1024 * 1024, 50, u"7 matches in 5,120.0 TB, 50 %"},
        };
        for (const row& r : rows)
            QCOMPARE(ToQString(ResultsCountText(r.count, r.bytes, r.percent)), ToQString(r.text));
    }

    // Ctrl+F, a word, Enter walks the matches; F3 and Shift+F3 go on from
    // the dialog and from the list; at the last match: not found.
    void keysWalkTheMatchesCaseIgnoredAndSayNotFoundAtTheLastRow()
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 40; ++i) {
            static const char* const levels[] = {"info", "error", "Error", "debug", "ERROR", "warn", "errors"};
            lines.push_back(Line(std::string(levels[(i * 5) % 7]) + " message ", i));
        }
        CLogListCtrl* list = Open(Write("walk.log", lines));
        QVERIFY(list);
        QCOMPARE(list->RowCount(), 40);
        const std::vector<int> hits =
            Rows(lines, [](const std::string& line) { return Lower(line).find("error") != std::string::npos; });
        QVERIFY(hits.size() > 4);

        // Find commands are disabled without a tab; here is one.
        QVERIFY(!Dialog()->isVisible());
        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(Dialog()->isVisible());
        QCOMPARE(Dialog()->TargetFile(), m_app->ActiveFile());
        QVERIFY(!Check(CFindDlg::kFindInFileCheck)->isChecked());

        TypeAndEnter(QStringLiteral("ERROR"));
        QCOMPARE(Selected(list), hits[0]);
        QCOMPARE(list->SelectionMark(), hits[0]);
        QTest::keyClick(Expression(), Qt::Key_Return);
        QCOMPARE(Selected(list), hits[1]);
        QTest::keyClick(Expression(), Qt::Key_F3); // in the dialog
        QCOMPARE(Selected(list), hits[2]);
        QTest::keyClick(list, Qt::Key_F3); // in the list
        QCOMPARE(Selected(list), hits[3]);
        QTest::keyClick(list, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(Selected(list), hits[2]);
        QTest::keyClick(Expression(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(Selected(list), hits[1]);
        // The direction of the search itself did not change.
        QVERIFY(!m_app->ActiveFile()->search().up);
        QVERIFY(m_viewer->boxes.empty());

        // From the last match on: not found, and the selection stays.
        list->SelectRow(hits.back());
        m_window->Router().route(ids::kEditFindNext);
        QCOMPARE(NotFoundBoxes(), 1);
        QCOMPARE(Selected(list), hits.back());
        list->SelectRow(39);
        m_window->Router().route(ids::kEditFindNext);
        QCOMPARE(NotFoundBoxes(), 2);

        // Ctrl+A and Ctrl+C stay with the expression box.
        Expression()->deselect();
        QTest::keyClick(Expression(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(Expression()->selectedText(), QStringLiteral("ERROR"));
        QCOMPARE(list->SelectedCount(), int64_t(1));
        // So do Ctrl+Home and Ctrl+End: they do not move the list.
        const std::vector<int> selected_before = list->SelectedRows();
        QTest::keyClick(Expression(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(Expression(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(list->SelectedRows(), selected_before);

        // Escape hides the dialog; the search stays with the file.
        QTest::keyClick(Expression(), Qt::Key_Escape);
        QVERIFY(!Dialog()->isVisible());
        QCOMPARE(m_app->ActiveFile()->search().expression, std::u16string(u"ERROR"));
        QCOMPARE(m_app->expression_history.front(), std::u16string(u"ERROR"));
        QCOMPARE(m_viewer->boxes.size(), size_t(2));
    }

    // Without a search text find next opens the dialog; with Ctrl+Shift+F
    // the find-in-file box is checked and Ctrl+F unchecks it again.
    void findCommandsShowTheDialogAndFollowTheActiveTab()
    {
        CLogListCtrl* first = Open(Write("first.log", {"alpha 1", "beta 2", "gamma 3"}));
        QVERIFY(first);
        QVERIFY(UseParser(QStringLiteral("pair")));
        QCOMPARE(first->ColumnCount(), 2);
        m_window->Router().route(ids::kEditFindNext);
        QVERIFY(Dialog()->isVisible());
        QVERIFY(m_viewer->boxes.empty());
        QCOMPARE(Control<QComboBox>(CFindDlg::kColumnBox)->count(), 3);

        QTest::keyClick(first, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(Check(CFindDlg::kFindInFileCheck)->isChecked());
        QTest::keyClick(first, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!Check(CFindDlg::kFindInFileCheck)->isChecked());
        TypeAndEnter(QStringLiteral("beta"));
        QCOMPARE(Selected(first), 1);
        file_view* first_file = m_app->ActiveFile();

        // A second tab: the dialog points at it and shows its (new) search.
        CLogListCtrl* second = Open(Write("second.log", {"one", "two", "three", "two again"}));
        QVERIFY(second);
        QCOMPARE(Dialog()->TargetFile(), m_app->ActiveFile());
        QCOMPARE(Dialog()->TargetList(), second);
        QCOMPARE(Expression()->text(), QString());
        QCOMPARE(Control<QComboBox>(CFindDlg::kColumnBox)->count(), 2);
        TypeAndEnter(QStringLiteral("two"));
        QCOMPARE(Selected(second), 1);
        QTest::keyClick(second, Qt::Key_F3);
        QCOMPARE(Selected(second), 3);

        // Back on the first tab: its own search again.
        m_window->TabControl()->setCurrentIndex(0);
        QCOMPARE(Dialog()->TargetFile(), first_file);
        QCOMPARE(Expression()->text(), QStringLiteral("beta"));
        QCOMPARE(Control<QComboBox>(CFindDlg::kColumnBox)->count(), 3);
        QCOMPARE(first_file->search().expression, std::u16string(u"beta"));

        // The last tab closed: no target, nothing to press.
        m_window->Router().route(ids::kFileCloseAll);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->TabControl()->count(), 0, kTestWaitMs);
        QVERIFY(!Dialog()->TargetFile());
        QVERIFY(!Dialog()->findChild<QPushButton*>(IdObjectName(CFindDlg::kFindNextButton))->isEnabled());
        QVERIFY(m_viewer->boxes.empty());
    }

    // Column -1 matches any column; a column a line did not split into never
    // matches.  A case-ignoring regular expression keeps '\D' a non-digit.
    // A wildcard is searched converted and kept as typed.
    void columnsRegularExpressionsAndWildcards()
    {
        const std::vector<std::string> lines = {
            "alpha beta gamma",    // three columns
            "target beta ",        // two columns: the third would start at the end
            "x y target",          // "target" in the third column
            "12345 67 89",         // digits only
            "w x disk is full",    // the wildcard's match in the third column
            "w x Disk quota FULL", // the same with case ignored
            "w x disk almost empty",
            "w x diskfull",
        };
        CLogListCtrl* list = Open(Write("columns.log", lines));
        QVERIFY(list);
        QVERIFY(UseParser(QStringLiteral("three")));
        QCOMPARE(list->ColumnCount(), 3);
        QCOMPARE(list->CellText(1, 1), std::u16string(u"beta"));
        QCOMPARE(list->CellText(1, 2), std::u16string());
        QCOMPARE(list->CellText(2, 2), std::u16string(u"target"));

        m_window->Router().route(ids::kEditFind);
        QComboBox* column = Control<QComboBox>(CFindDlg::kColumnBox);
        QCOMPARE(column->count(), 4);
        QCOMPARE(column->itemText(3), QStringLiteral("Third"));

        // Any column: rows 1 and 2; the third column: row 2 only.
        TypeAndEnter(QStringLiteral("target"));
        QCOMPARE(Selected(list), 1);
        column->setCurrentIndex(3);
        QTest::keyClick(Expression(), Qt::Key_Return); // the column changed: from the top
        QCOMPARE(Selected(list), 2);
        QTest::keyClick(Expression(), Qt::Key_Return);
        QCOMPARE(NotFoundBoxes(), 1);
        // "beta" stands in row 1's second column, and row 1 has no third.
        TypeAndEnter(QStringLiteral("beta"));
        QCOMPARE(NotFoundBoxes(), 2);
        column->setCurrentIndex(0);

        // '\D' with case ignored stays a non-digit (each cell is tried on
        // its own): the digits-only row 3 is passed over, and '\d' finds it.
        Check(CFindDlg::kRegexpCheck)->click();
        TypeAndEnter(QStringLiteral("^\\D\\D"));
        QCOMPARE(Selected(list), 0);
        list->SelectRow(2);
        QTest::keyClick(Expression(), Qt::Key_Return);
        QCOMPARE(Selected(list), 4);
        TypeAndEnter(QStringLiteral("^\\d+$"));
        QCOMPARE(Selected(list), 3);
        QTest::keyClick(Expression(), Qt::Key_Return);
        QCOMPARE(NotFoundBoxes(), 3);
        TypeAndEnter(QStringLiteral("^X$"));
        QCOMPARE(Selected(list), 2); // case ignored

        // The wildcard: converted for the search, kept as typed.
        Check(CFindDlg::kWildcardCheck)->click();
        QVERIFY(!Check(CFindDlg::kRegexpCheck)->isChecked());
        TypeAndEnter(QStringLiteral("disk*full"));
        QCOMPARE(Selected(list), 4);
        QTest::keyClick(Expression(), Qt::Key_Return);
        QCOMPARE(Selected(list), 5);
        QTest::keyClick(Expression(), Qt::Key_Return);
        QCOMPARE(Selected(list), 7);
        QTest::keyClick(Expression(), Qt::Key_Return);
        QCOMPARE(NotFoundBoxes(), 4);
        const CSearchInfo& stored = m_app->ActiveFile()->search();
        QCOMPARE(stored.expression, std::u16string(u"disk*full"));
        QCOMPARE(stored.pattern, WildcardToRegex(u"disk*full"));
        QCOMPARE(m_app->expression_history.front(), std::u16string(u"disk*full"));
        QCOMPARE(Control<QComboBox>(CFindDlg::kExpressionBox)->itemText(0), QStringLiteral("disk*full"));
        QCOMPARE(Expression()->text(), QStringLiteral("disk*full"));
        // Case sensitive now: "Disk quota FULL" is passed over.
        Check(CFindDlg::kCaseSensitiveCheck)->click();
        list->SelectRow(3);
        QTest::keyClick(Expression(), Qt::Key_Return);
        QCOMPARE(Selected(list), 4);
        QTest::keyClick(Expression(), Qt::Key_Return);
        QCOMPARE(Selected(list), 7);
        QCOMPARE(static_cast<int>(m_viewer->boxes.size()), NotFoundBoxes());
    }

    // Only the direction or the letter case changed: on from the selection.
    // The expression changed: from the first (or, upwards, the last) row.
    void directionAndCaseChangesContinueFromTheSelection()
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 40; ++i)
            lines.push_back(Line(i % 3 == 1 ? "Hit " : i % 5 == 2 ? "hit " : "miss ", i));
        CLogListCtrl* list = Open(Write("direction.log", lines));
        QVERIFY(list);
        const std::vector<int> any =
            Rows(lines, [](const std::string& line) { return Lower(line).rfind("hit", 0) == 0; });
        const std::vector<int> lower = Rows(lines, [](const std::string& line) { return line.rfind("hit", 0) == 0; });
        // The next (or previous) row of rows after (before) row.
        auto after = [](const std::vector<int>& rows, int row) {
            return *std::upper_bound(rows.begin(), rows.end(), row);
        };
        auto before = [](const std::vector<int>& rows, int row) {
            return *(std::lower_bound(rows.begin(), rows.end(), row) - 1);
        };
        m_window->Router().route(ids::kEditFind);
        TypeAndEnter(QStringLiteral("hit"));
        QCOMPARE(Selected(list), any[0]);
        for (int i = 0; i < 6; ++i)
            QTest::keyClick(Expression(), Qt::Key_Return);
        const int at = any[6];
        QCOMPARE(Selected(list), at);

        // Case sensitive: the next lower-case hit after the selection, not the first.
        Check(CFindDlg::kCaseSensitiveCheck)->click();
        QTest::keyClick(Expression(), Qt::Key_Return);
        QVERIFY(after(lower, at) != lower[0]);
        QCOMPARE(Selected(list), after(lower, at));
        // Upwards: the lower-case hit before it, not the last one.
        const int from = Selected(list);
        Control<QRadioButton>(CFindDlg::kUpRadio)->click();
        QTest::keyClick(Expression(), Qt::Key_Return);
        QVERIFY(before(lower, from) != lower.back());
        QCOMPARE(Selected(list), before(lower, from));
        // Case ignored again, still upwards: the hit just above.
        const int up_from = Selected(list);
        Check(CFindDlg::kCaseSensitiveCheck)->click();
        QTest::keyClick(Expression(), Qt::Key_Return);
        QCOMPARE(Selected(list), before(any, up_from));
        QCOMPARE(NotFoundBoxes(), 0);

        // A new expression, upwards: from the last row.
        TypeAndEnter(QStringLiteral("Hi"));
        QCOMPARE(Selected(list), any.back());
        // A new expression, downwards: from the first row.
        Control<QRadioButton>(CFindDlg::kDownRadio)->click();
        list->SelectRow(any[5]);
        TypeAndEnter(QStringLiteral("miss"));
        QCOMPARE(Selected(list), 0);
        QVERIFY(m_viewer->boxes.empty());
    }

    // Find in file down goes through the windows after the view and lands on
    // the row; at a window that reaches the end: not found at once, and the
    // last row focused.
    void findInFileDownThroughTheWindowsAndAtTheLastWindow()
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 1000; ++i)
            lines.push_back(Line("entry ", i, i == 777 || i == 950 ? " needle" : ""));
        CLogListCtrl* list = Open(Write("windows.log", lines));
        QVERIFY(list);
        file_view* file = m_app->ActiveFile();
        QCOMPARE(list->RowCount(), 300);

        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(Check(CFindDlg::kFindInFileCheck)->isChecked());
        TypeAndEnter(QStringLiteral("needle"));
        Settle();
        int64_t first = -1, last = -1;
        FileOf(*file).window(first, last);
        QVERIFY(first > 0 && first <= 777 && last >= 777);
        QCOMPARE(RowText(list, Selected(list)), std::u16string(u"entry 777 needle"));
        QCOMPARE(list->SelectionMark(), Selected(list));
        QTest::keyClick(list, Qt::Key_F3);
        Settle();
        QCOMPARE(RowText(list, Selected(list)), std::u16string(u"entry 950 needle"));
        QVERIFY(m_viewer->boxes.empty());

        // The window now reaches the last line and indexing is over.
        FileOf(*file).window(first, last);
        QCOMPARE(last, int64_t(999));
        const uint64_t jobs = m_app->WorkThread().LastJobSerial();
        QTest::keyClick(list, Qt::Key_F3);
        Settle();
        QCOMPARE(NotFoundBoxes(), 1);
        QCOMPARE(m_app->WorkThread().LastJobSerial(), jobs + 1); // one job, no window parsed
        int64_t first_after = -1, last_after = -1;
        FileOf(*file).window(first_after, last_after);
        QCOMPARE(first_after, first);
        QCOMPARE(last_after, last);
        QCOMPARE(RowText(list, Selected(list)), std::u16string(u"entry 950 needle")); // kept

        // Up from there finds the row before again, in the window before.
        QTest::keyClick(list, Qt::Key_F3, Qt::ShiftModifier);
        Settle();
        QCOMPARE(RowText(list, Selected(list)), std::u16string(u"entry 777 needle"));
        QTest::keyClick(list, Qt::Key_F3, Qt::ShiftModifier);
        Settle();
        QCOMPARE(NotFoundBoxes(), 2);
        QCOMPARE(RowText(list, Selected(list)), std::u16string(u"entry 777 needle")); // kept
    }

    // Finding nothing leaves the window and the selection where they were,
    // in both directions, also when the search walked windows on the way.
    void findInFileThatFindsNothingKeepsTheViewAndTheSelection()
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 1000; ++i)
            lines.push_back(Line("entry ", i));
        CLogListCtrl* list = Open(Write("nothing.log", lines));
        QVERIFY(list);
        file_view* file = m_app->ActiveFile();
        QVERIFY(file->move_window(PlanHolding(file->place(), 500)));
        Settle();
        const viewer_fixture::window_shape before = m_viewer->Shape();
        QVERIFY(before.first > 0 && before.last < 999);
        QVERIFY(list->SelectRow(42));
        const std::u16string selected = RowText(list, 42);

        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        for (const bool up : {false, true}) {
            Control<QRadioButton>(up ? CFindDlg::kUpRadio : CFindDlg::kDownRadio)->click();
            // A literal (scanned for) and a pattern every line's bytes may start
            // (each window parsed and tested).
            for (const QString& expression : {QStringLiteral("absent"), QStringLiteral(".*zz$")}) {
                Check(CFindDlg::kRegexpCheck)->setChecked(expression.startsWith(QLatin1Char('.')));
                const int boxes = NotFoundBoxes();
                TypeAndEnter(expression);
                Settle();
                QCOMPARE(NotFoundBoxes(), boxes + 1);
                QCOMPARE(m_viewer->Shape(), before);
                QCOMPARE(Selected(list), 42);
                QCOMPARE(list->SelectionMark(), 42);
                QCOMPARE(RowText(list, 42), selected);
            }
        }
    }

    // A tail-first file shows its end while its index thread reads towards
    // its start: find in file upwards waits for those lines at the top.
    void findInFileUpWhileATailFirstFileStillIndexes()
    {
        m_app->settings.load_tail_first = true;
        m_app->settings.max_loading_lines = 1000;
        const int total = 400000;
        std::vector<std::string> lines;
        lines.reserve(total);
        for (int i = 0; i < total; ++i)
            lines.push_back(Line("row ", i, i == 5 ? " needle" : ""));
        const std::u16string path = Write("tail.log", lines);
        // The index thread is held where it is as the tab comes up, so the
        // search surely begins before the top of the file is indexed.
        bool held = false;
        index_hold test_hold;
        const QMetaObject::Connection hold =
            connect(m_window->TabControl(), &QTabWidget::currentChanged, this, [&](int tab) {
                auto* shown = LogListOfPage(m_window->TabControl()->widget(tab));
                file_view* data = shown ? shown->File() : nullptr;
                if (!held && data && FileOf(*data).indexer().is_running()) {
                    test_hold = FileOf(*data).indexer().hold();
                    held = true;
                }
            });
        CLogListCtrl* list = Open(path, false);
        disconnect(hold);
        QVERIFY(list);
        file_view* file = m_app->ActiveFile();
        if (!held)
            QSKIP("the file was indexed before its tab came up");
        QVERIFY(FileOf(*file).line_count() < uint64_t(total));

        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        Control<QRadioButton>(CFindDlg::kUpRadio)->click();
        // The search begins with the top unindexed; the test's hold ends once
        // the job's dialog turns the event loop, and the search goes on.
        m_app->SetProgressDelayMs(0);
        QTimer::singleShot(0, this, [&test_hold] { test_hold.release(); });
        TypeAndEnter(QStringLiteral("needle"));
        Settle();
        QVERIFY2(m_viewer->boxes.empty(),
                 qPrintable(ToQString(m_viewer->boxes.empty() ? u"" : m_viewer->boxes[0].text)));
        QCOMPARE(RowText(list, Selected(list)), std::u16string(u"row 5 needle"));
        QVERIFY(FileOf(*file).indexer().wait_stopped(kTestWaitMs) == 0);
        QCOMPARE(FileOf(*file).line_count(), uint64_t(total));
    }

    // The progress dialog of a find in file that takes long has Cancel; the
    // search stops at the row it reached and selects it.
    void findInFileCancelledInItsProgressDialogSelectsTheRowReached()
    {
        const int total = 300000;
        std::vector<std::string> lines;
        lines.reserve(total);
        for (int i = 0; i < total; ++i)
            lines.push_back(Line("value ", i * 7L));
        CLogListCtrl* list = Open(Write("long.log", lines));
        QVERIFY(list);
        file_view* file = m_app->ActiveFile();
        m_app->SetProgressDelayMs(0);

        bool seen = false, cancellable = false;
        QTimer poll;
        QElapsedTimer deadline;
        deadline.start();
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto* dialog = qobject_cast<CProgressDlg*>(QApplication::activeModalWidget())) {
                seen = true;
                cancellable = dialog->CancelButton()->isVisible() && dialog->CancelButton()->isEnabled();
                dialog->CancelButton()->click();
                poll.stop();
            } else if (deadline.elapsed() > kTestWaitMs) {
                m_app->WorkThread().CancelEvent().set();
                poll.stop();
            }
        });
        poll.start(5);
        m_window->Router().route(ids::kEditFindInFile);
        // No literal to look for: every line is tested, which takes a while.
        Check(CFindDlg::kRegexpCheck)->click();
        TypeAndEnter(QStringLiteral("^\\w+ \\d*[a-z]$"));
        Settle();
        poll.stop();
        QVERIFY(seen);
        QVERIFY(cancellable);
        QCOMPARE(NotFoundBoxes(), 0);
        QCOMPARE(list->SelectedRows().size(), size_t(1));
        QCOMPARE(list->SelectionMark(), Selected(list));
        int64_t first = -1, last = -1;
        FileOf(*file).window(first, last);
        QVERIFY(last < total - 1);                               // stopped before the end
        QVERIFY(m_app->WorkThread().CancelEvent().wait(0) != 0); // taken by the search
        QVERIFY(m_viewer->boxes.empty());
    }

    // Highlight with column 1 colours the matching cells of the second
    // column only; any column colours both; clear highlight none.
    void highlightColoursMatchingCellsOfTheSearchColumn()
    {
        const std::vector<std::string> lines = {
            "error warning-error", "info error", "error info", "info info", "ERROR fatal", "debug Error",
        };
        CLogListCtrl* list = Open(Write("colours.log", lines));
        QVERIFY(list);
        QVERIFY(UseParser(QStringLiteral("pair")));
        m_window->resize(900, 500);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window, 5000));

        m_window->Router().route(ids::kEditFind);
        const uint32_t chosen = 0x0040C0FF; // orange-ish, 0x00BBGGRR
        Dialog()
            ->findChild<CFGColorPicker*>(IdObjectName(CFindDlg::kColorButton))
            ->SetColorDialog([&](uint32_t, QWidget*) { return std::optional<uint32_t>(chosen); });
        Dialog()->findChild<CFGColorPicker*>(IdObjectName(CFindDlg::kColorButton))->PickColor();
        QCOMPARE(m_app->settings.search_highlight, int32_t(chosen));
        Check(CFindDlg::kHighlightCheck)->click();
        Control<QComboBox>(CFindDlg::kColumnBox)->setCurrentIndex(2);
        TypeAndEnter(QStringLiteral("error"));
        QCOMPARE(Selected(list), 0);

        const QColor hit = QColor(0xFF, 0xC0, 0x40);
        auto painted = [&] {
            list->ClearSelectedRows();
            list->ClearSelectionMark();
            const QImage image = list->viewport()->grab().toImage();
            std::vector<std::vector<bool>> marked;
            for (int r = 0; r < list->RowCount(); ++r) {
                std::vector<bool> row;
                for (int c = 0; c < 2; ++c) {
                    const QRect cell = list->visualRect(list->Model().index(r, c));
                    const QPoint at(cell.right() - 2, cell.center().y());
                    row.push_back(image.pixelColor(at * image.devicePixelRatio()) == hit);
                }
                marked.push_back(row);
            }
            return marked;
        };
        auto expected = [&](int column) {
            std::vector<std::vector<bool>> marked;
            for (const std::string& line : lines) {
                const std::string word = line.substr(0, line.find(' '));
                const std::string rest = line.substr(line.find(' ') + 1);
                marked.push_back({column != 1 && Lower(word).find("error") != std::string::npos,
                                  column != 0 && Lower(rest).find("error") != std::string::npos});
            }
            return marked;
        };
        QCOMPARE(painted(), expected(1));
        Control<QComboBox>(CFindDlg::kColumnBox)->setCurrentIndex(0);
        QTest::keyClick(Expression(), Qt::Key_Return);
        QCOMPARE(painted(), expected(-1));

        QTest::mouseClick(Dialog()->findChild<QPushButton*>(IdObjectName(CFindDlg::kClearHighlightButton)),
                          Qt::LeftButton);
        QVERIFY(!m_app->ActiveFile()->search().highlight);
        QCOMPARE(painted(), std::vector<std::vector<bool>>(lines.size(), std::vector<bool>(2, false)));
        QVERIFY(m_viewer->boxes.empty());
    }

    // The picture in the documentation: the bundled application log with
    // the hits of a search highlighted and the find dialog beside them.
    // VARNOTH_SEARCH_SCREENSHOT names a PNG made from the two windows'
    // contents; VARNOTH_SEARCH_SCREENSHOT_HOLD_MS keeps them shown that long
    // (for a picture of a real screen).
    void pictureOfHighlightedHits()
    {
        const QByteArray out = qgetenv("VARNOTH_SEARCH_SCREENSHOT");
        const int hold_ms = qEnvironmentVariableIntValue("VARNOTH_SEARCH_SCREENSHOT_HOLD_MS");
        if (out.isEmpty() && hold_ms <= 0)
            QSKIP("only for the documentation's picture");
        m_app->settings.max_loading_lines = 100000;
        const fs::path sample = Root() / "files" / "app.log";
        fs::copy_file(fs::path(VARNOTH_BIN_DIR) / "samples" / "sample.log", sample);
        CLogListCtrl* list = Open(sample.u16string());
        QVERIFY(list);
        m_window->setGeometry(0, 0, 1280, 760);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window, 5000));

        // Beside the hits, placed before it is first shown.
        Dialog()->adjustSize();
        Dialog()->move(m_window->x() + m_window->width() - Dialog()->width() - 40,
                       m_window->y() + m_window->height() - Dialog()->height() - 70);
        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(QTest::qWaitForWindowExposed(Dialog(), 5000));
        Check(CFindDlg::kHighlightCheck)->click();
        TypeAndEnter(QStringLiteral("scheduled job"));
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(Expression(), Qt::Key_F3);
        QVERIFY(m_viewer->boxes.empty());
        QVERIFY(Selected(list) >= 0);
        QTest::qWait(300);
        if (hold_ms > 0)
            QTest::qWait(hold_ms);
        if (!out.isEmpty()) {
            // The main window with the dialog painted where it stands, in a
            // thin frame (the platform draws no window frames).
            QImage picture = m_window->grab().toImage();
            QPainter painter(&picture);
            const QPoint at = Dialog()->pos() - m_window->pos();
            painter.drawPixmap(at, Dialog()->grab());
            painter.setPen(QColor(0x70, 0x70, 0x70));
            painter.drawRect(QRect(at, Dialog()->size()).adjusted(-1, -1, 0, 0));
            painter.end();
            QVERIFY(picture.save(QString::fromUtf8(out)));
        }
    }

    // The options command: 0 and an empty field are refused, 10000000 is
    // taken for the next start, the others at once.  The find dialog is
    // disabled while it runs.
    void optionsCommandChecksTheMaximumAndAppliesTheRest()
    {
        std::vector<QString> answers = {QStringLiteral("0"), QString(), QStringLiteral("10000001"),
                                        QStringLiteral("10000000")};
        std::size_t next = 0;
        std::vector<bool> find_dialog_enabled;
        QTimer poll;
        QElapsedTimer deadline;
        deadline.start();
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal->objectName() == IdObjectName(144)) {
                find_dialog_enabled.push_back(Dialog()->isEnabled());
                if (next < answers.size()) {
                    modal->findChild<QLineEdit*>(IdObjectName(1065))->setText(answers[next++]);
                    if (next == answers.size()) {
                        modal->findChild<QRadioButton*>(IdObjectName(1069))->click();
                        QCheckBox* tail = modal->findChild<QCheckBox*>(IdObjectName(1070));
                        tail->setChecked(!tail->isChecked());
                    }
                    modal->findChild<QPushButton*>(IdObjectName(1))->click();
                }
            }
            if (deadline.elapsed() > kTestWaitMs)
                if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    dialog->reject();
        });
        poll.start(10);
        const bool tail_on_refresh = m_app->settings.tail_on_refresh;
        const unsigned in_force = m_app->settings.max_loading_lines;
        // The find dialog, open beside the window, follows it while the
        // options dialog runs over it.
        QVERIFY(Open(Write("options.log", {"one line"})));
        m_window->Router().route(ids::kEditFind);
        QVERIFY(Dialog()->isVisible());
        QVERIFY(Dialog()->isEnabled());
        m_window->Router().route(ids::kEditOptions);
        poll.stop();
        QCOMPARE(find_dialog_enabled, std::vector<bool>(answers.size(), false));
        QVERIFY(Dialog()->isEnabled());
        QCOMPARE(next, answers.size());
        QCOMPARE(m_viewer->boxes.size(), size_t(3));
        QCOMPARE(m_viewer->boxes[0].text, std::u16string(u"Enter an integer between 1 and 10000000."));
        QCOMPARE(m_viewer->boxes[1].text, std::u16string(u"Enter an integer."));
        QCOMPARE(m_viewer->boxes[2].text, std::u16string(u"Enter an integer between 1 and 10000000."));
        QCOMPARE(m_app->settings.max_loading_lines_to_save, 10000000u);
        QCOMPARE(m_app->settings.max_loading_lines, in_force); // at the next start
        QCOMPARE(m_app->settings.column_separator, std::u16string(u"\t"));
        QCOMPARE(m_app->settings.tail_on_refresh, !tail_on_refresh);
    }
};

QTEST_MAIN(FindCommandsTest)
#include "find_commands_test.moc"
