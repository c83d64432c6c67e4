#include "file_scope_map_test.h"

#include "ui/file_scope_map.h"

#include <QTest>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

__extension__ typedef __int128 big_int;

// A bar W pixels wide: inner columns 1 .. W-2.
file_scope_map Bar(int width, uint64_t total, int64_t first, int64_t last, uint64_t window, bool text = true)
{
    file_scope_map map;
    map.SetClientSize(width, 20);
    const bool taken = map.SetScope(total * 10 + 1, total, first, last, window, text);
    if (!taken)
        qFatal("scope refused");
    return map;
}

// Nearest whole number to offset * total / span with halves rounded up,
// found by long division and a remainder comparison.
int64_t NearestLine(int64_t offset, int64_t total, int64_t span)
{
    const big_int product = static_cast<big_int>(offset) * total;
    const big_int down = product / span;
    const big_int remainder = product - down * span;
    return static_cast<int64_t>(2 * remainder >= span ? down + 1 : down);
}

// The mapping written out directly from its description.
int64_t ReferencePixelToLine(int width, int64_t total, int x)
{
    if (total == 0)
        return -1;
    const int left = 1;
    const int right = width - 1;
    if (x == right - 1)
        return total - 1;
    const int inner = right - left;
    const int64_t offset = std::min(std::max(x - left, 0), inner);
    const int64_t span = std::max(1, inner - 1);
    return std::min(NearestLine(offset, total, span), total - 1);
}

} // namespace

void file_scope_map_test::SetScope_IgnoreRulesKeepThePreviousScope()
{
    file_scope_map map;
    map.SetClientSize(102, 20);
    QVERIFY(map.SetScope(10000, 990, 100, 199, 100, true));
    struct row {
        const char* name;
        uint64_t size, total;
        int64_t first, last;
        uint64_t window;
    };
    const std::vector<row> ignored = {
        {"size below the line count", 10, 11, 0, 5, 100},
        {"last before first", 10000, 990, 50, 49, 100},
        {"window size zero", 10000, 990, 0, 99, 0},
    };
    for (const row& r : ignored) {
        QVERIFY2(!map.SetScope(r.size, r.total, r.first, r.last, r.window, false), r.name);
        QCOMPARE(map.TotalLines(), uint64_t{990});
        QCOMPARE(map.WindowFirst(), int64_t{100});
        QVERIFY(map.TooltipActive());
    }
    // The size may equal the line count (empty lines only).
    QVERIFY(map.SetScope(990, 990, 0, 99, 100, true));
}

void file_scope_map_test::SetScope_ActiveOnlyWhenTheWindowDoesNotCoverTheFile()
{
    struct row {
        const char* name;
        uint64_t size, total;
        int64_t first, last;
        bool text;
        bool active, tooltip;
    };
    const std::vector<row> rows = {
        {"whole file in one window", 5000, 50, 0, 49, true, false, false},
        {"window at the head", 5000, 500, 0, 99, true, true, true},
        {"window at the tail", 5000, 500, 400, 499, true, true, true},
        {"window in the middle, no line texts", 5000, 500, 100, 199, false, true, false},
        {"empty file", 0, 0, 0, 0, true, false, false},
        {"bytes but no lines yet", 100, 0, 0, 0, true, false, false},
        {"one line", 10, 1, 0, 0, true, false, false},
        {"window past a shrunk index", 5000, 50, 0, 99, true, false, false},
    };
    for (const row& r : rows) {
        file_scope_map map;
        map.SetClientSize(102, 20);
        QVERIFY2(map.SetScope(r.size, r.total, r.first, r.last, 100, r.text), r.name);
        QVERIFY2(map.Active() == r.active, r.name);
        QVERIFY2(map.TooltipActive() == r.tooltip, r.name);
        if (!r.active) {
            QVERIFY2(map.SegmentStart() == -1 && map.DragWidth() == 0, r.name);
        }
    }
}

void file_scope_map_test::Layout_SegmentAndDragWidthFollowTheTable()
{
    // 102 pixels: inner columns 1..100, 99 steps; 990 lines make 10 lines a pixel.
    struct row {
        const char* name;
        int width;
        uint64_t total;
        int64_t first, last;
        uint64_t window;
        int start, end, drag;
    };
    const std::vector<row> rows = {
        {"head window", 102, 990, 0, 99, 100, 1, 11, 10},
        {"middle window", 102, 990, 500, 599, 100, 51, 61, 10},
        {"tail window", 102, 990, 890, 989, 100, 90, 100, 10},
        {"short window is one pixel wide", 102, 1000000, 10, 19, 100, 1, 2, 1},
        {"window size 1", 102, 990, 5, 5, 1, 1, 2, 1},
        {"window size beyond the file", 102, 990, 1, 989, 5000, 1, 100, 100},
        {"fractional lines per pixel", 52, 100, 30, 59, 30, 1 + 14, 1 + 29, 15},
        {"more pixels than lines", 1002, 10, 2, 4, 3, 1 + 199, 1 + 499, 200},
    };
    for (const row& r : rows) {
        const file_scope_map map = Bar(r.width, r.total, r.first, r.last, r.window);
        QVERIFY2(map.Active(), r.name);
        QVERIFY2(map.SegmentStart() == r.start,
                 qPrintable(QStringLiteral("%1: start %2").arg(r.name).arg(map.SegmentStart())));
        QVERIFY2(map.SegmentEnd() == r.end, qPrintable(QStringLiteral("%1: end %2").arg(r.name).arg(map.SegmentEnd())));
        QVERIFY2(map.DragWidth() == r.drag, qPrintable(QStringLiteral("%1: drag %2").arg(r.name).arg(map.DragWidth())));
        const double g = static_cast<double>(r.total) / (r.width - 3);
        QCOMPARE(map.LinesPerPixel(), g);
    }
}

void file_scope_map_test::PixelToLine_Table()
{
    struct row {
        const char* name;
        int width;
        uint64_t total;
        int x;
        int64_t line;
    };
    const std::vector<row> rows = {
        {"last column is the last line", 102, 990, 100, 989},
        {"first column is line 0", 102, 990, 1, 0},
        {"second column", 102, 990, 2, 10},
        {"left of the strip clamps to 0", 102, 990, 0, 0},
        {"far left clamps to 0", 102, 990, -50, 0},
        {"column before the last", 102, 990, 99, 980},
        {"right of the strip stays on the last line", 102, 990, 101, 989},
        {"far right stays on the last line", 102, 990, 5000, 989},
        // 101 pixels: 98 steps; 49 lines make half a line a pixel.
        {"half rounds up", 101, 49, 2, 1},
        {"whole stays", 101, 49, 3, 1},
        {"one and a half rounds up", 101, 49, 4, 2},
        {"last half-step rounds past the end and is held on the last line", 101, 49, 98, 48},
        // 147 lines over 98 steps: one and a half lines a pixel.
        {"1.5 rounds to 2", 101, 147, 2, 2},
        {"4.5 rounds to 5", 101, 147, 4, 5},
        {"6.0 stays 6", 101, 147, 5, 6},
        {"a single line", 102, 1, 50, 0},
    };
    for (const row& r : rows) {
        const file_scope_map map = Bar(r.width, r.total, 0, 0, 10);
        const int64_t got = map.PixelToLine(r.x);
        QVERIFY2(got == r.line, qPrintable(QStringLiteral("%1: got %2").arg(r.name).arg(got)));
    }
    file_scope_map empty;
    empty.SetClientSize(102, 20);
    QVERIFY(empty.SetScope(0, 0, 0, 0, 10, false));
    QCOMPARE(empty.PixelToLine(50), int64_t{-1});
}

void file_scope_map_test::PixelToLine_RandomAgainstDirectComputation()
{
    std::mt19937_64 random(20240611);
    const std::vector<uint64_t> magnitudes = {
        1, 2, 3, 10, 97, 1000, 99991, 10000000, 4000000000ull, 1000000000000ull, 1ull << 62};
    int compared = 0;
    for (int round = 0; round < 4000; ++round) {
        const uint64_t top = magnitudes[random() % magnitudes.size()];
        const uint64_t total = 1 + random() % top;
        const int width = 3 + static_cast<int>(random() % 3000);
        file_scope_map map;
        map.SetClientSize(width, 20);
        QVERIFY(map.SetScope(total, total, 1, 1, 1 + random() % 200000, true));
        for (int probe = 0; probe < 8; ++probe) {
            const int x = static_cast<int>(random() % static_cast<uint64_t>(width + 20)) - 10;
            const int64_t expected = ReferencePixelToLine(width, static_cast<int64_t>(total), x);
            const int64_t got = map.PixelToLine(x);
            if (got != expected)
                QFAIL(qPrintable(QStringLiteral("width %1 total %2 x %3: got %4, expected %5")
                                     .arg(width)
                                     .arg(total)
                                     .arg(x)
                                     .arg(got)
                                     .arg(expected)));
            // The floating form (x times lines per pixel), wherever it is not within rounding of a half.
            const int inner = width - 2;
            const int span = std::max(1, inner - 1);
            const int offset = std::min(std::max(x - 1, 0), inner);
            const long double exact =
                static_cast<long double>(offset) * (static_cast<long double>(total) / static_cast<long double>(span));
            const long double fraction = exact - std::floor(exact);
            if (x != width - 2 && total < (1ull << 32) && std::fabs(fraction - 0.5L) > 1e-4L) {
                const int64_t rounded =
                    std::min(static_cast<int64_t>(std::floor(exact + 0.5L)), static_cast<int64_t>(total - 1));
                QCOMPARE(got, rounded);
                ++compared;
            }
        }
    }
    QVERIFY(compared > 10000);
}

void file_scope_map_test::PixelToLine_NeverBeyondTheLastLineAndNeverDecreasing()
{
    for (const uint64_t total : {1ull, 2ull, 7ull, 49ull, 99ull, 100ull, 101ull, 12345ull, 99999999ull}) {
        for (const int width : {3, 4, 5, 50, 101, 102, 103, 777}) {
            const file_scope_map map = Bar(width, total, 0, 0, 10);
            int64_t previous = -1;
            for (int x = -3; x < width + 3; ++x) {
                const int64_t line = map.PixelToLine(x);
                QVERIFY(line >= 0 && line <= static_cast<int64_t>(total - 1));
                if (x < width - 1)
                    QVERIFY2(line >= previous,
                             qPrintable(QStringLiteral("total %1 width %2 x %3").arg(total).arg(width).arg(x)));
                if (x < width - 1)
                    previous = line;
            }
        }
    }
}

void file_scope_map_test::DragSegment_IsCutAtTheRightEdgeNotMovedLeft()
{
    const file_scope_map map = Bar(102, 990, 0, 99, 100); // drag width 10, inner 1..100
    struct row {
        int x, start, end;
    };
    const std::vector<row> rows = {
        {1, 1, 11},    {0, 1, 11},    {-20, 1, 11},    {50, 50, 60},
        {91, 91, 101}, {95, 95, 101}, {100, 100, 101}, {300, 100, 101},
    };
    for (const row& r : rows) {
        const auto [start, end] = map.DragSegment(r.x);
        QVERIFY2(start == r.start && end == r.end,
                 qPrintable(QStringLiteral("x %1: [%2, %3)").arg(r.x).arg(start).arg(end)));
    }
}

void file_scope_map_test::DragToTheFarRight_StartsOnTheLastColumnAndMapsToTheLastLine()
{
    for (const uint64_t total : {150ull, 990ull, 123457ull, 3000000000ull}) {
        for (const int width : {60, 102, 333, 1500}) {
            const file_scope_map map = Bar(width, total, 0, 99, 100);
            const auto [start, end] = map.DragSegment(width + 40);
            QCOMPARE(start, width - 2);
            QCOMPARE(end, width - 1);
            QCOMPARE(map.PixelToLine(start), static_cast<int64_t>(total - 1));
        }
    }
}

void file_scope_map_test::TooltipLines_DraggingInsideAndOutsideTheSegment()
{
    const file_scope_map map = Bar(102, 990, 500, 599, 100); // segment [51, 61)
    struct row {
        const char* name;
        int x;
        bool dragging;
        int drag_start;
        int64_t first, second;
    };
    const std::vector<row> rows = {
        {"outside the segment: the line under the mouse", 20, false, 0, 190, -1},
        {"inside the segment: the window's first and last", 55, false, 0, 500, 599},
        {"segment end is outside", 61, false, 0, 600, -1},
        {"dragging: drag start and window size - 1 later", 55, true, 11, 100, 199},
        {"dragging near the end stops at the last line", 55, true, 95, 940, 989},
        {"dragging on the last column", 55, true, 100, 989, 989},
    };
    for (const row& r : rows) {
        const scope_tooltip_lines lines = map.TooltipLines(r.x, r.dragging, r.drag_start);
        QVERIFY2(lines.first == r.first && lines.second == r.second,
                 qPrintable(QStringLiteral("%1: %2, %3").arg(r.name).arg(lines.first).arg(lines.second)));
    }
}

void file_scope_map_test::TinyBar_NeitherDividesByZeroNorLeavesTheStrip()
{
    for (const int width : {-5, 0, 1, 2, 3}) {
        file_scope_map map;
        map.SetClientSize(width, 20);
        QVERIFY(map.SetScope(100000, 1000, 10, 19, 100, true));
        QVERIFY(std::isfinite(map.LinesPerPixel()));
        const int64_t line = map.PixelToLine(0);
        QVERIFY(line >= 0 && line <= 999);
        const auto [start, end] = map.DragSegment(10);
        QVERIFY(end > start);
    }
}

void file_scope_map_test::FileSizeText_UnitsAndEmptyFile()
{
    struct row {
        uint64_t size;
        const char16_t* text;
    };
    const std::vector<row> rows = {
        {0, u""},
        {1, u"Size: 1B"},
        {1023, u"Size: 1023B"},
        {1024, u"Size: 1KB"},
        {1536, u"Size: 1KB"},
        {1048575, u"Size: 1023KB"},
        {1048576, u"Size: 1MB"},
        {3 * 1048576, u"Size: 3MB"},
        {3 * 1048576 + 1048575, u"Size: 3MB"},
        {5ull << 30, u"Size: 5120MB"},
        {~0ull, u"Size: 17592186044415MB"},
    };
    for (const row& r : rows)
        QCOMPARE(FileSizeText(u"Size", r.size), std::u16string(r.text));
    QCOMPARE(JoinLinePreviews(u"a", u"b"), std::u16string(u"a\r\n...\r\n...\r\nb"));
}
