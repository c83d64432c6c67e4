// The "filter" and "filters" XML: golden text, every reading rule, the OR
// order that flips on reload, and the favourite and recent-condition files.
#include "filter/filter_run.h"
#include "filter/filter_store.h"
#include "filter_test_support.h"
#include "platform/strings.h"
#include "support/temp_dir.h"
#include "xml/xml_file.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>

namespace {

std::unique_ptr<TiXmlElement> ParseElement(const std::string& text)
{
    InitXmlServices();
    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* root = document.RootElement();
    if (!root)
        return nullptr;
    return std::unique_ptr<TiXmlElement>(static_cast<TiXmlElement*>(root->Clone()));
}

std::string FilterXml(const std::string& children)
{
    return "<filter>" + children + "</filter>";
}

const std::string kAllChildren = "<version>1</version><column>level</column><type>4</type>"
                                 "<content>ERR*</content><case_sensitive>0</case_sensitive><logic_and>0</logic_and>";

TEST(FilterXml, WritesTheGoldenText)
{
    log_filter_groups groups;
    groups.AddCondition(Condition(u"Level", FILTER_TYPE_WILDCARD, u"ERR* <&>", false, false));
    groups.AddCondition(Condition(u"Message", FILTER_TYPE_CONTAIN, u"caf\u00E9", true, true));
    groups.AddCondition(Condition(u"Message", FILTER_TYPE_EQUAL, u"", true, true));
    const std::string expected = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
                                 "<filters>\n"
                                 "    <filter>\n"
                                 "        <version>1</version>\n"
                                 "        <column>Level</column>\n"
                                 "        <type>4</type>\n"
                                 "        <content>ERR* &lt;&amp;&gt;</content>\n"
                                 "        <case_sensitive>0</case_sensitive>\n"
                                 "        <logic_and>0</logic_and>\n"
                                 "    </filter>\n"
                                 "    <filter>\n"
                                 "        <version>1</version>\n"
                                 "        <column>Message</column>\n"
                                 "        <type>2</type>\n"
                                 "        <content>caf\xC3\xA9</content>\n"
                                 "        <case_sensitive>1</case_sensitive>\n"
                                 "        <logic_and>1</logic_and>\n"
                                 "    </filter>\n"
                                 "    <filter>\n"
                                 "        <version>1</version>\n"
                                 "        <column>Message</column>\n"
                                 "        <type>0</type>\n"
                                 "        <content></content>\n"
                                 "        <case_sensitive>1</case_sensitive>\n"
                                 "        <logic_and>1</logic_and>\n"
                                 "    </filter>\n"
                                 "</filters>\n";
    EXPECT_EQ(XmlDocumentText(*groups.ToXml()), expected);
}

TEST(FilterXml, ReadingRules)
{
    struct row {
        const char* name;
        std::string xml;
        bool loads;
        int32_t type = 0;
        bool case_sensitive = true;
        bool logic_and = true;
        std::u16string content = u"";
    };
    const std::string column = "<column>level</column>";
    const std::string rest = "<content>x</content><case_sensitive>1</case_sensitive><logic_and>1</logic_and>";
    const std::vector<row> table = {
        {"every child", FilterXml(kAllChildren), true, 4, false, false, u"ERR*"},
        {"version 2", FilterXml("<version>2</version>" + column + "<type>0</type>" + rest), false},
        {"version with blanks", FilterXml("<version> 1</version>" + column + "<type>0</type>" + rest), false},
        {"no version", FilterXml(column + "<type>0</type>" + rest), false},
        {"empty version", FilterXml("<version></version>" + column + "<type>0</type>" + rest), false},
        {"no column", FilterXml("<version>1</version><type>0</type>" + rest), false},
        {"empty column", FilterXml("<version>1</version><column></column><type>0</type>" + rest), false},
        {"no type", FilterXml("<version>1</version>" + column + rest), false},
        {"no content",
         FilterXml("<version>1</version>" + column
                   + "<type>0</type><case_sensitive>1</case_sensitive><logic_and>1</logic_and>"),
         false},
        {"no case_sensitive",
         FilterXml("<version>1</version>" + column + "<type>0</type><content>x</content><logic_and>1</logic_and>"),
         false},
        {"no logic_and",
         FilterXml("<version>1</version>" + column
                   + "<type>0</type><content>x</content><case_sensitive>1</case_sensitive>"),
         false},
        {"type 12", FilterXml("<version>1</version>" + column + "<type>12</type>" + rest), false},
        {"type -1", FilterXml("<version>1</version>" + column + "<type>-1</type>" + rest), false},
        {"type beyond 64 bits", FilterXml("<version>1</version>" + column + "<type>99999999999999999999</type>" + rest),
         false},
        {"type x reads as 0", FilterXml("<version>1</version>" + column + "<type>x</type>" + rest), true, 0, true, true,
         u"x"},
        {"type 9", FilterXml("<version>1</version>" + column + "<type>9</type>" + rest), true, 9, true, true, u"x"},
        {"type with leading blanks", FilterXml("<version>1</version>" + column + "<type>  7z</type>" + rest), true, 7,
         true, true, u"x"},
        {"empty type keeps contain", FilterXml("<version>1</version>" + column + "<type></type>" + rest), true, 2, true,
         true, u"x"},
        {"empty flags keep true and empty content",
         FilterXml("<version>1</version>" + column
                   + "<type>1</type><content/><case_sensitive></case_sensitive><logic_and/>"),
         true, 1, true, true, u""},
        {"flags as numbers",
         FilterXml("<version>1</version>" + column
                   + "<type>1</type><content>x</content><case_sensitive>-3</case_sensitive>"
                     "<logic_and>abc</logic_and>"),
         true, 1, true, false, u"x"},
        {"other element name", "<condition>" + kAllChildren + "</condition>", false},
    };
    for (const row& r : table) {
        const auto element = ParseElement(r.xml);
        ASSERT_TRUE(element) << r.name;
        log_filter condition = Condition(u"old", FILTER_TYPE_REGEXP, u"old", false, false);
        EXPECT_EQ(condition.FromXml(element.get()), r.loads) << r.name;
        if (!r.loads)
            continue;
        EXPECT_EQ(condition.column(), u"level") << r.name;
        EXPECT_EQ(condition.type(), r.type) << r.name;
        EXPECT_EQ(condition.content(), r.content) << r.name;
        EXPECT_EQ(condition.case_sensitive(), r.case_sensitive) << r.name;
        EXPECT_EQ(condition.logic_and(), r.logic_and) << r.name;
        EXPECT_EQ(condition.version(), 1) << r.name;
    }
    log_filter condition;
    EXPECT_FALSE(condition.FromXml(nullptr));
}

TEST(FilterXml, WildcardConditionMatchesTheSameAfterReload)
{
    const log_filter saved = Condition(u"msg", FILTER_TYPE_WILDCARD, u"disk*f?ll \\*", false, true);
    log_filter loaded;
    ASSERT_TRUE(loaded.FromXml(saved.ToXml().get()));
    EXPECT_EQ(loaded, saved);
    EXPECT_EQ(loaded.pattern(), u"disk(.*)f(.{1})ll \\*");
    for (const std::u16string cell : {u"DISK is full *", u"disk full", u"disk fall *", u""})
        EXPECT_EQ(loaded.Matches(tagDATA_FORMAT{}, cell.data(), -1), saved.Matches(tagDATA_FORMAT{}, cell.data(), -1));
}

TEST(FilterXml, RoundTripKeepsBlankContentsAndOtherScripts)
{
    for (const std::u16string content : {u" ", u"\t", u"  a  ", u"\u65E5\u672C", u"a\r\nb", u"<tag attr=\"1\">"}) {
        const log_filter saved = Condition(u"c", FILTER_TYPE_EQUAL, content);
        log_filter_groups groups;
        groups.AddCondition(saved);
        const std::string text = XmlDocumentText(*groups.ToXml());
        const auto element = ParseElement(text.substr(text.find('\n') + 1));
        log_filter_groups loaded;
        ASSERT_TRUE(loaded.FromXml(element.get()));
        ASSERT_EQ(loaded.ConditionCount(), 1u);
        EXPECT_EQ(loaded.groups()[0][0].content(), content);
    }
}

TEST(FilterXml, ReloadFlipsTheOrOrderWithoutChangingTheResult)
{
    log_filter_groups groups;
    groups.AddCondition(Condition(u"status", FILTER_TYPE_EQUAL, u"A", true, false));
    groups.AddCondition(Condition(u"status", FILTER_TYPE_EQUAL, u"B", true, false));
    groups.AddCondition(Condition(u"status", FILTER_TYPE_CONTAIN, u"", true, true));
    groups.AddCondition(Condition(u"level", FILTER_TYPE_NOTEQUAL, u"DEBUG", true, true));
    std::vector<log_filter> before;
    groups.Flatten(before);
    ASSERT_EQ(before[0].content(), u"B");
    ASSERT_EQ(before[1].content(), u"A");

    log_filter_groups loaded;
    ASSERT_TRUE(loaded.FromXml(groups.ToXml().get()));
    std::vector<log_filter> after;
    loaded.Flatten(after);
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[0].content(), u"A");
    EXPECT_EQ(after[1].content(), u"B");
    EXPECT_EQ(after[2].content(), u"");
    EXPECT_EQ(after[3].content(), u"DEBUG");

    const log_pattern_list parser = {Column(u"status"), Column(u"level")};
    prepared_groups a(groups, parser), b(loaded, parser);
    for (const auto& cells : std::vector<std::vector<std::u16string>>{
             {u"A", u"INFO"}, {u"B", u"DEBUG"}, {u"C", u"INFO"}, {u"B"}, {}, {u"a", u"INFO"}}) {
        const auto line = MakeLine(cells);
        EXPECT_EQ(a.RowPasses(*line), b.RowPasses(*line));
    }
}

TEST(FilterXml, GroupsSkipWhatDoesNotLoadAndRegroupByColumn)
{
    const std::string xml = "<filters>"
                            + FilterXml("<version>1</version><column>a</column><type>0</type><content>1</content>"
                                        "<case_sensitive>1</case_sensitive><logic_and>1</logic_and>")
                            + FilterXml("<version>2</version><column>a</column><type>0</type><content>2</content>"
                                        "<case_sensitive>1</case_sensitive><logic_and>1</logic_and>")
                            + "<other/>"
                            + FilterXml("<version>1</version><column>b</column><type>0</type><content>3</content>"
                                        "<case_sensitive>1</case_sensitive><logic_and>1</logic_and>")
                            + FilterXml("<version>1</version><column>a</column><type>0</type><content>4</content>"
                                        "<case_sensitive>1</case_sensitive><logic_and>1</logic_and>")
                            + "</filters>";
    log_filter_groups groups;
    groups.AddCondition(Condition(u"stale", FILTER_TYPE_EQUAL, u"x"));
    ASSERT_TRUE(groups.FromXml(ParseElement(xml).get()));
    ASSERT_EQ(groups.groups().size(), 2u);
    EXPECT_EQ(groups.groups()[0].size(), 2u);
    EXPECT_EQ(groups.groups()[0][1].content(), u"4");
    EXPECT_EQ(groups.groups()[1][0].content(), u"3");

    EXPECT_FALSE(groups.FromXml(ParseElement("<filters><other/></filters>").get()));
    EXPECT_TRUE(groups.empty());
    groups.AddCondition(Condition(u"stale", FILTER_TYPE_EQUAL, u"x"));
    EXPECT_FALSE(groups.FromXml(ParseElement("<highlight/>").get()));
    EXPECT_TRUE(groups.empty());
}

TEST(FilterFiles, FavouriteRoundTripAndEmptySetIsNotWritten)
{
    temp_dir dir;
    log_filter_groups groups;
    groups.AddCondition(Condition(u"level", FILTER_TYPE_EQUAL, u"ERROR", false, false));
    groups.AddCondition(Condition(u"n", FILTER_TYPE_GREATER, u"-10", true, true));
    ASSERT_TRUE(SaveFilterFavorite(groups, dir.wide("errors.xml")));
    log_filter_groups loaded;
    ASSERT_TRUE(LoadFilterFavorite(dir.wide("errors.xml"), loaded));
    EXPECT_EQ(loaded, groups);

    EXPECT_FALSE(SaveFilterFavorite(log_filter_groups(), dir.wide("empty.xml")));
    EXPECT_FALSE(dir.exists("empty.xml"));
    EXPECT_FALSE(LoadFilterFavorite(dir.wide("missing.xml"), loaded));
    EXPECT_TRUE(loaded.empty());
}

TEST(FilterFiles, MalformedFilesLoadWhatIsWellFormed)
{
    temp_dir dir;
    const std::string good = FilterXml("<version>1</version><column>a</column><type>0</type><content>1</content>"
                                       "<case_sensitive>1</case_sensitive><logic_and>1</logic_and>");
    dir.write("broken.xml", "<filters>" + good + "<filter><version>1</version>");
    dir.write("wrong_root.xml", "<?xml version=\"1.0\"?><highlight>" + good + "</highlight>");
    dir.write("binary.xml", std::string("\xFF\xFE\x00\x01garbage", 11));
    dir.write("mixed.xml", "<?xml version=\"1.0\"?><filters>" + good + "<filter><version>9</version></filter>"
                               + "<filter>text</filter></filters>");
    log_filter_groups groups;
    EXPECT_FALSE(LoadFilterFavorite(dir.wide("broken.xml"), groups));
    EXPECT_FALSE(LoadFilterFavorite(dir.wide("wrong_root.xml"), groups));
    EXPECT_FALSE(LoadFilterFavorite(dir.wide("binary.xml"), groups));
    ASSERT_TRUE(LoadFilterFavorite(dir.wide("mixed.xml"), groups));
    EXPECT_EQ(groups.ConditionCount(), 1u);

    std::vector<log_filter> recent;
    LoadRecentConditions(dir.wide("mixed.xml"), recent);
    EXPECT_EQ(recent.size(), 1u);
    LoadRecentConditions(dir.wide("broken.xml"), recent);
    EXPECT_TRUE(recent.empty());
}

TEST(RecentConditions, NewestFirstWithoutDuplicatesAtMostTen)
{
    std::vector<log_filter> recent;
    for (int i = 0; i < 12; ++i)
        AddRecentCondition(recent, Condition(u"c", FILTER_TYPE_EQUAL, FromUtf8(std::to_string(i))));
    ASSERT_EQ(recent.size(), kRecentConditionLimit);
    EXPECT_EQ(recent.front().content(), u"11");
    EXPECT_EQ(recent.back().content(), u"2");
    // The same column, content, type and case flag move to the front.
    AddRecentCondition(recent, Condition(u"c", FILTER_TYPE_EQUAL, u"5", true, false));
    EXPECT_EQ(recent.size(), kRecentConditionLimit);
    EXPECT_EQ(recent.front().content(), u"5");
    EXPECT_FALSE(recent.front().logic_and());
    EXPECT_EQ(std::count_if(recent.begin(), recent.end(), [](const log_filter& c) { return c.content() == u"5"; }), 1);
    // Another type is another entry.
    AddRecentCondition(recent, Condition(u"c", FILTER_TYPE_NOTEQUAL, u"5"));
    EXPECT_EQ(std::count_if(recent.begin(), recent.end(), [](const log_filter& c) { return c.content() == u"5"; }), 2);
}

TEST(RecentConditions, FileKeepsDocumentOrderAndAtMostTen)
{
    temp_dir dir;
    std::vector<log_filter> list;
    for (int i = 0; i < 3; ++i)
        list.push_back(Condition(u"c", FILTER_TYPE_EQUAL, FromUtf8(std::to_string(i)), true, i % 2 == 0));
    // The same condition twice stays twice: the list is not a set.
    list.push_back(list.front());
    ASSERT_TRUE(SaveRecentConditions(list, dir.wide("filter.xml")));
    std::vector<log_filter> loaded = {Condition(u"stale", FILTER_TYPE_EQUAL, u"x")};
    LoadRecentConditions(dir.wide("filter.xml"), loaded);
    EXPECT_EQ(loaded, list);
    EXPECT_FALSE(SaveRecentConditions({}, dir.wide("none.xml")));
    EXPECT_FALSE(dir.exists("none.xml"));

    std::string many = "<filters>";
    for (int i = 0; i < 15; ++i)
        many += FilterXml("<version>1</version><column>a</column><type>0</type><content>" + std::to_string(i)
                          + "</content><case_sensitive>1</case_sensitive><logic_and>1</logic_and>");
    dir.write("many.xml", many + "</filters>");
    LoadRecentConditions(dir.wide("many.xml"), loaded);
    ASSERT_EQ(loaded.size(), kRecentConditionLimit);
    EXPECT_EQ(loaded.back().content(), u"9");
}

} // namespace
