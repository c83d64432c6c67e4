#include "log_list_ctrl_test.h"

#include "log_list_fixture.h"
#include "regex/text_match.h"
#include "ui/log_list_ctrl.h"
#include "ui/log_list_model.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>

#include <random>

namespace {

// A list of rows x columns cells "r<row>c<column>" over file, shown.
struct shown_list {
    test_file_view file;
    CLogListCtrl list;

    explicit shown_list(int rows, int columns = 3, QSize size = QSize(500, 300))
    {
        std::vector<std::vector<std::u16string>> cells;
        for (int r = 0; r < rows; ++r) {
            std::vector<std::u16string> row;
            for (int c = 0; c < columns; ++c)
                row.push_back(u"r" + QString::number(r).toStdU16String() + u"c" + QString::number(c).toStdU16String());
            cells.push_back(row);
        }
        list_fixture::FillCells(file, cells);
        Setup(columns, size);
    }
    explicit shown_list(const std::vector<std::vector<std::u16string>>& cells, int columns,
                        QSize size = QSize(500, 300))
    {
        list_fixture::FillCells(file, cells);
        Setup(columns, size);
    }
    void Setup(int columns, QSize size)
    {
        list.SetFile(&file);
        for (int c = 0; c < columns; ++c)
            list.InsertColumn(c, u"Column " + QString::number(c).toStdU16String());
        list.SetRowCount();
        list.resize(size);
        list.show();
    }
    bool Exposed() { return QTest::qWaitForWindowExposed(&list, 5000); }
    std::vector<int> Selected() const { return list.SelectedRows(); }
};

std::vector<std::size_t> Range(std::size_t first, std::size_t last)
{
    std::vector<std::size_t> rows;
    for (std::size_t r = first; r <= last; ++r)
        rows.push_back(r);
    return rows;
}

void SelectRows(CLogListCtrl& list, const std::vector<int>& rows)
{
    QItemSelection selection;
    for (int row : rows)
        selection.select(list.Model().index(row, 0), list.Model().index(row, list.ColumnCount() - 1));
    list.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

} // namespace

void log_list_ctrl_test::cleanup()
{
    QCOMPARE(log_file::wait_for_discards(5000), 0);
}

void log_list_ctrl_test::Columns_WidthIsTenPixelsPlusTheNameAndFitSamplesTheRowsInView()
{
    test_file_view file;
    std::vector<std::vector<std::u16string>> cells(200, {u"x", u"mid", u"y"});
    cells[2][1] = u"a rather longer text in view";
    cells[150][1] = std::u16string(300, u'W'); // far below the rows in view
    cells[3][2] = std::u16string(4000, u'M');  // wider than any column may be fitted
    list_fixture::FillCells(file, cells);
    CLogListCtrl list;
    list.SetFile(&file);
    list.resize(600, 240);
    const QFontMetrics header = list.horizontalHeader()->fontMetrics();
    list.InsertColumn(0, u"Time");
    list.InsertColumn(1, u"Message");
    list.InsertColumn(5, u"Level"); // clamped: the third column
    QCOMPARE(list.ColumnCount(), 3);
    QCOMPARE(list.columnWidth(0), 10 + header.horizontalAdvance(QStringLiteral("Time")));
    QCOMPARE(list.columnWidth(1), 10 + header.horizontalAdvance(QStringLiteral("Message")));
    QVERIFY(list.SetColumn(0, u"Timestamp"));
    QCOMPARE(list.columnWidth(0), 10 + header.horizontalAdvance(QStringLiteral("Timestamp")));
    QCOMPARE(list.ColumnName(0), std::u16string(u"Timestamp"));
    QVERIFY(!list.SetColumn(3, u"none"));
    QVERIFY(list.ColumnName(3).empty());

    list.SetRowCount();
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list, 5000));
    QVERIFY(list.rowAt(list.viewport()->height() - 1) < 150);
    list.FitColumns();
    const QFontMetrics cell = list.fontMetrics();
    const int in_view = cell.horizontalAdvance(QStringLiteral("a rather longer text in view")) + 6 + 4 + 1;
    QCOMPARE(list.columnWidth(1), std::max({in_view, list.horizontalHeader()->sectionSizeHint(1),
                                            10 + header.horizontalAdvance(QStringLiteral("Message"))}));
    QVERIFY(list.columnWidth(0) >= list.horizontalHeader()->sectionSizeHint(0));
    QVERIFY(list.columnWidth(0) >= cell.horizontalAdvance(QStringLiteral("x")) + 2 + 4 + 1);
    QCOMPARE(list.columnWidth(2), CLogListCtrl::kMaxFitWidth);

    QVERIFY(list.DeleteColumn(1));
    QVERIFY(!list.DeleteColumn(2));
    QCOMPARE(list.ColumnName(1), std::u16string(u"Level"));

    // Rebuilding from a parser's names: renamed, added, removed.
    list.SetColumnNames({u"A", u"B", u"C", u"D"});
    QCOMPARE(list.Model().ColumnNames(), (std::vector<std::u16string>{u"A", u"B", u"C", u"D"}));
    QCOMPARE(list.columnWidth(1), 10 + header.horizontalAdvance(QStringLiteral("B"))); // renamed
    QCOMPARE(list.columnWidth(2), 10 + header.horizontalAdvance(QStringLiteral("C"))); // inserted
    list.SetColumnNames({u"Only"});
    QCOMPARE(list.Model().ColumnNames(), std::vector<std::u16string>{u"Only"});
    list.SetColumnNames({});
    QCOMPARE(list.ColumnCount(), 0);
}

void log_list_ctrl_test::Invert_ThreeOfTenSelectsTheOtherSevenWithOneNotification()
{
    shown_list view(10);
    QVERIFY(view.Exposed());
    SelectRows(view.list, {1, 4, 8});
    QCOMPARE(view.list.SelectedCount(), 3);
    QSignalSpy notified(&view.list, &CLogListCtrl::SelectionChanged);
    view.list.InvertSelection();
    QCOMPARE(notified.count(), 1);
    QCOMPARE(view.list.SelectedCount(), 7);
    QCOMPARE(view.Selected(), (std::vector<int>{0, 2, 3, 5, 6, 7, 9}));
    QVERIFY(!view.list.BulkChange());
}

void log_list_ctrl_test::Invert_NoneAllAndRandomSelectionsMatchTheComplement()
{
    shown_list view(40);
    QVERIFY(view.Exposed());
    QSignalSpy notified(&view.list, &CLogListCtrl::SelectionChanged);

    view.list.InvertSelection(); // none: all
    QCOMPARE(view.list.SelectedCount(), 40);
    view.list.InvertSelection(); // all: none
    QCOMPARE(view.list.SelectedCount(), 0);
    QCOMPARE(notified.count(), 2);

    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        std::vector<int> rows;
        std::vector<bool> reference(40, false);
        const int density = static_cast<int>(random() % 100);
        for (int r = 0; r < 40; ++r) {
            if (static_cast<int>(random() % 100) < density) {
                rows.push_back(r);
                reference[static_cast<std::size_t>(r)] = true;
            }
        }
        SelectRows(view.list, rows);
        notified.clear();
        view.list.InvertSelection();
        QCOMPARE(notified.count(), 1); // an inversion always changes rows
        std::vector<int> expected;
        for (int r = 0; r < 40; ++r)
            if (!reference[static_cast<std::size_t>(r)])
                expected.push_back(r);
        QCOMPARE(view.Selected(), expected);
        for (int r = 0; r < 40; ++r)
            QCOMPARE(view.list.IsRowSelected(r), !reference[static_cast<std::size_t>(r)]);
    }

    // Nothing to invert without rows.
    shown_list empty(0);
    QSignalSpy none(&empty.list, &CLogListCtrl::SelectionChanged);
    empty.list.InvertSelection();
    QCOMPARE(none.count(), 0);
    QCOMPARE(empty.list.SelectedCount(), 0);
}

void log_list_ctrl_test::SelectRow_SelectsOnlyThatRowMarksAndShowsIt()
{
    shown_list view(500);
    QVERIFY(view.Exposed());
    SelectRows(view.list, {1, 2, 3});
    QSignalSpy notified(&view.list, &CLogListCtrl::SelectionChanged);
    QVERIFY(view.list.SelectRow(420));
    QCOMPARE(notified.count(), 1);
    QCOMPARE(view.Selected(), std::vector<int>{420});
    QCOMPARE(view.list.SelectionMark(), 420);
    const QRect rect = view.list.visualRect(view.list.Model().index(420, 0));
    QVERIFY(view.list.viewport()->rect().contains(rect));

    QVERIFY(!view.list.SelectRow(500));
    QVERIFY(!view.list.SelectRow(-1));
    QCOMPARE(view.Selected(), std::vector<int>{420});
    QCOMPARE(notified.count(), 1);
}

void log_list_ctrl_test::SelectionKinds_KeepFocusFirstFocusLastSelectRow()
{
    shown_list view(300);
    QVERIFY(view.Exposed());
    auto visible = [&](int row) {
        return view.list.viewport()->rect().contains(view.list.visualRect(view.list.Model().index(row, 0)));
    };

    SelectRows(view.list, {5, 6});
    view.list.SetSelectionMark(6);
    view.list.ApplySelectionKind(0, 100); // keep
    QCOMPARE(view.Selected(), (std::vector<int>{5, 6}));
    QCOMPARE(view.list.SelectionMark(), 6);

    view.list.ApplySelectionKind(2, 0); // focus the last row, nothing selected
    QVERIFY(view.Selected().empty());
    QCOMPARE(view.list.SelectionMark(), 299);
    QVERIFY(visible(299));

    SelectRows(view.list, {100});
    view.list.ApplySelectionKind(1, 0); // focus the first row
    QVERIFY(view.Selected().empty());
    QCOMPARE(view.list.SelectionMark(), 0);
    QVERIFY(visible(0));

    QSignalSpy notified(&view.list, &CLogListCtrl::SelectionChanged);
    view.list.ApplySelectionKind(3, 150);
    QCOMPARE(view.Selected(), std::vector<int>{150});
    QCOMPARE(view.list.SelectionMark(), 150);
    QVERIFY(visible(150));
    QCOMPARE(notified.count(), 1);

    view.list.ApplySelectionKind(3, -1); // negative: the last row
    QCOMPARE(view.Selected(), std::vector<int>{299});
    view.list.ApplySelectionKind(3, 5000); // beyond: the last row
    QCOMPARE(view.Selected(), std::vector<int>{299});

    shown_list empty(0);
    empty.list.ApplySelectionKind(2, 0);
    empty.list.ApplySelectionKind(3, -1);
    QCOMPARE(empty.list.SelectionMark(), -1);
}

void log_list_ctrl_test::Keys_UpOnTheFirstRowAsksForMinusOne()
{
    shown_list view(20);
    QVERIFY(view.Exposed());
    QSignalSpy moves(&view.list, &CLogListCtrl::WindowMoveRequested);
    view.list.SelectRow(0);
    QTest::keyClick(&view.list, Qt::Key_Up);
    QCOMPARE(moves.count(), 1);
    QCOMPARE(moves.at(0).at(0).toInt(), -1);
    // The list itself did not move: the main window decides (at line 0 it does nothing).
    QCOMPARE(view.list.SelectionMark(), 0);
    QCOMPARE(view.Selected(), std::vector<int>{0});
}

void log_list_ctrl_test::Keys_DownAndPagesAtTheEdgesAskForTheirDistance()
{
    shown_list view(100);
    QVERIFY(view.Exposed());
    const int p = view.list.RowsPerPage();
    QVERIFY(p > 3 && p < 50);
    QCOMPARE(p, view.list.viewport()->height() / view.list.RowHeight());
    QSignalSpy moves(&view.list, &CLogListCtrl::WindowMoveRequested);

    struct row {
        int focused;
        Qt::Key key;
        int expected;
    };
    const row table[] = {
        {99, Qt::Key_Down, 1},         {0, Qt::Key_PageUp, 1 - p},         {p - 2, Qt::Key_PageUp, -1},
        {99, Qt::Key_PageDown, p - 1}, {100 - p + 1, Qt::Key_PageDown, 1}, {0, Qt::Key_Up, -1},
    };
    for (const row& r : table) {
        moves.clear();
        view.list.SelectRow(r.focused);
        QTest::keyClick(&view.list, r.key);
        QCOMPARE(moves.count(), 1);
        QCOMPARE(moves.at(0).at(0).toInt(), r.expected);
        QCOMPARE(view.list.SelectionMark(), r.focused); // not moved by the list
    }
}

void log_list_ctrl_test::Keys_InsideTheWindowMoveTheFocusWithoutARequest()
{
    shown_list view(100);
    QVERIFY(view.Exposed());
    const int p = view.list.RowsPerPage();
    QSignalSpy moves(&view.list, &CLogListCtrl::WindowMoveRequested);
    view.list.SelectRow(50);
    QTest::keyClick(&view.list, Qt::Key_Down);
    QCOMPARE(view.list.SelectionMark(), 51);
    QTest::keyClick(&view.list, Qt::Key_Up);
    QTest::keyClick(&view.list, Qt::Key_Up);
    QCOMPARE(view.list.SelectionMark(), 49);
    QTest::keyClick(&view.list, Qt::Key_PageUp); // 49 + 1 - p >= 0
    QVERIFY(view.list.SelectionMark() < 49);
    view.list.SelectRow(p - 1); // Page Up from row p - 1: exactly to the top, no request
    QTest::keyClick(&view.list, Qt::Key_PageUp);
    view.list.SelectRow(100 - p); // n - 1 < p + f - 1 is false
    QTest::keyClick(&view.list, Qt::Key_PageDown);
    QTest::keyClick(&view.list, Qt::Key_Home);
    QCOMPARE(view.list.SelectionMark(), 0);
    QTest::keyClick(&view.list, Qt::Key_End);
    QCOMPARE(view.list.SelectionMark(), 99);
    QCOMPARE(moves.count(), 0);
    QCOMPARE(view.Selected(), std::vector<int>{99});
}

void log_list_ctrl_test::FindRow_MatchesAPlainScanReference()
{
    // Rows of three short cells over a small alphabet, some lines short of columns.
    std::mt19937 random(99);
    const std::u16string letters = u"abAB1 -";
    std::vector<std::vector<std::u16string>> cells;
    for (int r = 0; r < 60; ++r) {
        std::vector<std::u16string> row;
        const int columns = 1 + static_cast<int>(random() % 3);
        for (int c = 0; c < columns; ++c) {
            std::u16string text;
            const int length = static_cast<int>(random() % 5);
            for (int i = 0; i < length; ++i)
                text.push_back(letters[random() % letters.size()]);
            row.push_back(text);
        }
        cells.push_back(row);
    }
    shown_list view(cells, 3);
    QVERIFY(view.Exposed());

    struct pattern {
        std::u16string text;
        bool regex;
    };
    const pattern patterns[] = {{u"a", false}, {u"ab", false},   {u"B1", false},  {u"^a", true},
                                {u"b$", true}, {u"[AB]1", true}, {u"1 -", false}, {WildcardToRegex(u"a*b"), true}};
    for (const pattern& p : patterns) {
        for (bool upward : {false, true}) {
            for (bool cs : {false, true}) {
                for (int column : {-1, 0, 1, 2, 3}) {
                    for (int mark : {-1, 0, 17, 59}) {
                        if (mark < 0)
                            view.list.ClearSelectionMark();
                        else
                            view.list.SetSelectionMark(mark);
                        // The reference: a plain scan with MatchText over the cells.
                        int expected = -1;
                        const int step = upward ? -1 : 1;
                        int row = mark >= 0 ? mark + step : (upward ? 59 : 0);
                        for (; row >= 0 && row < 60 && expected < 0; row += step) {
                            for (int c = 0; c < 3 && expected < 0; ++c) {
                                if (column >= 0 && c != column)
                                    continue;
                                const std::u16string cell = view.list.CellText(row, c);
                                if (MatchText(cell, p.text, cs, p.regex))
                                    expected = row;
                            }
                        }
                        const int found = view.list.FindRow(p.text, upward, cs, p.regex, column);
                        QVERIFY2(found == expected,
                                 qPrintable(QStringLiteral("pattern %1 up %2 cs %3 column %4 mark %5: %6 vs %7")
                                                .arg(QString::fromStdU16String(p.text))
                                                .arg(upward)
                                                .arg(cs)
                                                .arg(column)
                                                .arg(mark)
                                                .arg(found)
                                                .arg(expected)));
                    }
                }
            }
        }
    }
}

void log_list_ctrl_test::FindRow_EdgeCases()
{
    shown_list view({{u"INFO", u"started"},
                     {u"error", u"disk full"},
                     {u"Error", u"retry"},
                     {u"ERROR", u"disk is full"},
                     {u"only one column"}},
                    2);
    QVERIFY(view.Exposed());
    CLogListCtrl& list = view.list;

    list.ClearSelectionMark();
    // Gaining the focus does not put a mark on the first row.
    list.activateWindow();
    list.setFocus(Qt::TabFocusReason);
    QVERIFY(QTest::qWaitFor([&list] { return list.hasFocus(); }, 5000));
    QCOMPARE(list.SelectionMark(), -1);
    QCOMPARE(list.FindRow(u"INFO", false, true, false, -1), 0);
    QCOMPARE(list.FindRow(u"ERROR", false, false, false, -1), 1); // case-insensitive
    QCOMPARE(list.FindRow(u"ERROR", false, true, false, -1), 3);
    QCOMPARE(list.FindRow(u"ERROR", true, false, false, -1), 3); // no mark, upward: from the last row
    QCOMPARE(list.FindRow(u"column", false, false, false, -1), 4);
    QCOMPARE(list.FindRow(u"column", false, false, false, 0), 4);
    QCOMPARE(list.FindRow(u"column", false, false, false, 1), -1); // the line lacks column 1
    QCOMPARE(list.FindRow(u"column", false, false, false, 7), -1); // a column the list lacks
    QCOMPARE(list.FindRow(u"disk", false, false, false, 0), -1);
    QCOMPARE(list.FindRow(u"^disk.*full$", false, true, true, 1), 1);
    QCOMPARE(list.FindRow(u"\\D", false, false, true, 1), 0); // escapes keep their meaning ignoring case
    QCOMPARE(list.FindRow(WildcardToRegex(u"disk*full"), false, false, true, -1), 1);
    QCOMPARE(list.FindRow(u"disk*full", false, false, false, -1), -1); // plain text: '*' is a character
    QCOMPARE(list.FindRow(u"", false, false, false, -1), -1);

    list.SetSelectionMark(1); // from the row after the mark
    QCOMPARE(list.FindRow(u"ERROR", false, false, false, 0), 2);
    QCOMPARE(list.FindRow(u"ERROR", true, false, false, 0), -1);
    QCOMPARE(list.FindRow(u"INFO", true, true, false, -1), 0);
    list.SetSelectionMark(4); // down from the last row: nothing left
    QCOMPARE(list.FindRow(u"o", false, false, false, -1), -1);
    list.SetSelectionMark(0); // up from the first row: nothing left
    QCOMPARE(list.FindRow(u"o", true, false, false, -1), -1);

    shown_list no_columns(5, 0);
    QCOMPARE(no_columns.list.FindRow(u"r", false, false, false, -1), -1);
    shown_list no_rows(0);
    QCOMPARE(no_rows.list.FindRow(u"r", false, false, false, -1), -1);
}

void log_list_ctrl_test::RowCount_ChangesWithoutScrollingOrLosingTheSelection()
{
    shown_list view(1000);
    QVERIFY(view.Exposed());
    log_file_test_access::set_filtered(FileOf(view.file), Range(0, 599));
    view.list.SelectRow(420);
    SelectRows(view.list, {400, 420, 800});
    view.list.verticalScrollBar()->setValue(410);
    view.list.horizontalScrollBar()->setValue(view.list.horizontalScrollBar()->maximum());
    const int top = view.list.rowAt(0);
    const int left = view.list.horizontalScrollBar()->value();
    QSignalSpy resets(&view.list.Model(), &QAbstractItemModel::modelReset);
    QSignalSpy notified(&view.list, &CLogListCtrl::SelectionChanged);

    // Fewer rows: the rows that stay keep their selection and the view stays put.
    file_view_engine::set_filter_enabled(view.file, true);
    QCOMPARE(view.list.SetRowCount(), 600);
    QCOMPARE(view.list.rowAt(0), top);
    QCOMPARE(view.list.horizontalScrollBar()->value(), left);
    QCOMPARE(view.Selected(), (std::vector<int>{400, 420}));
    QCOMPARE(notified.count(), 1); // the selected count changed

    // More rows again.
    file_view_engine::set_filter_enabled(view.file, false);
    notified.clear();
    QCOMPARE(view.list.SetRowCount(), 1000);
    QCOMPARE(view.list.rowAt(0), top);
    QCOMPARE(view.Selected(), (std::vector<int>{400, 420}));
    QCOMPARE(notified.count(), 0);
    QCOMPARE(view.list.SelectionMark(), 420);

    // The same count (a re-parse of another window of equal size): nothing moves.
    QCOMPARE(view.list.SetRowCount(), 1000);
    QCOMPARE(view.list.rowAt(0), top);
    QCOMPARE(resets.count(), 0);

    // Shrinking below the view: the view shows the last rows.
    log_file_test_access::set_filtered(FileOf(view.file), Range(0, 9));
    file_view_engine::set_filter_enabled(view.file, true);
    QCOMPARE(view.list.SetRowCount(), 10);
    QCOMPARE(view.list.rowAt(0), 0);
    QVERIFY(view.Selected().empty());
}

void log_list_ctrl_test::HitTest_AndTheContextMenuCarryTheClickedCell()
{
    shown_list view(5);
    QVERIFY(view.Exposed());
    CLogListCtrl& list = view.list;
    const QRect cell = list.visualRect(list.Model().index(3, 1));
    QCOMPARE(list.HitTest(cell.center()), (CLogListCtrl::cell_hit{3, 1}));
    const QRect last = list.visualRect(list.Model().index(4, 2));
    QCOMPARE(list.HitTest(QPoint(last.center().x(), last.bottom() + 5)), CLogListCtrl::cell_hit{}); // below the rows
    QCOMPARE(list.HitTest(QPoint(-1, cell.center().y())), CLogListCtrl::cell_hit{});
    const int right = list.columnViewportPosition(2) + list.columnWidth(2) + 5;
    if (right < list.viewport()->width())
        QCOMPARE(list.HitTest(QPoint(right, cell.center().y())), (CLogListCtrl::cell_hit{3, -1}));
    QCOMPARE(list.CellText(3, 1), std::u16string(u"r3c1"));
    QCOMPARE(list.ColumnName(1), std::u16string(u"Column 1"));

    QSignalSpy menus(&list, &CLogListCtrl::ContextMenuRequested);
    const QPoint global = list.viewport()->mapToGlobal(cell.center());
    QContextMenuEvent event(QContextMenuEvent::Mouse, cell.center(), global);
    QApplication::sendEvent(list.viewport(), &event);
    QCOMPARE(menus.count(), 1);
    QCOMPARE(menus.at(0).at(0).toPoint(), global);
    QCOMPARE(menus.at(0).at(1).toInt(), 3);
    QCOMPARE(menus.at(0).at(2).toInt(), 1);
}

void log_list_ctrl_test::Redraw_OffReadsNoRows()
{
    shown_list view(5);
    QVERIFY(view.Exposed());
    view.list.SetRedraw(false);
    QVERIFY(!view.list.updatesEnabled());
    QVERIFY(view.list.CellText(0, 0).empty());
    view.list.ClearSelectionMark();
    QCOMPARE(view.list.FindRow(u"r0", false, false, false, -1), -1);
    // A job replaces the window meanwhile; the list reads nothing until it is on again.
    log_file_test_access::clear(FileOf(view.file));
    list_fixture::FillCells(view.file, {{u"new", u"rows"}});
    const QImage during = view.list.viewport()->grab().toImage(); // paints no cell
    QVERIFY(!during.isNull());
    view.list.SetRedraw(true);
    QCOMPARE(view.list.SetRowCount(), 1);
    QCOMPARE(view.list.CellText(0, 1), std::u16string(u"rows"));
    QCOMPARE(view.list.FindRow(u"new", false, false, false, -1), 0);
}

void log_list_ctrl_test::ToolTip_ShowsTheWholeTextOfACutCellOnly()
{
    const std::u16string tail = u" and the distinctive end <of> it";
    shown_list view({{u"short", std::u16string(400, u'x') + tail}}, 2);
    QVERIFY(view.Exposed());
    CLogListCtrl& list = view.list;
    list.horizontalHeader()->setStretchLastSection(false);
    list.horizontalHeader()->resizeSection(1, 200);

    auto tip_at = [&](int column) {
        QToolTip::hideText();
        const QRect rect = list.visualRect(list.Model().index(0, column));
        QHelpEvent help(QEvent::ToolTip, rect.center(), list.viewport()->mapToGlobal(rect.center()));
        QApplication::sendEvent(list.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    const QString cut = tip_at(1);
    QVERIFY2(cut.contains(QStringLiteral("distinctive end &lt;of&gt; it")), qPrintable(cut)); // shown as plain text
    tip_at(0); // "short" fits its column: the tip goes away
    QTRY_VERIFY_WITH_TIMEOUT(!QToolTip::isVisible(), 3000);
}

void log_list_ctrl_test::Font_RowsFollowTheFontInheritedFromTheWindow()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* list = new CLogListCtrl(&window);
    layout->addWidget(list);
    QFont big = window.font();
    big.setPointSize(big.pointSize() * 2);
    window.setFont(big);
    QCOMPARE(list->font(), big);
    QCOMPARE(list->RowHeight(), QFontMetrics(big).height() + 8);
    QFont small = big;
    small.setPointSize(7);
    window.setFont(small);
    QCOMPARE(list->RowHeight(), QFontMetrics(small).height() + 8);
}

void log_list_ctrl_test::Keys_LeftAndRightScrollSidewaysAndRowsKeepTheSidewaysPosition()
{
    shown_list view(50, 8, QSize(300, 200));
    QVERIFY(view.Exposed());
    CLogListCtrl& list = view.list;
    for (int c = 0; c < 8; ++c)
        list.horizontalHeader()->resizeSection(c, 150);
    QScrollBar* bar = list.horizontalScrollBar();
    QVERIFY(bar->maximum() > 0);
    list.SelectRow(10);
    QCOMPARE(bar->value(), 0);
    QTest::keyClick(&list, Qt::Key_Right);
    QTest::keyClick(&list, Qt::Key_Right);
    const int sideways = bar->value();
    QVERIFY(sideways > 0);
    QCOMPARE(list.SelectionMark(), 10);
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_PageDown);
    QVERIFY(list.SelectionMark() > 11);
    QCOMPARE(bar->value(), sideways);
    list.SelectRow(2);
    QCOMPARE(bar->value(), sideways);
    QTest::keyClick(&list, Qt::Key_Left);
    QVERIFY(bar->value() < sideways);
}

void log_list_ctrl_test::Header_DraggedColumnsKeepTheirCellsAndNumbers()
{
    shown_list view(6, 3);
    QVERIFY(view.Exposed());
    CLogListCtrl& list = view.list;
    QVERIFY(list.horizontalHeader()->sectionsMovable());
    list.horizontalHeader()->moveSection(2, 0); // column 2 is now shown first
    const QRect leftmost = list.visualRect(list.Model().index(4, 2));
    QCOMPARE(leftmost.left(), 0);
    QCOMPARE(list.HitTest(leftmost.center()), (CLogListCtrl::cell_hit{4, 2}));
    QCOMPARE(list.CellText(4, 2), std::u16string(u"r4c2"));
    QCOMPARE(list.ColumnName(2), std::u16string(u"Column 2"));
    list.ClearSelectionMark();
    QCOMPARE(list.FindRow(u"c0", false, true, false, 0), 0); // columns keep their numbers
    QCOMPARE(list.FindRow(u"r3c2", false, true, false, 2), 3);
    QCOMPARE(list.FindRow(u"r3c2", false, true, false, 0), -1);
}
