#include "ui/log_list_rules.h"

#include <algorithm>

std::u16string_view CellView(const std::vector<log_line*>& rows, int row, int column)
{
    if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= rows.size() || !rows[static_cast<std::size_t>(row)])
        return {};
    return ShownCellText(*rows[static_cast<std::size_t>(row)], static_cast<std::size_t>(column));
}

cut_mark CutMarkOf(const std::vector<log_line*>& rows, int row)
{
    cut_mark mark;
    if (row < 0 || static_cast<std::size_t>(row) >= rows.size() || !rows[static_cast<std::size_t>(row)])
        return mark;
    const log_line& line = *rows[static_cast<std::size_t>(row)];
    if (line.cut_length() == 0)
        return mark;
    mark.file_bytes = line.cut_length();
    mark.shown = line.text().size();
    const std::size_t end = line.text().size();
    for (std::size_t c = line.columns().size(); c-- > 0;) {
        const log_column& cell = line.columns()[c];
        if (cell.length > 0 && std::size_t{cell.offset} + cell.length == end) {
            mark.column = static_cast<int>(c);
            return mark;
        }
    }
    mark.column = static_cast<int>(line.columns().size()) - 1;
    return mark;
}

int WindowMoveDistance(edge_key key, int focused, int row_count, int rows_per_page)
{
    const int f = focused;
    const int n = row_count;
    const int p = rows_per_page;
    switch (key) {
    case edge_key::up: return n > 0 && f == 0 ? -1 : 0;
    case edge_key::down: return n > 0 && f == n - 1 ? 1 : 0;
    case edge_key::page_up: return f + 1 - p < 0 ? f + 1 - p : 0;
    case edge_key::page_down: return n - 1 < p + f - 1 ? f + p - n : 0;
    case edge_key::other: break;
    }
    return 0;
}

std::vector<row_range> MergeRowRanges(std::vector<row_range> ranges, int row_count)
{
    std::vector<row_range> clipped;
    clipped.reserve(ranges.size());
    for (row_range r : ranges) {
        r.first = std::max(r.first, 0);
        r.last = std::min(r.last, row_count - 1);
        if (r.first <= r.last)
            clipped.push_back(r);
    }
    std::sort(clipped.begin(), clipped.end(), [](const row_range& a, const row_range& b) { return a.first < b.first; });
    std::vector<row_range> merged;
    for (const row_range& r : clipped) {
        if (!merged.empty() && static_cast<int64_t>(r.first) <= static_cast<int64_t>(merged.back().last) + 1)
            merged.back().last = std::max(merged.back().last, r.last);
        else
            merged.push_back(r);
    }
    return merged;
}

std::vector<row_range> ComplementRowRanges(const std::vector<row_range>& merged, int row_count)
{
    std::vector<row_range> gaps;
    int next = 0;
    for (const row_range& r : merged) {
        if (r.first > next)
            gaps.push_back({next, r.first - 1});
        next = std::max(next, r.last + 1);
    }
    if (next < row_count)
        gaps.push_back({next, row_count - 1});
    return gaps;
}

int64_t CountRows(const std::vector<row_range>& merged)
{
    int64_t count = 0;
    for (const row_range& r : merged)
        count += static_cast<int64_t>(r.last) - r.first + 1;
    return count;
}
