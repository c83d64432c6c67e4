#include "parser/parser_test_support.h"
#include "parser/pattern_xml.h"
#include "platform/files.h"
#include "support/temp_dir.h"
#include "xml/xml_file.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

namespace {

std::unique_ptr<TiXmlElement> ParseElement(const std::string& xml)
{
    InitXmlServices();
    TiXmlDocument document;
    document.Parse(xml.c_str());
    const TiXmlElement* root = document.RootElement();
    return root ? std::unique_ptr<TiXmlElement>(static_cast<TiXmlElement*>(root->Clone())) : nullptr;
}

std::string ItemXml(const std::string& version, const std::string& rest)
{
    return "<pattern_item>" + version + rest + "</pattern_item>";
}

const char* const kText = "<data_format><data_type>text</data_type></data_format>";
const char* const kAll = "<start>[</start><end>]</end><name>level</name>";

struct read_case {
    const char* name;
    std::string item;
    bool taken;
    std::u16string start, end, item_name;
    int32_t data_type;
};

TEST(parser_PatternXml, ItemsAreTakenOrSkippedByTheirVersionRules)
{
    const std::string numeric = "<data_format><data_type>numeric</data_type><separator_1000>1</separator_1000>"
                                "<digit_count>2</digit_count></data_format>";
    const read_case cases[] = {
        {"version 2 with everything", ItemXml("<version>2</version>", kAll + std::string(kText)), true, u"[", u"]",
         u"level", DATA_TYPE_TEXT},
        {"version 2 keeps its data format", ItemXml("<version>2</version>", kAll + numeric), true, u"[", u"]", u"level",
         DATA_TYPE_NUMERIC},
        {"version 1 without data format reads as text", ItemXml("<version>1</version>", kAll), true, u"[", u"]",
         u"level", DATA_TYPE_TEXT},
        {"version 1 ignores a data format", ItemXml("<version>1</version>", kAll + numeric), true, u"[", u"]", u"level",
         DATA_TYPE_TEXT},
        {"version 2 without data format is dropped", ItemXml("<version>2</version>", kAll), false, u"", u"", u"", 0},
        {"version 2 with a broken data format is dropped",
         ItemXml("<version>2</version>", kAll
                                             + std::string("<data_format><data_type>Numeric</data_type>"
                                                           "</data_format>")),
         false, u"", u"", u"", 0},
        {"a later version reads like version 2", ItemXml("<version>7</version>", kAll + std::string(kText)), true, u"[",
         u"]", u"level", DATA_TYPE_TEXT},
        {"version 0 keeps empty texts", ItemXml("<version>0</version>", kAll), true, u"", u"", u"", DATA_TYPE_TEXT},
        {"a version that is no number reads as 0", ItemXml("<version>two</version>", kAll), true, u"", u"", u"",
         DATA_TYPE_TEXT},
        {"a negative version keeps empty texts", ItemXml("<version>-3</version>", kAll), true, u"", u"", u"",
         DATA_TYPE_TEXT},
        {"a huge version reads like version 2",
         ItemXml("<version>99999999999999999999</version>", kAll + std::string(kText)), true, u"[", u"]", u"level",
         DATA_TYPE_TEXT},
        {"missing version is dropped", ItemXml("", kAll + std::string(kText)), false, u"", u"", u"", 0},
        {"empty version is dropped", ItemXml("<version></version>", kAll + std::string(kText)), false, u"", u"", u"",
         0},
        {"a version holding an element is dropped", ItemXml("<version><x/>2</version>", kAll + std::string(kText)),
         false, u"", u"", u"", 0},
        {"missing start is dropped",
         ItemXml("<version>2</version>", "<end>]</end><name>level</name>" + std::string(kText)), false, u"", u"", u"",
         0},
        {"missing end is dropped",
         ItemXml("<version>2</version>", "<start>[</start><name>level</name>" + std::string(kText)), false, u"", u"",
         u"", 0},
        {"missing name is dropped",
         ItemXml("<version>2</version>", "<start>[</start><end>]</end>" + std::string(kText)), false, u"", u"", u"", 0},
        {"empty name is dropped",
         ItemXml("<version>2</version>", "<start>[</start><end>]</end><name></name>" + std::string(kText)), false, u"",
         u"", u"", 0},
        {"empty start and end texts are allowed",
         ItemXml("<version>2</version>", "<start/><end></end><name>m</name>" + std::string(kText)), true, u"", u"",
         u"m", DATA_TYPE_TEXT},
        {"white space survives in character data",
         ItemXml("<version>2</version>",
                 "<start><![CDATA[ \t ]]></start><end><![CDATA[ ]]></end><name>m</name>" + std::string(kText)),
         true, u" \t ", u" ", u"m", DATA_TYPE_TEXT},
        {"text is read as UTF-8",
         ItemXml("<version>2</version>",
                 "<start>\xc2\xab</start><end>\xc2\xbb</end><name>\xe6\x97\xa5</name>" + std::string(kText)),
         true, u"\u00ab", u"\u00bb", u"\u65e5", DATA_TYPE_TEXT},
    };
    for (const read_case& c : cases) {
        const auto element = ParseElement("<pattern_list>" + c.item + "</pattern_list>");
        ASSERT_TRUE(element) << c.name;
        log_pattern_list parser;
        parser.emplace_back(u"stale");
        ASSERT_TRUE(PatternListFromXml(parser, element.get())) << c.name;
        ASSERT_EQ(parser.size(), c.taken ? 1u : 0u) << c.name;
        if (!c.taken)
            continue;
        const log_pattern& item = parser.front();
        EXPECT_EQ(item.version, 2) << c.name;
        EXPECT_EQ(item.start, c.start) << c.name;
        EXPECT_EQ(item.end, c.end) << c.name;
        EXPECT_EQ(item.name, c.item_name) << c.name;
        EXPECT_EQ(item.data_format.data_type, c.data_type) << c.name;
    }
}

TEST(parser_PatternXml, GoodItemsLoadBesideBrokenOnesAndOtherChildrenAreIgnored)
{
    const auto element =
        ParseElement("<pattern_list><comment>x</comment>"
                     + ItemXml("<version>2</version>", "<start/><end> </end><name>a</name>" + std::string(kText))
                     + ItemXml("<version>2</version>", "<start/><end/><name/>" + std::string(kText)) + "<pattern_item/>"
                     + ItemXml("<version>1</version>", "<start/><end/><name>b</name>") + "</pattern_list>");
    log_pattern_list parser;
    ASSERT_TRUE(PatternListFromXml(parser, element.get()));
    ASSERT_EQ(parser.size(), 2u);
    EXPECT_EQ(parser.front().name, u"a");
    EXPECT_EQ(parser.back().name, u"b");
}

TEST(parser_PatternXml, OtherRootsAndMissingElementsFail)
{
    log_pattern_list parser;
    parser.emplace_back(u"stale");
    EXPECT_FALSE(PatternListFromXml(parser, nullptr));
    EXPECT_TRUE(parser.empty());
    EXPECT_FALSE(PatternListFromXml(parser, ParseElement("<Pattern_List/>").get()));
    EXPECT_FALSE(PatternListFromXml(parser, ParseElement("<filters><pattern_item/></filters>").get()));
    EXPECT_TRUE(PatternListFromXml(parser, ParseElement("<pattern_list/>").get()));
    EXPECT_TRUE(parser.empty());
}

TEST(parser_PatternXml, SubItemsAreReadAndBrokenSubItemsAreDropped)
{
    const std::string sub_a =
        ItemXml("<version>2</version>", "<start/><end>:</end><name>a</name>" + std::string(kText));
    const std::string sub_bad = ItemXml("<version>2</version>", "<start/><end/><name>c</name>");
    const std::string sub_b = ItemXml("<version>2</version>", "<start/><end/><name>b</name>" + std::string(kText));
    const auto element = ParseElement(
        "<pattern_list>"
        + ItemXml("<version>2</version>", "<start>(</start><end>)</end><name>g</name>" + std::string(kText)
                                              + "<pattern_list>" + sub_a + sub_bad + sub_b + "</pattern_list>")
        + ItemXml("<version>2</version>",
                  "<start/><end/><name>leaf</name>" + std::string(kText) + "<pattern_list></pattern_list>")
        + "</pattern_list>");
    log_pattern_list parser;
    ASSERT_TRUE(PatternListFromXml(parser, element.get()));
    ASSERT_EQ(parser.size(), 2u);
    ASSERT_EQ(parser.front().sub_items.size(), 2u);
    EXPECT_EQ(template_text(parser), u"(<a>:<b>)<leaf>");
    EXPECT_TRUE(parser.back().sub_items.empty()); // an empty list: the item is a column itself
}

log_pattern_list RichParser()
{
    log_pattern time = Typed(Item(u"", u" [", u"Time"), DATA_TYPE_DATETIME, u"Y-m-d H:M:S.s");
    time.data_format.language = u"Deutsch";
    time.end_after_datetime = true;
    log_pattern size = Typed(Item(u"", u"\t", u"Size"), DATA_TYPE_NUMERIC);
    size.data_format.separator_1000 = true;
    size.data_format.digit_count = 3;
    return Parser(
        {time,
         Group(u"<&\"'>", u"  ", {Typed(Item(u"", u" ", u"Client"), DATA_TYPE_IPV4), Item(u"\u00e9", u"", u"\u65e5")},
               u"Request"),
         size, Item(u" ", u"", u"Message"), Item(u"\x01\x1f", u"\t\x7f", u"Control")});
}

TEST(parser_PatternXml, WrittenParsersReadBackEqualAndWhiteSpaceSurvives)
{
    temp_dir dir;
    const log_pattern_list written = RichParser();
    ASSERT_TRUE(SavePatternFile(written, dir.wide("rich.xml")));
    log_pattern_list read;
    ASSERT_TRUE(LoadPatternFile(read, dir.wide("rich.xml")));
    EXPECT_TRUE(read == written) << dir.read("rich.xml");
    EXPECT_EQ(template_text(read), template_text(written));
}

TEST(parser_PatternXml, WrittenItemsHaveTheirChildrenInOrder)
{
    log_pattern_list parser = Parser({Group(u"(", u")", {Item(u"", u"", u"a")}, u"g")});
    parser.front().version = 1; // every item is written as version 2
    const std::unique_ptr<TiXmlElement> element(PatternListToXml(parser));
    ASSERT_TRUE(element);
    const TiXmlElement* item = element->FirstChildElement("pattern_item");
    ASSERT_TRUE(item);
    std::string order;
    for (const TiXmlElement* child = item->FirstChildElement(); child; child = child->NextSiblingElement())
        order += child->ValueStr() + " ";
    EXPECT_EQ(order, "version start end name data_format pattern_list ");
    EXPECT_STREQ(item->FirstChildElement("version")->GetText(), "2");
    EXPECT_EQ(PatternListToXml(log_pattern_list()), nullptr);

    // The end-after-date-time switch is written only when on, after the
    // data format.
    parser = Parser({Typed(Item(u"", u" ", u"t"), DATA_TYPE_DATETIME, u"Y-m-d H:M:S")});
    parser.front().end_after_datetime = true;
    const std::unique_ptr<TiXmlElement> on(PatternListToXml(parser));
    order.clear();
    for (const TiXmlElement* child = on->FirstChildElement("pattern_item")->FirstChildElement(); child;
         child = child->NextSiblingElement())
        order += child->ValueStr() + " ";
    EXPECT_EQ(order, "version start end name data_format end_after_datetime ");
    EXPECT_STREQ(on->FirstChildElement("pattern_item")->FirstChildElement("end_after_datetime")->GetText(), "1");
}

TEST(parser_PatternXml, TheEndAfterDateTimeSwitchIsOnOnlyForANonZeroNumber)
{
    const struct {
        const char* child;
        bool on;
    } cases[] = {{"", false},
                 {"<end_after_datetime>1</end_after_datetime>", true},
                 {"<end_after_datetime> 7</end_after_datetime>", true},
                 {"<end_after_datetime>0</end_after_datetime>", false},
                 {"<end_after_datetime>yes</end_after_datetime>", false},
                 {"<end_after_datetime/>", false}};
    for (const auto& c : cases) {
        const auto element =
            ParseElement("<pattern_list>" + ItemXml("<version>2</version>", kAll + std::string(kText) + c.child)
                         + "</pattern_list>");
        log_pattern_list parser;
        ASSERT_TRUE(PatternListFromXml(parser, element.get())) << c.child;
        ASSERT_EQ(parser.size(), 1u) << c.child;
        EXPECT_EQ(parser.front().end_after_datetime, c.on) << c.child;
    }
}

TEST(parser_PatternXml, AnOutOfRangeDataTypeIsWrittenAsTextSoTheItemSurvives)
{
    log_pattern_list parser = Parser({Item(u"", u"", u"x")});
    parser.front().data_format.data_type = 9;
    const std::unique_ptr<TiXmlElement> element(PatternListToXml(parser));
    log_pattern_list read;
    ASSERT_TRUE(PatternListFromXml(read, element.get()));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read.front().data_format.data_type, DATA_TYPE_TEXT);
}

TEST(parser_PatternXml, AParserWithoutItemsIsNotWritten)
{
    temp_dir dir;
    EXPECT_FALSE(SavePatternFile(log_pattern_list(), dir.wide("empty.xml")));
    EXPECT_FALSE(dir.exists("empty.xml"));
}

TEST(parser_PatternXml, BadFilesLoadAsNothing)
{
    temp_dir dir;
    dir.write("text.xml", "this is not XML at all");
    dir.write("binary.xml", std::string("\x00\xff\xfe<\x01", 5));
    dir.write("other.xml", "<?xml version=\"1.0\"?><filters/>");
    dir.write("cut.xml", "<pattern_list><pattern_item><version>2</version>");
    dir.write("empty.xml", "");
    for (const char* name : {"text.xml", "binary.xml", "other.xml", "cut.xml", "empty.xml", "missing.xml"}) {
        log_pattern_list parser;
        parser.emplace_back(u"stale");
        EXPECT_FALSE(LoadPatternFile(parser, dir.wide(name))) << name;
        EXPECT_TRUE(parser.empty()) << name;
    }
    log_pattern_list parser;
    EXPECT_FALSE(LoadPatternFile(parser, dir.wide("")));
}

TEST(parser_PatternXml, HugeFilesLoadWithoutHanging)
{
    temp_dir dir;
    const std::string item = ItemXml("<version>2</version>", "<start/><end>;</end><name>c</name>" + std::string(kText));
    std::string many = "<pattern_list>";
    for (int i = 0; i < 20000; ++i)
        many += item;
    many += "</pattern_list>";
    dir.write("many.xml", many);
    const std::string big_start(1 << 20, 'x');
    dir.write("big.xml", "<pattern_list>"
                             + ItemXml("<version>2</version>",
                                       "<start>" + big_start + "</start><end/><name>c</name>" + std::string(kText))
                             + "</pattern_list>");
    // A hang or a quadratic read would run into the test runner's limit.
    log_pattern_list parser;
    ASSERT_TRUE(LoadPatternFile(parser, dir.wide("many.xml")));
    EXPECT_EQ(parser.size(), 20000u);
    EXPECT_EQ(leaf_count(parser), 20000);
    ASSERT_TRUE(LoadPatternFile(parser, dir.wide("big.xml")));
    ASSERT_EQ(parser.size(), 1u);
    EXPECT_EQ(parser.front().start.size(), big_start.size());
}

TEST(parser_PatternXml, ItemsNestedTooDeepAreSkipped)
{
    // Depth d: an item holding a list holding an item, d times.
    auto nested = [](int depth) {
        std::string xml;
        for (int i = 0; i < depth; ++i)
            xml += "<pattern_item><version>2</version><start/><end/><name>n</name>" + std::string(kText)
                   + "<pattern_list>";
        xml += ItemXml("<version>2</version>", "<start/><end/><name>leaf</name>" + std::string(kText));
        for (int i = 0; i < depth; ++i)
            xml += "</pattern_list></pattern_item>";
        return "<pattern_list>" + xml + "</pattern_list>";
    };
    log_pattern_list parser;
    ASSERT_TRUE(PatternListFromXml(parser, ParseElement(nested(kMaxPatternDepth)).get()));
    ASSERT_EQ(parser.size(), 1u);
    EXPECT_EQ(leaf_count(parser), 1);
    ASSERT_TRUE(PatternListFromXml(parser, ParseElement(nested(kMaxPatternDepth + 1)).get()));
    EXPECT_TRUE(parser.empty());
    // The items beside a skipped one stay.
    const std::string beside = ItemXml("<version>2</version>", "<start/><end/><name>b</name>" + std::string(kText));
    std::string two = nested(kMaxPatternDepth + 1);
    two.insert(two.size() - std::string("</pattern_list>").size(), beside);
    ASSERT_TRUE(PatternListFromXml(parser, ParseElement(two).get()));
    ASSERT_EQ(parser.size(), 1u);
    EXPECT_EQ(parser.front().name, u"b");
    // Far deeper: read from a file, nothing but the skip happens.
    temp_dir dir;
    dir.write("deep.xml", nested(2000));
    EXPECT_TRUE(LoadPatternFile(parser, dir.wide("deep.xml")));
    EXPECT_TRUE(parser.empty());
}

TEST(parser_ParserList, EntriesFollowTheFolderListingAndAreNamedAfterTheirFiles)
{
    temp_dir dir;
    const std::string good = "<pattern_list>"
                             + ItemXml("<version>2</version>", "<start/><end/><name>c</name>" + std::string(kText))
                             + "</pattern_list>";
    dir.write("web.xml", good);
    dir.write("a.xml", good);
    dir.write("Upper.XML", good);
    dir.write("broken.xml", "<pattern_list>");
    dir.write("other.xml", "<filters/>");
    dir.write("notes.txt", good);
    dir.write("sub/inner.xml", good);
    parser_list parsers;
    parsers.push_back({Parser({Item(u"", u"", u"kept")}), u"earlier"});
    std::vector<std::u16string> passed_over;
    EXPECT_EQ(LoadParserList(parsers, dir.wide(), &passed_over), 3u);

    std::vector<std::u16string> names;
    for (const tagPARSER_ITEM& entry : parsers)
        names.push_back(entry.name);
    std::vector<std::u16string> expected{u"earlier"};
    for (const std::u16string& file : ListFiles(dir.wide(), u".xml"))
        if (file != u"broken.xml" && file != u"other.xml")
            expected.push_back(ParserNameOfFile(file));
    EXPECT_EQ(names, expected);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Upper", u"a", u"earlier", u"web"}));
    std::sort(passed_over.begin(), passed_over.end());
    EXPECT_EQ(passed_over, (std::vector<std::u16string>{u"broken.xml", u"other.xml"}));
    EXPECT_EQ(LoadParserList(parsers, dir.wide("missing")), 0u);
}

TEST(parser_ParserList, NamesAndStorableNames)
{
    EXPECT_EQ(ParserNameOfFile(u"web.xml"), u"web");
    EXPECT_EQ(ParserNameOfFile(u"a.xml"), u"a");
    EXPECT_EQ(ParserNameOfFile(u".xml"), u"");
    EXPECT_EQ(ParserNameOfFile(u"ab"), u"");
    EXPECT_TRUE(IsStorableParserName(u"Syslog, space-padded day"));
    EXPECT_FALSE(IsStorableParserName(u""));
    EXPECT_FALSE(IsStorableParserName(u"."));
    EXPECT_FALSE(IsStorableParserName(u".."));
    EXPECT_FALSE(IsStorableParserName(u"../escape"));
}

} // namespace
