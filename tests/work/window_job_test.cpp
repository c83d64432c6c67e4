// The windows the open and re-parse jobs build: head or tail first, the
// maximum loading lines at and around the file's size, and the bundled
// sample with the shipped parsers through the whole message sequence.
#include "platform/strings.h"
#include "work/protocol_fixture.h"
#include "work/work_messages.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

using WindowJob = protocol_fixture;

// The text of every row of the file's row source.
std::vector<std::string> RowTexts(file_view& data)
{
    std::vector<std::string> texts;
    const log_file::window_reader window = FileOf(data).read_window();
    for (const log_line* line : file_view_engine::row_source(data, window))
        texts.push_back(ToUtf8(std::u16string(line->text().begin(), line->text().end())));
    return texts;
}

std::vector<std::string> Lines(int first, int last)
{
    std::vector<std::string> out;
    for (int i = first; i <= last; ++i)
        out.push_back("line " + std::to_string(i));
    return out;
}

struct window_case {
    const char* what;
    int lines;
    unsigned maximum;
    bool tail_first;
    int first_shown; // the first and last file line of the window
    int last_shown;
};

TEST_F(WindowJob, FirstWindow_FollowsTheMaximumAndTailFirst)
{
    const window_case cases[] = {
        {"tail first, more than the maximum", 250, 100, true, 150, 249},
        {"tail first, exactly the maximum", 100, 100, true, 0, 99},
        {"tail first, fewer than the maximum", 40, 100, true, 0, 39},
        {"head first, more than the maximum", 250, 100, false, 0, 99},
        {"head first, exactly the maximum", 100, 100, false, 0, 99},
        {"one line", 1, 100, true, 0, 0},
        // 0 in setting.xml means no limit: the whole file, also tail first.
        {"no limit, tail first", 250, 0, true, 0, 249},
        {"no limit, head first", 250, 0, false, 0, 249},
    };
    App().SetProgressDelayMs(20000);
    int n = 0;
    for (const window_case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        App().settings.max_loading_lines = c.maximum;
        App().settings.load_tail_first = c.tail_first;
        const std::u16string path = WriteFile("w" + std::to_string(n++) + ".log", NumberedLines(c.lines));
        const std::size_t before = window.tabs.size();
        App().OpenFiles({path});
        ASSERT_TRUE(PumpUntilIdle());
        EXPECT_TRUE(boxes.empty());
        ASSERT_EQ(window.tabs.size(), before + 1);
        file_view& data = *window.tabs.back().file;
        EXPECT_EQ(window.tabs.back().rows, std::size_t(c.last_shown - c.first_shown + 1));
        EXPECT_EQ(RowTexts(data), Lines(c.first_shown, c.last_shown));
    }
}

TEST_F(WindowJob, Reparse_MovesTheWindowAndAsksForTheSelection)
{
    App().SetProgressDelayMs(20000);
    App().settings.max_loading_lines = 50;
    App().settings.load_tail_first = false;
    App().OpenFiles({WriteFile("move.log", NumberedLines(120))});
    ASSERT_TRUE(PumpUntilIdle());
    file_view& data = *window.tabs.at(0).file;
    ASSERT_EQ(FileOf(data).indexer().wait_stopped(20000), 0); // the rest is indexed
    ASSERT_EQ(FileOf(data).line_count(), 120u);
    window.calls.clear();
    App().ReparseFrom(100, SELECT_ROW, -1);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(window.calls, (std::vector<std::string>{"view:3:-1"}));
    EXPECT_EQ(RowTexts(data), Lines(100, 119));
    EXPECT_TRUE(window.redraw);
}

TEST_F(WindowJob, ReparseWhileTheIndexThreadStillRuns_PausesItAroundTheParse)
{
    App().SetProgressDelayMs(20000);
    App().settings.max_loading_lines = 1000;
    App().settings.load_tail_first = false;
    App().OpenFiles({WriteFile("busy.log", NumberedLines(200000))});
    ASSERT_TRUE(PumpUntilIdle());
    file_view& data = *window.tabs.at(0).file;
    // Whether or not indexing has finished, the re-parse must not race it.
    App().ReparseFrom(500, SELECT_FIRST, 0);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(RowTexts(data).front(), "line 500");
    EXPECT_EQ(RowTexts(data).size(), 1000u);
}

class BundledSample : public protocol_fixture {
protected:
    void SetUp() override
    {
        // The shipped parsers in the data folder, before start-up loads them.
        for (const auto& entry :
             std::filesystem::directory_iterator(std::filesystem::path(VARNOTH_SOURCE_RESOURCES) / "parser"))
            m_dir.write("install/parser/" + entry.path().filename().string(), ReadBytes(entry.path()));
        protocol_fixture::SetUp();
    }
    static std::string ReadBytes(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(BundledSample, OpensThroughTheJobProtocolWithItsParserAndTheMessagesInOrder)
{
    App().SetProgressDelayMs(0); // every message passes the dialog's loop
    const std::u16string sample =
        (std::filesystem::path(VARNOTH_SOURCE_RESOURCES) / "samples" / "sample.log").u16string();
    App().OpenFiles({sample});
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_TRUE(boxes.empty());

    std::vector<unsigned> sequence;
    for (unsigned id : dispatched)
        if (sequence.empty() || sequence.back() != id || id != WM_WORK_PROGRESS)
            sequence.push_back(id);
    EXPECT_EQ(sequence, (std::vector<unsigned>{WM_WORK_PROGRESS, WM_WORK_DETECT_PARSER, WM_WORK_PROGRESS, WM_WORK_DONE,
                                               WM_WORK_FILE_READY}));
    ASSERT_EQ(window.tabs.size(), 1u);
    file_view& data = *window.tabs[0].file;
    EXPECT_EQ(data.parser_name(), u"Application log");
    EXPECT_EQ(window.tabs[0].rows, 3000u);
    const log_file::window_reader rows = FileOf(data).read_window();
    ASSERT_FALSE(rows.lines().empty());
    EXPECT_EQ(rows.lines().front()->columns().size(), 4u);
}

} // namespace
