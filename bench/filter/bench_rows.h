// Rows for the filter and highlight benchmarks: lines in the bundled
// sample's format, split into columns by a plain start/end scan, and a timer
// of thread CPU time.
#pragma once

#include "parser/log_line.h"
#include "parser/log_pattern.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// The sample's lines, or an empty list when the file cannot be read.
inline std::vector<std::u16string> ReadSampleLines(const std::string& path)
{
    std::vector<std::u16string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.emplace_back(line.begin(), line.end()); // the sample is ASCII
    }
    return lines;
}

// Splits text by the top-level items' start and end texts, left to right.
inline std::unique_ptr<log_line> SplitLine(const std::u16string& text, const log_pattern_list& parser)
{
    auto line = std::make_unique<log_line>();
    line->assign_text(text);
    line->make_room(parser.size(), parser.size()); // so that the text stays where view sees it
    const std::u16string_view view = line->text();
    std::size_t pos = 0;
    for (const log_pattern& item : parser) {
        if (pos >= view.size())
            break;
        std::size_t start = pos;
        if (!item.start.empty()) {
            const std::size_t q = view.find(item.start, pos);
            if (q != std::u16string_view::npos)
                start = q + item.start.size();
        }
        std::size_t end = view.size();
        if (!item.end.empty()) {
            const std::size_t q = view.find(item.end, start);
            if (q == std::u16string_view::npos)
                break;
            end = q;
            pos = q + item.end.size();
        }
        tagDATA_VALUE value;
        ParseDataValue(value, view.data() + start, end - start, item.data_format);
        line->add_column(start, end - start, value);
    }
    return line;
}

inline log_pattern Item(const std::u16string& start, const std::u16string& end, const std::u16string& name,
                        int32_t data_type = DATA_TYPE_TEXT)
{
    log_pattern item(name);
    item.start = start;
    item.end = end;
    item.data_format.data_type = data_type;
    return item;
}

inline double ThreadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Best of rounds, in milliseconds of thread CPU time.
template <class Run> double BestOf(int rounds, Run run)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        const double start = ThreadCpuMilliseconds();
        run();
        best = std::min(best, ThreadCpuMilliseconds() - start);
    }
    return best;
}

} // namespace bench
