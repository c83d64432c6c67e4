// A filter run on the work thread while the interface thread paints with the
// same kind of rules: each has its own prepared form, and the answers equal
// those of a single thread.  (Run under the thread sanitizer.)
#include "filter/filter_run.h"
#include "filter/filter_test_support.h"
#include "highlight/cell_colors.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(Concurrency, FilterRunAndPaintingAtOnceGiveTheSingleThreadAnswers)
{
    std::vector<std::unique_ptr<log_line>> storage;
    std::vector<log_line*> rows;
    for (int i = 0; i < 2000; ++i) {
        storage.push_back(MakeLine(
            {i % 3 ? u"ERROR" : u"info", u"request " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10))}));
        rows.push_back(storage.back().get());
    }
    const log_pattern_list parser = {Column(u"level"), Column(u"msg")};
    log_filter_groups groups;
    groups.AddCondition(Condition(u"level", FILTER_TYPE_REGEXP, u"err(or)?", false));
    groups.AddCondition(Condition(u"msg", FILTER_TYPE_WILDCARD, u"req*t ?", true));
    groups.AddCondition(Condition(u"msg", FILTER_TYPE_EXCLUDE, u"7", true));
    CHighlight rules;
    tagHIGHLIGHT_ITEM rule;
    rule.expression = u"err(or)?";
    rule.regexp = true;
    rules.push_back(rule);
    CSearchInfo search;
    search.expression = u"request 5";
    search.highlight = true;
    const tagHIGHLIGHT_STATE state{&search, &rules, true};
    const tagSYSTEM_COLORS colors = {1, 2, 3, 4, 5, 6, 7};

    const filter_run_result expected_run = RunFilter(rows, parser, groups, log_filter());
    auto paint = [&] {
        std::vector<tagCELL_COLORS> page;
        cell_painter painter(state, colors);
        for (const log_line* row : rows)
            for (std::size_t c = 0; c < row->columns().size(); ++c)
                page.push_back(
                    painter.CellColors(CellText(*row, c), c ? u"msg" : u"level", static_cast<int32_t>(c), false, true));
        return page;
    };
    const std::vector<tagCELL_COLORS> expected_page = paint();

    std::atomic<int> run_mismatches{0}, paint_mismatches{0};
    std::thread work([&] {
        for (int i = 0; i < 20; ++i) {
            const filter_run_result r = RunFilter(rows, parser, groups, log_filter());
            if (r.filtered != expected_run.filtered)
                ++run_mismatches;
        }
    });
    std::thread interface([&] {
        for (int i = 0; i < 20; ++i) {
            if (paint() != expected_page)
                ++paint_mismatches;
            // The per-cell form shares the process-wide pattern cache.
            for (const log_line* row : rows)
                if (CellColors(CellText(*row, 0), u"level", 0, false, true, state, colors)
                    != CellColors(CellText(*row, 0), u"level", 0, false, true, state, colors))
                    ++paint_mismatches;
        }
    });
    work.join();
    interface.join();
    EXPECT_EQ(run_mismatches.load(), 0);
    EXPECT_EQ(paint_mismatches.load(), 0);
    EXPECT_GT(expected_run.filtered.size(), 0u);
}

} // namespace
