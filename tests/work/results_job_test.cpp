// The whole-file results job through the protocol: its list holds every
// matching line of the file beyond the window, a cancel keeps a prefix, and
// nothing to look for says so.
#include "platform/strings.h"
#include "work/jobs.h"
#include "work/protocol_fixture.h"
#include "work/work_messages.h"

namespace {

class ResultsJob : public protocol_fixture {
protected:
    void SetUp() override
    {
        protocol_fixture::SetUp();
        App().SetProgressDelayMs(20000);
        App().settings.load_tail_first = false;
        App().settings.max_loading_lines = 100;
        App().OpenFiles({WriteFile("results.log", NumberedLines(5000))});
        ASSERT_TRUE(PumpUntilIdle());
        ASSERT_EQ(window.tabs.size(), 1u);
        m_data = window.tabs[0].file;
        ASSERT_EQ(FileOf(*m_data).indexer().wait_stopped(20000), 0);
        window.calls.clear();
    }
    // Posts the job and waits for its end.
    void Run(tagRESULTS_JOB& record)
    {
        App().WorkThread().PostJob(WM_JOB_RESULTS, 0, reinterpret_cast<intptr_t>(&record));
        App().RunJobAndWait(1, true);
        ASSERT_TRUE(PumpUntilIdle());
    }
    file_view* m_data = nullptr;
};

// The lines of NumberedLines(5000) whose text holds text.
std::vector<uint64_t> LinesHolding(const std::string& text)
{
    std::vector<uint64_t> out;
    for (uint64_t i = 0; i < 5000; ++i)
        if (("line " + std::to_string(i)).find(text) != std::string::npos)
            out.push_back(i);
    return out;
}

TEST_F(ResultsJob, FindAll_ListsEveryMatchingLineOfTheFileInOrder)
{
    result_lines results;
    tagRESULTS_JOB record;
    record.file = m_data;
    record.query.search.expression = u"77";
    record.results = &results;
    Run(record);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(record.outcome.ending, results_ending::done);
    EXPECT_EQ(record.outcome.next_line, 5000u);
    EXPECT_EQ(results.copy(), LinesHolding("77"));
}

TEST_F(ResultsJob, ACancelTakenAtOnce_KeepsAPrefixAndTheLineToGoOnFrom)
{
    App().WorkThread().CancelEvent().set();
    result_lines results;
    tagRESULTS_JOB record;
    record.file = m_data;
    record.query.search.expression = u"line";
    record.results = &results;
    Run(record);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(record.outcome.ending, results_ending::cancelled);
    const std::vector<uint64_t> part = results.copy();
    const std::vector<uint64_t> whole = LinesHolding("line");
    ASSERT_LE(part.size(), whole.size());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin()));
    // Going on completes the list.
    record.first_line = record.outcome.next_line;
    Run(record);
    EXPECT_EQ(results.copy(), whole);
}

TEST_F(ResultsJob, NothingToLookFor_SaysSoAndListsNothing)
{
    struct row {
        results_query::kind what;
        const char16_t* key;
    };
    const row rows[] = {{results_query::kind::find, u"IDS_MSG_INPUT_EXPRESSION"},
                        {results_query::kind::filter, u"IDS_MSG_RESULTS_NO_FILTER"}};
    for (const row& r : rows) {
        boxes.clear();
        result_lines results;
        tagRESULTS_JOB record;
        record.file = m_data;
        record.query.what = r.what;
        record.results = &results;
        Run(record);
        EXPECT_EQ(record.outcome.ending, results_ending::invalid);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], BoxText(r.key));
        EXPECT_TRUE(results.empty());
    }
}

} // namespace

namespace {

TEST_F(ResultsJob, TheViewsResults_FollowAppendedLinesAndAReload)
{
    CSearchInfo search;
    search.expression = u"99";
    ASSERT_TRUE(m_data->find_all(search));
    EXPECT_TRUE(m_data->results_used());
    EXPECT_EQ(m_data->results().copy(), LinesHolding("99"));
    // Result 3 is shown in a window that holds it, its row selected.
    const window_plan plan = m_data->plan_for_result(3);
    ASSERT_TRUE(m_data->move_window(plan));
    {
        const file_view::rows rows = m_data->read_rows();
        ASSERT_GE(plan.row, 0);
        EXPECT_EQ(rows.line_number(static_cast<std::size_t>(plan.row)), static_cast<int64_t>(m_data->results().at(3)));
    }
    EXPECT_FALSE(m_data->plan_for_result(m_data->results().size()).move);

    // Appended lines are walked on from where the list ended.
    std::string grown = NumberedLines(5000);
    for (int i = 5000; i < 5300; ++i)
        grown += "line " + std::to_string(i) + "\n";
    WriteFile("results.log", grown);
    ASSERT_GT(m_data->index_appended(), 0);
    ASSERT_TRUE(m_data->update_results());
    std::vector<uint64_t> expected;
    for (uint64_t i = 0; i < 5300; ++i)
        if (("line " + std::to_string(i)).find("99") != std::string::npos)
            expected.push_back(i);
    EXPECT_EQ(m_data->results().copy(), expected);

    // A rewritten file, reloaded: the list is made again from its start.
    WriteFile("results.log", NumberedLines(300));
    ASSERT_TRUE(m_data->reload());
    ASSERT_EQ(FileOf(*m_data).indexer().wait_stopped(20000), 0);
    ASSERT_TRUE(m_data->rerun_results());
    EXPECT_EQ(m_data->results().copy(), (std::vector<uint64_t>{99, 199, 299}));
}

TEST_F(ResultsJob, FilterWholeFile_ListsTheLinesThatPassTheViewsGroupsBeyondTheWindow)
{
    const std::vector<std::u16string> columns = m_data->column_names();
    ASSERT_FALSE(columns.empty());
    log_filter condition;
    condition.SetColumn(columns.front());
    condition.SetType(FILTER_TYPE_CONTAIN);
    condition.SetContent(u"line 49");
    log_filter_groups groups;
    groups.AddCondition(condition);
    ASSERT_TRUE(m_data->set_filter_groups(groups));
    ASSERT_TRUE(m_data->filter_whole_file());
    EXPECT_EQ(m_data->results().copy(), LinesHolding("line 49"));
    EXPECT_EQ(m_data->last_results_ending(), results_ending::done);
}

} // namespace
