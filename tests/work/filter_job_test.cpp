// The filter jobs through the protocol: the quick filter as plain text or
// wildcard, the filter conditions, both together, and the verdicts that a
// moved window gives its new lines.  Rows are compared with a plain scan
// (a plain wildcard matcher for the wildcard) over the same lines.
#include "filter/log_filter.h"
#include "glossant/dictionary_text.h"
#include "platform/strings.h"
#include "support/wildcard_reference.h"
#include "work/protocol_fixture.h"
#include "work/work_messages.h"

namespace {

class FilterJob : public protocol_fixture {
protected:
    void SetUp() override
    {
        protocol_fixture::SetUp();
        App().SetProgressDelayMs(20000);
        App().settings.load_tail_first = false;
        App().settings.max_loading_lines = 300;
        App().OpenFiles({WriteFile("filter.log", NumberedLines(1000))});
        ASSERT_TRUE(PumpUntilIdle());
        ASSERT_EQ(window.tabs.size(), 1u);
        m_data = window.tabs[0].file;
        ASSERT_EQ(FileOf(*m_data).indexer().wait_stopped(20000), 0);
        window.calls.clear();
    }

    std::vector<std::string> Rows()
    {
        std::vector<std::string> texts;
        const log_file::window_reader reader = FileOf(*m_data).read_window();
        for (const log_line* line : file_view_engine::row_source(*m_data, reader))
            texts.push_back(ToUtf8(std::u16string(line->text().begin(), line->text().end())));
        return texts;
    }
    // The lines first..last that keep passes.
    template <typename Test> static std::vector<std::string> Reference(int first, int last, Test passes)
    {
        std::vector<std::string> out;
        for (int i = first; i <= last; ++i) {
            const std::string text = "line " + std::to_string(i);
            if (passes(text))
                out.push_back(text);
        }
        return out;
    }

    file_view* m_data = nullptr;
};

TEST_F(FilterJob, QuickFilterText_WithStarOrQuestionMarkIsAWildcardOtherwisePlainText)
{
    struct row {
        const char* text;
        std::function<bool(const std::string&)> reference;
    };
    const row rows[] = {
        {"e 1?5", [](const std::string& t) { return WildcardFound(t, "e 1?5"); }},
        {"2*9", [](const std::string& t) { return WildcardFound(t, "2*9"); }},
        {"e 1.5", [](const std::string& t) { return t.find("e 1.5") != std::string::npos; }},     // a dot is plain
        {"LINE 29", [](const std::string& t) { return t.find("line 29") != std::string::npos; }}, // case folded
        {"no such", [](const std::string&) { return false; }},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.text);
        window.calls.clear();
        App().ApplyQuickFilter(FromUtf8(r.text));
        ASSERT_TRUE(PumpUntilIdle());
        EXPECT_EQ(window.calls, (std::vector<std::string>{"view:1:0"}));
        EXPECT_EQ(m_data->quick_filter_text(), FromUtf8(r.text));
        EXPECT_EQ(Rows(), Reference(0, 299, r.reference));
        EXPECT_TRUE(window.redraw);
    }
    EXPECT_TRUE(boxes.empty());

    // An empty text shows every line again, by a job like any other text
    // (the interface thread never changes the window itself).
    const uint64_t jobs = App().WorkThread().LastJobSerial();
    window.calls.clear();
    App().ApplyQuickFilter(u"");
    EXPECT_EQ(App().WorkThread().LastJobSerial(), jobs + 1);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"rows"}));
    EXPECT_EQ(Rows().size(), 300u);
    EXPECT_TRUE(FileOf(*m_data).read_window().quick_filter().content().empty());
    EXPECT_TRUE(FileOf(*m_data).read_window().quick_lines().empty());
}

TEST_F(FilterJob, Conditions_ThenAQuickFilterOnTop_ThenAMovedWindowKeepsBoth)
{
    log_filter seven;
    seven.SetColumn(DictionaryText(u"IDS_SPECIAL_DEFAULT_PARSER_CONTENT"));
    seven.SetType(FILTER_TYPE_CONTAIN);
    seven.SetContent(u"7");
    file_view_engine::filter_groups(*m_data).AddCondition(seven);
    file_view_engine::set_filter_enabled(*m_data, true);
    App().RunFilter(false);
    ASSERT_TRUE(PumpUntilIdle());
    auto has7 = [](const std::string& t) { return t.find('7') != std::string::npos; };
    EXPECT_EQ(window.calls, (std::vector<std::string>{"view:1:0"}));
    EXPECT_EQ(Rows(), Reference(0, 299, has7));

    App().ApplyQuickFilter(u"e 2?");
    ASSERT_TRUE(PumpUntilIdle());
    auto both = [&](const std::string& t) { return has7(t) && WildcardFound(t, "e 2?"); };
    EXPECT_EQ(Rows(), Reference(0, 299, both));

    // A window that overlaps the old one: new lines get their verdicts.
    App().ReparseFrom(150, SELECT_KEEP, 0);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(Rows(), Reference(150, 449, both));
    file_view_engine::set_quick_filter_text(*m_data, u"");
    EXPECT_EQ(Rows(), Reference(150, 449, has7));
    EXPECT_TRUE(boxes.empty());
}

} // namespace
