// suggestion_bench: the quality and the cost of suggesting a parser.
//
// For every format of the suggestion corpus (tests/parser/corpus) it prints
// whether the suggested columns cut and type the lines as a person would
// (layout), whether their names are the expected ones too, the share of the
// format's own lines the suggestion splits with every typed value valid, and
// the time to suggest from 300 lines (the format's lines repeated), the best
// of 5, beside the baseline: splitting the same 300 lines once with the
// suggested parser.
#include "parser/parser_suggestion.h"
#include "parser/split_line.h"
#include "suggestion_corpus.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using clock_type = std::chrono::steady_clock;

double best_ms(int rounds, const auto& work)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        const auto start = clock_type::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(clock_type::now() - start).count());
    }
    return best;
}

} // namespace

int main()
{
    constexpr std::size_t kLines = 300;
    int layouts = 0;
    int names = 0;
    int shares = 0;
    double slowest = 0;
    std::printf("%-48s %-7s %-6s %12s %14s %14s %7s\n", "format", "layout", "names", "split", "suggest 300",
                "split 300", "ratio");
    for (const corpus_format& format : SuggestionCorpus()) {
        std::ifstream in(std::filesystem::path(VARNOTH_SUGGESTION_CORPUS) / format.file, std::ios::binary);
        std::vector<std::u16string> own;
        for (std::string line; std::getline(in, line);)
            own.push_back(FromUtf8(line));
        std::vector<std::u16string_view> others(own.begin() + 1, own.end());
        const parser_suggestion suggestion = suggest_parser(own.front(), others);
        const std::string got = DescribeColumns(suggestion.parser);
        const bool layout = DescribeLayout(got) == DescribeLayout(format.columns);
        const bool named = got == format.columns;
        const bool share = suggestion.split * 100 >= suggestion.sampled * 95;
        layouts += layout;
        names += named;
        shares += share;

        std::vector<std::u16string_view> many;
        for (std::size_t i = 1; i < kLines; ++i)
            many.push_back(own[i % own.size()]);
        std::size_t sink = 0;
        const double suggest = best_ms(5, [&] { sink += suggest_parser(own.front(), many).parser.size(); });
        const double split = best_ms(5, [&] {
            log_line line;
            sink += split_line(line, own.front().data(), own.front().size(), suggestion.parser, true);
            for (const std::u16string_view text : many)
                sink += split_line(line, text.data(), text.size(), suggestion.parser, true);
        });
        slowest = std::max(slowest, suggest);
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.0fx", split > 0 ? suggest / split : 0.0);
        std::printf("%-48s %-7s %-6s %5zu of %3zu %11.2f ms %11.3f ms %7s%s\n", format.name, layout ? "exact" : "MISS",
                    named ? "exact" : "other", suggestion.split, suggestion.sampled, suggest, split, ratio,
                    sink == 0 ? " " : "");
        if (!named)
            std::printf("    expected %s\n    suggested %s\n", format.columns, got.c_str());
    }
    const auto total = SuggestionCorpus().size();
    std::printf("\nlayout exact: %d of %zu; names exact too: %d of %zu; split at least 95%%: %d of %zu; slowest "
                "suggestion from 300 lines: %.2f ms\n",
                layouts, total, names, total, shares, total, slowest);
    return 0;
}
