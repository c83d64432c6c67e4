// highlight_bench [sample.log]: the colours of one page (50 rows by 6 cells)
// with 10 rules, half of them regular expressions, and a search that
// highlights its hits.  Printed beside a plain substring test of every rule
// on every cell of the page, and beside the per-cell decision that matches
// through the shared pattern cache and one that compiles every pattern anew.
#include "filter/bench_rows.h"
#include "highlight/cell_colors.h"
#include "regex/text_match.h"

#include <cstdio>

namespace {

constexpr std::size_t kPageRows = 50;
constexpr int kRounds = 200;

tagHIGHLIGHT_ITEM Rule(const std::u16string& expression, const std::u16string& column, bool regexp, bool cs)
{
    tagHIGHLIGHT_ITEM rule;
    rule.expression = expression;
    rule.column = column;
    rule.regexp = regexp;
    rule.case_sensitive = cs;
    rule.text_color = 0x0000FF;
    rule.back_color = 0xE0E0FF;
    return rule;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string path = argc > 1 ? argv[1] : VARNOTH_SOURCE_RESOURCES "/samples/sample.log";
    const std::vector<std::u16string> sample = bench::ReadSampleLines(path);
    if (sample.size() < kPageRows) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    const log_pattern_list parser = {bench::Item(u"", u" ", u"Date"),    bench::Item(u"", u" [", u"Time"),
                                     bench::Item(u"", u"] [", u"Level"), bench::Item(u"", u"] ", u"Thread"),
                                     bench::Item(u"", u" ", u"Verb"),    bench::Item(u"", u"", u"Message")};
    std::vector<std::unique_ptr<log_line>> page;
    for (std::size_t i = 0; i < kPageRows; ++i)
        page.push_back(bench::SplitLine(sample[(i * 61) % sample.size()], parser));

    CHighlight rules = {Rule(u"ERROR", u"Level", false, true),
                        Rule(u"WARN", u"Level", false, true),
                        Rule(u"timeout", u"", false, false),
                        Rule(u"cache miss", u"Message", false, false),
                        Rule(u"worker-3", u"Thread", false, true),
                        Rule(u"took \\d{4} ms", u"Message", true, true),
                        Rule(u"\\b10\\.0\\.\\d+\\.\\d+", u"", true, true),
                        Rule(u"^(Retrying|Timeout)", u"", true, false),
                        Rule(u"user:\\d+$", u"Message", true, true),
                        Rule(u"batch-(1|2)\\d\\.dat", u"", true, false)};
    CSearchInfo search;
    search.expression = u"Connection pool";
    search.highlight = true;
    const tagHIGHLIGHT_STATE state{&search, &rules, true};
    const tagSYSTEM_COLORS colors = {0, 0xFFFFFF, 0xFFFFFF, 0xD77800, 0xA0A0A0, 0, 0x00FFFF};

    std::vector<std::u16string> names;
    for (const log_pattern& item : parser)
        names.push_back(item.name);
    auto cell_text = [](const log_line& row, std::size_t c) { return row.text_of(row.columns()[c]); };
    std::size_t cells = 0;
    for (const auto& row : page)
        cells += row->columns().size();

    std::size_t marked = 0;
    const double painter_ms = bench::BestOf(kRounds, [&] {
        marked = 0;
        cell_painter painter(state, colors);
        for (const auto& row : page)
            for (std::size_t c = 0; c < row->columns().size(); ++c)
                marked += painter.CellColors(cell_text(*row, c), names[c], static_cast<int32_t>(c), false, true).marked;
    });

    // Baseline: every rule and the search as a plain substring test on every cell.
    std::size_t hits = 0;
    const double scan_ms = bench::BestOf(kRounds, [&] {
        hits = 0;
        for (const auto& row : page)
            for (std::size_t c = 0; c < row->columns().size(); ++c) {
                const std::u16string_view text = cell_text(*row, c);
                hits += text.find(search.expression) != std::u16string_view::npos;
                for (const tagHIGHLIGHT_ITEM& rule : rules)
                    hits += text.find(rule.expression) != std::u16string_view::npos;
            }
    });

    // The per-cell decision, matching through the shared pattern cache.
    std::size_t plain_marked = 0;
    const double plain_ms = bench::BestOf(kRounds, [&] {
        plain_marked = 0;
        for (const auto& row : page)
            for (std::size_t c = 0; c < row->columns().size(); ++c)
                plain_marked +=
                    CellColors(cell_text(*row, c), names[c], static_cast<int32_t>(c), false, true, state, colors)
                        .marked;
    });

    // As written: every regular-expression test compiles its pattern.
    std::size_t fresh_hits = 0;
    const double fresh_ms = bench::BestOf(5, [&] {
        fresh_hits = 0;
        for (const auto& row : page)
            for (std::size_t c = 0; c < row->columns().size(); ++c) {
                const std::u16string_view text = cell_text(*row, c);
                for (const tagHIGHLIGHT_ITEM& rule : rules) {
                    if (!rule.regexp || !(rule.column.empty() || rule.column == names[c]))
                        continue;
                    CPatternT pattern;
                    pattern.Compile(rule.expression, rule.case_sensitive ? NO_FLAG : IgnoreCase);
                    fresh_hits += pattern.Match(text.data(), static_cast<int>(text.size())).IsMatched();
                }
            }
    });

    std::printf("page of %zu rows, %zu cells, %zu rules (5 regular expressions); %zu cells coloured (%zu)\n",
                page.size(), cells, rules.size(), marked, plain_marked);
    std::printf("prepared page (cell_painter)      %8.3f ms   (target <= 2 ms)\n", painter_ms);
    std::printf("baseline: substring pass          %8.3f ms   ratio %.2f (%zu hits)\n", scan_ms, painter_ms / scan_ms,
                hits);
    std::printf("per-cell CellColors, cached       %8.3f ms   (%.1f x)\n", plain_ms, plain_ms / painter_ms);
    std::printf("compiling per cell, regex rules   %8.3f ms   (%.1f x; %zu hits)\n", fresh_ms, fresh_ms / painter_ms,
                fresh_hits);
    return 0;
}
