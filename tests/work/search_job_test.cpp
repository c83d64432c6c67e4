// The find-in-file job through the protocol: a match selects its row in the
// window the search moved to, a cancel selects the row reached, no match
// says so and focuses the end searched towards.
#include "platform/strings.h"
#include "work/jobs.h"
#include "work/protocol_fixture.h"
#include "work/work_messages.h"

namespace {

class SearchJob : public protocol_fixture {
protected:
    void SetUp() override
    {
        protocol_fixture::SetUp();
        App().SetProgressDelayMs(20000);
        App().settings.load_tail_first = false;
        App().settings.max_loading_lines = 100;
        App().OpenFiles({WriteFile("search.log", NumberedLines(1000))});
        ASSERT_TRUE(PumpUntilIdle());
        ASSERT_EQ(window.tabs.size(), 1u);
        m_data = window.tabs[0].file;
        ASSERT_EQ(FileOf(*m_data).indexer().wait_stopped(20000), 0);
        window.calls.clear();
    }
    std::string RowText(int64_t row)
    {
        const log_file::window_reader reader = FileOf(*m_data).read_window();
        const std::vector<log_line*>& rows = file_view_engine::row_source(*m_data, reader);
        if (row < 0 || static_cast<std::size_t>(row) >= rows.size())
            return {};
        return ToUtf8(std::u16string(rows[static_cast<std::size_t>(row)]->text().begin(),
                                     rows[static_cast<std::size_t>(row)]->text().end()));
    }
    CSearchInfo Search(std::u16string expression, bool up)
    {
        CSearchInfo search;
        search.expression = std::move(expression);
        search.up = up;
        return search;
    }
    // The selection kind and row of the one view update, or -1, -1.
    std::pair<int, int64_t> OnlyViewUpdate() const
    {
        if (window.calls.size() != 1 || window.calls[0].rfind("view:", 0) != 0)
            return {-1, -1};
        const std::string call = window.calls[0];
        const std::size_t colon = call.find(':', 5);
        return {std::stoi(call.substr(5, colon - 5)), std::stoll(call.substr(colon + 1))};
    }
    file_view* m_data = nullptr;
};

TEST_F(SearchJob, AMatchBeyondTheWindow_MovesTheWindowAndSelectsItsRow)
{
    struct row {
        const char* expression;
        bool up;
        const char* found;
    };
    const row rows[] = {{"line 750", false, "line 750"}, {"line 12", true, "line 12"}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.expression);
        window.calls.clear();
        if (r.up)
            App().ReparseFrom(500, SELECT_KEEP, 0);
        ASSERT_TRUE(PumpUntilIdle());
        window.calls.clear();
        App().FindInFile(Search(FromUtf8(r.expression), r.up));
        ASSERT_TRUE(PumpUntilIdle());
        EXPECT_TRUE(boxes.empty());
        const auto [kind, found_row] = OnlyViewUpdate();
        EXPECT_EQ(kind, SELECT_ROW);
        EXPECT_EQ(RowText(found_row).rfind(r.found, 0), 0u) << RowText(found_row);
    }
}

TEST_F(SearchJob, ACancelTakenAtTheFirstRow_SelectsTheRowReachedAndSaysNothing)
{
    // The job posted with the cancel already pressed: its first test takes it.
    App().WorkThread().CancelEvent().set();
    tagSEARCH_JOB record{Search(u"no such text", false), m_data};
    App().WorkThread().PostJob(WM_JOB_SEARCH, 0, reinterpret_cast<intptr_t>(&record));
    App().RunJobAndWait(1, true);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_TRUE(boxes.empty());
    const auto [kind, row] = OnlyViewUpdate();
    EXPECT_EQ(kind, SELECT_ROW);
    EXPECT_EQ(row, 0);
    // Down from the window 0..99: the search had reached the next window.
    int64_t first = -1;
    int64_t last = -1;
    FileOf(*m_data).window(first, last);
    EXPECT_EQ(first, 100);
    EXPECT_EQ(RowText(row), "line 100");
    EXPECT_EQ(App().WorkThread().CancelEvent().wait(0), 1); // taken
}

TEST_F(SearchJob, NoMatchDownFromAWindowAtTheEnd_SaysSoAtOnceAndKeepsTheSelection)
{
    App().ReparseFrom(900, SELECT_KEEP, 0);
    ASSERT_TRUE(PumpUntilIdle());
    window.calls.clear();
    App().FindInFile(Search(u"line 5", false));
    ASSERT_TRUE(PumpUntilIdle());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], BoxText(u"IDS_MSG_NOT_FOUND"));
    EXPECT_EQ(window.calls, (std::vector<std::string>{"view:0:0"}));
}

TEST_F(SearchJob, NoMatchFromAWindowInTheMiddle_TheViewGoesBackToItsWindow)
{
    // The search walks to the file's end (or start) and finds nothing: the
    // window is the one the view had, and the selection is kept.
    for (const bool up : {false, true}) {
        SCOPED_TRACE(up ? "up" : "down");
        App().ReparseFrom(500, SELECT_KEEP, 0);
        ASSERT_TRUE(PumpUntilIdle());
        window.calls.clear();
        boxes.clear();
        App().FindInFile(Search(u"no such text", up));
        ASSERT_TRUE(PumpUntilIdle());
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(window.calls, (std::vector<std::string>{"view:0:0"}));
        int64_t first = -1;
        int64_t last = -1;
        FileOf(*m_data).window(first, last);
        EXPECT_EQ(first, 500);
        EXPECT_EQ(RowText(0), "line 500");
    }
}

} // namespace
