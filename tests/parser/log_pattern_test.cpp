#include "parser/default_parser.h"
#include "parser/parser_test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(parser_Model, NewItemsHaveVersionTwoEmptyTextsAndTheTextFormat)
{
    const log_pattern item(u"level");
    EXPECT_EQ(item.version, 2);
    EXPECT_TRUE(item.start.empty());
    EXPECT_TRUE(item.end.empty());
    EXPECT_EQ(item.name, u"level");
    EXPECT_EQ(item.data_format, tagDATA_FORMAT());
    EXPECT_EQ(item.data_format.format, u"d/b/Y H:M:S");
    EXPECT_TRUE(item.sub_items.empty());
    EXPECT_TRUE(log_pattern().name.empty());
}

TEST(parser_Model, LeavesAreCountedAndListedDepthFirst)
{
    // A, B(C, D), E: four leaves in the order A, C, D, E.
    const log_pattern_list parser =
        Parser({Item(u"", u"", u"A"), Group(u"", u"", {Item(u"", u"", u"C"), Item(u"", u"", u"D")}, u"B"),
                Item(u"", u"", u"E")});
    std::vector<const log_pattern*> leaves;
    leaves.push_back(nullptr); // appended to, not replaced
    EXPECT_EQ(leaf_count(parser, &leaves), 4);
    ASSERT_EQ(leaves.size(), 5u);
    std::u16string order;
    for (std::size_t i = 1; i < leaves.size(); ++i)
        order += leaves[i]->name;
    EXPECT_EQ(order, u"ACDE");
    EXPECT_EQ(leaf_count(parser), 4);
    EXPECT_EQ(leaf_count(log_pattern_list()), 0);
    const log_pattern_list nested = Parser({Group(u"", u"", {Group(u"", u"", {Item(u"", u"", u"x")})})});
    EXPECT_EQ(leaf_count(nested), 1);
}

TEST(parser_Model, TemplateTextShowsNamesInsideTheirTexts)
{
    EXPECT_EQ(template_text(Parser({Item(u"[", u"] ", u"time"), Item(u"", u"", u"message")})), u"[<time>] <message>");
    // An item with sub-items shows no name of its own.
    EXPECT_EQ(template_text(Parser({Group(u"(", u")", {Item(u"", u"", u"a"), Item(u":", u"", u"b")}, u"hidden")})),
              u"(<a>:<b>)");
    EXPECT_EQ(template_text(log_pattern_list()), u"");
}

TEST(parser_Model, CopiesAreDeep)
{
    const log_pattern_list original = Parser({Group(u"(", u")", {Item(u"", u":", u"a")}, u"g")});
    log_pattern_list copy = original;
    EXPECT_TRUE(copy == original);
    copy.front().sub_items.front().name = u"changed";
    EXPECT_EQ(original.front().sub_items.front().name, u"a");
    EXPECT_FALSE(copy == original);
}

TEST(parser_DefaultParser, OneTextColumnNamedByTheCaller)
{
    const log_pattern_list parser = MakeDefaultParser(u"Content");
    ASSERT_EQ(parser.size(), 1u);
    const log_pattern& item = parser.front();
    EXPECT_EQ(item.version, 2);
    EXPECT_TRUE(item.start.empty());
    EXPECT_TRUE(item.end.empty());
    EXPECT_EQ(item.name, u"Content");
    EXPECT_EQ(item.data_format.data_type, DATA_TYPE_TEXT);
    EXPECT_TRUE(item.sub_items.empty());
    EXPECT_EQ(template_text(parser), u"<Content>");
}

} // namespace
