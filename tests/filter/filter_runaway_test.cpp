// A condition whose regular expression would backtrack without end, over a
// whole window: the run ends in bounded time, the budget-exhausted cells do
// not pass, and the run's other conditions still decide every row.
#include "filter/filter_run.h"
#include "filter/text_matcher.h"
#include "filter_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>

namespace {

// Runs work on a thread and waits at most the safety net; a hang fails the
// test and ends the process instead of blocking the suite.
template <class Work> auto WithinSafetyNet(Work work, std::chrono::seconds net)
{
    auto future = std::async(std::launch::async, std::move(work));
    if (future.wait_for(net) != std::future_status::ready) {
        ADD_FAILURE() << "no answer within " << net.count() << " s";
        std::_Exit(1);
    }
    return future.get();
}

TEST(RunawayPattern, CatastrophicRegexOverAWholeWindowEndsInBoundedTime)
{
    constexpr int kRows = 100000;
    // Every message holds the required "b" and a long run of a's before it:
    // (a+)+b backtracks exponentially at every start position.
    const std::u16string message = std::u16string(40, u'a') + u"c b";
    std::vector<std::unique_ptr<log_line>> storage;
    std::vector<log_line*> rows;
    storage.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        storage.push_back(MakeLine({i % 2 ? u"ERROR" : u"INFO", message}));
        rows.push_back(storage.back().get());
    }
    const log_pattern_list parser = {Column(u"level"), Column(u"msg")};
    log_filter_groups groups;
    groups.AddCondition(Condition(u"msg", FILTER_TYPE_REGEXP, u"(a+)+b", true, false));
    groups.AddCondition(Condition(u"msg", FILTER_TYPE_CONTAIN, u"c b", true, false));
    groups.AddCondition(Condition(u"level", FILTER_TYPE_EQUAL, u"ERROR"));

    const filter_run_result result =
        WithinSafetyNet([&] { return RunFilter(rows, parser, groups, log_filter()); }, std::chrono::seconds(120));
    ASSERT_TRUE(result.ran);
    // The contain condition (an OR member) keeps every message; the level decides.
    EXPECT_EQ(result.filtered.size(), static_cast<std::size_t>(kRows / 2));

    prepared_groups prepared(groups, parser);
    for (log_line* row : rows)
        prepared.RowPasses(*row);
    EXPECT_EQ(prepared.aborted_searches(), text_matcher::kDefaultRunawayLimit);
}

TEST(RunawayPattern, MatcherStopsSearchingAfterItsLimit)
{
    text_matcher matcher = text_matcher::Regex(u"(x+x+)+y", true, 2);
    const std::u16string bad = std::u16string(32, u'x') + u" y";
    EXPECT_TRUE(matcher.Find(u"xxy"));
    EXPECT_FALSE(matcher.Find(bad));
    EXPECT_EQ(matcher.aborted_searches(), 1);
    EXPECT_FALSE(matcher.runaway());
    EXPECT_TRUE(matcher.Find(u"xxy"));
    EXPECT_FALSE(matcher.Find(bad));
    EXPECT_TRUE(matcher.runaway());
    // From now on nothing is searched: even a text that matches at once.
    EXPECT_FALSE(matcher.Find(u"xxy"));
    EXPECT_EQ(matcher.aborted_searches(), 2);
    // Copies made before share the pattern, not the tally.
    text_matcher fresh = text_matcher::Regex(u"(x+x+)+y", true, 2);
    text_matcher copy = fresh;
    EXPECT_FALSE(copy.Find(bad));
    EXPECT_TRUE(fresh.Find(u"xxy"));
    EXPECT_EQ(fresh.aborted_searches(), 0);
}

} // namespace
