// The filter and highlight setting commands in the whole viewer under the
// offscreen platform, on the bundled sample with its shipped parser: the
// dialogs driven by keys and clicks, Apply running the filter through the
// file's view, and the results checked against answers worked out here: a
// plain scan of the sample's lines, a plain comparison of the ISO time
// texts, and the colour decision for the painted cells.
#include "dialogs/color_picker.h"
#include "dialogs/filter_dlg.h"
#include "dialogs/filter_edit_dlg.h"
#include "dialogs/highlight_dlg.h"
#include "dialogs/text_input_dlg.h"
#include "dialogs/value_input_dlg.h"
#include "filter/filter_store.h"
#include "highlight/cell_colors.h"
#include "ui/color_ref.h"
#include "ui/command_ids.h"
#include "ui/log_list_delegate.h"
#include "ui/results_pane.h"
#include "ui/ui_text.h"
#include "viewer_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

template <typename T> T* Child(QWidget* dialog, int id)
{
    return dialog->findChild<T*>(IdObjectName(id));
}

QWidget* Focused()
{
    QWidget* window = QApplication::activeModalWidget();
    QWidget* focus = window ? window->focusWidget() : QApplication::focusWidget();
    return focus ? focus : window;
}

// Runs action on the next visible modal dialog of type T, polled from the
// event loop that the dialog's exec runs; gives up (rejecting every open
// dialog) after the test wait.
template <typename T> bool WhenModal(std::function<void(T*)> action, std::function<void()> open)
{
    auto ran = std::make_shared<bool>(false);
    QElapsedTimer clock;
    clock.start();
    QPointer<QTimer> poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&, ran] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget()); dialog && dialog->isVisible()) {
            poll->stop();
            *ran = true;
            dialog->activateWindow();
            QApplication::setActiveWindow(dialog);
            action(dialog);
        } else if (clock.elapsed() > kTestWaitMs) {
            poll->stop();
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* shown = qobject_cast<QDialog*>(widget); shown && shown->isVisible())
                    shown->reject();
        }
    });
    poll->start(10);
    open();
    delete poll.data();
    return *ran;
}

void Replace(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// One condition typed into the condition dialog and added with Enter.
void AddTyped(CFilterEditDlg* edit, const QString& column, int type, const QString& expression, bool logic_or)
{
    Replace(Child<QComboBox>(edit, CFilterEditDlg::kColumnBox)->lineEdit(), column);
    Child<QComboBox>(edit, CFilterEditDlg::kCompareBox)->setCurrentIndex(type);
    Child<QComboBox>(edit, CFilterEditDlg::kLogicBox)->setCurrentIndex(logic_or ? 1 : 0);
    Replace(Child<QComboBox>(edit, CFilterEditDlg::kExpressionBox)->lineEdit(), expression);
    QTest::keyClick(Focused(), Qt::Key_Return);
}

struct sample_line {
    std::string time, level, thread, message;
};

// The sample's lines cut by hand: "TIME [LEVEL] [THREAD] MESSAGE".
std::vector<sample_line> ReadSample(const fs::path& path)
{
    std::vector<sample_line> lines;
    std::ifstream in(path, std::ios::binary);
    std::string text;
    while (std::getline(in, text)) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        const std::size_t level = text.find(" [");
        const std::size_t level_end = text.find("] [", level);
        const std::size_t thread_end = text.find("] ", level_end + 3);
        if (level == std::string::npos || level_end == std::string::npos || thread_end == std::string::npos)
            continue;
        lines.push_back({text.substr(0, level), text.substr(level + 2, level_end - level - 2),
                         text.substr(level_end + 3, thread_end - level_end - 3), text.substr(thread_end + 2)});
    }
    return lines;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

class SettingsCommandsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<viewer_fixture> m_viewer;
    fs::path m_sample;

    CLogListCtrl* OpenSample()
    {
        m_sample = m_viewer->Root() / "files" / "app.log";
        fs::copy_file(fs::path(VARNOTH_BIN_DIR) / "samples" / "sample.log", m_sample);
        CLogListCtrl* list = m_viewer->Open(m_sample.u16string());
        m_viewer->Settle();
        return list;
    }

    // The rows the list shows, each cut as the scan cuts them.
    static std::vector<std::string> Shown(CLogListCtrl* list)
    {
        std::vector<std::string> rows;
        for (int row = 0; row < list->RowCount(); ++row) {
            std::string text;
            for (int column = 0; column < list->ColumnCount(); ++column)
                text += ToQString(list->CellText(row, column)).toStdString() + "|";
            rows.push_back(text);
        }
        return rows;
    }
    static std::string Joined(const sample_line& line)
    {
        return line.time + "|" + line.level + "|" + line.thread + "|" + line.message + "|";
    }
    fs::path WriteOne(const std::string& line) const
    {
        const fs::path path = m_viewer->Root() / "one.txt";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << line << '\n';
        return path;
    }
    QString FilteredText(std::size_t count) const
    {
        return Text(u"IDS_STATUSBAR_TEXT_FILTERED") + QStringLiteral(": %1").arg(count);
    }

    // The rules of the documentation's pictures: errors and warnings by
    // their level, timeouts by their message.
    static CHighlight SampleRules()
    {
        CHighlight rules(3);
        rules[0].expression = u"ERROR";
        rules[0].column = u"Level";
        rules[0].back_color = 0x008080FF;
        rules[1].expression = u"WARN";
        rules[1].column = u"Level";
        rules[1].back_color = 0x0080FFFF;
        rules[2].expression = u"Timeout";
        rules[2].column = u"Message";
        rules[2].back_color = 0x00FFC080;
        return rules;
    }

private slots:
    void init()
    {
        viewer_fixture::options how;
        how.max_lines = 100000;
        how.installed_folders = {"parser"};
        if (QByteArray(QTest::currentTestFunction()) == "pictureOfFilteredAndHighlighted"
            || QByteArray(QTest::currentTestFunction()) == "pictureOfResultsPane")
            how.installed_folders.push_back("icons");
        m_viewer = std::make_unique<viewer_fixture>(how);
        QVERIFY(m_viewer->Ready());
    }
    void cleanup() { m_viewer.reset(); }

    // The filter dialog's "filter_whole_file" button applies the conditions
    // and lists every line of the whole file that passes them in the results
    // pane; the toolbar's command runs the same walk again.  The lines are
    // those of a plain scan of the sample.
    void filterWholeFileFromTheDialogListsThePlainScansLines()
    {
        CLogListCtrl* list = OpenSample();
        QVERIFY(list);
        file_view* file = m_viewer->ActiveFile();
        QVERIFY(!m_viewer->window->ToolBar()->findChild<QToolButton*>(IdObjectName(ids::kViewFilterWholeFile))
                     ->isEnabled());
        std::vector<uint64_t> expected;
        {
            std::ifstream in(m_sample, std::ios::binary);
            std::string text;
            for (uint64_t n = 0; std::getline(in, text); ++n) {
                const std::vector<sample_line> cut = ReadSample(WriteOne(text));
                QCOMPARE(cut.size(), std::size_t{1}); // every line of the sample splits
                if (cut[0].level == "ERROR")
                    expected.push_back(n);
            }
        }
        QVERIFY(!expected.empty());
        const bool ran = WhenModal<CFilterDlg>(
            [](CFilterDlg* dialog) {
                auto* whole = dialog->findChild<QPushButton*>(QStringLiteral("filter_whole_file"));
                QVERIFY(whole && !whole->isHidden() && !whole->isEnabled());
                dialog->AddCondition(MakeIncludeCondition(u"Level", u"ERROR"));
                QVERIFY(whole->isEnabled());
                QTest::mouseClick(whole, Qt::LeftButton);
            },
            [this] { m_viewer->Route(ids::kViewFilterSetting); });
        QVERIFY(ran);
        m_viewer->Settle();
        QVERIFY(file->filter_enabled());
        QCOMPARE(file->results().copy(), expected);
        auto* page = qobject_cast<CLogPage*>(m_viewer->Tabs()->currentWidget());
        QVERIFY(page && page->PaneShown());
        QCOMPARE(page->Pane()->Model().rowCount(), static_cast<int>(expected.size()));

        // The toolbar button, enabled now, walks again to the same lines.
        m_viewer->window->UpdateToolbar();
        QToolButton* button =
            m_viewer->window->ToolBar()->findChild<QToolButton*>(IdObjectName(ids::kViewFilterWholeFile));
        QVERIFY(button && button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        m_viewer->Settle();
        QCOMPARE(file->results().copy(), expected);
        QVERIFY(m_viewer->boxes.empty());
    }

    // Level = ERROR OR Level = WARN, AND Message contains "took": the rows
    // a plain scan of the sample selects, saved as a favourite on the way.
    void groupedFilterShowsTheRowsOfAPlainScan()
    {
        CLogListCtrl* list = OpenSample();
        QVERIFY(list);
        QCOMPARE(list->ColumnCount(), 4);
        QCOMPARE(list->ColumnName(1), std::u16string(u"Level"));
        const bool ran = WhenModal<CFilterDlg>(
            [this](CFilterDlg* dialog) {
                QCOMPARE(dialog->Columns().at(u"Time").data_type, DATA_TYPE_DATETIME);
                const bool added = WhenModal<CFilterEditDlg>(
                    [](CFilterEditDlg* edit) {
                        AddTyped(edit, "Level", FILTER_TYPE_EQUAL, "ERROR", true);
                        AddTyped(edit, "Level", FILTER_TYPE_EQUAL, "WARN", true);
                        AddTyped(edit, "Message", FILTER_TYPE_CONTAIN, "took", false);
                        QTest::keyClick(Focused(), Qt::Key_Escape);
                    },
                    [dialog] {
                        QTest::mouseClick(Child<QPushButton>(dialog, CFilterDlg::kAddButton), Qt::LeftButton);
                    });
                QVERIFY(added);
                QCOMPARE(Child<QTableWidget>(dialog, CFilterDlg::kConditionList)->rowCount(), 3);
                const bool named = WhenModal<CTextInputDlg>(
                    [](CTextInputDlg*) {
                        QTest::keyClicks(Focused(), QStringLiteral("slow trouble"));
                        QTest::keyClick(Focused(), Qt::Key_Return);
                    },
                    [dialog] {
                        QTest::mouseClick(Child<QPushButton>(dialog, CFilterDlg::kAddFavoriteButton), Qt::LeftButton);
                    });
                QVERIFY(named);
                QTest::mouseClick(Child<QPushButton>(dialog, 1), Qt::LeftButton);
            },
            [this] { m_viewer->Route(ids::kViewFilterSetting); });
        QVERIFY(ran);
        m_viewer->Settle();

        auto scan = [this](const std::string& word) {
            std::vector<std::string> expected;
            for (const sample_line& line : ReadSample(m_sample))
                if ((line.level == "ERROR" || line.level == "WARN")
                    && Lower(line.message).find(word) != std::string::npos)
                    expected.push_back(Joined(line));
            return expected;
        };
        // In the sample only other levels take that long: no row at all.
        std::vector<std::string> expected = scan("took");
        file_view* file = m_viewer->ActiveFile();
        QVERIFY(file->filter_enabled());
        QCOMPARE(file->filter_groups().ConditionCount(), std::size_t{3});
        QCOMPARE(Shown(list), expected);
        QCOMPARE(m_viewer->window->StatusPart(1)->text(), FilteredText(expected.size()));
        QVERIFY(m_viewer->boxes.empty());

        // The message condition edited to a word those levels do use, in
        // other capitals (the condition is not case-sensitive).
        const bool edited = WhenModal<CFilterDlg>(
            [](CFilterDlg* dialog) {
                auto* conditions = Child<QTableWidget>(dialog, CFilterDlg::kConditionList);
                QCOMPARE(conditions->rowCount(), 3);
                conditions->setFocus();
                conditions->selectRow(2);
                const bool changed = WhenModal<CFilterEditDlg>(
                    [](CFilterEditDlg* edit) {
                        QCOMPARE(Child<QComboBox>(edit, CFilterEditDlg::kColumnBox)->currentText(),
                                 QStringLiteral("Message"));
                        Replace(Child<QComboBox>(edit, CFilterEditDlg::kExpressionBox)->lineEdit(), "timeout");
                        QTest::keyClick(Focused(), Qt::Key_Return);
                    },
                    [conditions] { QTest::keyClick(conditions, Qt::Key_Return); });
                QVERIFY(changed);
                QTest::mouseClick(Child<QPushButton>(dialog, 1), Qt::LeftButton);
            },
            [this] { m_viewer->Route(ids::kViewFilterSetting); });
        QVERIFY(edited);
        m_viewer->Settle();
        expected = scan("timeout");
        QVERIFY(expected.size() > 10);
        QCOMPARE(Shown(list), expected);
        QCOMPARE(m_viewer->window->StatusPart(1)->text(), FilteredText(expected.size()));

        // The favourite and the recent conditions outlive the session: they
        // are written with the other data files and read back the same.
        CVarnothApp& app = *m_viewer->app;
        QVERIFY(app.filter_favorite_sets.count(u"slow trouble"));
        QCOMPARE(app.recent_conditions.size(), std::size_t{4}); // took, then timeout
        QCOMPARE(app.recent_conditions.front().content(), std::u16string(u"timeout"));
        QVERIFY(app.SaveData().empty());
        log_filter_groups stored;
        QVERIFY(LoadFilterFavorite(app.FilterDirectory() + u"/slow trouble.xml", stored));
        // Read back, OR members come in the other order; the conditions are the same.
        auto contents = [](const log_filter_groups& groups) {
            std::vector<log_filter> flat;
            groups.Flatten(flat);
            std::vector<std::u16string> texts;
            for (const log_filter& condition : flat)
                texts.push_back(condition.column() + u"|" + condition.content()
                                + (condition.logic_and() ? u"|and" : u"|or"));
            std::sort(texts.begin(), texts.end());
            return texts;
        };
        QCOMPARE(contents(stored), contents(app.filter_favorite_sets.at(u"slow trouble")));
        QCOMPARE(contents(stored).size(), std::size_t{3});
        std::vector<log_filter> recent;
        LoadRecentConditions(app.HistoryDirectory() + u"/filter.xml", recent);
        QCOMPARE(recent.size(), std::size_t{4});

        // Apply with no condition: filtering off, every row back.
        const bool cleared = WhenModal<CFilterDlg>(
            [](CFilterDlg* dialog) {
                QTest::mouseClick(Child<QPushButton>(dialog, CFilterDlg::kRemoveAllButton), Qt::LeftButton);
                QTest::mouseClick(Child<QPushButton>(dialog, 1), Qt::LeftButton);
            },
            [this] { m_viewer->Route(ids::kViewFilterSetting); });
        QVERIFY(cleared);
        m_viewer->Settle();
        QVERIFY(!file->filter_enabled());
        QCOMPARE(list->RowCount(), 3000);
    }

    // Time > a moment picked through Generate: the rows whose ISO time text
    // is greater by plain string comparison.
    void dateTimeGreaterThroughGenerateMatchesAStringComparison()
    {
        CLogListCtrl* list = OpenSample();
        QVERIFY(list);
        std::u16string expression;
        const bool ran = WhenModal<CFilterDlg>(
            [&expression](CFilterDlg* dialog) {
                const bool added = WhenModal<CFilterEditDlg>(
                    [&expression](CFilterEditDlg* edit) {
                        Replace(Child<QComboBox>(edit, CFilterEditDlg::kColumnBox)->lineEdit(), "Time");
                        Child<QComboBox>(edit, CFilterEditDlg::kCompareBox)->setCurrentIndex(FILTER_TYPE_GREATER);
                        auto* generate = Child<QPushButton>(edit, CFilterEditDlg::kGenerateButton);
                        QVERIFY(generate->isEnabled());
                        const bool picked = WhenModal<CValueInputDlg_DateTime>(
                            [](CValueInputDlg_DateTime* value) {
                                Child<QDateEdit>(value, CValueInputDlg_DateTime::kDateCtrl)->setDate(QDate(2024, 8, 5));
                                Child<QTimeEdit>(value, CValueInputDlg_DateTime::kTimeCtrl)->setTime(QTime(14, 2, 31));
                                Child<QLineEdit>(value, CValueInputDlg_DateTime::kMillisecondEdit)
                                    ->setText(QStringLiteral("500"));
                                QTest::keyClick(Focused(), Qt::Key_Return);
                            },
                            [generate] { QTest::mouseClick(generate, Qt::LeftButton); });
                        QVERIFY(picked);
                        expression = FromQString(Child<QComboBox>(edit, CFilterEditDlg::kExpressionBox)->currentText());
                        QTest::keyClick(Focused(), Qt::Key_Return);
                        QTest::keyClick(Focused(), Qt::Key_Escape);
                    },
                    [dialog] {
                        QTest::mouseClick(Child<QPushButton>(dialog, CFilterDlg::kAddButton), Qt::LeftButton);
                    });
                QVERIFY(added);
                QTest::mouseClick(Child<QPushButton>(dialog, 1), Qt::LeftButton);
            },
            [this] { m_viewer->Route(ids::kViewFilterSetting); });
        QVERIFY(ran);
        m_viewer->Settle();
        QCOMPARE(ToQString(expression), QStringLiteral("2024-08-05 14:02:31.500"));

        const std::string moment = ToQString(expression).toStdString();
        std::vector<std::string> expected;
        for (const sample_line& line : ReadSample(m_sample))
            if (line.time > moment)
                expected.push_back(Joined(line));
        QVERIFY(expected.size() > 10 && expected.size() < 3000);
        QCOMPARE(Shown(list), expected);
        QCOMPARE(m_viewer->window->StatusPart(1)->text(), FilteredText(expected.size()));
    }

    // Three rules made in the dialog (one a regular expression): the painted
    // list shows, for a matching and a non-matching cell, the colours the
    // colour decision gives for the same rules.
    void highlightRulesColourTheCellsTheColourDecisionGives()
    {
        CLogListCtrl* list = OpenSample();
        QVERIFY(list);
        m_viewer->window->resize(1200, 700);
        m_viewer->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_viewer->window, kTestWaitMs));
        const bool ran = WhenModal<CHighlightDlg>(
            [](CHighlightDlg* dialog) {
                auto* expression = Child<QComboBox>(dialog, CHighlightDlg::kExpressionBox);
                auto* column = Child<QComboBox>(dialog, CHighlightDlg::kColumnBox);
                auto add = [&](const QString& text, const QString& in_column, bool regexp, uint32_t back) {
                    QTest::mouseClick(Child<QPushButton>(dialog, CHighlightDlg::kAddButton), Qt::LeftButton);
                    QTest::keyClicks(expression->lineEdit(), text);
                    Replace(column->lineEdit(), in_column);
                    if (regexp)
                        Child<QCheckBox>(dialog, CHighlightDlg::kRegexpCheck)->click();
                    auto* picker = Child<CFGColorPicker>(dialog, CHighlightDlg::kBackColor);
                    picker->SetColorDialog([back](uint32_t, QWidget*) { return std::optional<uint32_t>(back); });
                    picker->PickColor();
                };
                add("ERROR", "Level", false, 0x008080FF);
                add("WARN", "Level", false, 0x0080FFFF);
                add("took [0-9]{4} ms", "Message", true, 0x00FFC080);
                QCOMPARE(dialog->Rows().size(), std::size_t{3});
                QTest::mouseClick(Child<QPushButton>(dialog, 1), Qt::LeftButton);
            },
            [this] { m_viewer->Route(ids::kViewHighlightSetting); });
        QVERIFY(ran);
        m_viewer->Settle();
        file_view* file = m_viewer->ActiveFile();
        QVERIFY(file->highlight_enabled());
        QCOMPARE(file->highlight_rules().size(), std::size_t{3});
        QVERIFY(file->highlight_rules()[2].regexp);

        list->ClearSelectedRows();
        list->scrollToTop();
        QApplication::processEvents();
        const QImage image = list->viewport()->grab().toImage();
        const log_list_look look = LookFromPalette(list->palette(), m_viewer->app->settings.search_highlight);
        const tagHIGHLIGHT_STATE state{&file->search(), &file->highlight_rules(), true};
        const sample_line* matching = nullptr;
        const sample_line* plain = nullptr;
        std::vector<sample_line> lines = ReadSample(m_sample);
        int matching_row = -1, plain_row = -1;
        for (int row = 0; row < 20 && row < static_cast<int>(lines.size()); ++row) {
            if (lines[row].level == "WARN" && !matching) {
                matching = &lines[row];
                matching_row = row;
            }
            if (lines[row].level == "INFO" && !plain) {
                plain = &lines[row];
                plain_row = row;
            }
        }
        QVERIFY(matching && plain);
        for (int row : {matching_row, plain_row}) {
            const std::u16string text = list->CellText(row, 1);
            const tagCELL_COLORS expected = CellColors(text, u"Level", 1, false, list->hasFocus(), state, look.system);
            const QRect cell = list->visualRect(list->model()->index(row, 1));
            const QColor painted(image.pixel(cell.right() - 2, cell.center().y()));
            QCOMPARE(painted, ColorFromRef(static_cast<uint32_t>(expected.back_color)));
            QCOMPARE(expected.marked, row == matching_row);
        }

        // Apply with no rule switches highlighting off.
        const bool cleared = WhenModal<CHighlightDlg>(
            [](CHighlightDlg* dialog) {
                auto* rules = Child<QTableWidget>(dialog, CHighlightDlg::kRuleList);
                while (rules->rowCount() > 0) {
                    rules->selectRow(0);
                    QTest::mouseClick(Child<QPushButton>(dialog, CHighlightDlg::kRemoveButton), Qt::LeftButton);
                }
                QTest::mouseClick(Child<QPushButton>(dialog, 1), Qt::LeftButton);
            },
            [this] { m_viewer->Route(ids::kViewHighlightSetting); });
        QVERIFY(cleared);
        QVERIFY(!file->highlight_enabled());
        QVERIFY(file->highlight_rules().empty());
        QCOMPARE(m_viewer->app->recent_highlights.size(), std::size_t{3});
    }

    // For the documentation's picture only (VARNOTH_SETTINGS_SCREENSHOT=OUT.png):
    // the sample filtered by level and coloured by three rules.
    void pictureOfFilteredAndHighlighted()
    {
        const QByteArray out = qgetenv("VARNOTH_SETTINGS_SCREENSHOT");
        if (out.isEmpty())
            QSKIP("only for the documentation's picture");
        CLogListCtrl* list = OpenSample();
        QVERIFY(list);
        file_view* file = m_viewer->ActiveFile();
        log_filter_groups groups;
        for (const char16_t* level : {u"ERROR", u"WARN"})
            groups.AddCondition(MakeIncludeCondition(u"Level", level));
        QVERIFY(file->set_filter_groups(groups, true));
        file->set_highlight_rules(SampleRules());
        file->set_highlight_enabled(true);
        m_viewer->Settle();
        m_viewer->window->setGeometry(0, 0, 1280, 760);
        m_viewer->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_viewer->window, kTestWaitMs));
        m_viewer->window->UpdateToolbar();
        QTest::qWait(300);
        QVERIFY(m_viewer->window->grab().save(QString::fromUtf8(out)));
    }

    // For the documentation's picture only (VARNOTH_RESULTS_SCREENSHOT=OUT.png):
    // the sample's errors over the whole file in the results pane, one of
    // them shown in the list.
    void pictureOfResultsPane()
    {
        const QByteArray out = qgetenv("VARNOTH_RESULTS_SCREENSHOT");
        if (out.isEmpty())
            QSKIP("only for the documentation's picture");
        m_viewer->app->settings.max_loading_lines = 500;
        CLogListCtrl* list = OpenSample();
        QVERIFY(list);
        file_view* file = m_viewer->ActiveFile();
        log_filter_groups groups;
        groups.AddCondition(MakeIncludeCondition(u"Level", u"ERROR"));
        groups.AddCondition(MakeIncludeCondition(u"Level", u"WARN"));
        QVERIFY(file->set_filter_groups(groups));
        // The rows of the pane take the colours of the file's rules.
        file->set_highlight_rules(SampleRules());
        file->set_highlight_enabled(true);
        m_viewer->window->setGeometry(0, 0, 1280, 760);
        m_viewer->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_viewer->window, kTestWaitMs));
        m_viewer->Route(ids::kViewFilterWholeFile);
        auto* page = qobject_cast<CLogPage*>(m_viewer->Tabs()->currentWidget());
        QVERIFY(page && page->PaneShown());
        CResultsPane* pane = page->Pane();
        QVERIFY(pane->Model().rowCount() > 40);
        pane->List()->setFocus();
        pane->List()->setCurrentIndex(pane->Model().index(40, 0));
        QTest::keyClick(pane->List(), Qt::Key_Return);
        m_viewer->Settle();
        for (int c = 1; c + 1 < pane->Model().columnCount(); ++c)
            pane->List()->setColumnWidth(c, list->columnWidth(c - 1) + 12);
        m_viewer->window->UpdateToolbar();
        QTest::qWait(300);
        QVERIFY(m_viewer->window->grab().save(QString::fromUtf8(out)));
    }

    // Cancel on a file without conditions or rules leaves both switched off.
    void cancelWithoutConditionsOrRulesSwitchesOff()
    {
        QVERIFY(OpenSample());
        file_view* file = m_viewer->ActiveFile();
        file->set_highlight_enabled(true);
        QVERIFY(WhenModal<CHighlightDlg>([](CHighlightDlg* dialog) { dialog->reject(); },
                                         [this] { m_viewer->Route(ids::kViewHighlightSetting); }));
        QVERIFY(!file->highlight_enabled());
        // Filter on/off without conditions opens the filter dialog instead.
        QVERIFY(WhenModal<CFilterDlg>([](CFilterDlg* dialog) { dialog->reject(); },
                                      [this] { m_viewer->Route(ids::kViewFilterEnable); }));
        QVERIFY(!file->filter_enabled());
        QCOMPARE(m_viewer->Tabs()->count(), 1);
    }
};

QTEST_MAIN(SettingsCommandsTest)
#include "settings_commands_test.moc"
