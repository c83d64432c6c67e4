// Rows for the list tests and benchmarks: a file_view whose parsed window is
// filled straight from texts (no file behind it), split by a parser's
// top-level items or given column by column, with the filtered and quick
// lists chosen by hand.
#pragma once

#include "../support/test_view_host.h"
#include "filter/bench_rows.h"
#include "parser/log_pattern.h"
#include "work/file_view_engine.h"
#include "xml/xml_file.h"

#include <memory>
#include <string>
#include <vector>

// The tests' way into a log file's window.
struct log_file_test_access {
    // Appends the lines to the window (the file takes them) and sets the
    // window numbers to cover them.
    static void add_lines(log_file& file, std::vector<std::unique_ptr<log_line>> lines)
    {
        owned_lines& window = file.m_window.m_lines;
        for (auto& line : lines)
            window.adopt(line.release());
        file.set_window(window.empty() ? -1 : 0, static_cast<int64_t>(window.size()) - 1);
    }
    // The filtered and quick lists: the window's lines at the given rows.
    static void set_filtered(log_file& file, const std::vector<std::size_t>& rows)
    {
        file.m_window.m_filtered_lines.clear();
        for (std::size_t row : rows)
            file.m_window.m_filtered_lines.push_back(file.m_window.m_lines.lines().at(row));
    }
    static void set_quick(log_file& file, const std::vector<std::size_t>& rows)
    {
        file.m_window.m_quick_lines.clear();
        for (std::size_t row : rows)
            file.m_window.m_quick_lines.push_back(file.m_window.m_lines.lines().at(row));
    }
    // Empties the window (its lines go to a deleting thread).
    static void clear(log_file& file) { file.discard_lines(); }
};

namespace list_fixture {

// The top-level items of a parser file (start, end, name), or an empty list
// when it does not load.
inline log_pattern_list LoadParserItems(const std::u16string& path)
{
    log_pattern_list parser;
    const std::unique_ptr<TiXmlElement> root = LoadXmlFile(path);
    if (!root)
        return parser;
    for (const TiXmlElement* item = root->FirstChildElement("pattern_item"); item;
         item = item->NextSiblingElement("pattern_item")) {
        log_pattern pattern;
        ReadXmlChildText(item, "start", pattern.start);
        ReadXmlChildText(item, "end", pattern.end);
        ReadXmlChildText(item, "name", pattern.name);
        parser.push_back(pattern);
    }
    return parser;
}

inline std::vector<std::u16string> ColumnNames(const log_pattern_list& parser)
{
    std::vector<std::u16string> names;
    for (const log_pattern& item : parser)
        names.push_back(item.name);
    return names;
}

// A line whose columns are the given texts, joined by one blank in its text.
inline std::unique_ptr<log_line> LineOfCells(const std::vector<std::u16string>& cells)
{
    auto line = std::make_unique<log_line>();
    std::u16string text;
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (const std::u16string& cell : cells) {
        if (!text.empty())
            text.push_back(u' ');
        spans.emplace_back(text.size(), cell.size());
        text += cell;
    }
    line->assign_text(text);
    for (const auto& [offset, length] : spans) {
        line->add_column(offset, length);
    }
    return line;
}

// Fills file's window with texts split by parser.
inline void FillSplit(file_view& file, const std::vector<std::u16string>& texts, const log_pattern_list& parser)
{
    std::vector<std::unique_ptr<log_line>> lines;
    lines.reserve(texts.size());
    for (const std::u16string& text : texts)
        lines.push_back(bench::SplitLine(text, parser));
    log_file_test_access::add_lines(FileOf(file), std::move(lines));
}

// Fills file's window with rows given cell by cell.
inline void FillCells(file_view& file, const std::vector<std::vector<std::u16string>>& rows)
{
    std::vector<std::unique_ptr<log_line>> lines;
    lines.reserve(rows.size());
    for (const auto& cells : rows)
        lines.push_back(LineOfCells(cells));
    log_file_test_access::add_lines(FileOf(file), std::move(lines));
}

} // namespace list_fixture
