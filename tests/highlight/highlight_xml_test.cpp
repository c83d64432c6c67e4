// Highlight rules: the "highlight" XML with its reading rules, the favourite
// and recent-rule files, and the recent list.
#include "highlight/highlight.h"
#include "highlight/highlight_store.h"
#include "platform/strings.h"
#include "support/temp_dir.h"
#include "xml/xml_file.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <climits>

namespace {

std::unique_ptr<TiXmlElement> ParseElement(const std::string& text)
{
    InitXmlServices();
    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* root = document.RootElement();
    return root ? std::unique_ptr<TiXmlElement>(static_cast<TiXmlElement*>(root->Clone())) : nullptr;
}

tagHIGHLIGHT_ITEM Rule(const std::u16string& expression, const std::u16string& column = u"", bool wildcard = false,
                       bool regexp = false, bool case_sensitive = false, int32_t text = 0, int32_t back = 213)
{
    tagHIGHLIGHT_ITEM rule;
    rule.expression = expression;
    rule.column = column;
    rule.wildcard = wildcard;
    rule.regexp = regexp;
    rule.case_sensitive = case_sensitive;
    rule.text_color = text;
    rule.back_color = back;
    DeriveHighlightPattern(rule);
    return rule;
}

std::string Item(const std::string& version, const std::string& expression, const std::string& omit = "")
{
    std::string xml = "<item>";
    if (version != "-")
        xml += "<version>" + version + "</version>";
    const std::pair<std::string, std::string> children[] = {
        {"text_color", "255"}, {"back_color", "65280"}, {"expression", expression},
        {"column", "level"},   {"case_sensitive", "1"}, {"wildcard", "0"},
        {"regexp", "1"}};
    for (const auto& [name, text] : children)
        if (name != omit)
            xml += "<" + name + ">" + text + "</" + name + ">";
    return xml + "</item>";
}

TEST(HighlightRule, NewRuleHasTheDocumentedDefaults)
{
    const tagHIGHLIGHT_ITEM rule;
    EXPECT_EQ(rule.version, 1);
    EXPECT_EQ(rule.text_color, 0);
    EXPECT_EQ(rule.back_color, 0x0000D5);
    EXPECT_TRUE(rule.expression.empty() && rule.column.empty() && rule.pattern.empty());
    EXPECT_FALSE(rule.case_sensitive || rule.wildcard || rule.regexp);
}

TEST(HighlightXml, WritesTheGoldenText)
{
    CHighlight rules;
    rules.push_back(Rule(u"took \\d+ ms", u"", false, true, false, 255, 16777215));
    rules.push_back(Rule(u"ERR*", u"level", true, false, true, -1, 0));
    const std::string expected = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
                                 "<highlight>\n"
                                 "    <item>\n"
                                 "        <version>1</version>\n"
                                 "        <text_color>255</text_color>\n"
                                 "        <back_color>16777215</back_color>\n"
                                 "        <expression>took \\d+ ms</expression>\n"
                                 "        <column></column>\n"
                                 "        <case_sensitive>0</case_sensitive>\n"
                                 "        <wildcard>0</wildcard>\n"
                                 "        <regexp>1</regexp>\n"
                                 "    </item>\n"
                                 "    <item>\n"
                                 "        <version>1</version>\n"
                                 "        <text_color>-1</text_color>\n"
                                 "        <back_color>0</back_color>\n"
                                 "        <expression>ERR*</expression>\n"
                                 "        <column>level</column>\n"
                                 "        <case_sensitive>1</case_sensitive>\n"
                                 "        <wildcard>1</wildcard>\n"
                                 "        <regexp>0</regexp>\n"
                                 "    </item>\n"
                                 "</highlight>\n";
    EXPECT_EQ(XmlDocumentText(*rules.ToXml()), expected);
    EXPECT_EQ(CHighlight().ToXml(), nullptr);
}

TEST(HighlightXml, RoundTripKeepsEveryFieldAndRebuildsThePattern)
{
    CHighlight rules;
    rules.push_back(Rule(u"disk*f?ll", u"msg", true, true, false, 0x123456, 0x00FF00));
    rules.push_back(Rule(u" ", u"", false, false, true));
    rules.push_back(Rule(u"\u65E5\u672C <&>", u"Level", false, true));
    CHighlight loaded;
    ASSERT_TRUE(loaded.FromXml(rules.ToXml().get()));
    EXPECT_EQ(loaded, rules);
    EXPECT_EQ(loaded[0].pattern, u"disk(.*)f(.{1})ll");
}

TEST(HighlightXml, ReadingRules)
{
    struct row {
        const char* name;
        std::string xml;
        bool answer;
        std::vector<std::u16string> expressions;
    };
    const std::vector<row> table = {
        {"two items", "<highlight>" + Item("1", "a") + Item("1", "b") + "</highlight>", true, {u"a", u"b"}},
        {"version 2 is skipped and the rest loads",
         "<highlight>" + Item("2", "a") + Item("1", "b") + "</highlight>",
         true,
         {u"b"}},
        {"only other versions", "<highlight>" + Item("2", "a") + "</highlight>", false, {}},
        {"an item without regexp stops the reading",
         "<highlight>" + Item("1", "a") + Item("1", "b", "regexp") + Item("1", "c") + "</highlight>",
         false,
         {u"a"}},
        {"an item without a version stops the reading",
         "<highlight>" + Item("1", "a") + Item("-", "b") + Item("1", "c") + "</highlight>",
         false,
         {u"a"}},
        {"an empty version stops the reading",
         "<highlight>" + Item("", "a") + Item("1", "c") + "</highlight>",
         false,
         {}},
        {"other children are ignored", "<highlight><note/>" + Item("1", "a") + "</highlight>", true, {u"a"}},
        {"no items", "<highlight/>", false, {}},
        {"another root", "<filters>" + Item("1", "a") + "</filters>", false, {}},
    };
    for (const row& r : table) {
        CHighlight rules;
        EXPECT_EQ(rules.FromXml(ParseElement(r.xml).get()), r.answer) << r.name;
        std::vector<std::u16string> expressions;
        for (const tagHIGHLIGHT_ITEM& rule : rules)
            expressions.push_back(rule.expression);
        EXPECT_EQ(expressions, r.expressions) << r.name;
    }
}

TEST(HighlightXml, FieldsWithoutTextKeepTheirDefaultsAndNumbersReadAsTheCLibraryDoes)
{
    const std::string xml = "<highlight><item><version>1</version><text_color/><back_color>99999999999</back_color>"
                            "<expression></expression><column/><case_sensitive>7</case_sensitive>"
                            "<wildcard>x</wildcard><regexp>-1</regexp></item></highlight>";
    CHighlight rules;
    ASSERT_TRUE(rules.FromXml(ParseElement(xml).get()));
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].text_color, 0);
    EXPECT_EQ(rules[0].back_color, INT32_MAX);
    EXPECT_TRUE(rules[0].expression.empty());
    EXPECT_TRUE(rules[0].case_sensitive);
    EXPECT_FALSE(rules[0].wildcard);
    EXPECT_TRUE(rules[0].regexp);
}

TEST(HighlightXml, FromXmlAppends)
{
    CHighlight rules;
    rules.push_back(Rule(u"first"));
    EXPECT_TRUE(rules.FromXml(ParseElement("<highlight>" + Item("2", "x") + "</highlight>").get()));
    EXPECT_EQ(rules.size(), 1u);
    EXPECT_FALSE(rules.FromXml(nullptr));
}

TEST(HighlightFiles, FavouriteRoundTripEmptySetAndMalformedFiles)
{
    temp_dir dir;
    CHighlight rules;
    rules.push_back(Rule(u"ERROR", u"level", false, false, true, 0xFFFFFF, 0x0000FF));
    ASSERT_TRUE(SaveHighlightFavorite(rules, dir.wide("errors.xml")));
    CHighlight loaded;
    ASSERT_TRUE(LoadHighlightFavorite(dir.wide("errors.xml"), loaded));
    EXPECT_EQ(loaded, rules);
    EXPECT_FALSE(SaveHighlightFavorite(CHighlight(), dir.wide("empty.xml")));
    EXPECT_FALSE(dir.exists("empty.xml"));

    // Rules read before a malformed item are kept: nothing well formed is lost.
    dir.write("partial.xml", "<highlight>" + Item("1", "a") + Item("1", "b", "column") + "</highlight>");
    ASSERT_TRUE(LoadHighlightFavorite(dir.wide("partial.xml"), loaded));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].expression, u"a");
    dir.write("truncated.xml", "<highlight>" + Item("1", "a"));
    EXPECT_FALSE(LoadHighlightFavorite(dir.wide("truncated.xml"), loaded));
    EXPECT_TRUE(loaded.empty());
    dir.write("binary.xml", std::string("\0\1\2\3", 4));
    EXPECT_FALSE(LoadHighlightFavorite(dir.wide("binary.xml"), loaded));
    EXPECT_FALSE(LoadHighlightFavorite(dir.wide("missing.xml"), loaded));
}

TEST(RecentHighlights, NewestFirstWithNewRuleColoursAtMostTen)
{
    CHighlight recent;
    for (int i = 0; i < 12; ++i)
        AddRecentHighlight(recent, Rule(FromUtf8(std::to_string(i)), u"", false, false, false, 0x111111, 0x222222));
    ASSERT_EQ(recent.size(), kRecentHighlightLimit);
    EXPECT_EQ(recent.front().expression, u"11");
    EXPECT_EQ(recent.front().text_color, 0);
    EXPECT_EQ(recent.front().back_color, 213);
    AddRecentHighlight(recent, Rule(u"5", u""));
    EXPECT_EQ(recent.front().expression, u"5");
    EXPECT_EQ(std::count_if(recent.begin(), recent.end(), [](const auto& r) { return r.expression == u"5"; }), 1);
    AddRecentHighlight(recent, Rule(u"5", u"", true));
    EXPECT_EQ(recent.front().pattern, u"5");
    EXPECT_EQ(std::count_if(recent.begin(), recent.end(), [](const auto& r) { return r.expression == u"5"; }), 2);
}

TEST(RecentHighlights, FileLoadsReplaceAndCap)
{
    temp_dir dir;
    CHighlight recent;
    for (int i = 0; i < 3; ++i)
        recent.push_back(Rule(FromUtf8(std::to_string(i))));
    ASSERT_TRUE(SaveRecentHighlights(recent, dir.wide("highlight.xml")));
    EXPECT_FALSE(SaveRecentHighlights(CHighlight(), dir.wide("none.xml")));
    EXPECT_FALSE(dir.exists("none.xml"));

    CHighlight loaded = {Rule(u"stale")};
    LoadRecentHighlights(dir.wide("highlight.xml"), loaded);
    EXPECT_EQ(loaded, recent);
    LoadRecentHighlights(dir.wide("missing.xml"), loaded); // leaves the list as it was
    EXPECT_EQ(loaded, recent);

    std::string many = "<highlight>";
    for (int i = 0; i < 14; ++i)
        many += Item("1", std::to_string(i));
    dir.write("many.xml", many + "</highlight>");
    LoadRecentHighlights(dir.wide("many.xml"), loaded);
    ASSERT_EQ(loaded.size(), kRecentHighlightLimit);
    EXPECT_EQ(loaded.back().expression, u"9");
}

} // namespace
