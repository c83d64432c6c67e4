// Filter and highlight favourites and the recent conditions and rules: read
// by LoadData, written by SaveData, without ever losing a file that could not
// be read or a name that may not be written.
#include "app/varnoth_app.h"
#include "platform/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

log_filter Condition(const std::u16string& column, const std::u16string& content, bool logic_and = true)
{
    log_filter condition;
    condition.SetColumn(column);
    condition.SetType(FILTER_TYPE_WILDCARD);
    condition.SetContent(content);
    condition.SetLogicAnd(logic_and);
    return condition;
}

tagHIGHLIGHT_ITEM Rule(const std::u16string& expression)
{
    tagHIGHLIGHT_ITEM rule;
    rule.expression = expression;
    rule.text_color = 0x112233;
    return rule;
}

class FavoritesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_cwd = std::filesystem::current_path();
        setenv("VARNOTH_RUNTIME_DIR", (m_dir.path() / "run").c_str(), 1);
        m_dir.write("install/varnoth", "");
        std::filesystem::create_directories(m_dir / "common");
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_cwd);
        unsetenv("VARNOTH_RUNTIME_DIR");
    }
    app_environment Environment() const
    {
        return {(m_dir / "install" / "varnoth").u16string(), (m_dir / "common").u16string()};
    }

    temp_dir m_dir;
    std::filesystem::path m_cwd;
};

TEST_F(FavoritesTest, ExitWritesFavouritesAndRecentListsAndStartReadsThemBack)
{
    log_filter_groups errors;
    errors.AddCondition(Condition(u"level", u"ERR*", false));
    errors.AddCondition(Condition(u"level", u"FATAL", false));
    CHighlight warnings = {Rule(u"WARN")};
    {
        CVarnothApp app(Environment());
        app.LoadData();
        app.filter_favorite_sets[u"Errors only"] = errors;
        app.filter_favorite_sets[u"emptied"] = log_filter_groups();
        app.highlight_favorite_sets[u"Warnings"] = warnings;
        AddRecentCondition(app.recent_conditions, Condition(u"msg", u"disk*"));
        AddRecentHighlight(app.recent_highlights, Rule(u"timeout"));
        EXPECT_TRUE(app.SaveData().empty());
    }
    EXPECT_TRUE(m_dir.exists("install/filter/Errors only.xml"));
    EXPECT_FALSE(m_dir.exists("install/filter/emptied.xml"));
    EXPECT_TRUE(m_dir.exists("install/highlight/Warnings.xml"));
    EXPECT_TRUE(m_dir.exists("install/history/filter.xml"));
    EXPECT_TRUE(m_dir.exists("install/history/highlight.xml"));

    CVarnothApp app(Environment());
    app.LoadData();
    ASSERT_EQ(app.filter_favorite_sets.size(), 1u);
    // The OR order flips on reload; the set means the same.
    const log_filter_groups& loaded = app.filter_favorite_sets.at(u"Errors only");
    ASSERT_EQ(loaded.ConditionCount(), 2u);
    EXPECT_EQ(loaded.groups()[0][0].content(), u"ERR*");
    EXPECT_EQ(loaded.groups()[0][0].pattern(), u"ERR(.*)");
    EXPECT_EQ(app.highlight_favorite_sets.at(u"Warnings"), warnings);
    ASSERT_EQ(app.recent_conditions.size(), 1u);
    EXPECT_EQ(app.recent_conditions[0].content(), u"disk*");
    ASSERT_EQ(app.recent_highlights.size(), 1u);
    EXPECT_EQ(app.recent_highlights[0].expression, u"timeout");
    EXPECT_EQ(app.recent_highlights[0].text_color, 0); // recent rules keep the colours of a new rule
}

TEST_F(FavoritesTest, DeletedFavouritesAndEmptyRecentListsLeaveNoFile)
{
    m_dir.write("install/filter/old.xml",
                "<filters><filter><version>1</version><column>a</column><type>0</type><content>1</content>"
                "<case_sensitive>1</case_sensitive><logic_and>1</logic_and></filter></filters>");
    m_dir.write("install/history/filter.xml", "<filters/>");
    CVarnothApp app(Environment());
    app.LoadData();
    ASSERT_EQ(app.filter_favorite_sets.count(u"old"), 1u);
    app.filter_favorite_sets.erase(u"old");
    EXPECT_TRUE(app.SaveData().empty());
    EXPECT_FALSE(m_dir.exists("install/filter/old.xml"));
    EXPECT_FALSE(m_dir.exists("install/history/filter.xml"));
    EXPECT_FALSE(m_dir.exists("install/history/highlight.xml"));
}

TEST_F(FavoritesTest, UnreadableFavouriteFilesAreSkippedAndKept)
{
    const std::string good = "<filters><filter><version>1</version><column>a</column><type>0</type><content>1"
                             "</content><case_sensitive>1</case_sensitive><logic_and>1</logic_and></filter>"
                             "<filter><version>7</version></filter></filters>";
    m_dir.write("install/filter/good.xml", good);
    m_dir.write("install/filter/broken.xml", "<filters><filter>");
    m_dir.write("install/filter/nothing.xml", "<filters><filter><version>2</version></filter></filters>");
    m_dir.write("install/highlight/broken.xml", "not xml at all");
    m_dir.write("install/highlight/partial.xml",
                "<highlight><item><version>1</version><text_color>1</text_color><back_color>2</back_color>"
                "<expression>x</expression><column></column><case_sensitive>0</case_sensitive>"
                "<wildcard>0</wildcard><regexp>0</regexp></item><item><version>1</version></item></highlight>");
    m_dir.write("install/history/filter.xml", "<filters><filter>");
    m_dir.write("install/history/highlight.xml", "<highlight><item/></highlight>");
    CVarnothApp app(Environment());
    app.LoadData();
    EXPECT_EQ(app.filter_favorite_sets.size(), 1u);
    EXPECT_EQ(app.filter_favorite_sets.at(u"good").ConditionCount(), 1u);
    ASSERT_EQ(app.highlight_favorite_sets.size(), 1u);
    EXPECT_EQ(app.highlight_favorite_sets.at(u"partial").size(), 1u);
    EXPECT_TRUE(app.recent_conditions.empty());
    EXPECT_TRUE(app.recent_highlights.empty());

    EXPECT_TRUE(app.SaveData().empty());
    EXPECT_EQ(m_dir.read("install/filter/broken.xml"), "<filters><filter>");
    EXPECT_TRUE(m_dir.exists("install/filter/nothing.xml"));
    EXPECT_EQ(m_dir.read("install/highlight/broken.xml"), "not xml at all");
    EXPECT_NE(m_dir.read("install/filter/good.xml"), good); // rewritten without the bad element
}

TEST_F(FavoritesTest, NamesThatFailIsValidFileNameAreNeverWritten)
{
    CVarnothApp app(Environment());
    log_filter_groups set;
    set.AddCondition(Condition(u"a", u"x"));
    for (const std::u16string name :
         {u"a:b", u"what?", u"star*", u"quote\"", u"<tag>", u"pipe|", u"back\\slash", u"dir/name", u""})
        app.filter_favorite_sets[name] = set;
    app.highlight_favorite_sets[u"x?y"] = CHighlight{Rule(u"x")};
    app.filter_favorite_sets[u"fine name"] = set;
    EXPECT_TRUE(app.SaveData().empty());
    EXPECT_EQ(ListFiles(app.FilterDirectory(), u""), std::vector<std::u16string>{u"fine name.xml"});
    EXPECT_TRUE(ListFiles(app.HighlightDirectory(), u"").empty());
}

TEST_F(FavoritesTest, FileOfAnUnwritableNameIsKeptAsItWas)
{
    // Such a name can only come from a file put there by hand; it loads, and its file stays.
    m_dir.write("install/highlight/a?b.xml",
                "<highlight><item><version>1</version><text_color>1</text_color><back_color>2</back_color>"
                "<expression>x</expression><column></column><case_sensitive>0</case_sensitive>"
                "<wildcard>0</wildcard><regexp>0</regexp></item></highlight>");
    const std::string before = m_dir.read("install/highlight/a?b.xml");
    CVarnothApp app(Environment());
    app.LoadData();
    ASSERT_EQ(app.highlight_favorite_sets.count(u"a?b"), 1u);
    EXPECT_TRUE(app.SaveData().empty());
    EXPECT_EQ(m_dir.read("install/highlight/a?b.xml"), before);
}

TEST_F(FavoritesTest, FailedWriteKeepsThePreviousFavourite)
{
    m_dir.write("install/filter/keep.xml", "previous copy");
    CVarnothApp app(Environment());
    log_filter_groups set;
    set.AddCondition(Condition(u"a", u"x"));
    app.filter_favorite_sets[u"keep"] = set;
    app.filter_favorite_sets[u"other"] = set;
    SetWriteFailureHook([](std::u16string_view path) { return path.ends_with(u"keep.xml"); });
    EXPECT_FALSE(app.SaveData().empty());
    SetWriteFailureHook(nullptr);
    EXPECT_EQ(m_dir.read("install/filter/keep.xml"), "previous copy");
    EXPECT_TRUE(m_dir.exists("install/filter/other.xml"));
    EXPECT_EQ(ListFiles(app.FilterDirectory(), u"").size(), 2u);
}

} // namespace
