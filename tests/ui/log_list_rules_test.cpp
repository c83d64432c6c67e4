#include "log_list_rules_test.h"

#include "ui/color_value.h"
#include "ui/log_list_rules.h"

#include <QTest>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::unique_ptr<log_line> Line(const std::u16string& text, const std::vector<std::pair<uint64_t, uint64_t>>& spans)
{
    auto line = std::make_unique<log_line>();
    line->assign_text(text);
    for (const auto& [offset, length] : spans) {
        line->add_column(offset, length);
    }
    return line;
}

} // namespace

void log_list_rules_test::WindowMoveDistance_Table()
{
    struct row {
        edge_key key;
        int focused, rows, page, expected;
    };
    // f focused row, n rows, p rows per page.
    const row table[] = {
        // Up: only on row 0.
        {edge_key::up, 0, 10, 5, -1},
        {edge_key::up, 1, 10, 5, 0},
        {edge_key::up, -1, 10, 5, 0},
        {edge_key::up, 0, 1, 5, -1},
        {edge_key::up, 0, 0, 5, 0}, // no rows: no row 0
        // Down: only on the last row.
        {edge_key::down, 9, 10, 5, 1},
        {edge_key::down, 8, 10, 5, 0},
        {edge_key::down, 0, 1, 5, 1},
        {edge_key::down, -1, 0, 5, 0},
        {edge_key::down, -1, 10, 5, 0},
        // Page Up: d = f + 1 - p when negative.
        {edge_key::page_up, 0, 100, 20, -19},
        {edge_key::page_up, 5, 100, 20, -14},
        {edge_key::page_up, 18, 100, 20, -1},
        {edge_key::page_up, 19, 100, 20, 0},
        {edge_key::page_up, 50, 100, 20, 0},
        {edge_key::page_up, -1, 100, 20, -20},
        {edge_key::page_up, 0, 100, 1, 0},
        // Page Down: d = f + p - n when n - 1 < p + f - 1.
        {edge_key::page_down, 80, 100, 20, 0},
        {edge_key::page_down, 81, 100, 20, 1},
        {edge_key::page_down, 85, 100, 20, 5},
        {edge_key::page_down, 99, 100, 20, 19},
        {edge_key::page_down, 0, 100, 20, 0},
        {edge_key::page_down, 0, 10, 20, 10},
        {edge_key::page_down, 99, 100, 1, 0},
        // Other keys never move the window.
        {edge_key::other, 0, 10, 5, 0},
        {edge_key::other, 9, 10, 5, 0},
    };
    for (const row& r : table) {
        const int d = WindowMoveDistance(r.key, r.focused, r.rows, r.page);
        QVERIFY2(d == r.expected, qPrintable(QStringLiteral("key %1 f %2 n %3 p %4: got %5, want %6")
                                                 .arg(static_cast<int>(r.key))
                                                 .arg(r.focused)
                                                 .arg(r.rows)
                                                 .arg(r.page)
                                                 .arg(d)
                                                 .arg(r.expected)));
    }
}

void log_list_rules_test::MergeAndComplement_MatchABitmapReference()
{
    std::mt19937 random(20240805);
    for (int round = 0; round < 500; ++round) {
        const int rows = static_cast<int>(random() % 40);
        std::vector<row_range> ranges;
        std::vector<bool> reference(static_cast<std::size_t>(rows), false);
        const int count = static_cast<int>(random() % 8);
        for (int i = 0; i < count; ++i) {
            // Ranges reach past both ends, and some are empty (last < first).
            const int first = static_cast<int>(random() % 50) - 5;
            const int last = first + static_cast<int>(random() % 12) - 2;
            ranges.push_back({first, last});
            for (int row = std::max(first, 0); row <= std::min(last, rows - 1); ++row)
                reference[static_cast<std::size_t>(row)] = true;
        }
        const std::vector<row_range> merged = MergeRowRanges(ranges, rows);
        const std::vector<row_range> gaps = ComplementRowRanges(merged, rows);
        std::vector<bool> from_merged(static_cast<std::size_t>(rows), false);
        for (std::size_t i = 0; i < merged.size(); ++i) {
            QVERIFY(merged[i].first <= merged[i].last);
            if (i > 0)
                QVERIFY(merged[i].first > merged[i - 1].last + 1); // sorted, apart, not touching
            for (int row = merged[i].first; row <= merged[i].last; ++row)
                from_merged[static_cast<std::size_t>(row)] = true;
        }
        QCOMPARE(from_merged, reference);
        int64_t selected = 0;
        for (bool b : reference)
            selected += b;
        QCOMPARE(CountRows(merged), selected);
        QCOMPARE(CountRows(gaps), rows - selected);
        for (const row_range& gap : gaps)
            for (int row = gap.first; row <= gap.last; ++row)
                QVERIFY(!reference[static_cast<std::size_t>(row)]);
    }
}

void log_list_rules_test::CellView_MissingRowsAndColumnsAreEmpty()
{
    std::vector<std::unique_ptr<log_line>> owned;
    owned.push_back(Line(u"alpha beta", {{0, 5}, {6, 4}}));
    owned.push_back(Line(u"gamma", {{0, 5}}));
    std::vector<log_line*> rows = {owned[0].get(), owned[1].get(), nullptr};
    QCOMPARE(std::u16string(CellView(rows, 0, 0)), std::u16string(u"alpha"));
    QCOMPARE(std::u16string(CellView(rows, 0, 1)), std::u16string(u"beta"));
    QVERIFY(CellView(rows, 1, 1).empty()); // the line lacks the column
    QVERIFY(CellView(rows, 0, 2).empty());
    QVERIFY(CellView(rows, -1, 0).empty());
    QVERIFY(CellView(rows, 0, -1).empty());
    QVERIFY(CellView(rows, 2, 0).empty()); // a null line
    QVERIFY(CellView(rows, 3, 0).empty());
    QVERIFY(CellView({}, 0, 0).empty());
}

void log_list_rules_test::CellView_CutsAt65534Characters()
{
    for (std::size_t length : {std::size_t(65533), std::size_t(65534), std::size_t(65535), std::size_t(200000)}) {
        std::u16string text(length, u'x');
        text.back() = u'!';
        // A line holds at most kMaxLineText characters; its column covers them.
        const auto line = Line(text, {{0, std::min(length, kMaxLineText)}});
        const std::vector<log_line*> rows = {line.get()};
        const std::u16string_view cell = CellView(rows, 0, 0);
        QCOMPARE(cell.size(), std::min(length, kMaxCellText));
        QCOMPARE(cell.data(), line->text().data()); // no copy
        QCOMPARE(cell.back() == u'!', length <= kMaxCellText);
    }
}

void log_list_rules_test::CellView_ColumnOutsideItsLineIsEmpty()
{
    const auto line = Line(u"short", {{2, 3}, {3, 10}, {9, 1}});
    line->add_column(0, 0); // a record of no characters
    const std::vector<log_line*> rows = {line.get()};
    QCOMPARE(std::u16string(CellView(rows, 0, 0)), std::u16string(u"ort"));
    QVERIFY(CellView(rows, 0, 1).empty());
    QVERIFY(CellView(rows, 0, 2).empty());
    QVERIFY(CellView(rows, 0, 3).empty());
}

void log_list_rules_test::ColorValue_RoundTripsAndOrdersChannels()
{
    QCOMPARE(ColorFromValue(0x000000FF), QColor(255, 0, 0));
    QCOMPARE(ColorFromValue(0x0000FF00), QColor(0, 255, 0));
    QCOMPARE(ColorFromValue(0x00FF0000), QColor(0, 0, 255));
    QCOMPARE(ColorFromValue(static_cast<int32_t>(0xFF123456)), QColor(0x56, 0x34, 0x12));
    for (int32_t value : {0, 213, 0x00D77800, 0x00FFFFFF, 0x0000FFFF})
        QCOMPARE(ValueFromColor(ColorFromValue(value)), value);
    QCOMPARE(ValueFromColor(QColor(1, 2, 3, 40)), 0x00030201);
}

void log_list_rules_test::CutMark_MarksTheCellWhereACutLinesTextEnds()
{
    struct row {
        const char* name;
        std::vector<std::pair<uint64_t, uint64_t>> spans;
        uint64_t cut_length;
        int column; // the marked cell
    };
    const row table[] = {
        {"whole line", {{0, 4}, {5, 5}}, 0, -1},
        {"last column holds the end", {{0, 4}, {5, 5}}, 200000, 1},
        {"a middle column holds the end", {{0, 4}, {5, 5}, {10, 0}}, 200000, 1},
        {"no column reaches the end", {{0, 4}, {5, 2}}, 200000, 1},
        {"no column at all", {}, 200000, -1},
    };
    for (const row& r : table) {
        auto line = Line(u"abcd efghi", r.spans);
        line->set_cut_length(r.cut_length);
        const std::vector<log_line*> rows = {line.get()};
        const cut_mark mark = CutMarkOf(rows, 0);
        QVERIFY2(mark.column == r.column, r.name);
        QVERIFY2(mark.file_bytes == r.cut_length, r.name);
        QVERIFY2(mark.shown == (r.cut_length ? 10u : 0u), r.name);
    }
    const std::vector<log_line*> none = {nullptr};
    QCOMPARE(CutMarkOf(none, 0).column, -1);
    QCOMPARE(CutMarkOf(none, 1).column, -1);
}
