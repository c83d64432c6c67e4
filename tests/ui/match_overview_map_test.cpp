#include "match_overview_map_test.h"

#include "ui/match_overview_map.h"

#include <QTest>

#include <random>
#include <string>
#include <vector>

namespace {

match_overview_map Strip(uint64_t total, int rows)
{
    match_overview_map map;
    map.SetShape(total, rows);
    return map;
}

} // namespace

void match_overview_map_test::LineToRow_Table()
{
    struct row {
        uint64_t total;
        int rows;
        uint64_t line;
        int expected;
    };
    const row table[] = {
        {100, 10, 0, 0},
        {100, 10, 9, 0},
        {100, 10, 10, 1},
        {100, 10, 99, 9},
        {100, 10, 100, -1},
        {3, 10, 0, 0},
        {3, 10, 1, 3},
        {3, 10, 2, 6},
        {0, 10, 0, -1},
        {100, 0, 5, -1},
        {7, 3, 2, 0},
        {7, 3, 3, 1},
        {7, 3, 5, 2},
        {1ull << 40, 500, (1ull << 40) - 1, 499},
        {1ull << 40, 500, 1ull << 39, 250},
    };
    for (const row& r : table)
        QCOMPARE(Strip(r.total, r.rows).LineToRow(r.line), r.expected);
}

void match_overview_map_test::RowLines_Table()
{
    struct row {
        uint64_t total;
        int rows;
        int row;
        uint64_t first;
        uint64_t end;
    };
    const row table[] = {
        {100, 10, 0, 0, 10}, {100, 10, 9, 90, 100}, {7, 3, 0, 0, 3},     {7, 3, 1, 3, 5},
        {7, 3, 2, 5, 7},     {3, 10, 0, 0, 1},      {3, 10, 1, 1, 1},    {3, 10, 3, 1, 2},
        {3, 10, 9, 3, 3},    {100, 10, -1, 0, 0},   {100, 10, 10, 0, 0}, {0, 10, 4, 0, 0},
    };
    for (const row& r : table) {
        const auto [first, end] = Strip(r.total, r.rows).RowLines(r.row);
        QCOMPARE(first, r.first);
        QCOMPARE(end, r.end);
    }
}

void match_overview_map_test::RowToLine_Table()
{
    struct row {
        uint64_t total;
        int rows;
        int y;
        int64_t expected;
    };
    const row table[] = {
        {100, 10, 0, 0}, {100, 10, 5, 50}, {100, 10, 9, 90}, {100, 10, -4, 0}, {100, 10, 400, 90},
        {3, 10, 1, 1},   {3, 10, 3, 1},    {3, 10, 9, 2},    {0, 10, 3, -1},   {100, 0, 0, -1},
    };
    for (const row& r : table)
        QCOMPARE(Strip(r.total, r.rows).RowToLine(r.y), r.expected);
}

void match_overview_map_test::RowsPartitionTheLinesInOrder_RandomShapes()
{
    std::mt19937_64 rng(31);
    for (int k = 0; k < 300; ++k) {
        const uint64_t total = k % 5 == 0 ? rng() % 20 : rng() % 100000;
        const int rows = 1 + static_cast<int>(rng() % 900);
        const match_overview_map map = Strip(total, rows);
        uint64_t next = 0;
        for (int r = 0; r < rows; ++r) {
            const auto [first, end] = map.RowLines(r);
            QCOMPARE(first, next);
            QVERIFY(end >= first);
            if (first < end) {
                QCOMPARE(map.LineToRow(first), r);
                QCOMPARE(map.LineToRow(end - 1), r);
                QCOMPARE(map.RowToLine(r), static_cast<int64_t>(first));
            }
            next = end;
        }
        QCOMPARE(next, total);
    }
}

void match_overview_map_test::MarkedRows_EqualTheRowsOfTheResults_RandomResults()
{
    std::mt19937_64 rng(32);
    for (int k = 0; k < 100; ++k) {
        const uint64_t total = 1 + rng() % 50000;
        const int rows = 1 + static_cast<int>(rng() % 700);
        const match_overview_map map = Strip(total, rows);
        std::vector<uint64_t> lines;
        result_lines results;
        const uint64_t share = 1 + rng() % 500; // one line in share
        for (uint64_t n = 0; n < total; ++n) {
            if (rng() % share == 0) {
                lines.push_back(n);
                results.append(n);
            }
        }
        // The reference: the row of each result marked.
        std::vector<bool> expected(static_cast<std::size_t>(rows), false);
        for (uint64_t n : lines)
            expected[static_cast<std::size_t>(map.LineToRow(n))] = true;
        QVERIFY(map.MarkedRows(lines) == expected);
        QVERIFY(map.MarkedRows(results) == expected);
    }
}
