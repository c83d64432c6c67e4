#include "ui/match_overview_map.h"

#include <algorithm>

namespace {

__extension__ typedef unsigned __int128 wide_uint;

} // namespace

void match_overview_map::SetShape(uint64_t total_lines, int rows)
{
    m_total = total_lines;
    m_rows = std::max(rows, 0);
}

int match_overview_map::LineToRow(uint64_t line) const
{
    if (m_rows == 0 || line >= m_total)
        return -1;
    return static_cast<int>(static_cast<wide_uint>(line) * static_cast<unsigned>(m_rows) / m_total);
}

uint64_t match_overview_map::FirstLineOfRow(int row) const
{
    const wide_uint product = static_cast<wide_uint>(row) * m_total;
    const auto rows = static_cast<unsigned>(m_rows);
    return static_cast<uint64_t>((product + rows - 1) / rows);
}

std::pair<uint64_t, uint64_t> match_overview_map::RowLines(int row) const
{
    if (m_rows == 0 || row < 0 || row >= m_rows)
        return {0, 0};
    return {FirstLineOfRow(row), FirstLineOfRow(row + 1)};
}

int64_t match_overview_map::RowToLine(int y) const
{
    if (m_rows == 0 || m_total == 0)
        return -1;
    const int row = std::clamp(y, 0, m_rows - 1);
    return static_cast<int64_t>(std::min(FirstLineOfRow(row), m_total - 1));
}

std::vector<bool> match_overview_map::MarkedRows(const result_lines& results) const
{
    std::vector<bool> marked(static_cast<std::size_t>(m_rows), false);
    const uint64_t count = results.size();
    for (int row = 0; row < m_rows && count > 0; ++row) {
        const auto [first, end] = RowLines(row);
        if (first == end)
            continue;
        const uint64_t k = results.lower_bound(first);
        marked[static_cast<std::size_t>(row)] = k < count && results.at(k) < end;
    }
    return marked;
}

std::vector<bool> match_overview_map::MarkedRows(const std::vector<uint64_t>& results) const
{
    std::vector<bool> marked(static_cast<std::size_t>(m_rows), false);
    for (int row = 0; row < m_rows; ++row) {
        const auto [first, end] = RowLines(row);
        const auto it = std::lower_bound(results.begin(), results.end(), first);
        marked[static_cast<std::size_t>(row)] = first < end && it != results.end() && *it < end;
    }
    return marked;
}
